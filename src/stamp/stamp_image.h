// The bootable report stamp image: a pure builder that lays out the MBR, the text
// record, the BIOS second stage with its screen text and the FAT16 EFI volume.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "erase/records.h"
#include "stamp/boot_images.h"

namespace morvane {

inline constexpr std::size_t kStampImageSize = 131072;
inline constexpr std::size_t kStampRecordOffset = 512;
inline constexpr std::size_t kStampRecordMaxBytes = 2047;
inline constexpr std::size_t kStage2Offset = 2560;
inline constexpr std::size_t kScreenTextOffset = 2656;
inline constexpr std::size_t kScreenTextMaxBytes = 3996;
inline constexpr std::size_t kFallbackMessageOffset = 80;
inline constexpr std::size_t kFallbackMessageMaxBytes = 300;
inline constexpr std::size_t kStampVolumeOffset = 32768;  // LBA 64
inline constexpr std::size_t kStampLineMaxBytes = 78;
inline constexpr char kStampRecordMarker[] = "ZOLT_STAMP_V2|";
inline constexpr char kEfiStampMagic[] = "ZOLT_EFI_STAMP_V2_MAGIC";

#pragma pack(push, 1)
struct EfiStampRow {
    char label[28];
    char value[92];
};

// The report as the UEFI applications read it from their own initialised data.
struct EfiStampBlock {
    char magic[24];
    char title[96];
    char status[32];
    EfiStampRow report[7];
    EfiStampRow hardware[15];
};
#pragma pack(pop)

static_assert(sizeof(EfiStampBlock) == 2792);

// U+0020..U+007E kept, U+3000 becomes a blank, every other character dropped.
std::string ToStampAscii(const std::wstring& text);
// Zero-fills the field, then copies at most size - 1 bytes, each byte outside
// 0x20..0x7E replaced by "?". A field of size 0 is left alone.
void CopyFixedAscii(char* field, std::size_t size, std::string_view text);
template <std::size_t N>
void CopyFixedAscii(char (&field)[N], std::string_view text) {
    CopyFixedAscii(field, N, text);
}
// The first 78 bytes of a screen line.
std::string ClipLine(std::string_view line);

EfiStampBlock BuildEfiStampBlock(const ReportStamp& stamp);
// "ZOLT_STAMP_V2|...|END", cut to 2047 bytes.
std::string BuildStampTextRecord(const ReportStamp& stamp);
// The MBR's fallback line, cut to 300 bytes.
std::string BuildFallbackMessage(const ReportStamp& stamp);
// The 25-line BIOS screen (also REPORT.TXT), cut to 3996 bytes.
std::string BuildScreenText(const EfiStampBlock& block, const ReportStamp& stamp);

// The whole image, sized to the smallest multiple of the sector size (0 or less than
// 512 counts as 512) that holds 131072 bytes; bytes past 131072 are zero.
std::vector<std::uint8_t> BuildStampImage(const ReportStamp& stamp, std::uint32_t sectorSize,
                                          const StampBootPrograms& programs);
std::vector<std::uint8_t> BuildStampImage(const ReportStamp& stamp, std::uint32_t sectorSize);

// Image length for a target sector size (see BuildStampImage).
std::size_t StampImageLength(std::uint32_t sectorSize);

}  // namespace morvane
