// How long an erasure takes at worst, and whether it finishes within the life Windows
// PE gives its shell: 72 hours of continuous use, after which WinPE restarts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "erase/records.h"

namespace morvane {

inline constexpr std::uint64_t kWinPEShellLifeSeconds = 72ULL * 3600;
// Kept free at the end for the partition wipe, the stamp, the evidence files and a
// disk slower than assumed.
inline constexpr std::uint64_t kWinPEMarginSeconds = 2ULL * 3600;

// A sustained write (and read) speed that the kind of disk keeps up even on slow
// hardware and after its write cache is full, in bytes per second.
[[nodiscard]] std::uint64_t ConservativeSpeed(std::uint32_t busKind, std::uint32_t mediaKind);

// Seconds for every pass of the job's standard over the whole disk, the read-back of
// the full-surface verification, and `firmwareSeconds`, the estimate of a firmware
// sanitize that runs too (given by its caller), all at ConservativeSpeed.
[[nodiscard]] std::uint64_t EstimateEraseSeconds(const EraseJob& job, std::optional<std::uint64_t> firmwareSeconds);

enum class WinPETimeAction {
    Start,   // fits, or no limit applies
    Refuse,  // real WinPE and it would not finish: `text` is the message box text
    Warn,    // the WinPE simulation and it would not finish: `text` is a log line
};
struct WinPETimeDecision {
    WinPETimeAction action = WinPETimeAction::Start;
    std::wstring text;
};
// Real WinPE (`realWinPE`) refuses an erasure that would not finish, with margin,
// before 72 hours minus `uptimeMs` (the system's uptime); the simulation of WinPE
// on an installed system only warns. Anything else starts.
[[nodiscard]] WinPETimeDecision DecideWinPETime(std::uint64_t estimateSeconds, std::uint64_t uptimeMs,
                                                bool realWinPE, bool simulatedWinPE);

// "約 H 時間 M 分" (minutes rounded up).
[[nodiscard]] std::wstring ApproximateDuration(std::uint64_t seconds);

}  // namespace morvane
