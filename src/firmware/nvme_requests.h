// The NVMe requests as the bytes handed to DeviceIoControl: the property queries for
// Identify Controller and the Sanitize Status log, the reinitialize-media request that asks
// Windows to sanitize, and the protocol command carrying the Sanitize command itself.
// Pure functions; every field is written little-endian at its documented offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "firmware/model.h"

namespace morvane {

inline constexpr std::size_t kIdentifyControllerSize = 4096;
inline constexpr std::size_t kSanitizeStatusLogSize = 512;
inline constexpr std::uint8_t kIdentifyCnsController = 1;
inline constexpr std::uint8_t kSanitizeStatusLogId = 0x81;
inline constexpr std::uint8_t kNvmeOpcodeSanitize = 0x84;
inline constexpr std::size_t kNvmeCommandSize = 64;

// The Sanitize Action field (CDW10 bits 2:0) of each method; 0 for None.
std::uint32_t SanitizeAction(SanitizeMethod method);

// The choices a Sanitize command carries beyond its method. The defaults are the
// program's: restricted exit (a failed sanitize can only be left by a new sanitize, so a
// half-erased drive cannot silently go back into use), deallocate after sanitize.
struct NvmeSanitizeOptions {
    SanitizeMethod method = SanitizeMethod::None;
    bool allowUnrestrictedExit = false;  // AUSE, CDW10 bit 3
    bool noDeallocate = false;           // NDAS, CDW10 bit 9
    std::uint8_t overwritePasses = 1;    // OWPASS, CDW10 bits 7:4, overwrite only (0 means 16)
    std::uint32_t overwritePattern = 0;  // CDW11, overwrite only
};

// CDW10 of the Sanitize command for these options.
std::uint32_t SanitizeCdw10(const NvmeSanitizeOptions& options);

// IOCTL_STORAGE_QUERY_PROPERTY inputs. Both ask the adapter
// (StorageAdapterProtocolSpecificProperty), not the device: Identify Controller and the
// Sanitize Status log describe the controller, which the namespace-level
// StorageDeviceProtocolSpecificProperty does not address. Each buffer is the query header
// followed by a zeroed area as large as the data asked for, since the answer is written
// over the same size; hand `size()` as both the input and the output length.
std::vector<std::uint8_t> BuildIdentifyControllerQuery();
std::vector<std::uint8_t> BuildSanitizeStatusQuery();

// The 16-byte STORAGE_REINITIALIZE_MEDIA for crypto or block erase, with restricted exit;
// empty for any other method (Windows offers no other choice through this request).
std::vector<std::uint8_t> BuildReinitializeMediaRequest(SanitizeMethod method, std::uint32_t timeoutSeconds);

// STORAGE_PROTOCOL_COMMAND (80 bytes) followed by the 64-byte NVMe Sanitize admin command,
// addressed to the adapter, with no data transfer and no error-information buffer.
std::vector<std::uint8_t> BuildSanitizeProtocolCommand(const NvmeSanitizeOptions& options,
                                                       std::uint32_t timeoutSeconds);

// What the device reported in an answered protocol command: empty when it succeeded,
// otherwise a short English reason ("protocol status 2, NVMe status 0x0000001D"). An
// answer too short to hold the status fields is a failure too.
std::wstring ProtocolCommandFailure(std::span<const std::uint8_t> answer);

}  // namespace morvane
