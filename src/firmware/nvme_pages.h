// Reading the answers of the NVMe property queries: the STORAGE_PROTOCOL_DATA_DESCRIPTOR
// in front, then the Identify Controller page or the Sanitize Status log. Pure functions
// over byte spans; every read is bounds-checked, and anything malformed reads as
// "no answer" (std::nullopt), never as a guess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace morvane {

// The protocol data an answer carries, when the answer holds a whole descriptor whose
// data area lies inside it and is at least `minimum` bytes long.
std::optional<std::span<const std::uint8_t>> ProtocolData(std::span<const std::uint8_t> answer,
                                                          std::size_t minimum);

// The fields of Identify Controller the firmware step needs.
struct NvmeControllerFacts {
    std::uint16_t oacs = 0;     // bytes 257:256, Optional Admin Command Support
    std::uint32_t nn = 0;       // bytes 519:516, Number of Namespaces (highest allowed ID)
    std::uint8_t fna = 0;       // byte 524, Format NVM Attributes
    std::uint32_t sanicap = 0;  // bytes 331:328, Sanitize Capabilities

    bool cryptoErase() const { return (sanicap & 0x1) != 0; }
    bool blockErase() const { return (sanicap & 0x2) != 0; }
    bool overwrite() const { return (sanicap & 0x4) != 0; }
    bool formatNvm() const { return (oacs & 0x2) != 0; }
};

// From a whole query answer (descriptor included).
std::optional<NvmeControllerFacts> ParseIdentifyController(std::span<const std::uint8_t> answer);

// The status field of SSTAT (bits 2:0).
enum class SanitizeState : std::uint8_t {
    Never = 0,
    Succeeded = 1,
    InProgress = 2,
    Failed = 3,
    SucceededNoDeallocate = 4,  // succeeded; no-deallocate was requested and honoured
    Reserved = 7,               // 5 to 7: values this program does not know
};

// The Sanitize Status log (page 81h). SSTAT is read through masks: a bit-field struct
// (as some headers declare it, with 4 pass bits) would put Global Data Erased at bit 7
// instead of bit 8.
struct SanitizeStatusLog {
    std::uint16_t sprog = 0xFFFF;  // bytes 1:0, progress / 65536 while in progress
    std::uint16_t sstat = 0;       // bytes 3:2
    std::uint32_t scdw10 = 0;      // bytes 7:4, CDW10 of the command that started the last sanitize
    std::uint32_t estimateOverwrite = kNoEstimate;    // bytes 11:8, seconds
    std::uint32_t estimateBlockErase = kNoEstimate;   // bytes 15:12
    std::uint32_t estimateCryptoErase = kNoEstimate;  // bytes 19:16
    static constexpr std::uint32_t kNoEstimate = 0xFFFFFFFF;

    SanitizeState state() const;
    std::uint32_t overwritePasses() const { return (sstat >> 3) & 0x1Fu; }  // bits 7:3
    bool globalDataErased() const { return (sstat & 0x100u) != 0; }         // bit 8
    bool succeeded() const {
        return state() == SanitizeState::Succeeded || state() == SanitizeState::SucceededNoDeallocate;
    }
    double progress() const { return sprog / 65536.0; }
};

// From a whole query answer (descriptor included).
std::optional<SanitizeStatusLog> ParseSanitizeStatus(std::span<const std::uint8_t> answer);

}  // namespace morvane
