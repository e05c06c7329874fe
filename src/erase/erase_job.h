// One whole sanitization of one disk: safety guard, passes (real or simulated),
// partition wipe, verification, bootable stamp and the certificate files.
#pragma once

#include <functional>

#include "common/unique_handle.h"
#include "disk/disk_identity.h"
#include "erase/housekeeping.h"
#include "erase/records.h"

namespace morvane {

// The job's reach into the machine. Empty members mean the real operations; tests
// substitute their own to observe that nothing was locked or to hand the job a
// handle that fails on purpose.
struct EraseJobEdges {
    std::function<LockedVolumes(int diskNumber, const LogCallback& log)> lockVolumes;
    // Opens the disk for the real path (read/write, unbuffered, write-through).
    std::function<UniqueFile(const std::wstring& devicePath)> openDisk;
    // Answers what disk is at the device path now (the wrong-disk check).
    DiskIdentitySource queryIdentity;
};

// The real path's open: read and write access, shared, no buffering, write-through.
UniqueFile OpenDiskForErase(const std::wstring& devicePath);

// Never fails as a call: every outcome is in the returned result.
EraseResult RunEraseJob(const EraseJob& job, bool winPE, const CancelFlag* cancel,
                        ProgressCallback progress, LogCallback log);
EraseResult RunEraseJob(const EraseJob& job, bool winPE, const CancelFlag* cancel,
                        ProgressCallback progress, LogCallback log, const EraseJobEdges& edges);

}  // namespace morvane
