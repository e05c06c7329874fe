// Display names of the erase records' enumerations and the dry-run rule.
#include "erase/records.h"

#include "erase/record_status.h"

namespace morvane {

std::wstring ExecModeName(ExecMode mode) {
    return mode == ExecMode::RealHardwareWrite ? L"実機物理セクタ完全消去" : L"安全シミュレーション(DryRun)";
}

bool IsSimulationRecord(const ReportStamp& stamp) {
    return stamp.stampStatus == kStampStatusSimulation || stamp.verificationResult.starts_with(kVerdictSimulationPrefix);
}

bool IsSimulationRecord(const EraseResult& result) {
    return result.job.execMode == ExecMode::SimulationDryRun || result.stamp.stampStatus == kStampStatusSimulation ||
           result.verificationResult.starts_with(kVerdictSimulationPrefix);
}

}  // namespace morvane
