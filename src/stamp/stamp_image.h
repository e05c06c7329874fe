// The bootable report stamp image: a pure builder that lays out the MBR, the text
// record, the BIOS second stage with its screen text and the FAT16 EFI volume.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "erase/records.h"
#include "stamp/boot/efi_stamp_block.h"
#include "stamp/boot_images.h"
#include "stamp/glyph_file.h"

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
inline constexpr char kEfiStampMagic[] = EFI_STAMP_MAGIC;

// The stamp record's ten text fields in record order; the pass count and the sixteen
// hardware fields (kHardwareFields order) follow them.
inline constexpr std::wstring ReportStamp::*kStampRecordFields[10] = {
    &ReportStamp::certificateId, &ReportStamp::sanitizationDate, &ReportStamp::standardName,
    &ReportStamp::verificationResult, &ReportStamp::diskModel, &ReportStamp::diskSerial,
    &ReportStamp::diskCapacity, &ReportStamp::operatorName, &ReportStamp::organizationName,
    &ReportStamp::sha256Fingerprint,
};

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

// The values of the block's 7 report rows and 15 hardware rows in full, before
// BuildEfiStampBlock cuts them to ASCII; the glyph file carries them as they are.
ScreenRowValues StampRowValues(const ReportStamp& stamp);
EfiStampBlock BuildEfiStampBlock(const ReportStamp& stamp);
// "ZOLT_STAMP_V2|...|END", cut to 2047 bytes.
std::string BuildStampTextRecord(const ReportStamp& stamp);
// The MBR's fallback line, cut to 300 bytes.
std::string BuildFallbackMessage(const ReportStamp& stamp);
// The 25-line BIOS screen (also REPORT.TXT), cut to 3996 bytes.
std::string BuildScreenText(const EfiStampBlock& block, const ReportStamp& stamp);

// The whole image, sized to the smallest multiple of the sector size (0 or less than
// 512 counts as 512) that holds 131072 bytes; bytes past 131072 are zero. With a
// renderer, rows holding text outside ASCII add \EFI\BOOT\GLYPHS.BIN after
// REPORT.TXT (BOOT entry 5), from which the UEFI programs draw that text.
std::vector<std::uint8_t> BuildStampImage(const ReportStamp& stamp, std::uint32_t sectorSize,
                                          const StampBootPrograms& programs, const GlyphRenderer& glyphs = {});
std::vector<std::uint8_t> BuildStampImage(const ReportStamp& stamp, std::uint32_t sectorSize);

// Image length for a target sector size (see BuildStampImage).
std::size_t StampImageLength(std::uint32_t sectorSize);

}  // namespace morvane
