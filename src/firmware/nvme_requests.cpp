// Builds the NVMe request buffers field by field from the layouts pinned in
// storage_layouts.h.
#include "firmware/nvme_requests.h"

#include <cstdio>
#include <cstring>

#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) | (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

// A protocol-specific property query for NVMe `dataType` with `requestValue`, and room
// for `dataLength` bytes of answer data right behind the STORAGE_PROTOCOL_SPECIFIC_DATA.
std::vector<std::uint8_t> NvmeQuery(DWORD dataType, DWORD requestValue, std::size_t dataLength) {
    std::vector<std::uint8_t> bytes(kPropertyQueryHeaderSize + dataLength, 0);
    Put32(bytes, offsetof(STORAGE_PROPERTY_QUERY, PropertyId), StorageAdapterProtocolSpecificProperty);
    Put32(bytes, offsetof(STORAGE_PROPERTY_QUERY, QueryType), PropertyStandardQuery);
    constexpr std::size_t data = offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters);
    Put32(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolType), ProtocolTypeNvme);
    Put32(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, DataType), dataType);
    Put32(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataRequestValue), requestValue);
    // The data offset counts from the start of STORAGE_PROTOCOL_SPECIFIC_DATA, not of the buffer.
    Put32(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset),
          sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
    Put32(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength),
          static_cast<std::uint32_t>(dataLength));
    return bytes;
}

}  // namespace

std::uint32_t SanitizeAction(SanitizeMethod method) {
    switch (method) {
        case SanitizeMethod::BlockErase: return 2;
        case SanitizeMethod::Overwrite: return 3;
        case SanitizeMethod::CryptoErase: return 4;
        case SanitizeMethod::None: break;
    }
    return 0;
}

std::uint32_t SanitizeCdw10(const NvmeSanitizeOptions& options) {
    std::uint32_t cdw10 = SanitizeAction(options.method);
    if (options.allowUnrestrictedExit) cdw10 |= 1u << 3;
    if (options.method == SanitizeMethod::Overwrite) cdw10 |= (options.overwritePasses & 0xFu) << 4;
    if (options.noDeallocate) cdw10 |= 1u << 9;
    return cdw10;
}

std::vector<std::uint8_t> BuildIdentifyControllerQuery() {
    return NvmeQuery(NVMeDataTypeIdentify, kIdentifyCnsController, kIdentifyControllerSize);
}

std::vector<std::uint8_t> BuildSanitizeStatusQuery() {
    // Log offset (sub-values 1 and 2), log-specific field and retain-event flags stay 0.
    return NvmeQuery(NVMeDataTypeLogPage, kSanitizeStatusLogId, kSanitizeStatusLogSize);
}

std::vector<std::uint8_t> BuildReinitializeMediaRequest(SanitizeMethod method, std::uint32_t timeoutSeconds) {
    DWORD windowsMethod = 0;
    if (method == SanitizeMethod::CryptoErase) windowsMethod = kStorageSanitizeMethodCryptoErase;
    if (method == SanitizeMethod::BlockErase) windowsMethod = kStorageSanitizeMethodBlockErase;
    if (windowsMethod == 0) return {};
    std::vector<std::uint8_t> bytes(sizeof(STORAGE_REINITIALIZE_MEDIA), 0);
    Put32(bytes, offsetof(STORAGE_REINITIALIZE_MEDIA, Version), sizeof(STORAGE_REINITIALIZE_MEDIA));
    Put32(bytes, offsetof(STORAGE_REINITIALIZE_MEDIA, Size), sizeof(STORAGE_REINITIALIZE_MEDIA));
    Put32(bytes, offsetof(STORAGE_REINITIALIZE_MEDIA, TimeoutInSeconds), timeoutSeconds);
    Put32(bytes, offsetof(STORAGE_REINITIALIZE_MEDIA, SanitizeOption),
          (windowsMethod & kSanitizeOptionMethodMask) | kSanitizeOptionDisallowUnrestrictedExit);
    return bytes;
}

std::vector<std::uint8_t> BuildSanitizeProtocolCommand(const NvmeSanitizeOptions& options,
                                                       std::uint32_t timeoutSeconds) {
    std::vector<std::uint8_t> bytes(kProtocolCommandHeaderSize + kNvmeCommandSize, 0);
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, Version), kStorageProtocolStructureVersion);
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, Length), sizeof(STORAGE_PROTOCOL_COMMAND));
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, ProtocolType), ProtocolTypeNvme);
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, Flags), kProtocolCommandFlagAdapterRequest);
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, CommandLength), kProtocolCommandLengthNvme);
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, TimeOutValue), timeoutSeconds);
    Put32(bytes, offsetof(STORAGE_PROTOCOL_COMMAND, CommandSpecific), kProtocolSpecificNvmeAdminCommand);
    // The NVMe command: CDW0 opcode, NSID 0 (Sanitize acts on the whole subsystem),
    // CDW10 at byte 40 and CDW11 at byte 44 of the command.
    const std::size_t command = kProtocolCommandHeaderSize;
    bytes[command] = kNvmeOpcodeSanitize;
    Put32(bytes, command + 40, SanitizeCdw10(options));
    if (options.method == SanitizeMethod::Overwrite) Put32(bytes, command + 44, options.overwritePattern);
    return bytes;
}

std::wstring ProtocolCommandFailure(std::span<const std::uint8_t> answer) {
    if (answer.size() < offsetof(STORAGE_PROTOCOL_COMMAND, CommandLength)) {
        return L"the protocol command answer is too short to hold its status";
    }
    const std::uint32_t status = Get32(answer, offsetof(STORAGE_PROTOCOL_COMMAND, ReturnStatus));
    if (status == kProtocolStatusSuccess) return {};
    wchar_t text[80];
    std::swprintf(text, std::size(text), L"protocol status %u, NVMe status 0x%08X", status,
                  Get32(answer, offsetof(STORAGE_PROTOCOL_COMMAND, ErrorCode)));
    return text;
}

}  // namespace morvane
