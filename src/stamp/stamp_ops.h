// The operator's two final disk states from the report window: engrave the report
// stamp, or zero the stamp area again. Both refuse protected disks.
#pragma once

#include "common/log_callback.h"
#include "disk/disk_info.h"
#include "erase/records.h"

namespace morvane {

// Writes the stamp to the disk (Erasable or InternalUnlocked only). The writer logs
// its own success line; refusals log a "[SAFETY]" line before anything is opened.
[[nodiscard]] bool StampDiskByOperator(const DiskInfo& disk, const ReportStamp& stamp, const LogCallback& log);

// Deletes the partition layout (best effort) and zeroes the stamp's 128 KiB,
// rounded up to whole sectors. Logs its success line only after the whole write.
[[nodiscard]] bool EraseStampArea(const DiskInfo& disk, const LogCallback& log);

}  // namespace morvane
