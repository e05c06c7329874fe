// Reading the machine's identity out of the raw SMBIOS table bytes, as the
// firmware-table service returns them ('RSMB': an 8-byte header, then the
// structure table). Pure functions: every read stays inside the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace morvane {

// What the table walk found. Texts stay empty when the table did not set them;
// the collector fills them from the registry and defaults afterwards.
struct SmbiosFacts {
    std::wstring manufacturer;
    std::wstring model;
    std::wstring serial;
    std::wstring uuid;
    std::wstring chassisType;
    std::wstring assetTag;
    std::wstring motherboard;
    std::wstring biosInformation;
    std::uint32_t clockMhz = 0;
    std::uint32_t coreCount = 0;
    std::uint32_t populatedBanks = 0;
    std::uint32_t freeBanks = 0;
};

// Walks the whole raw buffer (header included). Any size and content is accepted:
// a malformed structure ends the walk and keeps what was read before it.
SmbiosFacts ParseSmbiosTable(std::span<const std::uint8_t> raw);

// The 1-based string `index` of the structure at `structure`, whose formatted area
// is `formattedLength` bytes, in a table ending at `tableEnd` (structure <= tableEnd).
// Empty for index 0, a missing string, or a string not terminated before `tableEnd`.
std::wstring SmbiosString(const std::uint8_t* structure, std::size_t formattedLength,
                          const std::uint8_t* tableEnd, std::uint8_t index);

// The enclosure type name; the lock bit (0x80) is ignored.
std::wstring ChassisTypeName(std::uint8_t type);

}  // namespace morvane
