// The operator's two final disk states from the report window: engrave the report
// stamp, or zero the stamp area again. Both open the disk through the guarded open.
#pragma once

#include "common/log_callback.h"
#include "disk/disk_identity.h"
#include "disk/disk_info.h"
#include "erase/records.h"

namespace morvane {

// Writes the stamp to the disk (Erasable or InternalUnlocked only). The writer logs
// its own success line; refusals log a "[SAFETY]" line before anything is opened.
// Both also refuse, before opening, when the device at the path is no longer the
// recorded disk (`identity` answers what is there; empty means the real query).
[[nodiscard]] bool StampDiskByOperator(const DiskInfo& disk, const ReportStamp& stamp, const LogCallback& log,
                                       const DiskIdentitySource& identity = {});

// Deletes the partition layout (best effort) and zeroes the stamp's 128 KiB,
// rounded up to whole sectors. Logs its success line only after the whole write.
[[nodiscard]] bool EraseStampArea(const DiskInfo& disk, const LogCallback& log,
                                  const DiskIdentitySource& identity = {});

}  // namespace morvane
