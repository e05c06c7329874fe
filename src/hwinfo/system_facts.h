// The machine facts behind the profile that come from Windows services: the raw
// SMBIOS table, the registry, the processor count and the memory size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/win32.h"
#include "hwinfo/profile_compose.h"

namespace morvane {

// A REG_SZ, REG_EXPAND_SZ (not expanded) or REG_MULTI_SZ (first string) value of at
// most 1024 bytes; empty for anything else or on any failure.
std::wstring ReadRegistryText(HKEY root, const std::wstring& subKey, const std::wstring& valueName);

// The firmware table service's raw SMBIOS bytes; empty when there are none or the
// table could not be fetched whole.
std::vector<std::uint8_t> ReadRawSmbiosTable();

BiosRegistryValues ReadBiosRegistryValues();
ProcessorFacts ReadProcessorFacts();
// Total physical memory in bytes; 0 when the memory status cannot be had.
std::uint64_t TotalPhysicalMemory();

}  // namespace morvane
