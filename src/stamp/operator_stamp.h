// The operator's two final disk states from the report window: engrave the report
// stamp, or zero the stamp area again. Both open the disk through the guarded open.
#pragma once

#include <optional>
#include <string>

#include "common/log_callback.h"
#include "disk/disk_identity.h"
#include "disk/disk_info.h"
#include "disk/write_safety.h"
#include "erase/records.h"

namespace morvane {

// What a stamp write came to: done, or not, with the reason when a check refused it
// before anything was written (empty when the disk would not open or the write failed).
struct [[nodiscard]] StampWriteOutcome {
    bool ok = false;
    std::wstring refusal;
    explicit operator bool() const noexcept { return ok; }
};

// Writes the stamp to the disk. Refused, with a log line and before anything is
// opened: a record that is not from a completed real erasure of this disk
// (OperatorStampRefusal), a disk whose sectors are not 512 bytes, a disk the record
// or the real machine protects, and a device at the path that is no longer the
// recorded disk (`identity` answers what is there; empty means the real query).
// `unlockInternal` is the operator's unlock of internal secondary disks; without one
// the disk counts as unlocked exactly when its record says InternalUnlocked.
// `environment` answers the machine's safety facts (empty: the real ones).
// The writer logs its own success line.
StampWriteOutcome StampDiskByOperator(const DiskInfo& disk, const ReportStamp& stamp, const LogCallback& log,
                                       const DiskIdentitySource& identity = {},
                                       std::optional<bool> unlockInternal = std::nullopt,
                                       const SafetyEnvironmentSource& environment = {});

// Deletes the partition layout (best effort) and zeroes the stamp's 128 KiB,
// rounded up to whole sectors. Logs its success line only after the whole write.
// Refusals and the parameters after `log` as for StampDiskByOperator.
StampWriteOutcome EraseStampArea(const DiskInfo& disk, const LogCallback& log,
                                  const DiskIdentitySource& identity = {},
                                  std::optional<bool> unlockInternal = std::nullopt,
                                  const SafetyEnvironmentSource& environment = {});

// Why `stamp` may not be engraved on `disk` (its "[SAFETY] " or "[DISK STAMP] " log
// line), or empty when it may. A record counts as coming from a completed real
// erasure of this disk when it is not failed (a preview or a failed, cancelled or
// unverified run is), is neither the simulation's stamp status nor a simulated
// verification, and names this disk: its model, serial and capacity text equal the
// disk record's. Both the erase job's result and a stamp read back from the same
// disk qualify, so a stamp can be engraved again after a stamp erase.
std::wstring OperatorStampRefusal(const DiskInfo& disk, const ReportStamp& stamp);

// True when the disk's logical sectors are 512 bytes (0 counts as 512): the stamp's
// boot record, partition entry and FAT volume are laid out in 512-byte units and
// would not boot on larger sectors.
[[nodiscard]] bool StampFitsDisk(const DiskInfo& disk);

// The erase job's log line when it leaves the stamp out for the sector size.
std::wstring StampSkippedForSectorSizeLine(const DiskInfo& disk);

}  // namespace morvane
