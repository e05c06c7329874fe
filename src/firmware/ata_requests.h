// The ATA commands of SATA drives as the bytes handed to IOCTL_ATA_PASS_THROUGH (an
// ATA_PASS_THROUGH_EX with its data behind it), and the registers and data read back from
// the answer. Pure functions; the layouts are pinned in storage_layouts.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "firmware/model.h"

namespace morvane {

inline constexpr std::uint8_t kAtaIdentifyDevice = 0xEC;
inline constexpr std::uint8_t kAtaSanitizeDevice = 0xB4;
inline constexpr std::uint8_t kAtaReadNativeMaxAddressExt = 0x27;
inline constexpr std::uint8_t kAtaAccessibleMaxAddressConfiguration = 0x78;
inline constexpr std::uint8_t kAtaDeviceConfiguration = 0xB1;

// The SANITIZE DEVICE functions (Features) and the keys that guard them in LBA 31:0.
inline constexpr std::uint16_t kSanitizeStatusExt = 0x0000;
inline constexpr std::uint16_t kCryptoScrambleExt = 0x0011;
inline constexpr std::uint16_t kBlockEraseExt = 0x0012;
inline constexpr std::uint16_t kOverwriteExt = 0x0014;
inline constexpr std::uint32_t kCryptoScrambleKey = 0x43727970;  // "Cryp"
inline constexpr std::uint32_t kBlockEraseKey = 0x426B4572;      // "BkEr"
inline constexpr std::uint16_t kOverwriteKey = 0x4F57;           // "OW", in LBA 47:32
inline constexpr std::uint16_t kGetNativeMaxAddressExt = 0x0000;  // feature of command 78h
inline constexpr std::uint8_t kDeviceConfigurationIdentify = 0xC2;  // feature of command B1h

inline constexpr std::size_t kAtaSectorSize = 512;
// Seconds the port driver waits for one command before it resets the link. A sanitize
// command returns as soon as the drive has started the operation.
inline constexpr std::uint32_t kAtaCommandTimeout = 30;

// A command's input registers under their ACS names. A 48-bit command uses all 16 bits of
// features and count and all 48 of lba; a 28-bit one the low byte of each and LBA 23:0.
struct AtaTaskFile {
    std::uint16_t features = 0;
    std::uint16_t count = 0;
    std::uint64_t lba = 0;
    std::uint8_t device = 0;
    std::uint8_t command = 0;
};

// The pass-through request for one command: ATA_PASS_THROUGH_EX with DRDY required, the
// 48-bit flag when `ext`, and a zeroed data-in area of `dataInLength` bytes right behind
// the structure. Hand `size()` as both input and output length.
std::vector<std::uint8_t> BuildAtaPassThrough(const AtaTaskFile& task, bool ext, std::size_t dataInLength,
                                              std::uint32_t timeoutSeconds = kAtaCommandTimeout);

// IDENTIFY DEVICE: 512 bytes in.
std::vector<std::uint8_t> BuildAtaIdentify();

// The same IDENTIFY data through IOCTL_STORAGE_QUERY_PROPERTY (the device's protocol-
// specific property, ATA, AtaDataTypeIdentify), which unlike a pass-through needs no
// write access to the disk handle. The query header is followed by a zeroed 512-byte
// area; hand `size()` as both lengths. The answer's sector is read with ProtocolData.
std::vector<std::uint8_t> BuildAtaIdentifyQuery();

// The options of a SANITIZE DEVICE command. Failure mode 0 is always sent: after a failed
// sanitize the drive accepts no media access until a sanitize succeeds, so a half-erased
// drive cannot silently go back into use.
struct AtaSanitizeOptions {
    SanitizeMethod method = SanitizeMethod::None;
    std::uint8_t overwritePasses = 1;    // Count 3:0, overwrite only (0 means 16)
    std::uint32_t overwritePattern = 0;  // LBA 31:0, overwrite only
};

// CRYPTO SCRAMBLE EXT, BLOCK ERASE EXT or OVERWRITE EXT, non-data; empty for None.
std::vector<std::uint8_t> BuildAtaSanitize(const AtaSanitizeOptions& options);

// SANITIZE STATUS EXT, which leaves a failed state as it is (Count bit 0 clear).
std::vector<std::uint8_t> BuildAtaSanitizeStatus();

// GET NATIVE MAX ADDRESS EXT (Accessible Max Address Configuration) and the older READ
// NATIVE MAX ADDRESS EXT; both answer with the highest native LBA in LBA 47:0.
std::vector<std::uint8_t> BuildAtaGetNativeMaxAddress();
std::vector<std::uint8_t> BuildAtaReadNativeMaxAddressExt();

// DEVICE CONFIGURATION IDENTIFY: 512 bytes in.
std::vector<std::uint8_t> BuildAtaDcoIdentify();

// The output registers of an answered command.
struct AtaRegisters {
    std::uint8_t error = 0;
    std::uint8_t status = 0;
    std::uint8_t device = 0;
    std::uint16_t count = 0;  // 15:8 from PreviousTaskFile
    std::uint64_t lba = 0;    // 47:24 from PreviousTaskFile

    bool errorBit() const { return (status & 0x01) != 0; }
    bool aborted() const { return errorBit() && (error & 0x04) != 0; }
    // A completion a drive gave: ready (DRDY), not busy, no error. A driver that fills in
    // no registers leaves zeros, which are not a reading.
    bool completedNormally() const { return (status & 0xC1) == 0x40; }
};

struct AtaAnswer {
    AtaRegisters registers;
    std::span<const std::uint8_t> data;  // the data-in area, inside the answer
};

// The registers of an answer to a request of `dataInLength` bytes of data (and the data).
// Empty when the answer is too short to hold them.
std::optional<AtaAnswer> ParseAtaPassThrough(std::span<const std::uint8_t> answer, std::size_t dataInLength);

}  // namespace morvane
