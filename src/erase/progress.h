// The progress records the engine reports, and how one job's overall percent is shared
// among its phases so that it only ever climbs.
#pragma once

#include <cstdint>
#include <string>

#include "erase/records.h"
#include "erase/standards.h"

namespace morvane {

// The overall percent climbs once from 0 to 100 over a whole job: the passes fill 0 to
// PassesShare, verification PassesShare to kVerifiedPercent, and only the job's own last
// report, sent when the stamp and the files are done too, says 100.
inline constexpr std::int32_t kVerifiedPercent = 99;

// Where the passes of a job with `totalPasses` passes end: the passes and the verification
// share 0..99 by how long they take. A real pass and a full-surface read each count as
// one pass; quick sampling as a fiftieth of one; the simulated verification as a third of
// a simulated pass; a skipped one as nothing.
[[nodiscard]] std::int32_t PassesShare(const EraseJob& job, std::uint32_t totalPasses);

// Percent of one pass: written * 100 / total, 100 for an empty disk.
[[nodiscard]] std::uint32_t PassPercent(std::uint64_t written, std::uint64_t total);
// Overall percent when pass `passNumber` (1-based) of `totalPasses` stands at
// `passPercent` and the passes end at `passesShare`; a zero pass count counts as one.
[[nodiscard]] std::int32_t OverallPercent(std::int32_t passesShare, std::uint32_t passPercent,
                                          std::uint32_t passNumber, std::uint32_t totalPasses);

// MiB per second for `bytes` moved in `elapsedMs` (0 before the clock has moved).
[[nodiscard]] double SpeedMBps(std::uint64_t bytes, std::uint64_t elapsedMs);

// Phase 1: an overwrite pass (real or simulated) of `job` at `passPercent`.
EraseProgressInfo PassProgress(const EraseJob& job, const OverwritePass& pass, std::uint32_t totalPasses,
                               std::uint32_t passPercent, double speedMBps, std::wstring label);
// Phase 2: the verification of `job` after `totalPasses` passes, `done` of `total` steps
// (samples, bytes) through.
EraseProgressInfo VerifyProgress(const EraseJob& job, std::uint32_t totalPasses, std::uint64_t done,
                                 std::uint64_t total, double speedMBps, std::wstring label);
// The job's last report once everything is done: 100 overall.
EraseProgressInfo FinishedProgress(std::wstring label);

}  // namespace morvane
