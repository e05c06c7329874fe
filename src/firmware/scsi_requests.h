// The SCSI commands of SAS drives as the bytes handed to IOCTL_SCSI_PASS_THROUGH_DIRECT,
// and what comes back: REPORT SUPPORTED OPERATION CODES for SANITIZE, the SANITIZE command
// itself, REQUEST SENSE, and the sense data in fixed and descriptor formats. Pure
// functions; the layout is pinned in storage_layouts.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "firmware/model.h"

namespace morvane {

inline constexpr std::uint8_t kScsiSanitize = 0x48;
inline constexpr std::uint8_t kScsiReportSupportedOperationCodes = 0xA3;  // MAINTENANCE IN, service action 0Ch
inline constexpr std::uint8_t kScsiRequestSense = 0x03;
inline constexpr std::uint8_t kScsiStatusGood = 0x00;
inline constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;
inline constexpr std::size_t kScsiSenseAreaSize = 32;
inline constexpr std::size_t kRequestSenseLength = 252;
inline constexpr std::uint32_t kScsiCommandTimeout = 30;

// The SANITIZE service action of each method (byte 1, bits 4:0); 0 for None.
std::uint8_t ScsiSanitizeServiceAction(SanitizeMethod method);

enum class ScsiDirection : std::uint8_t { None, In, Out };

// A SCSI_PASS_THROUGH_DIRECT request: the structure, a sense area of kScsiSenseAreaSize
// bytes at SenseInfoOffset, then the data area at a 16-byte aligned offset. DataBuffer
// holds that offset, not an address: the transport that sends the request turns it into
// one (a pure byte buffer cannot carry a pointer). For ScsiDirection::In the data area is
// `dataInLength` zero bytes; for Out it is `dataOut`. Hand `size()` as both lengths.
std::vector<std::uint8_t> BuildScsiPassThroughDirect(std::span<const std::uint8_t> cdb, ScsiDirection direction,
                                                     std::span<const std::uint8_t> dataOut, std::size_t dataInLength,
                                                     std::uint32_t timeoutSeconds = kScsiCommandTimeout);

// REPORT SUPPORTED OPERATION CODES for SANITIZE with the method's service action
// (reporting option 010b), with the command timeouts descriptor asked for (RCTD) when
// `withTimeouts`: drives older than that bit reject it as an invalid field.
std::vector<std::uint8_t> BuildScsiSanitizeSupportQuery(SanitizeMethod method, bool withTimeouts = true);

// SANITIZE with IMMED set (status returns once the drive has checked the command; REQUEST
// SENSE shows the rest) and AUSE clear (a failed sanitize can only be left by a new one).
// Overwrite sends one pass of the 4-byte `overwritePattern`. Empty for None.
std::vector<std::uint8_t> BuildScsiSanitize(SanitizeMethod method, std::uint32_t overwritePattern = 0);

// REQUEST SENSE for fixed-format sense data, 252 bytes in.
std::vector<std::uint8_t> BuildScsiRequestSense();

// What an answered pass-through carries back.
struct ScsiAnswer {
    std::uint8_t scsiStatus = 0;
    std::span<const std::uint8_t> sense;  // the whole sense area (autosense on CHECK CONDITION)
    std::span<const std::uint8_t> data;   // the data area, cut to the length transferred
};

// Empty when the answer is shorter than the request's layout.
std::optional<ScsiAnswer> ParseScsiPassThroughDirect(std::span<const std::uint8_t> answer);

// Sense data, either format. `progress` is the sense-key-specific progress indication
// (of 65536) when the sense says it is valid (SKSV) and the key is NOT READY or NO SENSE.
struct SenseData {
    bool descriptorFormat = false;
    std::uint8_t key = 0;
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;
    std::optional<std::uint16_t> progress;

    bool sanitizeInProgress() const { return key == 0x02 && asc == 0x04 && ascq == 0x1B; }
    bool sanitizeFailed() const { return asc == 0x31 && ascq == 0x03; }
    bool noSense() const { return key == 0x00 && asc == 0x00 && ascq == 0x00; }
};

// Empty unless the bytes start with a current or deferred response code (70h-73h) and hold
// the fields they claim.
std::optional<SenseData> ParseSense(std::span<const std::uint8_t> sense);

// "sense key 2, ASC/ASCQ 04h/1Bh".
std::wstring SenseText(const SenseData& sense);

// The one-command answer of REPORT SUPPORTED OPERATION CODES.
struct ScsiCommandSupport {
    enum class Support : std::uint8_t { Unknown, NotSupported, Supported };
    Support support = Support::Unknown;
    // Seconds from the command timeouts descriptor, when the drive gave one (0 = none).
    std::uint32_t recommendedTimeout = 0;
};

// Empty when the data is too short for the fields it announces.
std::optional<ScsiCommandSupport> ParseSupportedOperation(std::span<const std::uint8_t> data);

}  // namespace morvane
