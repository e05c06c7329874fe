// Operator stamping and stamp erase on a physical disk, through the guarded open.
#include "stamp/operator_stamp.h"

#include <cstring>

#include "common/unique_handle.h"
#include "disk/guarded_open.h"
#include "disk/safety.h"
#include "stamp/compose.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"

namespace morvane {

namespace {

bool UnlockFor(const DiskInfo& disk, std::optional<bool> unlockInternal) {
    return unlockInternal.value_or(disk.safety == InternalUnlocked);
}

// A refusal: its log line written, its reason (the line without its tag) kept.
StampWriteOutcome Refused(const std::wstring& line, const LogCallback& log) {
    EmitLog(log, line);
    const std::size_t tagEnd = line.starts_with(L"[") ? line.find(L"] ") : std::wstring::npos;
    return {false, tagEnd == std::wstring::npos ? line : line.substr(tagEnd + 2)};
}

// A refusal of the guarded open: logged there already (or silently, for a failed open).
StampWriteOutcome Refused(const GuardedDisk& target) {
    return {false, target.refusal == WriteRefusal::OpenFailed ? std::wstring() : target.message};
}

// The start of both sector-size lines: what the disk is and why the stamp cannot serve it.
std::wstring SectorSizeReason(const DiskInfo& disk) {
    return L"[DISK STAMP] 論理セクタサイズが " + std::to_wstring(SectorSizeOf(disk)) +
           L" バイトのディスクでは起動可能なレポートスタンプ (512バイトセクタ形式) が起動しないため、";
}

}  // namespace

bool StampFitsDisk(const DiskInfo& disk) {
    return SectorSizeOf(disk) == 512;
}

std::wstring StampSkippedForSectorSizeLine(const DiskInfo& disk) {
    return SectorSizeReason(disk) + L"スタンプの書き込みをスキップしました (ディスクはスタンプなし・0x00 の状態です)。";
}

std::wstring OperatorStampRefusal(const DiskInfo& disk, const ReportStamp& stamp) {
    if (stamp.failed) {
        return L"[SAFETY] 完了した実機消去の記録ではないため (失敗・中断・プレビュー)、スタンプを書き込めません。";
    }
    if (IsSimulationRecord(stamp)) {
        return L"[SAFETY] シミュレーション(Dry-Run)の記録は実機のスタンプとして書き込めません。";
    }
    if (stamp.diskModel != disk.model || stamp.diskSerial != disk.serialNumber ||
        stamp.diskCapacity != FormatSize(disk.sizeBytes)) {
        return L"[SAFETY] 別のディスクの消去記録のため、このディスクにはスタンプを書き込めません。";
    }
    if (!StampFitsDisk(disk)) {
        return SectorSizeReason(disk) + L"スタンプを書き込めません。";
    }
    return {};
}

StampWriteOutcome StampDiskByOperator(const DiskInfo& disk, const ReportStamp& stamp, const LogCallback& log,
                                      const DiskIdentitySource& identity, std::optional<bool> unlockInternal,
                                      const SafetyEnvironmentSource& environment) {
    const std::wstring refusal = OperatorStampRefusal(disk, stamp);
    if (!refusal.empty()) return Refused(refusal, log);
    GuardedDisk target = OpenDiskForWrite(disk, DiskWriter::OperatorStamp, UnlockFor(disk, unlockInternal), log,
                                          {identity, {}, environment});
    if (!target) return Refused(target);
    return {WriteReportStamp(target.handle.get(), disk.bytesPerSector, stamp, log), {}};
}

StampWriteOutcome EraseStampArea(const DiskInfo& disk, const LogCallback& log, const DiskIdentitySource& identity,
                                 std::optional<bool> unlockInternal, const SafetyEnvironmentSource& environment) {
    GuardedDisk target = OpenDiskForWrite(disk, DiskWriter::StampErase, UnlockFor(disk, unlockInternal), log,
                                          {identity, {}, environment});
    if (!target) return Refused(target);
    const HANDLE handle = target.handle.get();
    DWORD ignored = 0;
    ::DeviceIoControl(handle, IOCTL_DISK_DELETE_DRIVE_LAYOUT, nullptr, 0, nullptr, 0, &ignored, nullptr);

    // Same extent as the stamp image: 128 KiB rounded up to whole sectors.
    const std::size_t size = StampImageLength(disk.bytesPerSector);
    PageBuffer buffer(size);
    if (!buffer) return {};
    std::memset(buffer.data(), 0, size);

    LARGE_INTEGER start{};
    DWORD written = 0;
    const bool ok = ::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
                    ::WriteFile(handle, buffer.data(), static_cast<DWORD>(size), &written, nullptr);
    ::FlushFileBuffers(handle);
    ::DeviceIoControl(handle, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &ignored, nullptr);
    target.handle.reset();
    if (!ok || written != size) return {};
    const std::size_t lastLba = size / SectorSizeOf(disk) - 1;
    EmitLog(log, L"[DISK STAMP] ディスク先頭領域 (LBA 0.." + std::to_wstring(lastLba) +
                     L") の実機レポートスタンプとパーティション情報を0x00で消去しました (その他の領域は変更していません)。");
    return {true, {}};
}

}  // namespace morvane
