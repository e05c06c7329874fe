// Layout of the stamp image: fixed fields at their offsets, the FAT16 volume, the
// text record, the EFI block and the screen text, and their cutting rules.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "stamp/fat16_volume.h"
#include "support/stamp_samples.h"

namespace morvane {
namespace {

using testing::Bytes;
using testing::CString;
using testing::Le16;
using testing::Le32;
using testing::SampleReportStamp;

TEST(StampAscii, ConvertsCopiesAndClips) {
    EXPECT_EQ(ToStampAscii(L"Abc 1|2~"), "Abc 1|2~");
    EXPECT_EQ(ToStampAscii(L"山田\u3000太郎 X"), "  X");
    EXPECT_EQ(ToStampAscii(L"a\r\nb\tc\u007f\u00e9"), "abc");

    char field[6];
    std::memset(field, 'Z', sizeof field);
    CopyFixedAscii(field, "ab\x01\xff" "cdef");
    EXPECT_EQ(std::string(field, 6), std::string("ab??c\0", 6));
    std::memset(field, 'Z', sizeof field);
    CopyFixedAscii(field, "");
    EXPECT_EQ(std::string(field, 6), std::string(6, '\0'));
    char untouched = 'Q';
    CopyFixedAscii(&untouched, 0, "abc");
    EXPECT_EQ(untouched, 'Q');

    EXPECT_EQ(ClipLine(std::string(78, 'a')), std::string(78, 'a'));
    EXPECT_EQ(ClipLine(std::string(79, 'a')), std::string(78, 'a'));
    EXPECT_EQ(ClipLine(""), "");
}

TEST(StampImage, SizeFollowsSectorSize) {
    const struct {
        std::uint32_t sector;
        std::size_t length;
    } cases[] = {{0, 131072}, {1, 131072}, {512, 131072}, {4096, 131072}, {520, 131560}, {65536, 131072}};
    for (const auto& c : cases) {
        EXPECT_EQ(StampImageLength(c.sector), c.length) << c.sector;
        const auto image = BuildStampImage(SampleReportStamp(), c.sector);
        ASSERT_EQ(image.size(), c.length) << c.sector;
        for (std::size_t i = 131072; i < image.size(); ++i) ASSERT_EQ(image[i], 0) << i;
    }
}

TEST(StampImage, MasterBootRecord) {
    const auto img = BuildStampImage(SampleReportStamp(), 512);
    const StampBootPrograms programs = EmbeddedBootPrograms();
    ASSERT_LE(programs.stage1.size(), 63u);
    EXPECT_EQ(0, std::memcmp(img.data(), programs.stage1.data(), programs.stage1.size()));
    EXPECT_EQ(img[63], 0);
    const std::uint8_t packet[16] = {16, 0, 8, 0, 0x00, 0x80, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(img.data() + 64, packet, 16));
    EXPECT_EQ(CString(img, 80),
              "\r\n[MORVANE DISK ERASER] SANITIZED & VERIFIED. Cert: MDE-20261023-0042-A1B2C3\r\n");
    for (std::size_t i = 380; i < 446; ++i) EXPECT_EQ(img[i], 0) << i;
    const std::uint8_t entry[16] = {0x80, 1, 1, 0, 0xEF, 0xFE, 0x3F, 0x04, 64, 0, 0, 0, 0, 0x20, 0, 0};
    EXPECT_EQ(0, std::memcmp(img.data() + 446, entry, 16));
    for (std::size_t i = 462; i < 510; ++i) EXPECT_EQ(img[i], 0) << i;
    EXPECT_EQ(img[510], 0x55);
    EXPECT_EQ(img[511], 0xAA);
}

TEST(StampImage, FallbackMessageIsCutAt300Bytes) {
    ReportStamp s = SampleReportStamp();
    s.certificateId = std::wstring(400, L'C');
    const auto img = BuildStampImage(s, 512);
    EXPECT_EQ(CString(img, 80).size(), 300u);
    EXPECT_EQ(img[380], 0);
}

TEST(StampImage, TextRecordAndSecondStage) {
    const ReportStamp s = SampleReportStamp();
    const auto img = BuildStampImage(s, 512);
    const std::string expected =
        "ZOLT_STAMP_V2|MDE-20261023-0042-A1B2C3|2026-10-23 14:05:09|DoD 5220.22-M (3 Pass)|"
        "PASSED (All Sampled Sectors Verified Clean)|WDC WD10EZEX-08WN4A0|WD-WCC6Y0000001|931.51 GB|"
        "\xE5\xB1\xB1\xE7\x94\xB0 \xE5\xA4\xAA\xE9\x83\x8E|"
        "\xE3\x83\xA2\xE3\x83\xAB\xE3\x83\xB4\xE3\x82\xA7\xE3\x82\xA4\xE3\x83\xB3\xE6\x8A\x80\xE7\xA0\x94|"
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855|3|"
        "Contoso|Notebook|Contoso Book 14|CB14-778|01234567-89AB-CDEF-0123-456789ABCDEF|IT-4411|"
        "x86 Family 6 Model 158|8.00 GB|WDC WD10EZEX-08WN4A0 (931.51 GB)|512 B/Sector|Basic Display Adapter|"
        "HD Audio|Ethernet (00:11:22:33:44:55)|Contoso MB-1|Contoso BIOS 1.02|AHCI Controller|END";
    EXPECT_EQ(CString(img, 512), expected);
    for (std::size_t i = 512 + expected.size(); i < 2560; ++i) ASSERT_EQ(img[i], 0) << i;

    const StampBootPrograms programs = EmbeddedBootPrograms();
    ASSERT_LE(programs.stage2.size(), 96u);
    EXPECT_EQ(0, std::memcmp(img.data() + 2560, programs.stage2.data(), programs.stage2.size()));
    for (std::size_t i = 2560 + programs.stage2.size(); i < 2656; ++i) EXPECT_EQ(img[i], 0) << i;
    const std::string screen = CString(img, 2656);
    EXPECT_EQ(screen, BuildScreenText(BuildEfiStampBlock(s), s));
    for (std::size_t i = 2656 + screen.size(); i < 32768; ++i) ASSERT_EQ(img[i], 0) << i;
}

TEST(StampImage, SeparatorsLineBreaksAndJapanese) {
    ReportStamp s = SampleReportStamp();
    s.certificateId = L"ID|A\r\nB";
    s.sanitizationDate = L"2026|10";
    s.diskModel = L"Model\nX|Y";
    s.operatorName = L"山田\u3000太郎 Op";
    const std::string record = BuildStampTextRecord(s);
    EXPECT_EQ(record.rfind("ZOLT_STAMP_V2|ID A  B|2026 10|", 0), 0u) << record;
    EXPECT_NE(record.find("|Model X Y|"), std::string::npos);
    EXPECT_NE(record.find("|\xE5\xB1\xB1\xE7\x94\xB0\xE3\x80\x80\xE5\xA4\xAA\xE9\x83\x8E Op|"), std::string::npos);

    const EfiStampBlock block = BuildEfiStampBlock(s);
    EXPECT_STREQ(block.report[0].value, "ID|AB");
    EXPECT_STREQ(block.report[1].value, "2026|10");
    EXPECT_STREQ(block.report[5].value, "  Op / ");
    const std::string screen = BuildScreenText(block, s);
    EXPECT_NE(screen.find(" Cert: ID|AB | Date: 2026|10\r\n"), std::string::npos);
    EXPECT_NE(screen.find("  Operator / Org   :   Op / \r\n"), std::string::npos);
    for (unsigned char c : screen) EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c <= 0x7E));
}

TEST(StampImage, LongRecordLosesItsEnd) {
    ReportStamp s = SampleReportStamp();
    for (std::wstring* f : {&s.hardware.manufacturer, &s.hardware.processor, &s.hardware.disk,
                            &s.hardware.graphicsCard, &s.hardware.networkAdapters, &s.hardware.motherboard,
                            &s.hardware.biosInformation, &s.hardware.storageController}) {
        *f = std::wstring(250, L'h');
    }
    const std::string record = BuildStampTextRecord(s);
    EXPECT_EQ(record.size(), 2047u);
    EXPECT_EQ(record.find("|END"), std::string::npos);
    const auto img = BuildStampImage(s, 512);
    EXPECT_EQ(CString(img, 512), record);
    EXPECT_EQ(img[2559], 0);
}

TEST(StampImage, EfiBlockRowsAndDefaults) {
    ReportStamp s = SampleReportStamp();
    s.productLine.clear();
    s.hardware.uuid = std::wstring(200, L'u');
    const EfiStampBlock b = BuildEfiStampBlock(s);
    const char* raw = reinterpret_cast<const char*>(&b);
    EXPECT_STREQ(raw + 0, "ZOLT_EFI_STAMP_V2_MAGIC");
    EXPECT_STREQ(raw + 24,
                 "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification");
    EXPECT_STREQ(raw + 120, "SANITIZED & VERIFIED");
    const struct {
        std::size_t offset;
        const char* text;
    } fields[] = {
        {152, "Report / Cert ID  :"},          {152 + 28, "MDE-20261023-0042-A1B2C3"},
        {152 + 2 * 120 + 28, "Morvane Disk Eraser v1.3.0"},
        {152 + 3 * 120 + 28, "DoD 5220.22-M (3 Pass) (3 Passes)"},
        {152 + 5 * 120 + 28, "  / "},         {152 + 6 * 120, "SHA-256 Signature :"},
        {992, "Manufacturer      :"},          {992 + 28, "Contoso"},
        {992 + 14 * 120, "BIOS / Storage    :"}, {992 + 14 * 120 + 28, "Contoso BIOS 1.02 | AHCI Controller"},
    };
    for (const auto& f : fields) EXPECT_STREQ(raw + f.offset, f.text) << f.offset;
    EXPECT_EQ(std::strlen(b.hardware[4].value), 91u);

    // Failure does not change the image's status field.
    s.failed = true;
    EXPECT_STREQ(BuildEfiStampBlock(s).status, "SANITIZED & VERIFIED");
}

TEST(StampImage, ScreenTextHas25ClippedLines) {
    ReportStamp s = SampleReportStamp();
    s.hardware.processor = std::wstring(150, L'p');
    s.hardware.biosInformation = std::wstring(150, L'b');
    const std::string text = BuildScreenText(BuildEfiStampBlock(s), s);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines[0], " MORVANE DISK ERASER - SANITIZATION & HARDWARE REPORT   [SANITIZED & VERIFIED]");
    EXPECT_EQ(lines[12], ClipLine("  Processor (CPU)  : " + std::string(150, 'p')));
    EXPECT_EQ(lines[20], ClipLine("  BIOS Information : " + std::string(150, 'b')));
    EXPECT_EQ(lines[10], "  Serial / Asset   : CB14-778 (Asset: IT-4411)");
    EXPECT_EQ(lines[23], "");
    EXPECT_EQ(lines[24], " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).");
    for (const auto& line : lines) EXPECT_LE(line.size(), 78u);
}

// Every screen states what the record holds: "VERIFIED" only after a passed read-back,
// "SANITIZED" only after real passes.
TEST(StampImage, ScreenStatusFollowsTheRecord) {
    const char* sanitized = " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).";
    const char* simulated = " Status: Simulation Only, No Data Erased. Report Stamp Active (No OS).";
    const struct {
        const wchar_t* verdict;
        const wchar_t* stampStatus;
        const char* status;
        const char* footer;
    } cases[] = {
        {L"PASSED (All Sampled Sectors Verified Clean)", nullptr, "SANITIZED & VERIFIED", sanitized},
        {L"SKIPPED (検証なし設定)", nullptr, "SANITIZED, UNVERIFIED", sanitized},
        {L"PASSED (Simulation 100% Verified)", L"Simulation / Dry-Run Report Stamp", "SIMULATION, NOT ERASED", simulated},
        {L"SKIPPED (検証なし設定)", L"Simulation / Dry-Run Report Stamp", "SIMULATION, NOT ERASED", simulated},
        {L"FAILED (Pattern Mismatch Detected)", nullptr, "NOT SANITIZED",
         " Status: No Completed Sanitization On Record. Report Stamp Active (No OS)."},
        {L"STAMPED BY OPERATOR", nullptr, "NOT SANITIZED",
         " Status: No Completed Sanitization On Record. Report Stamp Active (No OS)."},
    };
    for (const auto& c : cases) {
        ReportStamp s = SampleReportStamp();
        s.verificationResult = c.verdict;
        if (c.stampStatus != nullptr) s.stampStatus = c.stampStatus;
        const EfiStampBlock block = BuildEfiStampBlock(s);
        EXPECT_STREQ(block.status, c.status);
        EXPECT_EQ(BuildFallbackMessage(s),
                  std::string("\r\n[MORVANE DISK ERASER] ") + c.status + ". Cert: MDE-20261023-0042-A1B2C3\r\n");
        const std::string screen = BuildScreenText(block, s);
        const std::string first = screen.substr(0, screen.find("\r\n"));
        EXPECT_EQ(first.size(), 78u) << first;
        EXPECT_EQ(first.rfind(" MORVANE DISK ERASER - SANITIZATION & HARDWARE REPORT ", 0), 0u) << first;
        EXPECT_EQ(first.substr(first.rfind('[')), std::string("[") + c.status + "]") << first;
        EXPECT_EQ(screen.substr(screen.rfind("\r\n") + 2), c.footer);
    }
}

TEST(StampImage, Fat16Volume) {
    const ReportStamp s = SampleReportStamp();
    const auto img = BuildStampImage(s, 512);
    const std::size_t v = 32768;
    // Jump, OEM name, BPB (512-byte sectors, 1 per cluster, 1 reserved, 2 FATs of 32 sectors,
    // 512 root entries, 8192 sectors, media F8, 63/255 geometry, 64 hidden), drive 80h,
    // extended signature, serial 20261023h, label and type.
    EXPECT_EQ(Bytes(img, v, 62), std::string("\xEB\x3C\x90MORVANE \x00\x02\x01\x01\x00\x02\x00\x02\x00\x20\xF8"
                                             "\x20\x00\x3F\x00\xFF\x00\x40\x00\x00\x00\x00\x00\x00\x00"
                                             "\x80\x00\x29\x23\x10\x26\x20ZOLT_STAMP FAT16   ", 62));
    EXPECT_EQ(Le16(img, v + 510), 0xAA55);

    // Both FATs identical.
    const std::size_t fat = 33280;
    EXPECT_EQ(0, std::memcmp(img.data() + fat, img.data() + 49664, 16384));
    const std::string screen = CString(img, 2656);
    const std::size_t reportClusters = (screen.size() + 511) / 512;
    // Media entry, end-of-chain marks, then the EFI and BOOT directories (one cluster each),
    // BOOTX64.EFI (20 clusters), BOOTIA32.EFI (18) and REPORT.TXT, each one chain.
    std::vector<std::uint16_t> want(8192, 0);
    want[0] = 0xFFF8;
    want[1] = 0xFFFF;
    std::size_t next = 2;
    for (std::size_t clusters : {std::size_t{1}, std::size_t{1}, std::size_t{20}, std::size_t{18}, reportClusters}) {
        for (std::size_t i = 0; i < clusters; ++i, ++next)
            want[next] = static_cast<std::uint16_t>(i + 1 < clusters ? next + 1 : 0xFFFF);
    }
    for (std::size_t c = 0; c < 8192; ++c) ASSERT_EQ(Le16(img, fat + 2 * c), want[c]) << c;

    const struct {
        std::size_t at;
        const char* name;
        std::uint8_t attribute;
        std::uint16_t cluster;
        std::uint32_t size;
    } entries[] = {
        {66048, "ZOLT_STAMP ", 0x08, 0, 0},        {66048 + 32, "EFI        ", 0x10, 2, 0},
        {82432, ".          ", 0x10, 2, 0},        {82432 + 32, "..         ", 0x10, 0, 0},
        {82432 + 64, "BOOT       ", 0x10, 3, 0},   {82944, ".          ", 0x10, 3, 0},
        {82944 + 32, "..         ", 0x10, 2, 0},   {82944 + 64, "BOOTX64 EFI", 0x20, 4, 10240},
        {82944 + 96, "BOOTIA32EFI", 0x20, 24, 9216},
        {82944 + 128, "REPORT  TXT", 0x20, 42, static_cast<std::uint32_t>(screen.size())},
    };
    for (const auto& e : entries) {
        EXPECT_EQ(Bytes(img, e.at, 11), e.name);
        EXPECT_EQ(img[e.at + 11], e.attribute) << e.name;
        EXPECT_EQ(Le16(img, e.at + 26), e.cluster) << e.name;
        EXPECT_EQ(Le32(img, e.at + 28), e.size) << e.name;
        for (std::size_t i = 12; i < 26; ++i) EXPECT_EQ(img[e.at + i], 0) << e.name << " byte " << i;
    }
    EXPECT_EQ(Bytes(img, 82432 + (42 - 2) * 512, screen.size()), screen);

    // The applications sit in clusters 4 and 24 with their blocks patched.
    const EfiStampBlock block = BuildEfiStampBlock(s);
    for (std::size_t cluster : {4u, 24u}) {
        const std::size_t file = 82432 + (cluster - 2) * 512;
        const std::size_t size = cluster == 4 ? 10240 : 9216;
        const std::string bytes = Bytes(img, file, size);
        const std::size_t at = bytes.find("ZOLT_EFI_STAMP_V2_MAGIC");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(0, std::memcmp(bytes.data() + at, &block, sizeof block));
        EXPECT_EQ(bytes.substr(0, 2), "MZ");
    }
}

TEST(StampImage, RowValuesAreTheBlockRowsBeforeTheAsciiCut) {
    ReportStamp s = SampleReportStamp();
    s.productLine.clear();
    s.hardware.processor = L"プロセッサ " + std::wstring(120, L'p');
    const ScreenRowValues values = StampRowValues(s);
    const EfiStampBlock block = BuildEfiStampBlock(s);
    for (std::size_t i = 0; i < kScreenRowCount; ++i) {
        const char* row = i < 7 ? block.report[i].value : block.hardware[i - 7].value;
        EXPECT_EQ(row, ToStampAscii(values[i]).substr(0, 91)) << i;
    }
    EXPECT_EQ(values[5], L"山田 太郎 / モルヴェイン技研");
    EXPECT_EQ(values[13], s.hardware.processor);
}

TEST(StampImage, GlyphFileFollowsReportTxt) {
    const ReportStamp s = SampleReportStamp();  // Japanese operator and organisation
    const GlyphRenderer face = [](wchar_t c) -> std::optional<Glyph> {
        Glyph g;
        g.rows.fill(static_cast<std::uint8_t>(c));
        return g;
    };
    const auto plain = BuildStampImage(s, 512);
    EXPECT_EQ(BuildStampImage(s, 512, EmbeddedBootPrograms(), GlyphRenderer{}), plain);
    const auto img = BuildStampImage(s, 512, EmbeddedBootPrograms(), face);
    const std::vector<std::uint8_t> file = BuildGlyphFile(StampRowValues(s), face);
    ASSERT_FALSE(file.empty());

    const std::size_t first = 42 + (CString(img, 2656).size() + 511) / 512;
    const std::size_t clusters = (file.size() + 511) / 512;
    const std::size_t entry = 82944 + 5 * 32;
    EXPECT_EQ(Bytes(img, entry, 12), std::string("GLYPHS  BIN\x20", 12));
    EXPECT_EQ(Le16(img, entry + 26), first);
    EXPECT_EQ(Le32(img, entry + 28), file.size());
    const std::size_t data = 82432 + (first - 2) * 512;
    EXPECT_EQ(Bytes(img, data, file.size()), std::string(file.begin(), file.end()));
    const std::size_t fat = 33280;
    for (std::size_t c = first; c < first + clusters; ++c)
        EXPECT_EQ(Le16(img, fat + 2 * c), c + 1 < first + clusters ? c + 1 : 0xFFFF) << c;
    EXPECT_EQ(0, std::memcmp(img.data() + fat, img.data() + 49664, 16384));
    // Nothing else moves: outside both FATs, the new entry and the new clusters the
    // image is the one without glyphs.
    for (std::size_t i = 0; i < 131072; ++i) {
        const bool fats = i >= fat + 2 * first && i < fat + 2 * (first + clusters);
        const bool mirror = i >= fat + 16384 + 2 * first && i < fat + 16384 + 2 * (first + clusters);
        const bool added = (i >= entry && i < entry + 32) || (i >= data && i < data + clusters * 512);
        if (fats || mirror || added) continue;
        ASSERT_EQ(img[i], plain[i]) << i;
    }
}

TEST(StampImage, SubstituteProgramsAndUnpatchedImages) {
    // Programs without a block are copied unchanged; a block at the very end is found.
    std::vector<std::uint8_t> stage1(63, 0x90), stage2(96, 0xF4);
    std::vector<std::uint8_t> x64(10240, 0xAB), ia32(9216, 0xCD);
    std::memcpy(ia32.data() + 9216 - 2792, "ZOLT_EFI_STAMP_V2_MAGIC", 23);
    const ReportStamp s = SampleReportStamp();
    const auto img = BuildStampImage(s, 512, {stage1, stage2, x64, ia32});
    ASSERT_EQ(img.size(), 131072u);
    EXPECT_EQ(img[62], 0x90);
    EXPECT_EQ(img[2560 + 95], 0xF4);
    EXPECT_EQ(Bytes(img, 82432 + 2 * 512, 10240), std::string(10240, '\xAB'));
    const EfiStampBlock block = BuildEfiStampBlock(s);
    EXPECT_EQ(0, std::memcmp(img.data() + 82432 + 22 * 512 + 9216 - 2792, &block, sizeof block));

    // Oversized substitutes cannot overflow the written area: no image at all.
    std::vector<std::uint8_t> huge(60000, 1);
    EXPECT_TRUE(BuildStampImage(s, 512, {stage1, stage2, huge, huge}).empty());
}

}  // namespace
}  // namespace morvane
