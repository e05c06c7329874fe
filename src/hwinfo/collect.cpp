// The collector: gathers every source afresh and composes the profile.
#include "hwinfo/collect.h"

#include "hwinfo/devices.h"
#include "hwinfo/profile_compose.h"
#include "hwinfo/smbios.h"
#include "hwinfo/system_facts.h"

namespace morvane {

HardwareProfile CollectHardwareProfile(const DiskInfo& disk) {
    try {
        const std::vector<std::uint8_t> raw = ReadRawSmbiosTable();
        const SmbiosFacts smbios = ParseSmbiosTable(raw);
        return ComposeHardwareProfile(smbios, ReadBiosRegistryValues(), ReadProcessorFacts(),
                                      TotalPhysicalMemory(), disk, ReadDeviceInventory());
    } catch (...) {
        // Only allocation can throw here; callers are promised a full profile regardless.
        return ComposeHardwareProfile({}, {}, {}, 0, disk, {});
    }
}

}  // namespace morvane
