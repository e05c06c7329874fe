// Whether the firmware sanitize step runs for one job, decided from plain facts the job
// gathered: the method it would use, or the reason it does not run (Japanese for the log
// and the confirmation box, English for the record). One home for the rule; pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "firmware/model.h"
#include "firmware/nvme_pages.h"
#include "firmware/sanitize_runner.h"

namespace morvane {

struct FirmwareFacts {
    bool wanted = false;              // the standard asks for Purge (decided by the job)
    bool realRun = false;             // false: simulation (dry run)
    bool compatibilityLayer = false;  // running under Wine
    bool isNvme = false;
    // The protocol of the disk's bus when the program can speak it: NVMe, SATA (ATA
    // pass-through) or SAS (SCSI pass-through). `isNvme` is its NVMe-only form, kept for
    // callers written before SATA and SAS: either one makes the disk NVMe.
    std::optional<DriveProtocol> protocol;
    bool behindUsbBridge = false;
    bool underWinPE = false;          // SATA sanitize runs only there; the frozen-drive advice
    std::uint64_t capacityBytes = 0;  // sizes the time-out of a SATA or SAS overwrite
    FirmwareCapabilities capabilities;
    std::optional<SanitizeStatusLog> lastStatus;  // from discovery: its estimates size the time-out
    // Another disk of the system may sit on this disk's controller (ControllerMayBeShared).
    bool controllerMayBeShared = true;
};

struct FirmwareDecision {
    bool run = false;
    SanitizePlan plan;     // what a real run sends (also filled for the dry run)
    std::wstring reason;   // Japanese, one sentence: why not, or what a dry run would ask
    // The record when the step does not run: NOT APPLICABLE or NOT PERFORMED with the
    // reason in English; for a run, the method only (the runner fills the rest).
    FirmwareSanitizeRecord record;
    // A plan made before the job starts, from a disk record that could not say what the
    // drive offers (a SAS drive's scan never can): the job asks the drive on its guarded
    // handle and runs the step when the drive offers a method. `reason` says so.
    bool decidedAtStart = false;
};

// The checks in order: standard, compatibility layer, USB bridge (no firmware command is
// sent through one: bridges differ and often drop or time out long commands), a protocol
// the program speaks, capability known, SATA only under WinPE (Windows passes ATA sanitize
// commands through nowhere else), an ATA drive's sanitize not frozen, a method
// offered, NVMe namespace scope (NN = 1, or no other disk on the controller: NN alone is
// only the highest namespace ID allowed), then simulation.
FirmwareDecision DecideFirmwareSanitize(const FirmwareFacts& facts);

// The line the confirmation box shows before a real erase: the method and route, that the
// drive is asked when the job starts, or why the step will not run.
std::wstring FirmwareConfirmationText(const FirmwareDecision& decision);

}  // namespace morvane
