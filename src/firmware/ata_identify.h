// Reading what a SATA drive reports about itself: the IDENTIFY DEVICE sector, the registers
// of SANITIZE STATUS EXT and of the native-maximum queries, and the DEVICE CONFIGURATION
// IDENTIFY sector. Pure functions over bytes and registers; anything malformed reads as
// "no answer" (std::nullopt), never as a guess.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "firmware/ata_requests.h"
#include "firmware/model.h"

namespace morvane {

// The fields of IDENTIFY DEVICE the firmware step and the hidden-capacity check need.
struct AtaIdentity {
    std::string model;     // words 27-46, trimmed
    std::string serial;    // words 10-19, trimmed
    std::string firmware;  // words 23-26, trimmed
    // Word 59: bit 12 Sanitize feature set, 13 CRYPTO SCRAMBLE EXT, 14 OVERWRITE EXT,
    // 15 BLOCK ERASE EXT (the last three only count with bit 12).
    bool sanitize = false;
    bool cryptoScramble = false;
    bool overwrite = false;
    bool blockErase = false;
    AtaSecurity security;               // words 82, 85, 89, 90, 128
    bool lba48 = false;                 // word 83 bit 10
    bool hostProtectedArea = false;     // word 82 bit 10
    bool deviceConfigurationOverlay = false;  // word 83 bit 11
    bool accessibleMaxAddress = false;  // word 119 bit 8
    std::uint32_t sectors28 = 0;        // words 60-61
    std::uint64_t sectors48 = 0;        // words 100-103
    std::optional<std::uint64_t> sectorsExtended;  // words 230-233, when word 69 bit 3 says so

    // The user-addressable capacity in logical sectors: words 230-233 where given, else
    // 100-103 for a 48-bit drive, else 60-61.
    std::uint64_t addressableSectors() const;
};

// From the 512-byte sector. A sector whose word 255 carries the A5h signature must also
// carry a correct checksum; a shorter buffer, a wrong checksum, an all-zero sector (a
// driver that passed no data) or an ATAPI device's sector is no answer.
std::optional<AtaIdentity> ParseAtaIdentify(std::span<const std::uint8_t> sector);

// The capabilities the firmware step works from.
FirmwareCapabilities AtaCapabilities(const AtaIdentity& identity);

// SANITIZE DEVICE ERROR REASON, LBA 7:0 of an aborted sanitize command.
enum class AtaSanitizeError : std::uint8_t {
    NotReported = 0,
    Unsuccessful = 1,        // the operation ended with sectors not sanitized
    UnsupportedFeature = 2,  // the drive does not offer the requested function
    Frozen = 3,              // the drive is in the Sanitize Frozen state
    AntifreezeLock = 4,
    Other = 0xFF,
};

// One answer to SANITIZE STATUS EXT.
struct AtaSanitizeStatus {
    bool aborted = false;              // the drive refused the command; see `error`
    AtaSanitizeError error = AtaSanitizeError::NotReported;
    bool completedWithoutError = false;  // Count bit 15, kept across power cycles
    bool inProgress = false;             // Count bit 14
    bool frozen = false;                 // Count bit 13
    std::uint16_t progress = 0xFFFF;     // LBA 15:0, of 65536; FFFFh when none runs

    // The drive is in the failed state: the status command itself is aborted with
    // "unsuccessful" while a failed sanitize stands.
    bool failed() const { return aborted && error == AtaSanitizeError::Unsuccessful; }
};

// From the output registers of SANITIZE STATUS EXT: empty unless the drive completed the
// command (normally, or aborted with a reason).
std::optional<AtaSanitizeStatus> ParseAtaSanitizeStatus(const AtaRegisters& registers);

// The reason an aborted sanitize command carries.
AtaSanitizeError AtaSanitizeErrorOf(const AtaRegisters& registers);

// English text of a reason, for the record: "the drive is in the Sanitize Frozen state".
std::wstring AtaSanitizeErrorText(AtaSanitizeError error);

// The highest native LBA from GET NATIVE MAX ADDRESS EXT or READ NATIVE MAX ADDRESS EXT;
// empty when the command did not complete normally (an aborted query is "unknown").
std::optional<std::uint64_t> ParseNativeMaxAddress(const AtaRegisters& registers);

// The highest LBA a DEVICE CONFIGURATION IDENTIFY sector allows (words 3-6); empty when
// the sector is short, its revision (word 0) is not 1 or 2, or its checksum is wrong.
std::optional<std::uint64_t> ParseDcoMaximumLba(std::span<const std::uint8_t> sector);

}  // namespace morvane
