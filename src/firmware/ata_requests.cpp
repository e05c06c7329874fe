// Builds the ATA pass-through requests and reads their answers, field by field from the
// layout pinned in storage_layouts.h.
#include "firmware/ata_requests.h"

#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

constexpr std::size_t kHeader = sizeof(ATA_PASS_THROUGH_EX);
constexpr std::size_t kPrevious = offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile);
constexpr std::size_t kCurrent = offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile);
constexpr std::uint8_t kDeviceLba = 0x40;  // Device bit 6: the LBA field holds an LBA

// The task-file bytes: Features, Count, LBA 7:0, LBA 15:8, LBA 23:16, Device, Command.
enum TaskFileByte : std::size_t { kFeatures = 0, kCount = 1, kLbaLow = 2, kLbaMid = 3, kLbaHigh = 4, kDevice = 5, kCommand = 6 };

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint8_t Byte(std::uint64_t value, int index) { return static_cast<std::uint8_t>(value >> (8 * index)); }

}  // namespace

std::vector<std::uint8_t> BuildAtaPassThrough(const AtaTaskFile& task, bool ext, std::size_t dataInLength,
                                              std::uint32_t timeoutSeconds) {
    std::vector<std::uint8_t> bytes(kHeader + dataInLength, 0);
    USHORT flags = ATA_FLAGS_DRDY_REQUIRED;
    if (dataInLength != 0) flags |= ATA_FLAGS_DATA_IN;
    if (ext) flags |= ATA_FLAGS_48BIT_COMMAND;
    PutLe(bytes, offsetof(ATA_PASS_THROUGH_EX, Length), kHeader, 2);
    PutLe(bytes, offsetof(ATA_PASS_THROUGH_EX, AtaFlags), flags, 2);
    PutLe(bytes, offsetof(ATA_PASS_THROUGH_EX, DataTransferLength), dataInLength, 4);
    PutLe(bytes, offsetof(ATA_PASS_THROUGH_EX, TimeOutValue), timeoutSeconds, 4);
    if (dataInLength != 0) {
        PutLe(bytes, offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset), kHeader, sizeof(ULONG_PTR));
    }
    std::uint8_t* current = bytes.data() + kCurrent;
    current[kFeatures] = Byte(task.features, 0);
    current[kCount] = Byte(task.count, 0);
    current[kLbaLow] = Byte(task.lba, 0);
    current[kLbaMid] = Byte(task.lba, 1);
    current[kLbaHigh] = Byte(task.lba, 2);
    current[kDevice] = task.device;
    current[kCommand] = task.command;
    if (ext) {
        // The high-order bytes a 48-bit command carries in the "previous" registers.
        std::uint8_t* previous = bytes.data() + kPrevious;
        previous[kFeatures] = Byte(task.features, 1);
        previous[kCount] = Byte(task.count, 1);
        previous[kLbaLow] = Byte(task.lba, 3);
        previous[kLbaMid] = Byte(task.lba, 4);
        previous[kLbaHigh] = Byte(task.lba, 5);
    }
    return bytes;
}

std::vector<std::uint8_t> BuildAtaIdentify() {
    return BuildAtaPassThrough({0, 0, 0, 0, kAtaIdentifyDevice}, false, kAtaSectorSize);
}

std::vector<std::uint8_t> BuildAtaIdentifyQuery() {
    std::vector<std::uint8_t> bytes(kPropertyQueryHeaderSize + kAtaSectorSize, 0);
    PutLe(bytes, offsetof(STORAGE_PROPERTY_QUERY, PropertyId), StorageDeviceProtocolSpecificProperty, 4);
    PutLe(bytes, offsetof(STORAGE_PROPERTY_QUERY, QueryType), PropertyStandardQuery, 4);
    constexpr std::size_t data = offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters);
    PutLe(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolType), ProtocolTypeAta, 4);
    PutLe(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, DataType), AtaDataTypeIdentify, 4);
    // The data offset counts from the start of STORAGE_PROTOCOL_SPECIFIC_DATA.
    PutLe(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset),
          sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA), 4);
    PutLe(bytes, data + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength), kAtaSectorSize, 4);
    return bytes;
}

std::vector<std::uint8_t> BuildAtaSanitize(const AtaSanitizeOptions& options) {
    AtaTaskFile task{0, 0, 0, kDeviceLba, kAtaSanitizeDevice};
    switch (options.method) {
        case SanitizeMethod::CryptoErase:
            task.features = kCryptoScrambleExt;
            task.lba = kCryptoScrambleKey;
            break;
        case SanitizeMethod::BlockErase:
            task.features = kBlockEraseExt;
            task.lba = kBlockEraseKey;
            break;
        case SanitizeMethod::Overwrite:
            task.features = kOverwriteExt;
            task.lba = (std::uint64_t{kOverwriteKey} << 32) | options.overwritePattern;
            task.count = options.overwritePasses & 0x0Fu;  // no pattern inversion, failure mode 0
            break;
        case SanitizeMethod::None: return {};
    }
    return BuildAtaPassThrough(task, true, 0);
}

std::vector<std::uint8_t> BuildAtaSanitizeStatus() {
    return BuildAtaPassThrough({kSanitizeStatusExt, 0, 0, kDeviceLba, kAtaSanitizeDevice}, true, 0);
}

std::vector<std::uint8_t> BuildAtaGetNativeMaxAddress() {
    return BuildAtaPassThrough({kGetNativeMaxAddressExt, 0, 0, kDeviceLba, kAtaAccessibleMaxAddressConfiguration},
                               true, 0);
}

std::vector<std::uint8_t> BuildAtaReadNativeMaxAddressExt() {
    return BuildAtaPassThrough({0, 0, 0, kDeviceLba, kAtaReadNativeMaxAddressExt}, true, 0);
}

std::vector<std::uint8_t> BuildAtaDcoIdentify() {
    return BuildAtaPassThrough({kDeviceConfigurationIdentify, 0, 0, 0, kAtaDeviceConfiguration}, false,
                               kAtaSectorSize);
}

std::optional<AtaAnswer> ParseAtaPassThrough(std::span<const std::uint8_t> answer, std::size_t dataInLength) {
    if (answer.size() < kHeader + dataInLength) return std::nullopt;
    const std::uint8_t* current = answer.data() + kCurrent;
    const std::uint8_t* previous = answer.data() + kPrevious;
    AtaAnswer out;
    AtaRegisters& r = out.registers;
    r.error = current[kFeatures];
    r.status = current[kCommand];
    r.device = current[kDevice];
    r.count = static_cast<std::uint16_t>(current[kCount] | (previous[kCount] << 8));
    const std::uint8_t lba[6] = {current[kLbaLow], current[kLbaMid], current[kLbaHigh],
                                 previous[kLbaLow], previous[kLbaMid], previous[kLbaHigh]};
    for (int i = 5; i >= 0; --i) r.lba = (r.lba << 8) | lba[i];
    out.data = answer.subspan(kHeader, dataInLength);
    return out;
}

}  // namespace morvane
