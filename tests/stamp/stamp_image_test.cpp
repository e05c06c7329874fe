// The stamp image's pieces that its consumers (fsck.fat, mtools, sfdisk, QEMU) do not
// pin: ASCII cutting, the text record, what the screens claim, the block rows beside
// the glyph rows, and substitute programs. The layout itself is checked by stamp_checks.py.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/stamp_samples.h"

namespace morvane {
namespace {

TEST(StampImage, AsciiFieldsAndLines) {
    EXPECT_EQ(ToStampAscii(L"Ab 1|2~山田\u3000太郎\r\n\t\u007f\u00e9X"), "Ab 1|2~ X");
    char field[6];
    std::memset(field, 'Z', sizeof field);
    CopyFixedAscii(field, "ab\x01\xff" "cdef");
    EXPECT_EQ(std::string(field, 6), std::string("ab??c\0", 6));
    char untouched = 'Q';
    CopyFixedAscii(&untouched, 0, "abc");
    EXPECT_EQ(untouched, 'Q');
    EXPECT_EQ(ClipLine(std::string(79, 'a')), std::string(78, 'a'));
}

TEST(StampImage, TextRecordAndItsCuts) {
    ReportStamp s = testing::SampleReportStamp();
    s.certificateId = L"MDE|A\r\nB";  // separators and line breaks become blanks
    EXPECT_EQ(BuildStampTextRecord(s),
              "ZOLT_STAMP_V2|MDE A  B|2026-10-23 14:05:09|DoD 5220.22-M (3 Pass)|"
              "PASSED (All Sampled Sectors Verified Clean)|WDC WD10EZEX-08WN4A0|WD-WCC6Y0000001|931.51 GB|"
              "\xE5\xB1\xB1\xE7\x94\xB0 \xE5\xA4\xAA\xE9\x83\x8E|"
              "\xE3\x83\xA2\xE3\x83\xAB\xE3\x83\xB4\xE3\x82\xA7\xE3\x82\xA4\xE3\x83\xB3\xE6\x8A\x80\xE7\xA0\x94|"
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855|3|"
              "Contoso|Notebook|Contoso Book 14|CB14-778|01234567-89AB-CDEF-0123-456789ABCDEF|IT-4411|"
              "x86 Family 6 Model 158|8.00 GB|WDC WD10EZEX-08WN4A0 (931.51 GB)|512 B/Sector|Basic Display Adapter|"
              "HD Audio|Ethernet (00:11:22:33:44:55)|Contoso MB-1|Contoso BIOS 1.02|AHCI Controller|END");
    // Too long for LBA 1-4 with its zero: cut, the closing "|END" lost.
    s.hardware.storageController = std::wstring(3000, L'h');
    const std::string record = BuildStampTextRecord(s);
    EXPECT_EQ(record.size(), 2047u);
    EXPECT_EQ(record.back(), 'h');
    s.certificateId = std::wstring(400, L'C');
    EXPECT_EQ(BuildFallbackMessage(s).size(), 300u);
}

// "VERIFIED" only after a passed read-back, "SANITIZED" only after real passes; the
// record's failure flag alone changes nothing.
TEST(StampImage, ScreensClaimOnlyWhatTheRecordHolds) {
    const char* sanitized = " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).";
    const char* simulated = " Status: Simulation Only, No Data Erased. Report Stamp Active (No OS).";
    const char* none = " Status: No Completed Sanitization On Record. Report Stamp Active (No OS).";
    const struct {
        const wchar_t* verdict;
        const wchar_t* stampStatus;
        const char* status;
        const char* footer;
    } cases[] = {
        {L"PASSED (All Sampled Sectors Verified Clean)", nullptr, "SANITIZED & VERIFIED", sanitized},
        {L"SKIPPED (検証なし設定)", nullptr, "SANITIZED, UNVERIFIED", sanitized},
        {L"PASSED (Simulation 100% Verified)", nullptr, "SIMULATION, NOT ERASED", simulated},
        {L"SKIPPED (検証なし設定)", L"Simulation / Dry-Run Report Stamp", "SIMULATION, NOT ERASED", simulated},
        {L"FAILED (Pattern Mismatch Detected)", nullptr, "NOT SANITIZED", none},
        {L"STAMPED BY OPERATOR", nullptr, "NOT SANITIZED", none},
    };
    for (const auto& c : cases) {
        ReportStamp s = testing::SampleReportStamp();
        s.failed = true;
        s.verificationResult = c.verdict;
        if (c.stampStatus != nullptr) s.stampStatus = c.stampStatus;
        const EfiStampBlock block = BuildEfiStampBlock(s);
        EXPECT_STREQ(block.status, c.status);
        EXPECT_EQ(BuildFallbackMessage(s),
                  std::string("\r\n[MORVANE DISK ERASER] ") + c.status + ". Cert: MDE-20261023-0042-A1B2C3\r\n");
        const std::string screen = BuildScreenText(block, s);
        const std::string title = screen.substr(0, screen.find("\r\n"));
        EXPECT_EQ(title.size(), 78u) << title;
        EXPECT_EQ(title.substr(title.rfind('[')), std::string("[") + c.status + "]");
        EXPECT_EQ(screen.substr(screen.rfind("\r\n") + 2), c.footer);
    }
}

// The glyph file carries the rows in full, the block their ASCII cut to 91 bytes.
TEST(StampImage, BlockRowsAreTheRowValuesCutToAscii) {
    ReportStamp s = testing::SampleReportStamp();
    s.hardware.processor = L"プロセッサ " + std::wstring(120, L'p');
    const ScreenRowValues values = StampRowValues(s);
    const EfiStampBlock block = BuildEfiStampBlock(s);
    for (std::size_t i = 0; i < kScreenRowCount; ++i) {
        const char* row = i < 7 ? block.report[i].value : block.hardware[i - 7].value;
        EXPECT_EQ(row, ToStampAscii(values[i]).substr(0, 91)) << i;
    }
    EXPECT_EQ(values[5], L"山田 太郎 / モルヴェイン技研");
    EXPECT_EQ(values[13], s.hardware.processor);
    EXPECT_EQ(values[21], L"Contoso BIOS 1.02 | AHCI Controller");
}

TEST(StampImage, SubstitutePrograms) {
    const ReportStamp s = testing::SampleReportStamp();
    const std::vector<std::uint8_t> stage1(63, 0x90), stage2(96, 0xF4), x64(10240, 0xAB);
    std::vector<std::uint8_t> ia32(9216, 0xCD);
    std::memcpy(ia32.data() + ia32.size() - sizeof(EfiStampBlock), kEfiStampMagic, 23);  // a block at the very end
    const auto image = BuildStampImage(s, 512, {stage1, stage2, x64, ia32});
    ASSERT_EQ(image.size(), 131072u);
    const std::string bytes(image.begin(), image.end());
    const std::size_t at = bytes.find(kEfiStampMagic);
    ASSERT_NE(at, std::string::npos);
    const EfiStampBlock block = BuildEfiStampBlock(s);
    EXPECT_EQ(0, std::memcmp(image.data() + at, &block, sizeof block));
    // Programs too large for the written area: no image at all.
    const std::vector<std::uint8_t> huge(60000, 1);
    EXPECT_TRUE(BuildStampImage(s, 512, {stage1, stage2, huge, huge}).empty());
}

}  // namespace
}  // namespace morvane
