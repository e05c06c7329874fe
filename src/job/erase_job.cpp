// The erase job: a single synchronous call that runs one sanitization from the
// safety guard to the evidence and reports everything in one EraseResult.
#include "job/erase_job.h"

#include <cwchar>
#include <utility>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "disk/guarded_open.h"
#include "erase/pass_writer.h"
#include "erase/progress.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "erase/verify.h"
#include "evidence/certificate_id.h"
#include "evidence/certificate_set.h"
#include "hwinfo/collect.h"
#include "stamp/compose.h"
#include "stamp/operator_stamp.h"
#include "stamp/stamp_writer.h"

namespace morvane {

namespace {

constexpr wchar_t kFirmwareFailedMessage[] =
    L"ドライブ自身の消去 (Sanitize) が失敗したため、上書きパスを実行せずに終了しました。"
    L"ドライブは Sanitize が成功するまで書き込みを拒否する場合があります。";

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

// The record verdict of a refusal by the guarded open.
const wchar_t* RefusalVerdict(WriteRefusal refusal) {
    switch (refusal) {
        case WriteRefusal::Protected: return L"BLOCKED BY SAFETY GUARD";
        case WriteRefusal::IdentityChanged: return L"BLOCKED: DISK IDENTITY CHANGED";
        default: return L"OPEN HANDLE FAILED";
    }
}

// Refusals before anything was written: no files, no elapsed time.
EraseResult Refuse(EraseResult result, std::wstring message, const wchar_t* verdict) {
    result.status = JobStatus::Failed;
    result.message = std::move(message);
    result.verificationResult = verdict;
    result.diskStampStatus = kDiskNotStamped;
    result.endTime = LocalTimestamp();
    return result;
}

// Saves the sealed result's evidence. A set that could not be written leaves the paths
// empty and says so in the message, so nobody takes the run for one with certificates.
void SaveEvidence(EraseResult& result, const LogCallback& log) {
    if (SaveCertificateSet(result, log)) return;
    if (!result.message.empty()) result.message += L"\n";
    result.message += L"消去証明書・監査ログ・JSONレポートを保存できませんでした。出力先フォルダを確認してください: " +
                      CertificateFolderFor(result.job);
}

// What a completed real run without a stamp leaves on the disk: the last pass's data
// everywhere except the zeroed partition-table areas (first and last MiB).
// A dry run records the same state as would-be, with "SIMULATED - " in front; only a
// zero-fill last pass keeps the simulation's own zero text.
void RecordUnstampedState(EraseResult& result, const OverwritePass& last, bool simulated, const LogCallback& log) {
    if (last.kind == PatternKind::Fixed && last.pattern[0] == 0) {
        result.diskStampStatus = simulated ? kDiskPureZeroSimulated : kDiskPureZeroReal;
        EmitLog(log, simulated ? L"[DISK STATE] 通常通りディスクを完全消去した状態 (スタンプなし / 全セクタ0x00想定) として完了しました。"
                               : L"[DISK STATE] スタンプを記録せず、ディスク全領域を完全消去 (0x00・未初期化) 状態で完了しました。");
        return;
    }
    wchar_t bytes[16] = {};
    std::swprintf(bytes, 16, last.kind == PatternKind::Triple ? L"%02X %02X %02X" : L"0x%02X", last.pattern[0],
                  last.pattern[1], last.pattern[2]);
    const bool random = last.kind == PatternKind::Random;
    const std::wstring english = random ? std::wstring(L"RANDOM DATA") : L"PATTERN " + std::wstring(bytes);
    const std::wstring japanese = random ? std::wstring(L"暗号論的乱数") : L"パターン " + std::wstring(bytes);
    result.diskStampStatus = std::wstring(simulated ? L"SIMULATED - " : L"") + L"OVERWRITTEN WITH " + english +
                             L" (スタンプなし・最終パス: " + japanese + L" / パーティション領域 0x00 消去済)";
    if (simulated) {
        EmitLog(log, L"[DISK STATE] スタンプなし・最終パスのデータ (" + japanese +
                         L") で全領域を上書きした状態を想定して完了しました (シミュレーションのため実際には書き込んでいません)。");
        return;
    }
    EmitLog(log, L"[DISK STATE] スタンプを記録せず、最終パスのデータ (" + japanese +
                     L") で全領域を上書きした状態で完了しました (パーティション領域は 0x00)。");
}

// The overall percent reaches 100 only here, once a job that ran to its end has also
// stamped and saved; a cancelled job leaves the bars where they stood.
void ReportFinished(const EraseResult& result, const ProgressCallback& progress) {
    if (progress && result.status != JobStatus::Cancelled) progress(FinishedProgress(result.verificationResult));
}

HardwareProfile CollectOnce(const EraseJob& job, const EraseJobEdges& edges) {
    return edges.collectHardware ? edges.collectHardware(job.disk) : CollectHardwareProfile(job.disk);
}

EraseResult RunSimulation(EraseResult result, const PassPlan& plan, const JobClock& clock,
                          const CancelFlag* cancel, const ProgressCallback& progress,
                          const LogCallback& log, const EraseJobEdges& edges) {
    const EraseJob& job = result.job;
    EmitLog(log, L"=== [安全シミュレーション(Dry-Run)モード] 実際のディスク内容は変更されません ===");
    if (IsNistStandard(job.standard)) {
        EmitLog(log, L"[NIST SP 800-88 Rev.1] NVMe/SSD 全LBAブロック解放 (TRIM/Deallocate) シミュレーションを実行しました。");
    }
    const HardwareProfile hardware = CollectOnce(job, edges);
    const std::uint32_t total = static_cast<std::uint32_t>(plan.size());
    // A dry run only records what a real run would ask of the drive.
    FirmwareStepResult firmware =
        RunFirmwareStep(job, result.runningInWinPE == 1, INVALID_HANDLE_VALUE, edges.firmware, total, progress, log);
    result.firmware = std::move(firmware.firmware);
    result.hiddenCapacity = std::move(firmware.hiddenCapacity);
    for (const OverwritePass& pass : plan) {
        const JobStatus status = SimulatePass(job, pass, total, cancel, progress, log);
        if (status != JobStatus::Completed) {
            result.status = status;
            result.verificationResult = kVerdictAborted;
            result.diskStampStatus = kDiskAborted;
            Finish(result, clock);
            SealResult(result, hardware);
            SaveEvidence(result, log);
            return result;
        }
        ++result.passesCompleted;
    }

    std::wstring verdict;
    result.status = VerifyDisk(INVALID_HANDLE_VALUE, job, WrittenContent{plan.back()}, cancel, progress, log, verdict);
    result.verificationResult = verdict;
    // A dry run writes nothing: bytesWritten stays 0.
    Finish(result, clock);

    if (result.status != JobStatus::Completed) {
        result.diskStampStatus = kDiskAborted;  // an interrupted simulation, as for a cancelled pass
    } else if (!job.StampWanted()) {
        RecordUnstampedState(result, plan.back(), true, log);
    } else {
        result.diskStampStatus = kDiskStampSimulated;
        EmitLog(log, L"[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: " +
                         result.certificateId + L") を生成しました。");
    }
    SealResult(result, hardware);
    SaveEvidence(result, log);
    ReportFinished(result, progress);
    return result;
}

EraseResult RunReal(EraseResult result, const PassPlan& plan, const JobClock& clock,
                    const CancelFlag* cancel, const ProgressCallback& progress,
                    const LogCallback& log, const EraseJobEdges& edges) {
    const EraseJob& job = result.job;
    LockedVolumes volumes;
    // Every way out after the lock unlocks the volumes; the disk handle closes first.
    ScopeExit unlock([&volumes] { UnlockAndCloseVolumes(volumes); });
    const auto lock = [&] {
        volumes = edges.lockVolumes ? edges.lockVolumes(job.disk.index, log)
                                    : LockAndDismountVolumes(job.disk.index, log);
    };
    GuardedDisk target = OpenDiskForWrite(job.disk, DiskWriter::EraseJob, job.unlockInternal != 0, log,
                                          {edges.queryIdentity, edges.openDisk, edges.environment}, lock);
    if (!target) {
        UnlockAndCloseVolumes(volumes);
        return Refuse(std::move(result), target.message, RefusalVerdict(target.refusal));
    }
    UniqueFile& disk = target.handle;
    const HardwareProfile hardware = CollectOnce(job, edges);
    const std::uint32_t total = static_cast<std::uint32_t>(plan.size());

    // The drive's own sanitize goes first, with the volumes locked. One that failed may
    // leave the drive refusing writes, and proves nothing erased: no pass follows it.
    FirmwareStepResult firmware =
        RunFirmwareStep(job, result.runningInWinPE == 1, disk.get(), edges.firmware, total, progress, log);
    result.firmware = std::move(firmware.firmware);
    result.hiddenCapacity = std::move(firmware.hiddenCapacity);
    AddSafetyNote(result.job.disk, firmware.safetyNote);
    if (result.firmware.result == kFirmwareFailed) {
        disk.reset();
        UnlockAndCloseVolumes(volumes);
        result.status = JobStatus::Failed;
        result.message = kFirmwareFailedMessage;
        result.verificationResult = kVerdictFirmwareSanitizeFailed;
        result.diskStampStatus = kDiskNotStamped;
        EmitLog(log, L"[ERROR] " + result.message);
        Finish(result, clock);
        SealResult(result, hardware);
        SaveEvidence(result, log);
        return result;
    }

    if (IsNistStandard(job.standard) || job.disk.mediaKind == MediaSsd ||
        job.disk.mediaKind == MediaNvmeSsd) {
        (void)IssueTrim(disk.get(), job.disk.sizeBytes, log);
    }

    // The keys of the last random pass stay in memory only until verification has used
    // them; every way out of this function wipes them.
    PassKeys lastKeys;
    for (const OverwritePass& pass : plan) {
        const JobStatus status =
            WritePass(disk.get(), job, pass, total, cancel, progress, log, &lastKeys, edges.keySeed);
        if (status != JobStatus::Completed) {
            disk.reset();
            UnlockAndCloseVolumes(volumes);
            result.status = status;
            result.verificationResult = status == JobStatus::Cancelled ? kVerdictCancelledByUser : kVerdictWriteError;
            result.diskStampStatus = kDiskNotStamped;
            // The passes before this one were written in full (the writer does not report
            // how far the interrupted pass got).
            result.bytesWritten = static_cast<std::uint64_t>(result.passesCompleted) * job.disk.sizeBytes;
            Finish(result, clock);
            SealResult(result, hardware);
            SaveEvidence(result, log);
            return result;
        }
        ++result.passesCompleted;
    }

    const std::uint32_t sector = SectorSizeOf(job.disk);
    std::vector<ByteRange> zeroed = WipePartitionTables(disk.get(), job.disk.sizeBytes, sector, log);

    std::wstring verdict;
    result.status = VerifyDisk(disk.get(), job, WrittenContent{plan.back(), &lastKeys, std::move(zeroed)}, cancel,
                               progress, log, verdict);
    lastKeys.Clear();
    result.verificationResult = verdict;
    result.bytesWritten = static_cast<std::uint64_t>(result.passesCompleted) * job.disk.sizeBytes;
    Finish(result, clock);
    NoteReachedLevel(result);
    SealResult(result, hardware);

    if (result.status != JobStatus::Completed) {
        result.diskStampStatus = kDiskNotStamped;  // verification failed or was cancelled
    } else if (job.StampWanted() && !StampFitsDisk(job.disk)) {
        // The disk stays zeroed as without a stamp; a stamp in 512-byte units would not boot.
        result.diskStampStatus = kDiskStampSkipped;
        EmitLog(log, StampSkippedForSectorSizeLine(job.disk));
    } else if (job.StampWanted()) {
        result.diskStampStatus = WriteReportStamp(disk.get(), sector, result.stamp, log)
                                     ? kDiskStampActive
                                     : kDiskStampSkipped;
    } else {
        RecordUnstampedState(result, plan.back(), false, log);
    }
    // The record was composed before the stamp decision; unless the stamp is now on the
    // disk, its state is what the disk really holds (skipped, not stamped, last pass).
    if (result.diskStampStatus != kDiskStampActive) result.stamp.stampStatus = result.diskStampStatus;

    disk.reset();
    UnlockAndCloseVolumes(volumes);
    SaveEvidence(result, log);
    ReportFinished(result, progress);
    return result;
}

}  // namespace

void SealResult(EraseResult& result, const HardwareProfile& hardware) {
    result.sha256Fingerprint = ComputeFingerprint(result);
    result.stamp = ComposeReportStamp(result, hardware);
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

    if (plan.empty()) {
        // No standard, no plan: there is nothing to write and nothing to verify against.
        result.status = JobStatus::Failed;
        result.message = L"消去規格 (番号 " + std::to_wstring(job.standard) +
                         L") にパス構成がないため、消去を開始できませんでした。";
        result.verificationResult = kVerdictAborted;
        result.diskStampStatus = kDiskNotStamped;
        result.endTime = LocalTimestamp();
        EmitLog(log, L"[ERROR] " + result.message);
        return result;
    }
    if (job.execMode == ExecMode::RealHardwareWrite) {
        return RunReal(std::move(result), plan, clock, cancel, progress, log, edges);
    }
    return RunSimulation(std::move(result), plan, clock, cancel, progress, log, edges);
}

}  // namespace morvane
