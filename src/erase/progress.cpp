// Progress records and their percentages.
#include "erase/progress.h"

#include <utility>

namespace morvane {

std::uint32_t PassPercent(std::uint64_t written, std::uint64_t total) {
    if (total == 0) return 100;
    return static_cast<std::uint32_t>(written * 100 / total);
}

std::int32_t OverallPercent(std::uint32_t passPercent, std::uint32_t passNumber, std::uint32_t totalPasses) {
    // A zero pass count would divide by zero; the job never passes one, but a pass
    // on its own counts as a plan of one.
    const std::int64_t passes = totalPasses == 0 ? 1 : totalPasses;
    const std::int64_t done =
        static_cast<std::int64_t>(passPercent) + 100 * (static_cast<std::int64_t>(passNumber) - 1);
    return static_cast<std::int32_t>(done / passes);
}

EraseProgressInfo PassProgress(const OverwritePass& pass, std::uint32_t totalPasses, std::uint32_t passPercent,
                               double speedMBps, std::wstring label) {
    EraseProgressInfo info;
    info.phase = 1;
    info.passNumber = pass.number;
    info.totalPasses = totalPasses;
    info.passPercent = passPercent;
    info.overallPercent = OverallPercent(passPercent, pass.number, totalPasses);
    info.speedMBps = speedMBps;
    info.label = std::move(label);
    return info;
}

EraseProgressInfo VerifyProgress(std::int32_t overallPercent, std::uint32_t passPercent, double speedMBps,
                                 std::wstring label) {
    EraseProgressInfo info;
    info.phase = 2;
    info.overallPercent = overallPercent;
    info.passPercent = passPercent;
    info.speedMBps = speedMBps;
    info.label = std::move(label);
    return info;
}

}  // namespace morvane
