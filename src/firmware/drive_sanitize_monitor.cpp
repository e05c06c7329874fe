// The verdict rules of one SATA or SAS sanitize.
#include "firmware/drive_sanitize_monitor.h"

#include <cstdio>

namespace morvane {

namespace {

using Phase = DriveSanitizeReading::Phase;

SanitizeVerdict Verdict(const wchar_t* result, std::wstring detail, bool counts = false) {
    return SanitizeVerdict{result, std::move(detail), counts};
}

std::wstring Hex(const wchar_t* format, unsigned value) {
    wchar_t text[32];
    std::swprintf(text, std::size(text), format, value);
    return text;
}

std::wstring Percent(double fraction) {
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"%.2f%%", fraction * 100.0);
    return text;
}

}  // namespace

std::optional<DriveSanitizeReading> ReadingOf(const AtaSanitizeStatus& status) {
    DriveSanitizeReading reading;
    if (status.aborted) {
        reading.summary = L"SANITIZE STATUS EXT aborted: " + AtaSanitizeErrorText(status.error);
        if (status.failed()) reading.phase = Phase::Failed;
        else if (status.frozen) reading.phase = Phase::Frozen;
        else return std::nullopt;
        return reading;
    }
    const unsigned count = (status.completedWithoutError ? 0x8000u : 0) | (status.inProgress ? 0x4000u : 0) |
                           (status.frozen ? 0x2000u : 0);
    reading.summary = L"SANITIZE STATUS EXT" + Hex(L" count 0x%04X", count);
    if (status.inProgress) {
        reading.phase = Phase::InProgress;
        reading.progress = status.progress / 65536.0;
        reading.summary += L", progress " + Percent(reading.progress);
    } else if (status.completedWithoutError) {
        reading.phase = Phase::Succeeded;
    } else if (status.frozen) {
        reading.phase = Phase::Frozen;
    }
    return reading;
}

std::optional<DriveSanitizeReading> ReadingOf(const SenseData& sense) {
    DriveSanitizeReading reading;
    reading.summary = L"REQUEST SENSE: " + SenseText(sense);
    if (sense.sanitizeInProgress()) {
        reading.phase = Phase::InProgress;
        reading.progress = sense.progress ? *sense.progress / 65536.0 : 0.0;
        if (sense.progress) reading.summary += L", progress " + Percent(reading.progress);
    } else if (sense.sanitizeFailed()) {
        reading.phase = Phase::Failed;
    } else if (sense.noSense()) {
        reading.phase = Phase::Ended;
    } else {
        return std::nullopt;
    }
    return reading;
}

DriveSanitizeMonitor::DriveSanitizeMonitor(std::optional<DriveSanitizeReading> before, bool underWinPE)
    : before_(std::move(before)), underWinPE_(underWinPE) {}

std::optional<SanitizeVerdict> DriveSanitizeMonitor::BeforeSending() const {
    if (!before_) return std::nullopt;
    if (before_->phase == Phase::InProgress) {
        return Verdict(kFirmwareNotPerformed, L"A sanitize was already in progress on the drive (" + before_->summary +
                                                  L"); no request was sent.");
    }
    if (before_->phase == Phase::Frozen) {
        return Verdict(kFirmwareNotPerformed,
                       L"No request was sent: " + FrozenDriveNote(underWinPE_) + L" (" + before_->summary + L")");
    }
    return std::nullopt;
}

std::optional<SanitizeVerdict> DriveSanitizeMonitor::AfterCommand(const DriveCommandOutcome& outcome) {
    using Kind = DriveCommandOutcome::Kind;
    switch (outcome.kind) {
        case Kind::Accepted:
            confirmedByDrive_ = outcome.confirmedByDrive;
            return std::nullopt;
        case Kind::RefusedByWindows: {
            std::wstring text = L"The request was refused: Windows error " + std::to_wstring(outcome.error);
            if (!outcome.reason.empty()) text += L" (" + outcome.reason + L")";
            return Verdict(kFirmwareNotPerformed, text + L".");
        }
        case Kind::RefusedByDrive: break;
    }
    std::wstring text = L"The drive refused the command: " + outcome.reason + L".";
    if (outcome.frozen) text += L" " + FrozenDriveNote(underWinPE_);
    return Verdict(kFirmwareNotPerformed, text);
}

std::optional<SanitizeVerdict> DriveSanitizeMonitor::Observe(const std::optional<DriveSanitizeReading>& now) {
    if (!now) {
        if (++unreadable_ < kUnreadableLimit) return std::nullopt;
        if (sawInProgress_) {
            return Verdict(kFirmwareFailed, L"The drive started the sanitize, but its status could not be read "
                                            L"afterwards; the outcome is unknown." +
                                                std::wstring(kRestrictedFailureNote));
        }
        return Verdict(kFirmwareNotConfirmed, L"The drive accepted the command, but its sanitize status could not "
                                              L"be read; not counted as Purge.");
    }
    unreadable_ = 0;
    switch (now->phase) {
        case Phase::InProgress:
            sawInProgress_ = true;
            progress_ = now->progress;
            return std::nullopt;
        case Phase::Failed:
            return Verdict(kFirmwareFailed,
                           L"The drive reported the sanitize as failed (" + now->summary + L")." + kRestrictedFailureNote);
        case Phase::Succeeded:
        case Phase::Ended: {
            const bool oldSuccess =
                before_ && (before_->phase == Phase::Succeeded || before_->phase == Phase::Ended);
            if (!sawInProgress_ && oldSuccess && !confirmedByDrive_) {
                return Verdict(kFirmwareNotConfirmed,
                               L"Windows passed the command on without the drive's own completion, and the drive "
                               L"still reports the earlier sanitize result (" +
                                   now->summary + L"); not counted as Purge.");
            }
            return Verdict(kFirmwareCompleted,
                           (sawInProgress_ ? L"The drive accepted the command, reported the sanitize in progress, "
                                             L"then completed ("
                                           : L"The drive accepted the command; its next status showed the sanitize "
                                             L"completed (") +
                               now->summary + L").",
                           true);
        }
        case Phase::Idle:
        case Phase::Frozen: break;
    }
    return Verdict(kFirmwareNotConfirmed, L"The drive accepted the command, but its status shows no sanitize run (" +
                                              now->summary + L"); not counted as Purge.");
}

SanitizeVerdict DriveSanitizeMonitor::TimedOut(std::uint32_t seconds) const {
    return Verdict(kFirmwareFailed, L"The sanitize did not complete within " + std::to_wstring(seconds) +
                                        L" seconds (time-out)." + kRestrictedFailureNote);
}

}  // namespace morvane
