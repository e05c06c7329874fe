// Collection of the machine's hardware profile for the reports.
#pragma once

#include "disk/disk_info.h"
#include "common/hardware_profile.h"

namespace morvane {

// Never fails: every field ends non-empty, falling back to defaults.
HardwareProfile CollectHardwareProfile(const DiskInfo& disk);

}  // namespace morvane
