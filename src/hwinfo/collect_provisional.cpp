// Stand-in until the real collector lands: defaults only, so callers link.
#include "hwinfo/collect.h"

namespace morvane {

HardwareProfile CollectHardwareProfile(const DiskInfo& /*disk*/) {
    return HardwareProfile{};
}

}  // namespace morvane
