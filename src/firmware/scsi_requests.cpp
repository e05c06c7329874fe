// Builds the SCSI pass-through requests and reads sense data and operation-code answers,
// field by field.
#include "firmware/scsi_requests.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

constexpr std::size_t kHeader = sizeof(SCSI_PASS_THROUGH_DIRECT);
constexpr std::size_t kSenseOffset = kHeader;
constexpr std::size_t kDataOffset = (kSenseOffset + kScsiSenseAreaSize + 15) / 16 * 16;
constexpr std::size_t kDataPointer = offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer);

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetLe(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[offset + i];
    return value;
}

std::uint32_t GetBe(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes[offset + i];
    return value;
}

// The one-command overwrite parameter list: no inversion, no test, one pass, then the
// initialization pattern with its length (big-endian) in front.
std::vector<std::uint8_t> OverwriteParameters(std::uint32_t pattern) {
    return {0x01, 0x00, 0x00, 0x04, static_cast<std::uint8_t>(pattern >> 24), static_cast<std::uint8_t>(pattern >> 16),
            static_cast<std::uint8_t>(pattern >> 8), static_cast<std::uint8_t>(pattern)};
}

}  // namespace

std::uint8_t ScsiSanitizeServiceAction(SanitizeMethod method) {
    switch (method) {
        case SanitizeMethod::Overwrite: return 0x01;
        case SanitizeMethod::BlockErase: return 0x02;
        case SanitizeMethod::CryptoErase: return 0x03;
        case SanitizeMethod::None: break;
    }
    return 0;
}

std::vector<std::uint8_t> BuildScsiPassThroughDirect(std::span<const std::uint8_t> cdb, ScsiDirection direction,
                                                     std::span<const std::uint8_t> dataOut, std::size_t dataInLength,
                                                     std::uint32_t timeoutSeconds) {
    const std::size_t dataLength = direction == ScsiDirection::Out ? dataOut.size()
                                   : direction == ScsiDirection::In ? dataInLength
                                                                    : 0;
    if (cdb.size() > 16) return {};
    std::vector<std::uint8_t> bytes(dataLength ? kDataOffset + dataLength : kDataOffset, 0);
    PutLe(bytes, offsetof(SCSI_PASS_THROUGH_DIRECT, Length), kHeader, 2);
    bytes[offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength)] = static_cast<std::uint8_t>(cdb.size());
    bytes[offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength)] = static_cast<std::uint8_t>(kScsiSenseAreaSize);
    bytes[offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn)] = direction == ScsiDirection::In    ? SCSI_IOCTL_DATA_IN
                                                        : direction == ScsiDirection::Out ? SCSI_IOCTL_DATA_OUT
                                                                                          : SCSI_IOCTL_DATA_UNSPECIFIED;
    PutLe(bytes, offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength), dataLength, 4);
    PutLe(bytes, offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue), timeoutSeconds, 4);
    if (dataLength) PutLe(bytes, kDataPointer, kDataOffset, sizeof(void*));
    PutLe(bytes, offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset), kSenseOffset, 4);
    std::copy(cdb.begin(), cdb.end(), bytes.begin() + offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb));
    if (direction == ScsiDirection::Out) std::copy(dataOut.begin(), dataOut.end(), bytes.begin() + kDataOffset);
    return bytes;
}

std::vector<std::uint8_t> BuildScsiSanitizeSupportQuery(SanitizeMethod method, bool withTimeouts) {
    constexpr std::uint32_t kAllocation = 32;  // 4 + a 10-byte CDB usage map + a 12-byte timeouts descriptor
    const std::array<std::uint8_t, 12> cdb = {
        kScsiReportSupportedOperationCodes, 0x0C, static_cast<std::uint8_t>(withTimeouts ? 0x82 : 0x02), kScsiSanitize, 0x00, ScsiSanitizeServiceAction(method),
        0x00, 0x00, 0x00, kAllocation, 0x00, 0x00};
    return BuildScsiPassThroughDirect(cdb, ScsiDirection::In, {}, kAllocation);
}

std::vector<std::uint8_t> BuildScsiSanitize(SanitizeMethod method, std::uint32_t overwritePattern) {
    if (method == SanitizeMethod::None) return {};
    const std::vector<std::uint8_t> parameters =
        method == SanitizeMethod::Overwrite ? OverwriteParameters(overwritePattern) : std::vector<std::uint8_t>{};
    const std::array<std::uint8_t, 10> cdb = {
        kScsiSanitize, static_cast<std::uint8_t>(0x80 | ScsiSanitizeServiceAction(method)), 0, 0, 0, 0, 0,
        static_cast<std::uint8_t>(parameters.size() >> 8), static_cast<std::uint8_t>(parameters.size()), 0};
    return BuildScsiPassThroughDirect(cdb, parameters.empty() ? ScsiDirection::None : ScsiDirection::Out, parameters, 0);
}

std::vector<std::uint8_t> BuildScsiRequestSense() {
    const std::array<std::uint8_t, 6> cdb = {kScsiRequestSense, 0, 0, 0, static_cast<std::uint8_t>(kRequestSenseLength), 0};
    return BuildScsiPassThroughDirect(cdb, ScsiDirection::In, {}, kRequestSenseLength);
}

std::optional<ScsiAnswer> ParseScsiPassThroughDirect(std::span<const std::uint8_t> answer) {
    if (answer.size() < kDataOffset) return std::nullopt;
    ScsiAnswer out;
    out.scsiStatus = answer[offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus)];
    out.sense = answer.subspan(kSenseOffset, kScsiSenseAreaSize);
    const std::size_t transferred = GetLe(answer, offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength), 4);
    const std::size_t area = answer.size() - kDataOffset;
    out.data = answer.subspan(kDataOffset, transferred < area ? transferred : area);
    return out;
}

std::optional<SenseData> ParseSense(std::span<const std::uint8_t> sense) {
    if (sense.size() < 8) return std::nullopt;
    const std::uint8_t code = sense[0] & 0x7F;
    // The bytes the sense claims to hold, no more than were given.
    const std::size_t length = std::min<std::size_t>(sense.size(), 8u + sense[7]);
    SenseData data;
    if (code == 0x70 || code == 0x71) {
        if (length < 14) return std::nullopt;
        data.key = sense[2] & 0x0F;
        data.asc = sense[12];
        data.ascq = sense[13];
        if (length >= 18 && (sense[15] & 0x80)) data.progress = static_cast<std::uint16_t>(GetBe(sense, 16, 2));
    } else if (code == 0x72 || code == 0x73) {
        data.descriptorFormat = true;
        data.key = sense[1] & 0x0F;
        data.asc = sense[2];
        data.ascq = sense[3];
        for (std::size_t at = 8; at + 2 <= length;) {
            const std::size_t size = 2u + sense[at + 1];
            if (at + size > length) break;
            if (sense[at] == 0x02 && size >= 8 && (sense[at + 4] & 0x80)) {
                data.progress = static_cast<std::uint16_t>(GetBe(sense, at + 5, 2));
            }
            at += size;
        }
    } else {
        return std::nullopt;
    }
    if (data.key != 0x00 && data.key != 0x02) data.progress.reset();
    return data;
}

std::wstring SenseText(const SenseData& sense) {
    wchar_t text[64];
    std::swprintf(text, std::size(text), L"sense key %u, ASC/ASCQ %02Xh/%02Xh", static_cast<unsigned>(sense.key),
                  static_cast<unsigned>(sense.asc), static_cast<unsigned>(sense.ascq));
    return text;
}

std::optional<ScsiCommandSupport> ParseSupportedOperation(std::span<const std::uint8_t> data) {
    if (data.size() < 4) return std::nullopt;
    ScsiCommandSupport result;
    switch (data[1] & 0x07) {
        case 0x1: result.support = ScsiCommandSupport::Support::NotSupported; break;
        case 0x3:
        case 0x5: result.support = ScsiCommandSupport::Support::Supported; break;
        default: result.support = ScsiCommandSupport::Support::Unknown; break;
    }
    const std::size_t cdbSize = GetBe(data, 2, 2);
    if (data.size() < 4 + cdbSize) return std::nullopt;
    const std::size_t timeouts = 4 + cdbSize;
    if ((data[1] & 0x80) && data.size() >= timeouts + 12) result.recommendedTimeout = GetBe(data, timeouts + 8, 4);
    return result;
}

}  // namespace morvane
