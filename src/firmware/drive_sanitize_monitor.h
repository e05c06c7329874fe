// The proof rule of a SATA or SAS sanitize as a small pure state machine, the same rule as
// NVMe's: the drive itself accepted our command, and its own status then showed that
// sanitize run and end. Readings of either protocol are first reduced to one form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/win32.h"
#include "firmware/ata_identify.h"
#include "firmware/sanitize_monitor.h"
#include "firmware/scsi_requests.h"

namespace morvane {

// One look at a drive's sanitize state.
struct DriveSanitizeReading {
    enum class Phase : std::uint8_t {
        Idle,        // ATA: none running, no completion recorded
        InProgress,
        Succeeded,   // ATA: SANITIZE OPERATION COMPLETED WITHOUT ERROR
        Ended,       // SCSI: none running and no failure reported (the drive is ready)
        Failed,      // ATA: status aborted "unsuccessful"; SCSI: SANITIZE COMMAND FAILED
        Frozen,      // ATA: the Sanitize Frozen state
    };
    Phase phase = Phase::Idle;
    double progress = 0.0;  // 0..1 while in progress
    std::wstring summary;   // English, e.g. "SANITIZE STATUS EXT count 0x8000"
};

// A SANITIZE STATUS EXT answer as a reading; empty for an abort without a known reason.
std::optional<DriveSanitizeReading> ReadingOf(const AtaSanitizeStatus& status);

// REQUEST SENSE data as a reading; empty for sense about something else (a unit
// attention, say), which settles nothing.
std::optional<DriveSanitizeReading> ReadingOf(const SenseData& sense);

// What became of the sanitize command itself.
struct DriveCommandOutcome {
    enum class Kind : std::uint8_t { Accepted, RefusedByWindows, RefusedByDrive };
    Kind kind = Kind::Accepted;
    DWORD error = 0;      // the Windows error, when refused by Windows
    std::wstring reason;  // English text of the refusal
    bool frozen = false;  // the drive refused because its sanitize is frozen
    // An accepted command whose answer carries the drive's own completion (ATA: ready, no
    // error; SCSI: GOOD status), not merely a request Windows let through.
    bool confirmedByDrive = false;
};

class DriveSanitizeMonitor {
public:
    DriveSanitizeMonitor(std::optional<DriveSanitizeReading> before, bool underWinPE);

    // A verdict that forbids sending at all: a sanitize already running, or a frozen drive.
    std::optional<SanitizeVerdict> BeforeSending() const;

    // The verdict when the command was not accepted; empty when it was.
    std::optional<SanitizeVerdict> AfterCommand(const DriveCommandOutcome& outcome);

    // One look after the drive accepted the command (empty `now`: no reading this time).
    // Returns the verdict once the readings settle it. A success never seen running counts
    // when it is new (the reading before the command showed none) or when the drive itself
    // confirmed taking the command: a drive that merely still reports an earlier success
    // to a command that never reached it proves nothing.
    std::optional<SanitizeVerdict> Observe(const std::optional<DriveSanitizeReading>& now);

    // The verdict when the time-out of `seconds` passed unsettled.
    SanitizeVerdict TimedOut(std::uint32_t seconds) const;

    bool sawInProgress() const { return sawInProgress_; }
    double progress() const { return progress_; }

    // Consecutive looks without a reading after which the outcome counts as unreadable.
    static constexpr int kUnreadableLimit = 3;

private:
    std::optional<DriveSanitizeReading> before_;
    bool underWinPE_;
    bool confirmedByDrive_ = false;
    bool sawInProgress_ = false;
    double progress_ = 0.0;
    int unreadable_ = 0;
};

}  // namespace morvane
