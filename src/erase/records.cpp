// Display names of the erase records' enumerations, the dry-run rule and the outcome rule.
#include "erase/records.h"

#include "erase/record_status.h"

namespace morvane {

std::wstring ExecModeName(ExecMode mode) {
    return mode == ExecMode::RealHardwareWrite ? L"実機物理セクタ完全消去" : L"安全シミュレーション(DryRun)";
}

bool IsSimulationRecord(const ReportStamp& stamp) {
    return stamp.stampStatus == kStampStatusSimulation || stamp.verificationResult.starts_with(kVerdictSimulationPrefix);
}

RecordOutcome OutcomeOf(JobStatus status, bool simulation, const std::wstring& verdict) {
    if (status == JobStatus::Cancelled) return RecordOutcome::Cancelled;
    if (status != JobStatus::Completed) return RecordOutcome::Failed;
    if (simulation) return RecordOutcome::SimulationOnly;
    return verdict.starts_with(L"PASSED") ? RecordOutcome::Verified : RecordOutcome::NotVerified;
}

RecordOutcome OutcomeOf(const EraseResult& result) {
    return OutcomeOf(result.status, IsSimulationRecord(result), result.verificationResult);
}

bool IsSimulationRecord(const EraseResult& result) {
    return result.job.execMode == ExecMode::SimulationDryRun || result.stamp.stampStatus == kStampStatusSimulation ||
           result.verificationResult.starts_with(kVerdictSimulationPrefix);
}

}  // namespace morvane
