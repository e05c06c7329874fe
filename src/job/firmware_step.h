// The erase job's firmware sanitize step: what the drive will be asked to do for a job
// (the confirmation box and the dry run read it from the scan's record), and for a real
// run asking the drive again on the guarded handle, sending the sanitize and recording
// what the drive proved.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/log_callback.h"
#include "common/win32.h"
#include "erase/records.h"
#include "firmware/applicability.h"
#include "firmware/sanitize_runner.h"
#include "firmware/transport.h"

namespace morvane {

// The transports of one real firmware step. `command` carries the requests over the
// guarded write handle; `status` reads the status log over a second handle to the same
// disk, opened with no access rights, so that the reads are not queued behind a request
// that blocks until the drive is done. An empty member means it could not be opened.
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

// The applicability facts of `job` as the scan recorded its disk.
FirmwareFacts FirmwareFactsFor(const EraseJob& job, bool compatibilityLayer);

// What the step will do for `job`, from the scan's record of its disk: the confirmation
// box shows it before the job starts.
FirmwareDecision PlanFirmwareStep(const EraseJob& job, bool compatibilityLayer);

// The whole step, logged under "[FIRMWARE SANITIZE] ". A dry run and a job the step does
// not apply to only record the decision (`guarded` is then unused). A real NIST Purge run
// asks the drive again through `guarded`, decides on that answer and, when the decision
// says so, runs the sanitize with its progress reported as kPhaseFirmwareSanitize. The
// record's detail ends with what the drive offers. Cancellation is not asked here: the
// drive's own sanitize cannot be interrupted.
FirmwareSanitizeRecord RunFirmwareStep(const EraseJob& job, HANDLE guarded, const FirmwareEdges& edges,
                                       std::uint32_t totalPasses, const ProgressCallback& progress,
                                       const LogCallback& log);

// A real run that completed its overwrite without a firmware sanitize that counts reached
// the Clear level only: its firmware record says so. Other results are left as they are.
void NoteReachedLevel(EraseResult& result);

}  // namespace morvane
