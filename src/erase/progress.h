// The progress records the engine reports: one builder per phase and the percentage
// formulas they use.
#pragma once

#include <cstdint>
#include <string>

#include "erase/records.h"
#include "erase/standards.h"

namespace morvane {

// Percent of one pass: written * 100 / total, 100 for an empty disk.
[[nodiscard]] std::uint32_t PassPercent(std::uint64_t written, std::uint64_t total);
// Percent of the whole plan when pass `passNumber` (1-based) of `totalPasses` stands at
// `passPercent`; a zero pass count counts as a plan of one.
[[nodiscard]] std::int32_t OverallPercent(std::uint32_t passPercent, std::uint32_t passNumber,
                                          std::uint32_t totalPasses);

// Phase 1: an overwrite pass (real or simulated) at `passPercent`.
EraseProgressInfo PassProgress(const OverwritePass& pass, std::uint32_t totalPasses, std::uint32_t passPercent,
                               double speedMBps, std::wstring label);
// Phase 2: verification.
EraseProgressInfo VerifyProgress(std::int32_t overallPercent, std::uint32_t passPercent, double speedMBps,
                                 std::wstring label);

}  // namespace morvane
