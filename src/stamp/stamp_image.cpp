// Builds the 128 KiB bootable report stamp image as bytes; the writer only writes it.
#include "stamp/stamp_image.h"

#include <algorithm>
#include <cstring>

#include "common/product.h"
#include "common/text.h"
#include "stamp/boot/efi_glyph_file.h"
#include "stamp/compose.h"
#include "stamp/fat16_volume.h"

namespace morvane {
namespace {

constexpr std::size_t kPacketOffset = 64;
constexpr std::size_t kPartitionOffset = 446;

// The glyph file's limit is what the data area (LBA 161-255) still holds behind the
// two directories, both programs and the longest REPORT.TXT, in whole clusters.
constexpr std::size_t Clusters(std::size_t bytes) { return (bytes + 511) / 512; }
static_assert(EFI_GLYPH_FILE_MAX_BYTES == 512 * (95 - 2 - Clusters(kEfiX64ImageSize) -
                                                 Clusters(kEfiIa32ImageSize) - Clusters(kScreenTextMaxBytes)));

// One text field of the record: UTF-8 with the separator and line breaks blanked.
std::string RecordField(const std::wstring& text) {
    std::string bytes = WideToUtf8(text);
    std::replace_if(bytes.begin(), bytes.end(), [](char c) { return c == '|' || c == '\r' || c == '\n'; },
                    ' ');
    return bytes;
}

// A fixed field as a string: up to its first zero byte.
std::string FieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return FieldText(field, N);
}

// What the screens claim, from the record alone (an operator may engrave any result's
// record): "VERIFIED" only after a read-back that passed, "SANITIZED" only after real passes.
struct ScreenStatus {
    const char* status;  // at most 22 characters, so that line 1 keeps its closing bracket
    const char* footer;
};

ScreenStatus ScreenStatusOf(const ReportStamp& stamp) {
    const std::wstring& verdict = stamp.verificationResult;
    if (IsSimulationRecord(stamp)) {
        return {"SIMULATION, NOT ERASED", " Status: Simulation Only, No Data Erased. Report Stamp Active (No OS)."};
    }
    const char* sanitized = " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).";
    if (verdict.rfind(L"PASSED", 0) == 0) return {"SANITIZED & VERIFIED", sanitized};
    if (verdict.rfind(L"SKIPPED", 0) == 0) return {"SANITIZED, UNVERIFIED", sanitized};
    // A failed or cancelled run, or an operator's stamp without any run behind it.
    return {"NOT SANITIZED", " Status: No Completed Sanitization On Record. Report Stamp Active (No OS)."};
}

void SetRow(EfiStampRow& row, const char* label, const std::string& value) {
    CopyFixedAscii(row.label, label);
    CopyFixedAscii(row.value, value);
}

void WriteMasterBootRecord(std::uint8_t* mbr, const ReportStamp& stamp, const StampBootPrograms& programs) {
    std::memcpy(mbr, programs.stage1.data(), std::min(programs.stage1.size(), kStage1MaxSize));
    // Disk address packet: 16 bytes, 8 sectors to 0000:8000 from LBA 5.
    std::uint8_t* packet = mbr + kPacketOffset;
    packet[0] = 16;
    packet[2] = 8;
    packet[5] = 0x80;  // buffer offset 0x8000, segment 0
    packet[8] = 5;
    const std::string message = BuildFallbackMessage(stamp);
    std::memcpy(mbr + kFallbackMessageOffset, message.data(), message.size());
    // Partition 1: active EFI system partition, LBA 64, 8192 sectors.
    const std::uint8_t entry[16] = {0x80, 0x01, 0x01, 0x00, 0xEF, 0xFE, 0x3F, 0x04,
                                    64,   0,    0,    0,    0x00, 0x20, 0x00, 0x00};
    std::memcpy(mbr + kPartitionOffset, entry, sizeof entry);
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
}

// Copies an application image and patches the first block found by its magic.
std::vector<std::uint8_t> PatchedEfiImage(std::span<const std::uint8_t> image, const EfiStampBlock& block) {
    std::vector<std::uint8_t> copy(image.begin(), image.end());
    const std::size_t magicLength = sizeof kEfiStampMagic - 1;
    if (copy.size() < sizeof block) return copy;
    for (std::size_t at = 0; at + sizeof block <= copy.size(); ++at) {
        if (std::memcmp(copy.data() + at, kEfiStampMagic, magicLength) == 0) {
            std::memcpy(copy.data() + at, &block, sizeof block);
            break;
        }
    }
    return copy;
}

}  // namespace

std::string ToStampAscii(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c >= 0x20 && c <= 0x7E) {
            out.push_back(static_cast<char>(c));
        } else if (c == 0x3000) {
            out.push_back(' ');
        }
    }
    return out;
}

void CopyFixedAscii(char* field, std::size_t size, std::string_view text) {
    if (size == 0) return;
    std::memset(field, 0, size);
    const std::size_t n = std::min(text.size(), size - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        field[i] = (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : '?';
    }
}

std::string ClipLine(std::string_view line) {
    return std::string(line.substr(0, kStampLineMaxBytes));
}

EfiStampBlock BuildEfiStampBlock(const ReportStamp& stamp) {
    EfiStampBlock block{};
    CopyFixedAscii(block.magic, kEfiStampMagic);
    CopyFixedAscii(block.title,
                   "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification");
    CopyFixedAscii(block.status, ScreenStatusOf(stamp).status);

    const std::wstring product = stamp.productLine.empty() ? ApplicationText() : stamp.productLine;
    SetRow(block.report[0], "Report / Cert ID  :", ToStampAscii(stamp.certificateId));
    SetRow(block.report[1], "Sanitization Date :", ToStampAscii(stamp.sanitizationDate));
    SetRow(block.report[2], "Software Version  :", ToStampAscii(product));
    SetRow(block.report[3], "Erasure Standard  :",
           ToStampAscii(stamp.standardName + L" (" + std::to_wstring(stamp.passesCompleted) + L" Passes)"));
    SetRow(block.report[4], "Verification      :", ToStampAscii(stamp.verificationResult));
    SetRow(block.report[5], "Operator / Org    :",
           ToStampAscii(stamp.operatorName + L" / " + stamp.organizationName));
    SetRow(block.report[6], "SHA-256 Signature :", ToStampAscii(stamp.sha256Fingerprint));

    const HardwareProfile& hw = stamp.hardware;
    const struct {
        const char* label;
        std::wstring value;
    } rows[15] = {
        {"Manufacturer      :", hw.manufacturer},
        {"Chassis Type      :", hw.chassisType},
        {"System Model      :", hw.model},
        {"System Serial     :", hw.serial},
        {"System UUID       :", hw.uuid},
        {"Asset Tag         :", hw.assetTag},
        {"Processor (CPU)   :", hw.processor},
        {"Total Memory      :", hw.totalMemory},
        {"Sanitized Disk    :", hw.disk},
        {"Disk Geometry     :", hw.diskGeometry},
        {"Graphics Adapter  :", hw.graphicsCard},
        {"Audio Controller  :", hw.soundCards},
        {"Network / MAC     :", hw.networkAdapters},
        {"Motherboard       :", hw.motherboard},
        {"BIOS / Storage    :", hw.biosInformation + L" | " + hw.storageController},
    };
    for (std::size_t i = 0; i < 15; ++i) SetRow(block.hardware[i], rows[i].label, ToStampAscii(rows[i].value));
    return block;
}

std::string BuildStampTextRecord(const ReportStamp& stamp) {
    std::string record = kStampRecordMarker;
    for (const auto field : kStampRecordFields) {
        record += RecordField(stamp.*field);
        record += '|';
    }
    record += std::to_string(stamp.passesCompleted);
    for (const HardwareFieldRef& field : kHardwareFields) {
        record += '|';
        record += RecordField(stamp.hardware.*field.member);
    }
    record += "|END";
    // Cut to fit LBA 1-4 with a terminating zero; the closing "|END" is then lost.
    if (record.size() > kStampRecordMaxBytes) record.resize(kStampRecordMaxBytes);
    return record;
}

std::string BuildFallbackMessage(const ReportStamp& stamp) {
    std::string message = "\r\n[MORVANE DISK ERASER] " + std::string(ScreenStatusOf(stamp).status) +
                          ". Cert: " + ToStampAscii(stamp.certificateId) + "\r\n";
    if (message.size() > kFallbackMessageMaxBytes) message.resize(kFallbackMessageMaxBytes);
    return message;
}

std::string BuildScreenText(const EfiStampBlock& block, const ReportStamp& stamp) {
    auto report = [&](int i) { return FieldText(block.report[i].value); };
    auto hardware = [&](int i) { return FieldText(block.hardware[i].value); };
    // The bracketed status ends at column 78: "[SANITIZED & VERIFIED]" leaves three blanks.
    std::string title = " MORVANE DISK ERASER - SANITIZATION & HARDWARE REPORT";
    const std::string status = FieldText(block.status);
    const std::size_t used = title.size() + status.size() + 2;
    title.append(used < kStampLineMaxBytes ? kStampLineMaxBytes - used : 1, ' ');
    title += '[';
    title += status;
    title += ']';
    const std::string lines[25] = {
        title,
        " Cert: " + report(0) + " | Date: " + report(1),
        " [Report Details]",
        "  Software Version : " + report(2),
        "  Erasure Standard : " + report(3),
        "  Verification     : " + report(4),
        "  SHA-256 Digest   : " + report(6),
        " [Hardware Details]",
        "  Manufacturer     : " + hardware(0),
        "  Chassis / Model  : " + hardware(1) + " / " + hardware(2),
        "  Serial / Asset   : " + hardware(3) + " (Asset: " + hardware(5) + ")",
        "  System UUID      : " + hardware(4),
        "  Processor (CPU)  : " + hardware(6),
        "  Total Memory     : " + hardware(7),
        "  Disk             : " + hardware(8),
        "  Disk Geometry    : " + hardware(9),
        "  Graphics Card    : " + hardware(10),
        "  Sound Cards      : " + hardware(11),
        "  Network / MAC    : " + hardware(12),
        "  Motherboard      : " + hardware(13),
        "  BIOS Information : " + ToStampAscii(stamp.hardware.biosInformation),
        "  Storage Control  : " + ToStampAscii(stamp.hardware.storageController),
        "  Operator / Org   : " + report(5),
        "",
        ScreenStatusOf(stamp).footer,
    };
    std::string text;
    for (std::size_t i = 0; i < 25; ++i) {
        if (i != 0) text += "\r\n";
        // A 79th or 80th character would make the BIOS teletype wrap and scroll.
        text += ClipLine(lines[i]);
    }
    if (text.size() > kScreenTextMaxBytes) text.resize(kScreenTextMaxBytes);
    return text;
}

// Composed as BuildEfiStampBlock composes its rows, before the cut to ASCII.
ScreenRowValues StampRowValues(const ReportStamp& stamp) {
    const HardwareProfile& hw = stamp.hardware;
    return {
        stamp.certificateId,
        stamp.sanitizationDate,
        stamp.productLine.empty() ? ApplicationText() : stamp.productLine,
        stamp.standardName + L" (" + std::to_wstring(stamp.passesCompleted) + L" Passes)",
        stamp.verificationResult,
        stamp.operatorName + L" / " + stamp.organizationName,
        stamp.sha256Fingerprint,
        hw.manufacturer,
        hw.chassisType,
        hw.model,
        hw.serial,
        hw.uuid,
        hw.assetTag,
        hw.processor,
        hw.totalMemory,
        hw.disk,
        hw.diskGeometry,
        hw.graphicsCard,
        hw.soundCards,
        hw.networkAdapters,
        hw.motherboard,
        hw.biosInformation + L" | " + hw.storageController,
    };
}

std::size_t StampImageLength(std::uint32_t sectorSize) {
    const std::size_t s = sectorSize < 512 ? 512 : sectorSize;
    return (kStampImageSize + s - 1) / s * s;
}

std::vector<std::uint8_t> BuildStampImage(const ReportStamp& stamp, std::uint32_t sectorSize,
                                          const StampBootPrograms& programs, const GlyphRenderer& glyphs) {
    std::vector<std::uint8_t> image(StampImageLength(sectorSize), 0);
    const EfiStampBlock block = BuildEfiStampBlock(stamp);

    WriteMasterBootRecord(image.data(), stamp, programs);

    const std::string record = BuildStampTextRecord(stamp);
    std::memcpy(image.data() + kStampRecordOffset, record.data(), record.size());

    std::memcpy(image.data() + kStage2Offset, programs.stage2.data(),
                std::min(programs.stage2.size(), kStage2MaxSize));
    const std::string screen = BuildScreenText(block, stamp);
    std::memcpy(image.data() + kScreenTextOffset, screen.data(), screen.size());

    const std::vector<std::uint8_t> x64 = PatchedEfiImage(programs.efiX64, block);
    const std::vector<std::uint8_t> ia32 = PatchedEfiImage(programs.efiIa32, block);

    FatVolume volume{std::span<std::uint8_t>(image.data() + kStampVolumeOffset, kStampVolumeBytes)};
    InitStampVolume(volume);
    const bool added =
        AddFatFile(volume, "BOOTX64 EFI", x64.data(), x64.size(), BootDirectoryEntry(volume, 2)) &&
        AddFatFile(volume, "BOOTIA32EFI", ia32.data(), ia32.size(), BootDirectoryEntry(volume, 3)) &&
        AddFatFile(volume, "REPORT  TXT", reinterpret_cast<const std::uint8_t*>(screen.data()), screen.size(),
                   BootDirectoryEntry(volume, 4));
    // Only oversized substitute programs can overflow the volume: no image then.
    if (!added) return {};
    const std::vector<std::uint8_t> glyphFile = BuildGlyphFile(StampRowValues(stamp), glyphs);
    // Always fits beside the embedded programs; if substitutes leave no room the file
    // is left out and the programs draw the ASCII screen.
    if (!glyphFile.empty()) {
        (void)AddFatFile(volume, "GLYPHS  BIN", glyphFile.data(), glyphFile.size(),
                         BootDirectoryEntry(volume, 5));
    }
    MirrorFat(volume);
    return image;
}

std::vector<std::uint8_t> BuildStampImage(const ReportStamp& stamp, std::uint32_t sectorSize) {
    return BuildStampImage(stamp, sectorSize, EmbeddedBootPrograms());
}

}  // namespace morvane
