// Operator stamping and stamp erase on a physical disk, behind the safety rule.
#include "stamp/stamp_ops.h"

#include <cstring>

#include "common/unique_handle.h"
#include "disk/safety.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"

namespace morvane {
namespace {

UniqueFile OpenForWrite(const DiskInfo& disk) {
    return UniqueFile(::CreateFileW(disk.devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
}

bool RefuseChangedDisk(const DiskInfo& disk, const DiskIdentitySource& identity, const LogCallback& log) {
    if (DiskIdentityUnchanged(disk, identity)) return false;
    EmitLog(log, std::wstring(L"[SAFETY] ") + kDiskIdentityChangedMessage);
    return true;
}

}  // namespace

bool StampDiskByOperator(const DiskInfo& disk, const ReportStamp& stamp, const LogCallback& log,
                         const DiskIdentitySource& identity) {
    // Undefined safety values are refused too: only the two writable states pass.
    if (!IsErasableForRealWrite(disk.safety)) {
        EmitLog(log, L"[SAFETY] 保護ロック中のディスクにはスタンプを書き込めません。");
        return false;
    }
    if (RefuseChangedDisk(disk, identity, log)) return false;
    UniqueFile handle = OpenForWrite(disk);
    if (!handle) return false;
    return WriteReportStamp(handle.get(), disk.bytesPerSector, stamp, log);
}

bool EraseStampArea(const DiskInfo& disk, const LogCallback& log, const DiskIdentitySource& identity) {
    if (!IsErasableForRealWrite(disk.safety)) {
        EmitLog(log, L"[SAFETY] 保護ロック中のディスクは操作できません。");
        return false;
    }
    if (RefuseChangedDisk(disk, identity, log)) return false;
    UniqueFile handle = OpenForWrite(disk);
    if (!handle) return false;
    DWORD ignored = 0;
    ::DeviceIoControl(handle.get(), IOCTL_DISK_DELETE_DRIVE_LAYOUT, nullptr, 0, nullptr, 0, &ignored, nullptr);

    // Same extent as the stamp image: 128 KiB rounded up to whole sectors.
    const std::size_t size = StampImageLength(disk.bytesPerSector);
    PageBuffer buffer(size);
    if (!buffer) return false;
    std::memset(buffer.data(), 0, size);

    LARGE_INTEGER start{};
    DWORD written = 0;
    const bool ok = ::SetFilePointerEx(handle.get(), start, nullptr, FILE_BEGIN) &&
                    ::WriteFile(handle.get(), buffer.data(), static_cast<DWORD>(size), &written, nullptr);
    ::FlushFileBuffers(handle.get());
    ::DeviceIoControl(handle.get(), IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &ignored, nullptr);
    handle.reset();
    if (!ok || written != size) return false;
    EmitLog(log,
            L"[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプを消去し、"
            L"完全未初期化状態 (全0x00) に切り替えました。");
    return true;
}

}  // namespace morvane
