// The verdict rules of one firmware sanitize.
#include "firmware/sanitize_monitor.h"

#include <cstdio>

#include "firmware/nvme_requests.h"

namespace morvane {

namespace {

std::wstring LogSummary(const SanitizeStatusLog& log) {
    wchar_t text[96];
    std::swprintf(text, std::size(text), L"SSTAT 0x%04X, SCDW10 0x%08X, Global Data Erased: %ls",
                  static_cast<unsigned>(log.sstat), log.scdw10, log.globalDataErased() ? L"yes" : L"no");
    return text;
}

SanitizeVerdict Verdict(const wchar_t* result, std::wstring detail, bool counts = false) {
    return SanitizeVerdict{result, std::move(detail), counts};
}

// "Windows error 1 (Incorrect function.)", or the device's own refusal of a protocol command.
std::wstring Refusal(const CommandState& command) {
    if (command.error == 0) return L"the drive refused the command: " + command.reason;
    std::wstring text = L"Windows error " + std::to_wstring(command.error);
    if (!command.reason.empty()) text += L" (" + command.reason + L")";
    return text;
}

}  // namespace

SanitizeMonitor::SanitizeMonitor(SanitizeMethod method, std::optional<SanitizeStatusLog> before)
    : method_(method), before_(before) {}

std::optional<SanitizeVerdict> SanitizeMonitor::BeforeSending() const {
    if (before_ && before_->state() == SanitizeState::InProgress) {
        return Verdict(kFirmwareNotPerformed,
                       L"A sanitize was already in progress on the drive; no request was sent.");
    }
    return std::nullopt;
}

bool SanitizeMonitor::IsOurs(const SanitizeStatusLog& now) const {
    return (now.scdw10 & 0x7u) == SanitizeAction(method_);
}

bool SanitizeMonitor::DiffersFromBefore(const SanitizeStatusLog& now) const {
    return before_ && (now.sstat != before_->sstat || now.scdw10 != before_->scdw10);
}

std::optional<SanitizeVerdict> SanitizeMonitor::Observe(const std::optional<SanitizeStatusLog>& now,
                                                        const CommandState& command) {
    using Kind = CommandState::Kind;
    if (now) {
        const SanitizeState state = now->state();
        if (state == SanitizeState::InProgress) {
            sawInProgress_ = true;
            progress_ = now->progress();
            return std::nullopt;
        }
        // A failure counts unless it may be the old one from before: the same reading while
        // Windows has not yet accepted the request (a repeated failure reads the same).
        if (state == SanitizeState::Failed &&
            (sawInProgress_ || !before_ || DiffersFromBefore(*now) || command.kind == Kind::Accepted)) {
            return Verdict(kFirmwareFailed, L"The drive reported the sanitize as failed (" + LogSummary(*now) + L")." +
                                                kRestrictedFailureNote);
        }
        if (now->succeeded()) {
            if (sawInProgress_) {
                return Verdict(kFirmwareCompleted,
                               L"The drive reported the sanitize in progress, then completed (" + LogSummary(*now) + L").",
                               true);
            }
            // Too quick to be seen running: only a changed log naming our action proves it.
            if (DiffersFromBefore(*now) && IsOurs(*now)) {
                return Verdict(kFirmwareCompleted,
                               L"The drive's status log changed to a completed sanitize of the requested action (" +
                                   LogSummary(*now) + L").",
                               true);
            }
        }
        // Not settled by the log: the command decides.
        if (command.kind == Kind::Accepted) {
            return Verdict(kFirmwareNotConfirmed,
                           L"Windows accepted the request, but the drive's status log does not show the requested "
                           L"sanitize as new (" +
                               LogSummary(*now) + L"); not counted as Purge.");
        }
        if (command.kind == Kind::Refused && !sawInProgress_) {
            return Verdict(kFirmwareNotPerformed, L"The request was refused: " + Refusal(command) + L".");
        }
        return std::nullopt;
    }
    if (command.kind == Kind::Accepted) {
        return Verdict(kFirmwareNotConfirmed,
                       L"Windows accepted the request, but the drive's sanitize status log could not be read; "
                       L"not counted as Purge.");
    }
    if (command.kind == Kind::Refused) {
        if (!sawInProgress_) return Verdict(kFirmwareNotPerformed, L"The request was refused: " + Refusal(command) + L".");
        return Verdict(kFirmwareFailed, L"The drive started the sanitize, but the request ended with " + Refusal(command) +
                                            L"; the outcome could not be read." + kRestrictedFailureNote);
    }
    return std::nullopt;
}

SanitizeVerdict SanitizeMonitor::TimedOut(std::uint32_t seconds) const {
    return Verdict(kFirmwareFailed, L"The sanitize did not complete within " + std::to_wstring(seconds) +
                                        L" seconds (time-out)." + kRestrictedFailureNote);
}

}  // namespace morvane
