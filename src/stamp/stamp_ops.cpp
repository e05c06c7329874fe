// Operator stamping and stamp erase on a physical disk, through the guarded open.
#include "stamp/stamp_ops.h"

#include <cstring>

#include "common/unique_handle.h"
#include "disk/guarded_open.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"

namespace morvane {

bool StampDiskByOperator(const DiskInfo& disk, const ReportStamp& stamp, const LogCallback& log,
                         const DiskIdentitySource& identity) {
    GuardedDisk target = OpenDiskForWrite(disk, DiskWriter::OperatorStamp, log, {identity, {}});
    if (!target) return false;
    return WriteReportStamp(target.handle.get(), disk.bytesPerSector, stamp, log);
}

bool EraseStampArea(const DiskInfo& disk, const LogCallback& log, const DiskIdentitySource& identity) {
    GuardedDisk target = OpenDiskForWrite(disk, DiskWriter::StampErase, log, {identity, {}});
    if (!target) return false;
    const HANDLE handle = target.handle.get();
    DWORD ignored = 0;
    ::DeviceIoControl(handle, IOCTL_DISK_DELETE_DRIVE_LAYOUT, nullptr, 0, nullptr, 0, &ignored, nullptr);

    // Same extent as the stamp image: 128 KiB rounded up to whole sectors.
    const std::size_t size = StampImageLength(disk.bytesPerSector);
    PageBuffer buffer(size);
    if (!buffer) return false;
    std::memset(buffer.data(), 0, size);

    LARGE_INTEGER start{};
    DWORD written = 0;
    const bool ok = ::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
                    ::WriteFile(handle, buffer.data(), static_cast<DWORD>(size), &written, nullptr);
    ::FlushFileBuffers(handle);
    ::DeviceIoControl(handle, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &ignored, nullptr);
    target.handle.reset();
    if (!ok || written != size) return false;
    EmitLog(log,
            L"[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプを消去し、"
            L"完全未初期化状態 (全0x00) に切り替えました。");
    return true;
}

}  // namespace morvane
