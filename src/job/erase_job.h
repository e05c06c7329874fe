// One whole sanitization of one disk, above the engine, the evidence, the stamp and
// the hardware inventory: safety guard, the drive's own sanitize for NIST Purge (and a
// SATA drive's hidden capacity), passes (real or simulated), partition wipe,
// verification, the hardware profile (read once), the bootable stamp and the
// certificate files.
#pragma once

#include <functional>

#include "common/hardware_profile.h"
#include "common/unique_handle.h"
#include "disk/disk_identity.h"
#include "disk/write_safety.h"
#include "erase/disk_prep.h"
#include "erase/pass_keys.h"
#include "erase/records.h"
#include "job/firmware_step.h"

namespace morvane {

// The job's reach into the machine. Empty members mean the real operations; tests
// substitute their own to observe that nothing was locked, to hand the job a handle
// that fails on purpose or to count hardware collections.
struct EraseJobEdges {
    std::function<LockedVolumes(int diskNumber, const LogCallback& log)> lockVolumes;
    // Opens the disk for the real path (read/write, unbuffered, write-through).
    std::function<UniqueFile(const std::wstring& devicePath)> openDisk;
    // Answers what disk is at the device path now (the wrong-disk check).
    DiskIdentitySource queryIdentity;
    // Answers the running machine's safety facts for the guard (real WinPE, system disks).
    SafetyEnvironmentSource environment;
    // Collects the machine's hardware profile; called once per job that runs.
    std::function<HardwareProfile(const DiskInfo& disk)> collectHardware;
    // Draws the keys of the random passes (the system generator when empty).
    RandomFill keySeed;
    // The drive's own sanitize: whether requests are refused here (Wine) and the
    // transports of a real run.
    FirmwareEdges firmware;
};

// Never fails as a call: every outcome is in the returned result.
EraseResult RunEraseJob(const EraseJob& job, bool winPE, const CancelFlag* cancel,
                        ProgressCallback progress, LogCallback log);
EraseResult RunEraseJob(const EraseJob& job, bool winPE, const CancelFlag* cancel,
                        ProgressCallback progress, LogCallback log, const EraseJobEdges& edges);

// Seals a finished result: its fingerprint, then the stamp record composed from the
// result and the job's hardware profile. Both are made once, from the result as it
// stands; the certificates and the disk's stamp then carry the same record.
void SealResult(EraseResult& result, const HardwareProfile& hardware);

}  // namespace morvane
