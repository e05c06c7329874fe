// The proof rule of a firmware sanitize as a small pure state machine: given the status
// log read before the request, each later reading and what Windows answered, it decides
// when the evidence settles the outcome and what the outcome is. A drive that merely
// still reports an earlier success proves nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/win32.h"
#include "firmware/model.h"
#include "firmware/nvme_pages.h"

namespace morvane {

// What has become of the request sent on the command thread.
struct CommandState {
    enum class Kind : std::uint8_t { Pending, Accepted, Refused };
    Kind kind = Kind::Pending;
    DWORD error = 0;     // Windows error, when refused by Windows
    std::wstring reason; // English text of the refusal
};

struct SanitizeVerdict {
    std::wstring result;  // kFirmwareCompleted, kFirmwareNotConfirmed, kFirmwareFailed, kFirmwareNotPerformed
    std::wstring detail;  // English, for the evidence
    bool countsAsPurge = false;
};

class SanitizeMonitor {
public:
    SanitizeMonitor(SanitizeMethod method, std::optional<SanitizeStatusLog> before);

    // A verdict that forbids sending at all: the drive is already sanitizing.
    std::optional<SanitizeVerdict> BeforeSending() const;

    // One look at the drive. `now` is the status log read after `command` was taken
    // (empty when unreadable) — in that order, so an accepted command's effects are
    // already in the log. Returns the verdict once the readings settle it.
    std::optional<SanitizeVerdict> Observe(const std::optional<SanitizeStatusLog>& now, const CommandState& command);

    // The verdict when the time-out of `seconds` passed unsettled.
    SanitizeVerdict TimedOut(std::uint32_t seconds) const;

    bool sawInProgress() const { return sawInProgress_; }
    // The last progress the drive reported, 0..1.
    double progress() const { return progress_; }

private:
    bool IsOurs(const SanitizeStatusLog& now) const;
    bool DiffersFromBefore(const SanitizeStatusLog& now) const;

    SanitizeMethod method_;
    std::optional<SanitizeStatusLog> before_;
    bool sawInProgress_ = false;
    double progress_ = 0.0;
};

// The sentence every failure detail ends with: in restricted mode a drive whose sanitize
// failed accepts no writes until a sanitize succeeds.
inline constexpr wchar_t kRestrictedFailureNote[] =
    L" The drive may refuse writes until a sanitize succeeds.";

}  // namespace morvane
