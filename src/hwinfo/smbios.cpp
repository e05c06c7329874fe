// The SMBIOS structure walk. All positions are offsets checked against the table
// end before any byte is read, so truncated or corrupt tables cannot lead a read
// outside the buffer.
#include "hwinfo/smbios.h"

#include <cstdio>

#include "common/text.h"

namespace morvane {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kMinStructure = 4;

std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Dword(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The first three UUID groups are stored little-endian, the last two as bytes.
std::wstring FormatUuid(const std::uint8_t* b) {
    wchar_t text[40];
    std::swprintf(text, 40,
                  L"%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

// One structure whose formatted area [s, s + length) lies inside the table.
void HandleStructure(const std::uint8_t* s, std::size_t length, const std::uint8_t* end,
                     SmbiosFacts& facts) {
    auto str = [&](std::size_t offset) { return SmbiosString(s, length, end, s[offset]); };
    switch (s[0]) {
        case 0:  // BIOS
            if (length >= 10) {
                const std::wstring version = str(5);
                const std::wstring date = str(8);
                std::wstring text = str(4);
                if (!version.empty()) text += L", Version: " + version;
                if (!date.empty()) text += L", Date: " + date;
                text += L", ROM size: " + std::to_wstring((s[9] + 1u) * 64u) + L" KB";
                facts.biosInformation = std::move(text);
            }
            break;
        case 1:  // system
            if (length >= 8) {
                facts.manufacturer = str(4);
                facts.model = str(5);
                facts.serial = str(7);
                if (length >= 24) facts.uuid = FormatUuid(s + 8);
            }
            break;
        case 2:  // base board
            if (length >= 6) {
                const std::wstring maker = str(4);
                const std::wstring product = str(5);
                if (product.empty()) {
                    if (!maker.empty()) facts.motherboard = maker;
                } else {
                    facts.motherboard = maker + L" / " + product;
                }
            }
            break;
        case 3:  // enclosure
            if (length >= 9) {
                facts.chassisType = ChassisTypeName(s[5]);
                std::wstring tag = str(8);
                if (!tag.empty()) facts.assetTag = std::move(tag);
            }
            break;
        case 4:  // processor
            if (length >= 24) {
                const std::uint16_t speed = Word(s + 22);
                if (speed != 0) facts.clockMhz = speed;
                if (length >= 36) facts.coreCount = s[35];
            }
            break;
        case 17:  // memory device
            if (length >= 14) {
                const std::uint16_t size = Word(s + 12);
                if (size == 0 || size == 0xFFFF) {
                    ++facts.freeBanks;
                } else {
                    ++facts.populatedBanks;
                }
            }
            break;
        default:
            break;
    }
}

}  // namespace

SmbiosFacts ParseSmbiosTable(std::span<const std::uint8_t> raw) {
    SmbiosFacts facts;
    if (raw.size() < kHeaderSize + 1) return facts;
    const std::uint8_t* data = raw.data();
    // The declared length may exceed what was returned: the shorter one wins.
    const std::uint64_t declaredEnd = kHeaderSize + static_cast<std::uint64_t>(Dword(data + 4));
    const std::size_t end =
        declaredEnd < raw.size() ? static_cast<std::size_t>(declaredEnd) : raw.size();
    const std::uint8_t* tableEnd = data + end;

    std::size_t pos = kHeaderSize;
    while (end - pos >= kMinStructure) {
        const std::size_t length = data[pos + 1];
        if (length < kMinStructure || length > end - pos) break;
        HandleStructure(data + pos, length, tableEnd, facts);

        // The string area ends with two zero bytes; the next structure follows them.
        std::size_t scan = pos + length;
        bool terminated = false;
        while (end - scan >= 2) {
            if (data[scan] == 0 && data[scan + 1] == 0) {
                terminated = true;
                break;
            }
            ++scan;
        }
        if (!terminated) break;
        pos = scan + 2;
    }
    return facts;
}

std::wstring SmbiosString(const std::uint8_t* structure, std::size_t formattedLength,
                          const std::uint8_t* tableEnd, std::uint8_t index) {
    if (index == 0 || structure == nullptr || tableEnd < structure) return {};
    const std::size_t available = static_cast<std::size_t>(tableEnd - structure);
    if (formattedLength >= available) return {};

    std::size_t pos = formattedLength;
    for (std::uint8_t n = 1;; ++n) {
        std::size_t len = 0;
        while (pos + len < available && structure[pos + len] != 0) ++len;
        // An empty string is the area's terminator; no zero before the end is a cut string.
        if (len == 0 || pos + len == available) return {};
        if (n == index) {
            const std::string_view bytes(reinterpret_cast<const char*>(structure + pos), len);
            return Trim(Utf8ToWide(bytes));
        }
        pos += len + 1;
    }
}

std::wstring ChassisTypeName(std::uint8_t type) {
    switch (type & 0x7F) {
        case 3: return L"Desktop";
        case 4: return L"Low Profile Desktop";
        case 5: return L"Pizza Box";
        case 6: return L"Mini Tower";
        case 7: return L"Tower";
        case 8: return L"Portable";
        case 9: return L"Laptop";
        case 10: return L"Notebook";
        case 11: return L"Hand Held";
        case 13: return L"All in One";
        case 14: return L"Sub Notebook";
        case 15: return L"Space-saving";
        case 16: return L"Lunch Box";
        case 17: return L"Main Server Chassis";
        case 23: return L"Rack Mount Chassis";
        case 30: return L"Tablet";
        case 31: return L"Convertible";
        case 32: return L"Detachable";
        case 35: return L"Mini PC";
        case 36: return L"Stick PC";
        default: return L"Standard Enclosure";
    }
}

}  // namespace morvane
