// Composes the stamp record: run identity, disk, people, fingerprint and the job's
// hardware profile.
#include "stamp/compose.h"

#include "common/product.h"
#include "disk/disk_info.h"
#include "erase/standards.h"

namespace morvane {

std::wstring StampStatusText(const EraseResult& result) {
    // A simulation's record says so whatever the stamp choice: nothing was written, and
    // an operator stamp must be able to tell it from a real run.
    if (IsSimulationRecord(result)) return kStampStatusSimulation;
    if (!result.job.StampWanted()) return kStampStatusPureZero;
    return kStampStatusActive;
}

ReportStamp ComposeReportStamp(const EraseResult& result, const HardwareProfile& hardware) {
    const EraseJob& job = result.job;
    ReportStamp stamp;
    stamp.failed = result.status != JobStatus::Completed;
    stamp.certificateId = result.certificateId;
    stamp.sanitizationDate = result.endTime;
    stamp.productLine = ProductLineText();
    stamp.standardName = StandardName(job.standard);
    stamp.verificationResult = result.verificationResult;
    stamp.diskModel = job.disk.model;
    stamp.diskSerial = job.disk.serialNumber;
    stamp.diskCapacity = FormatSize(job.disk.sizeBytes);
    stamp.operatorName = job.operatorName;
    stamp.organizationName = job.organizationName;
    stamp.sha256Fingerprint = result.sha256Fingerprint;
    stamp.stampStatus = StampStatusText(result);
    stamp.passesCompleted = static_cast<std::int32_t>(result.passesCompleted);
    stamp.hardware = hardware;
    return stamp;
}

}  // namespace morvane
