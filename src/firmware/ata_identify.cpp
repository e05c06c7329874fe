// IDENTIFY DEVICE, SANITIZE STATUS EXT, native-maximum and DEVICE CONFIGURATION IDENTIFY
// answers, read word by word.
#include "firmware/ata_identify.h"

#include <algorithm>

#include "common/text.h"

namespace morvane {

namespace {

constexpr std::size_t kWords = 256;

// Little-endian 16-bit word `index` of a 512-byte sector.
std::uint16_t Word(std::span<const std::uint8_t> sector, std::size_t index) {
    return static_cast<std::uint16_t>(sector[2 * index] | (sector[2 * index + 1] << 8));
}

std::uint64_t Words(std::span<const std::uint8_t> sector, std::size_t first, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;) value = (value << 16) | Word(sector, first + i);
    return value;
}

bool Bit(std::uint16_t word, int bit) { return (word >> bit) & 1u; }

// A word whose bits 15:14 are 01b carries valid data (ACS marks several words this way).
bool Valid(std::uint16_t word) { return (word & 0xC000u) == 0x4000u; }

// ATA strings hold two characters per word, the first in the high byte.
std::string AtaString(std::span<const std::uint8_t> sector, std::size_t first, std::size_t last) {
    std::string text;
    for (std::size_t i = first; i <= last; ++i) {
        text.push_back(static_cast<char>(sector[2 * i + 1]));
        text.push_back(static_cast<char>(sector[2 * i]));
    }
    return TrimAscii(text);
}

// Word 255: signature A5h in bits 7:0 means bits 15:8 make the sector's bytes sum to zero.
bool ChecksumHolds(std::span<const std::uint8_t> sector) {
    if (sector[510] != 0xA5) return true;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 2 * kWords; ++i) sum = static_cast<std::uint8_t>(sum + sector[i]);
    return sum == 0;
}

// Words 89 and 90: minutes / 2 in bits 7:0, or in bits 14:0 when bit 15 (extended) is set.
std::uint32_t EraseMinutes(std::uint16_t word) {
    const std::uint32_t units = Bit(word, 15) ? (word & 0x7FFFu) : (word & 0x00FFu);
    return 2 * units;
}

}  // namespace

std::uint64_t AtaIdentity::addressableSectors() const {
    if (sectorsExtended) return *sectorsExtended;
    return lba48 ? sectors48 : sectors28;
}

std::optional<AtaIdentity> ParseAtaIdentify(std::span<const std::uint8_t> sector) {
    if (sector.size() < 2 * kWords || !ChecksumHolds(sector)) return std::nullopt;
    // A driver that passed no data leaves zeros; word 0 bit 15 marks an ATAPI device.
    if (std::all_of(sector.begin(), sector.begin() + 2 * kWords, [](std::uint8_t b) { return b == 0; }) ||
        Bit(Word(sector, 0), 15)) {
        return std::nullopt;
    }
    AtaIdentity id;
    id.serial = AtaString(sector, 10, 19);
    id.firmware = AtaString(sector, 23, 26);
    id.model = AtaString(sector, 27, 46);

    const std::uint16_t w59 = Word(sector, 59);
    id.sanitize = Bit(w59, 12);
    id.cryptoScramble = id.sanitize && Bit(w59, 13);
    id.overwrite = id.sanitize && Bit(w59, 14);
    id.blockErase = id.sanitize && Bit(w59, 15);

    // Words 82-84 are valid when word 83 says so, words 85-87 when word 87 does.
    const std::uint16_t w82 = Word(sector, 82), w83 = Word(sector, 83), w85 = Word(sector, 85);
    const bool supportValid = Valid(w83);
    const bool enabledValid = Valid(Word(sector, 87));
    id.hostProtectedArea = supportValid && Bit(w82, 10);
    id.lba48 = supportValid && Bit(w83, 10);
    id.deviceConfigurationOverlay = supportValid && Bit(w83, 11);
    const std::uint16_t w119 = Word(sector, 119);
    id.accessibleMaxAddress = Valid(w119) && Bit(w119, 8);

    const std::uint16_t w128 = Word(sector, 128);
    AtaSecurity& security = id.security;
    security.supported = supportValid && Bit(w82, 1) && Bit(w128, 0);
    if (security.supported) {
        security.enabled = (enabledValid && Bit(w85, 1)) || Bit(w128, 1);
        security.locked = Bit(w128, 2);
        security.frozen = Bit(w128, 3);
        security.enhancedErase = Bit(w128, 5);
        security.normalEraseMinutes = EraseMinutes(Word(sector, 89));
        security.enhancedEraseMinutes = EraseMinutes(Word(sector, 90));
    }

    id.sectors28 = static_cast<std::uint32_t>(Words(sector, 60, 2));
    id.sectors48 = Words(sector, 100, 4);
    if (Bit(Word(sector, 69), 3)) id.sectorsExtended = Words(sector, 230, 4);
    return id;
}

FirmwareCapabilities AtaCapabilities(const AtaIdentity& identity) {
    FirmwareCapabilities caps;
    caps.known = true;
    caps.protocol = DriveProtocol::Ata;
    caps.cryptoErase = identity.cryptoScramble;
    caps.blockErase = identity.blockErase;
    caps.overwrite = identity.overwrite;
    caps.security = identity.security;
    if (identity.security.supported) caps.overwriteSeconds = identity.security.normalEraseMinutes * 60;
    return caps;
}

AtaSanitizeError AtaSanitizeErrorOf(const AtaRegisters& registers) {
    const std::uint8_t reason = static_cast<std::uint8_t>(registers.lba & 0xFF);
    return reason <= 4 ? static_cast<AtaSanitizeError>(reason) : AtaSanitizeError::Other;
}

std::wstring AtaSanitizeErrorText(AtaSanitizeError error) {
    switch (error) {
        case AtaSanitizeError::NotReported: return L"the drive gave no reason";
        case AtaSanitizeError::Unsuccessful: return L"the sanitize operation ended with sectors not sanitized";
        case AtaSanitizeError::UnsupportedFeature: return L"the drive does not support the requested sanitize function";
        case AtaSanitizeError::Frozen: return L"the drive is in the Sanitize Frozen state";
        case AtaSanitizeError::AntifreezeLock: return L"the drive's sanitize antifreeze lock is set";
        case AtaSanitizeError::Other: break;
    }
    return L"the drive gave a reason this program does not know";
}

std::optional<AtaSanitizeStatus> ParseAtaSanitizeStatus(const AtaRegisters& registers) {
    AtaSanitizeStatus status;
    if (registers.aborted()) {
        status.aborted = true;
        status.error = AtaSanitizeErrorOf(registers);
        status.frozen = status.error == AtaSanitizeError::Frozen;
        return status;
    }
    if (!registers.completedNormally()) return std::nullopt;
    status.completedWithoutError = Bit(registers.count, 15);
    status.inProgress = Bit(registers.count, 14);
    status.frozen = Bit(registers.count, 13);
    status.progress = static_cast<std::uint16_t>(registers.lba & 0xFFFF);
    return status;
}

std::optional<std::uint64_t> ParseNativeMaxAddress(const AtaRegisters& registers) {
    if (!registers.completedNormally()) return std::nullopt;
    return registers.lba;
}

std::optional<std::uint64_t> ParseDcoMaximumLba(std::span<const std::uint8_t> sector) {
    if (sector.size() < 2 * kWords || !ChecksumHolds(sector)) return std::nullopt;
    const std::uint16_t revision = Word(sector, 0);
    if (revision != 1 && revision != 2) return std::nullopt;
    return Words(sector, 3, 4);
}

}  // namespace morvane
