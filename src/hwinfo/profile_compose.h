// Turns the facts gathered from SMBIOS, the registry, the system and the device
// lists into the sixteen profile texts, applying every fallback and default.
// Pure: the collector gathers the facts, this decides the texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "hwinfo/device_names.h"
#include "common/hardware_profile.h"
#include "hwinfo/smbios.h"

namespace morvane {

// The registry's copy of the BIOS identification (HARDWARE\DESCRIPTION\System\BIOS).
struct BiosRegistryValues {
    std::wstring systemManufacturer;
    std::wstring systemProductName;
    std::wstring baseBoardManufacturer;
    std::wstring baseBoardProduct;
    std::wstring biosVendor;
    std::wstring biosVersion;
    std::wstring biosReleaseDate;
};

struct ProcessorFacts {
    std::wstring registryName;      // ProcessorNameString, untrimmed
    std::uint32_t registryMhz = 0;  // ~MHz; 0 when unreadable
    std::uint32_t logicalCount = 0;
};

// The device lists as read; `displayDevice` is consulted only when `display` is
// empty and `netClass` only when `adapterItems` is empty.
struct DeviceInventory {
    DeviceNameList display;
    std::wstring displayDevice;
    DeviceNameList media;
    DeviceNameList scsiAdapters;
    DeviceNameList hdc;
    std::vector<std::wstring> adapterItems;
    DeviceNameList netClass;
};

// "vendor, Version: v, Date: d", leaving out the parts that are empty (and their
// labels); empty when all three are.
std::wstring BiosLine(const std::wstring& vendor, const std::wstring& version, const std::wstring& date);
std::wstring ProcessorLine(const ProcessorFacts& cpu, std::uint32_t smbiosClockMhz,
                           std::uint32_t smbiosCoreCount);
std::wstring MemoryLine(std::uint64_t totalPhysicalBytes, std::uint32_t populatedBanks,
                        std::uint32_t freeBanks);
std::wstring DiskLine(const DiskInfo& disk);
std::wstring DiskGeometryLine(const DiskInfo& disk);

// Every field of the result is non-empty, whatever the inputs.
HardwareProfile ComposeHardwareProfile(const SmbiosFacts& smbios, const BiosRegistryValues& bios,
                                       const ProcessorFacts& cpu, std::uint64_t totalPhysicalBytes,
                                       const DiskInfo& disk, const DeviceInventory& devices);

}  // namespace morvane
