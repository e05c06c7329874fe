// The erase job: a single synchronous call that runs one sanitization from the
// safety guard to the evidence and reports everything in one EraseResult.
#include "erase/erase_job.h"

#include "common/unique_handle.h"
#include "common/win32.h"
#include "disk/safety.h"
#include "erase/pass_writer.h"
#include "erase/standards.h"
#include "erase/verify.h"
#include "evidence/certificate_id.h"
#include "evidence/certificate_set.h"
#include "stamp/compose.h"
#include "stamp/stamp_writer.h"

namespace morvane {

namespace {

constexpr const wchar_t* kBlockedMessage = L"安全保護ロックされているディスクのため、実機消去をブロックしました。";
constexpr const wchar_t* kOpenFailedMessage =
    L"物理ディスクを書き込みモードで開けませんでした。管理者権限またはディスク使用状況を確認してください。";

constexpr const wchar_t* kStampSimulated =
    L"STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)";
constexpr const wchar_t* kPureZeroSimulated = L"PURE ZERO WIPED (スタンプなし・完全未初期化状態)";
constexpr const wchar_t* kStampActive =
    L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
constexpr const wchar_t* kPureZeroReal = L"PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)";

bool IsNistStandard(std::uint32_t standard) {
    return standard == NistPurge || standard == NistClear;
}

class JobClock {
public:
    JobClock() : start_(::GetTickCount64()) {}
    double Seconds() const { return static_cast<double>(::GetTickCount64() - start_) / 1000.0; }

private:
    ULONGLONG start_;
};

void Finish(EraseResult& result, const JobClock& clock) {
    result.endTime = LocalTimestamp();
    result.elapsedSeconds = clock.Seconds();
}

// Refusals before anything was touched: no files, no elapsed time.
EraseResult Refuse(EraseResult result, const wchar_t* message, const wchar_t* verdict,
                   const wchar_t* logTag, const LogCallback& log) {
    result.status = Failed;
    result.message = message;
    result.verificationResult = verdict;
    result.diskStampStatus = L"NOT STAMPED";
    result.endTime = LocalTimestamp();
    EmitLog(log, std::wstring(logTag) + message);
    return result;
}

EraseResult RunSimulation(EraseResult result, const PassPlan& plan, const JobClock& clock,
                          const CancelFlag* cancel, const ProgressCallback& progress,
                          const LogCallback& log) {
    const EraseJob& job = result.job;
    EmitLog(log, L"=== [安全シミュレーション(Dry-Run)モード] 実際のディスク内容は変更されません ===");
    if (IsNistStandard(job.standard)) {
        EmitLog(log, L"[NIST SP 800-88 Rev.1] NVMe/SSD 全LBAブロック解放 (TRIM/Deallocate) シミュレーションを実行しました。");
    }
    const std::uint32_t total = static_cast<std::uint32_t>(plan.size());
    for (const OverwritePass& pass : plan) {
        const JobStatus status = SimulatePass(job, pass, total, cancel, progress, log);
        if (status != Completed) {
            result.status = status;
            result.verificationResult = L"ABORTED";
            result.diskStampStatus = L"ABORTED";
            Finish(result, clock);
            (void)SaveCertificateSet(result, log);
            return result;
        }
        ++result.passesCompleted;
    }

    std::wstring verdict;
    result.status = VerifyDisk(INVALID_HANDLE_VALUE, job, plan.back(), cancel, progress, log, verdict);
    result.verificationResult = verdict;
    result.bytesWritten = static_cast<std::uint64_t>(result.passesCompleted) * job.disk.sizeBytes;
    Finish(result, clock);

    if (job.noStamp == 1) {
        result.diskStampStatus = kPureZeroSimulated;
        EmitLog(log, L"[DISK STATE] 通常通りディスクを完全消去した状態 (スタンプなし / 全セクタ0x00想定) として完了しました。");
    } else {
        result.diskStampStatus = kStampSimulated;
        EmitLog(log, L"[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: " +
                         result.certificateId + L") を生成しました。");
    }
    (void)SaveCertificateSet(result, log);
    return result;
}

EraseResult RunReal(EraseResult result, const PassPlan& plan, const JobClock& clock,
                    const CancelFlag* cancel, const ProgressCallback& progress,
                    const LogCallback& log, const EraseJobEdges& edges) {
    const EraseJob& job = result.job;
    LockedVolumes volumes = edges.lockVolumes ? edges.lockVolumes(job.disk.index, log)
                                              : LockAndDismountVolumes(job.disk.index, log);
    // Every way out after this point unlocks the volumes; the disk handle closes first.
    ScopeExit unlock([&volumes] { UnlockAndCloseVolumes(volumes); });

    UniqueFile disk = edges.openDisk ? edges.openDisk(job.disk.devicePath)
                                     : OpenDiskForErase(job.disk.devicePath);
    if (!disk) {
        UnlockAndCloseVolumes(volumes);
        return Refuse(std::move(result), kOpenFailedMessage, L"OPEN HANDLE FAILED", L"[ERROR] ", log);
    }

    if (IsNistStandard(job.standard) || job.disk.mediaKind == MediaSsd ||
        job.disk.mediaKind == MediaNvmeSsd) {
        (void)IssueTrim(disk.get(), job.disk.sizeBytes, log);
    }

    const std::uint32_t total = static_cast<std::uint32_t>(plan.size());
    for (const OverwritePass& pass : plan) {
        const JobStatus status = WritePass(disk.get(), job, pass, total, cancel, progress, log);
        if (status != Completed) {
            disk.reset();
            UnlockAndCloseVolumes(volumes);
            result.status = status;
            result.verificationResult = status == Cancelled ? L"CANCELLED BY USER" : L"WRITE ERROR";
            result.diskStampStatus = L"NOT STAMPED";
            Finish(result, clock);
            (void)SaveCertificateSet(result, log);
            return result;
        }
        ++result.passesCompleted;
    }

    const std::uint32_t sector = job.disk.bytesPerSector != 0 ? job.disk.bytesPerSector : 512;
    WipePartitionTables(disk.get(), job.disk.sizeBytes, sector, log);

    std::wstring verdict;
    result.status = VerifyDisk(disk.get(), job, plan.back(), cancel, progress, log, verdict);
    result.verificationResult = verdict;
    result.bytesWritten = static_cast<std::uint64_t>(result.passesCompleted) * job.disk.sizeBytes;
    Finish(result, clock);

    result.sha256Fingerprint = ComputeFingerprint(result);
    result.stamp = ComposeReportStamp(result);

    if (result.status == Completed && job.noStamp == 0) {
        result.diskStampStatus = WriteReportStamp(disk.get(), sector, result.stamp, log)
                                     ? kStampActive
                                     : L"STAMP WRITE SKIPPED";
    } else {
        result.diskStampStatus = kPureZeroReal;
        EmitLog(log, L"[DISK STATE] スタンプを記録せず、ディスク全領域を完全消去 (0x00・未初期化) 状態で完了しました。");
    }

    disk.reset();
    UnlockAndCloseVolumes(volumes);
    (void)SaveCertificateSet(result, log);
    return result;
}

}  // namespace

UniqueFile OpenDiskForErase(const std::wstring& devicePath) {
    return UniqueFile(::CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH, nullptr));
}

EraseResult RunEraseJob(const EraseJob& job, bool winPE, const CancelFlag* cancel,
                        ProgressCallback progress, LogCallback log) {
    return RunEraseJob(job, winPE, cancel, std::move(progress), std::move(log), EraseJobEdges{});
}

EraseResult RunEraseJob(const EraseJob& job, bool winPE, const CancelFlag* cancel,
                        ProgressCallback progress, LogCallback log, const EraseJobEdges& edges) {
    EraseResult result;
    result.certificateId = MakeCertificateId();
    result.startTime = LocalTimestamp();
    result.runningInWinPE = winPE ? 1 : 0;
    result.job = job;

    const PassPlan plan = BuildPassPlan(job.standard);
    result.passesPlanned = static_cast<std::uint32_t>(plan.size());
    const JobClock clock;

    if (job.execMode == RealHardwareWrite && !IsErasableForRealWrite(job.disk.safety)) {
        return Refuse(std::move(result), kBlockedMessage, L"BLOCKED BY SAFETY GUARD",
                      L"[CRITICAL SAFETY] ", log);
    }
    if (plan.empty()) {
        // No standard, no plan: there is nothing to write and nothing to verify against.
        result.status = Failed;
        result.verificationResult = L"ABORTED";
        result.diskStampStatus = L"NOT STAMPED";
        result.endTime = LocalTimestamp();
        return result;
    }
    if (job.execMode == RealHardwareWrite) {
        // The disk list may be older than the disk at this path: refuse unless the
        // device still is the disk the operator chose, before anything is locked.
        if (!DiskIdentityUnchanged(job.disk, edges.queryIdentity)) {
            return Refuse(std::move(result), kDiskIdentityChangedMessage,
                          L"BLOCKED: DISK IDENTITY CHANGED", L"[CRITICAL SAFETY] ", log);
        }
        return RunReal(std::move(result), plan, clock, cancel, progress, log, edges);
    }
    return RunSimulation(std::move(result), plan, clock, cancel, progress, log);
}

}  // namespace morvane
