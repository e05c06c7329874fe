// The guarded open: safety decision, identity re-check, open, with each writer's
// refusal texts in one table.
#include "disk/guarded_open.h"

#include "common/win32.h"
#include "disk/safety.h"

namespace morvane {
namespace {

struct RefusalTexts {
    const wchar_t* protectedMessage;
    const wchar_t* safetyTag;  // tag of the protected and identity refusal lines
    bool logOpenFailure;       // the erase job reports a failed open; the stamp switch stays silent
};

RefusalTexts TextsFor(DiskWriter writer) {
    switch (writer) {
        case DiskWriter::EraseJob: return {kEraseBlockedMessage, L"[CRITICAL SAFETY] ", true};
        case DiskWriter::OperatorStamp:
            return {L"保護ロック中のディスクにはスタンプを書き込めません。", L"[SAFETY] ", false};
        case DiskWriter::StampErase: return {L"保護ロック中のディスクは操作できません。", L"[SAFETY] ", false};
    }
    return {kEraseBlockedMessage, L"[CRITICAL SAFETY] ", true};
}

UniqueFile OpenDeviceForWrite(const std::wstring& devicePath) {
    return UniqueFile(::CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
}

GuardedDisk Refused(WriteRefusal refusal, std::wstring message, const wchar_t* tag, const LogCallback& log) {
    if (tag != nullptr) EmitLog(log, tag + message);
    GuardedDisk refused;
    refused.refusal = refusal;
    refused.message = std::move(message);
    return refused;
}

}  // namespace

WriteJudgement JudgeDiskForWrite(const DiskInfo& disk, bool unlockInternal, const DiskWriteSeams& seams) {
    // The machine is asked again because the list may come from a WinPE simulation.
    WriteJudgement judgement =
        JudgeRealWrite(disk, seams.environment ? seams.environment() : QuerySafetyEnvironment(), unlockInternal);
    if (!judgement.allowed()) return judgement;
    // The disk list may be older than the disk at this path: refuse unless the device
    // still is the disk the operator chose.
    if (!DiskIdentityUnchanged(disk, seams.identity)) return {WriteVerdict::DiskChanged, {}};
    return judgement;
}

GuardedDisk OpenDiskForWrite(const DiskInfo& disk, DiskWriter writer, bool unlockInternal, const LogCallback& log,
                             const DiskWriteSeams& seams, const std::function<void()>& beforeOpen) {
    const RefusalTexts texts = TextsFor(writer);
    const WriteJudgement judgement = JudgeDiskForWrite(disk, unlockInternal, seams);
    if (judgement.verdict == WriteVerdict::DiskChanged) {
        return Refused(WriteRefusal::IdentityChanged, kDiskIdentityChangedMessage, texts.safetyTag, log);
    }
    if (!judgement.allowed()) {
        return Refused(WriteRefusal::Protected, texts.protectedMessage, texts.safetyTag, log);
    }
    if (beforeOpen) beforeOpen();
    GuardedDisk opened;
    opened.handle = seams.open ? seams.open(disk.devicePath) : OpenDeviceForWrite(disk.devicePath);
    if (!opened) {
        return Refused(WriteRefusal::OpenFailed, kEraseOpenFailedMessage,
                       texts.logOpenFailure ? L"[ERROR] " : nullptr, log);
    }
    return opened;
}

}  // namespace morvane
