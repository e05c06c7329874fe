// The report window's actions on evidence and disks.
#include "job/report_actions.h"

#include "erase/record_status.h"
#include "erase/standards.h"
#include "evidence/certificate_id.h"
#include "job/erase_job.h"
#include "stamp/operator_stamp.h"

namespace morvane {
namespace {

std::wstring Or(const std::wstring& value, const std::wstring& fallback) {
    return value.empty() ? fallback : value;
}

}  // namespace

EraseResult ResultFromStamp(const ReportStamp& stamp, const std::optional<DiskInfo>& disk,
                            const std::wstring& newId, const std::wstring& now) {
    EraseResult r;
    r.certificateId = Or(stamp.certificateId, newId);
    r.endTime = Or(stamp.sanitizationDate, now);
    r.startTime = r.endTime;
    r.status = JobStatus::Completed;
    const std::int32_t passes = stamp.passesCompleted < 1 ? 1 : stamp.passesCompleted;
    r.passesCompleted = r.passesPlanned = static_cast<std::uint32_t>(passes);
    r.verificationResult = Or(stamp.verificationResult, kVerdictNotRecorded);
    r.diskStampStatus = stamp.stampStatus;

    EraseJob& job = r.job;
    job.operatorName = stamp.operatorName;
    job.organizationName = stamp.organizationName;
    if (disk) {
        job.disk = *disk;
    } else {
        job.disk.model = stamp.diskModel;
        job.disk.serialNumber = stamp.diskSerial;
    }
    // An empty name is the preview's, painted as NIST Purge (the default standard);
    // a name none of the eight carries prints as "Unknown Standard" rather than as
    // a standard that was never run.
    if (!stamp.standardName.empty()) job.standard = StandardFromName(stamp.standardName);
    // A stamp read back from a disk was written there by a real run; only a preview
    // (nothing found) or a dry run's own record stays a simulation.
    const bool simulated = stamp.failed || IsSimulationRecord(stamp);
    job.execMode = simulated ? ExecMode::SimulationDryRun : ExecMode::RealHardwareWrite;

    // The reports print the hardware of the record they are given: the stamp's.
    r.stamp = stamp;
    r.stamp.certificateId = r.certificateId;
    return r;
}

ReissuedEvidence ReissueEvidence(const ReportStamp& stamp, const std::optional<EraseResult>& result,
                                 const std::optional<DiskInfo>& disk, const std::wstring& folder,
                                 const LogCallback& log) {
    ReissuedEvidence reissued;
    if (result) {
        reissued.result = *result;
    } else {
        reissued.result = ResultFromStamp(stamp, disk, MakeCertificateId(), LocalTimestamp());
        SealResult(reissued.result, stamp.hardware);
    }
    reissued.result.job.outputFolder = folder;
    reissued.paths = WriteCertificateFiles(reissued.result, folder, log);
    reissued.result.signer = reissued.paths.signer;  // who signed the files (none for an unsigned set)
    return reissued;
}

StampAction EngraveStamp(const DiskInfo& disk, ReportStamp stamp, std::optional<bool> unlockInternal,
                         const DiskWriteSeams& seams) {
    if (stamp.certificateId.empty()) {
        stamp.certificateId = MakeCertificateId();
        stamp.sanitizationDate = LocalTimestamp();
        stamp.verificationResult = kVerdictStampedByOperator;
    }
    const StampWriteOutcome written =
        StampDiskByOperator(disk, stamp, {}, seams.identity, unlockInternal, seams.environment);
    if (written) {
        stamp.failed = false;
        stamp.stampStatus = kStampStatusActive;
    }
    return {written.ok, written.refusal, std::move(stamp)};
}

StampAction EraseStamp(const DiskInfo& disk, ReportStamp stamp, std::optional<bool> unlockInternal,
                       const DiskWriteSeams& seams) {
    const StampWriteOutcome erased = EraseStampArea(disk, {}, seams.identity, unlockInternal, seams.environment);
    if (erased) stamp.stampStatus = kStampStatusErasedByOperator;
    return {erased.ok, erased.refusal, std::move(stamp)};
}

}  // namespace morvane
