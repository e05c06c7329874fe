// Progress records and their percentages.
#include "erase/progress.h"

#include <utility>

namespace morvane {

namespace {

// The expected duration of the verification, in hundredths of a pass.
std::int64_t VerifyWeight(const EraseJob& job) {
    if (job.verifyLevel == VerifyLevel::Skip) return 0;
    if (job.execMode != ExecMode::RealHardwareWrite) return 33;  // 250 ms against 750 ms a pass
    return job.verifyLevel == VerifyLevel::FullSurface ? 100 : 2;
}

}  // namespace

std::int32_t PassesShare(const EraseJob& job, std::uint32_t totalPasses) {
    const std::int64_t passes = (totalPasses == 0 ? 1 : totalPasses) * std::int64_t{100};
    return static_cast<std::int32_t>(kVerifiedPercent * passes / (passes + VerifyWeight(job)));
}

std::uint32_t PassPercent(std::uint64_t written, std::uint64_t total) {
    if (total == 0) return 100;
    return static_cast<std::uint32_t>(written * 100 / total);
}

std::int32_t OverallPercent(std::int32_t passesShare, std::uint32_t passPercent, std::uint32_t passNumber,
                            std::uint32_t totalPasses) {
    // A zero pass count would divide by zero; the job never passes one, but a pass
    // on its own counts as a plan of one.
    const std::int64_t passes = totalPasses == 0 ? 1 : totalPasses;
    const std::int64_t number = passNumber == 0 ? 1 : (passNumber > passes ? passes : passNumber);
    const std::int64_t percent = passPercent > 100 ? 100 : passPercent;
    const std::int64_t done = percent + 100 * (number - 1);
    return static_cast<std::int32_t>(passesShare * done / (100 * passes));
}

EraseProgressInfo PassProgress(const EraseJob& job, const OverwritePass& pass, std::uint32_t totalPasses,
                               std::uint32_t passPercent, double speedMBps, std::wstring label) {
    EraseProgressInfo info;
    info.phase = 1;
    info.passNumber = pass.number;
    info.totalPasses = totalPasses;
    info.passPercent = passPercent;
    info.overallPercent = OverallPercent(PassesShare(job, totalPasses), passPercent, pass.number, totalPasses);
    info.speedMBps = speedMBps;
    info.label = std::move(label);
    return info;
}

double SpeedMBps(std::uint64_t bytes, std::uint64_t elapsedMs) {
    if (elapsedMs == 0) return 0.0;
    return (static_cast<double>(bytes) / 1048576.0) / (static_cast<double>(elapsedMs) / 1000.0);
}

EraseProgressInfo VerifyProgress(const EraseJob& job, std::uint32_t totalPasses, std::uint64_t done,
                                 std::uint64_t total, double speedMBps, std::wstring label) {
    const std::int32_t start = PassesShare(job, totalPasses);
    const std::uint32_t percent = PassPercent(done < total ? done : total, total);
    EraseProgressInfo info;
    info.phase = 2;
    info.overallPercent = start + static_cast<std::int32_t>((kVerifiedPercent - start) * std::int64_t{percent} / 100);
    info.passPercent = percent;
    info.speedMBps = speedMBps;
    info.label = std::move(label);
    return info;
}

EraseProgressInfo FinishedProgress(std::wstring label) {
    EraseProgressInfo info;
    info.phase = 2;
    info.overallPercent = 100;
    info.passPercent = 100;
    info.label = std::move(label);
    return info;
}

}  // namespace morvane
