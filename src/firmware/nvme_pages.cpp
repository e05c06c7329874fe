// The descriptor walk and the two NVMe page readers.
#include "firmware/nvme_pages.h"

#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The fields each reader needs lie below these ends.
constexpr std::size_t kIdentifyNeeded = 525;  // through FNA at 524
constexpr std::size_t kStatusLogNeeded = 20;  // through the crypto-erase estimate

}  // namespace

std::optional<std::span<const std::uint8_t>> ProtocolData(std::span<const std::uint8_t> answer,
                                                          std::size_t minimum) {
    if (answer.size() < kProtocolDataDescriptorSize) return std::nullopt;
    // Version is sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR); anything else is a layout this
    // program does not know.
    if (Le32(answer, offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, Version)) != kProtocolDataDescriptorSize) {
        return std::nullopt;
    }
    constexpr std::size_t specific = offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData);
    const std::uint64_t offset = Le32(answer, specific + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset));
    const std::uint64_t length = Le32(answer, specific + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength));
    // The data offset counts from ProtocolSpecificData and must not point back into it.
    if (offset < sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) || length < minimum) return std::nullopt;
    const std::uint64_t begin = specific + offset;  // 64-bit: no wrap-around on x86
    if (begin + length > answer.size()) return std::nullopt;
    return answer.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(length));
}

std::optional<NvmeControllerFacts> ParseIdentifyController(std::span<const std::uint8_t> answer) {
    const auto page = ProtocolData(answer, kIdentifyNeeded);
    if (!page) return std::nullopt;
    NvmeControllerFacts facts;
    facts.oacs = Le16(*page, 256);
    facts.sanicap = Le32(*page, 328);
    facts.nn = Le32(*page, 516);
    facts.fna = (*page)[524];
    return facts;
}

SanitizeState SanitizeStatusLog::state() const {
    const unsigned value = sstat & 0x7u;
    return value <= 4 ? static_cast<SanitizeState>(value) : SanitizeState::Reserved;
}

std::optional<SanitizeStatusLog> ParseSanitizeStatus(std::span<const std::uint8_t> answer) {
    const auto page = ProtocolData(answer, kStatusLogNeeded);
    if (!page) return std::nullopt;
    SanitizeStatusLog log;
    log.sprog = Le16(*page, 0);
    log.sstat = Le16(*page, 2);
    log.scdw10 = Le32(*page, 4);
    log.estimateOverwrite = Le32(*page, 8);
    log.estimateBlockErase = Le32(*page, 12);
    log.estimateCryptoErase = Le32(*page, 16);
    return log;
}

}  // namespace morvane
