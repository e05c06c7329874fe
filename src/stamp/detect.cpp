// Stamp detection: one unbuffered read of the first sectors and a pure parser.
#include "stamp/detect.h"

#include <string_view>
#include <vector>

#include "common/product.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "stamp/stamp_image.h"

namespace morvane {
namespace {

constexpr std::size_t kRecordOffset = 512;
constexpr std::size_t kMinimumRead = 1024;
constexpr std::string_view kMarkerV2 = "ZOLT_STAMP_V2|";
constexpr std::string_view kMarkerV1 = "ZOLT_STAMP_V1|";

std::vector<std::string_view> SplitAtBars(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t bar = text.find('|');
        parts.push_back(text.substr(0, bar));
        if (bar == std::string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    return parts;
}

}  // namespace

std::size_t StampDetectReadSize(std::uint32_t bytesPerSector) {
    const std::size_t s = bytesPerSector < 512 ? 512 : bytesPerSector;
    return (2560 + s - 1) / s * s;
}

ReportStamp PrefilledReportStamp(const DiskInfo& disk, const HardwareProfile& hardware) {
    ReportStamp stamp;
    stamp.failed = true;
    stamp.productLine = ProductLineText();
    stamp.diskModel = disk.model;
    stamp.diskSerial = disk.serialNumber;
    stamp.diskCapacity = FormatSize(disk.sizeBytes);
    stamp.hardware = hardware;
    return stamp;
}

std::int32_t ParseStampInteger(std::string_view text) {
    std::size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) value = 2147483648LL;  // saturate: atoi itself would overflow
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    return static_cast<std::int32_t>(value);
}

ReportStamp ParseReportStamp(std::span<const std::uint8_t> bytes, std::size_t readSize, ReportStamp prefilled) {
    if (bytes.size() < kMinimumRead || readSize <= kRecordOffset + 1) return prefilled;
    // The record runs from byte 512 to the first zero, within the bytes actually read.
    std::size_t limit = readSize - kRecordOffset - 1;
    if (limit > bytes.size() - kRecordOffset) limit = bytes.size() - kRecordOffset;
    const auto* start = reinterpret_cast<const char*>(bytes.data() + kRecordOffset);
    std::size_t length = 0;
    while (length < limit && start[length] != '\0') ++length;
    const std::string_view text(start, length);

    if (!text.starts_with(kMarkerV2) && !text.starts_with(kMarkerV1)) return prefilled;
    const std::vector<std::string_view> parts = SplitAtBars(text);
    if (parts.size() < 12) return prefilled;

    ReportStamp& s = prefilled;
    s.failed = false;
    for (std::size_t i = 0; i < 10; ++i) s.*kStampRecordFields[i] = Utf8ToWide(parts[i + 1]);
    s.passesCompleted = ParseStampInteger(parts[11]);
    s.stampStatus = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";

    if (parts.size() >= 28) {
        for (std::size_t i = 0; i < 16; ++i) s.hardware.*kHardwareFields[i].member = Utf8ToWide(parts[i + 12]);
    }
    return prefilled;
}

ReportStamp DetectReportStamp(const DiskInfo& disk, const HardwareProfile& hardware) {
    ReportStamp prefilled = PrefilledReportStamp(disk, hardware);
    UniqueFile handle(::CreateFileW(disk.devicePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
    if (!handle) return prefilled;

    const std::size_t readSize = StampDetectReadSize(disk.bytesPerSector);
    // Unbuffered reads need a page-aligned buffer of whole sectors.
    PageBuffer buffer(readSize);
    if (!buffer) return prefilled;
    LARGE_INTEGER start{};
    DWORD read = 0;
    const bool ok = ::SetFilePointerEx(handle.get(), start, nullptr, FILE_BEGIN) &&
                    ::ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(readSize), &read, nullptr);
    handle.reset();
    if (!ok || read < kMinimumRead) return prefilled;
    return ParseReportStamp(std::span<const std::uint8_t>(buffer.data(), read), readSize, std::move(prefilled));
}

}  // namespace morvane
