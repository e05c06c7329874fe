// The erase job's firmware sanitize step: what the drive will be asked to do for a job
// (the confirmation box and the dry run read it from the scan's record), and for a real
// run asking the drive again on the guarded handle, sending the sanitize and recording
// what the drive proved and what part of it (HPA/DCO) a host overwrite cannot reach.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/log_callback.h"
#include "common/win32.h"
#include "erase/records.h"
#include "firmware/applicability.h"
#include "firmware/hidden_capacity.h"
#include "firmware/sanitize_runner.h"
#include "firmware/transport.h"

namespace morvane {

// The transports of one real firmware step. `command` carries the requests over the
// guarded write handle; for NVMe, `status` reads the status log over a second handle to
// the same disk, opened with no access rights, so that the reads are not queued behind a
// request that blocks until the drive is done. SATA and SAS status reads are pass-through
// requests, which need the write handle, and no command of theirs blocks: they go over
// `command` and `status` is not used. An empty member means it could not be opened.
struct FirmwareLink {
    std::shared_ptr<DeviceTransport> command;
    std::shared_ptr<DeviceTransport> status;
    SanitizeRunSettings settings;
};

// The step's reach into the machine; empty members mean the real ones.
struct FirmwareEdges {
    // True under a compatibility layer (Wine), where nothing is ever sent to a drive.
    std::function<bool()> compatibilityLayer;
    // The link for the guarded handle of the disk at `devicePath`.
    std::function<FirmwareLink(HANDLE guarded, const std::wstring& devicePath)> open;
};

// The applicability facts of `job` as the scan recorded its disk. `underWinPE` is the
// real detection (Windows passes ATA sanitize commands only there), never a simulation.
FirmwareFacts FirmwareFactsFor(const EraseJob& job, bool compatibilityLayer, bool underWinPE);

// What the step will do for `job`, from the scan's record of its disk: the confirmation
// box shows it before the job starts. When the record could not say what the drive offers
// (always so for SAS) and nothing else stands in the way, the decision says that the drive
// is asked when the job starts (decidedAtStart).
FirmwareDecision PlanFirmwareStep(const EraseJob& job, bool compatibilityLayer, bool underWinPE);

// What the step leaves for the result.
struct FirmwareStepResult {
    FirmwareSanitizeRecord firmware;
    HiddenCapacityRecord hiddenCapacity;
    // Japanese sentences for the disk's safety description from what the drive said on the
    // guarded handle: a failed or frozen sanitize (with what to do), a security lock,
    // hidden sectors. Empty when none applies or the drive was not asked.
    std::wstring safetyNote;
};

// The whole step, logged under "[FIRMWARE SANITIZE] ". A dry run and a job the step does
// not apply to only record the decision (`guarded` is then unused). A real run asks the
// drive again through `guarded` (NVMe and SAS for NIST Purge only; SATA for every
// standard, since its hidden capacity belongs in any run's evidence), decides on that
// answer and, when the decision says so, runs the sanitize with its progress reported as
// kPhaseFirmwareSanitize. The firmware record's detail ends with what the drive offers;
// the hidden-capacity record says whether a firmware sanitize that counted covered the
// hidden sectors, or why the drive was not asked. Cancellation is not asked here: the
// drive's own sanitize cannot be interrupted.
FirmwareStepResult RunFirmwareStep(const EraseJob& job, bool underWinPE, HANDLE guarded, const FirmwareEdges& edges,
                                   std::uint32_t totalPasses, const ProgressCallback& progress, const LogCallback& log);

// Appends each sentence of `note` that the disk's safety description does not hold yet.
void AddSafetyNote(DiskInfo& disk, const std::wstring& note);

// A real run that completed its overwrite without a firmware sanitize that counts reached
// the Clear level only: its firmware record says so. Other results are left as they are.
void NoteReachedLevel(EraseResult& result);

}  // namespace morvane
