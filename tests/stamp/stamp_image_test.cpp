// The stamp's pure builders, on what their consumers (fsck.fat, mtools, sfdisk and QEMU in
// stamp_checks.py) do not pin: the record from a run, its text form and cuts, what the screens
// claim per kind of run, and the glyph file read back by the UEFI programs' own parser.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "evidence/report_fixtures.h"
#include "stamp/boot/efi_glyph_file.h"
#include "stamp/compose.h"
#include "stamp/glyph_file.h"
#include "support/stamp_samples.h"

namespace morvane {
namespace {

// Only a completed run is not failed, and a simulation says so whatever the stamp
// choice; the date is the run's end.
TEST(ComposeReportStamp, FailedAndStatusFollowTheJob) {
    EraseResult r = testing::CompletedRealResult();
    EXPECT_EQ(ComposeReportStamp(r, {}).sanitizationDate, L"2025-03-07 09:17:45");
    const struct {
        JobStatus status;
        std::uint32_t noStamp, execMode;
        bool failed;
        const wchar_t* text;
    } cases[] = {
        {JobStatus::Completed, 1, 1, false, kStampStatusPureZero}, {JobStatus::Cancelled, 1, 0, true, kStampStatusSimulation},
        {JobStatus::Failed, 0, 1, true, kStampStatusActive},       {JobStatus::Completed, 2, 5, false, kStampStatusActive},
    };
    for (const auto& c : cases) {
        std::tie(r.status, r.job.noStamp, r.job.execMode) = std::tuple(c.status, c.noStamp, ExecMode{c.execMode});
        EXPECT_EQ(ComposeReportStamp(r, {}).failed, c.failed) << ValueOf(c.status);
        EXPECT_EQ(ComposeReportStamp(r, {}).stampStatus, c.text) << c.noStamp << "/" << c.execMode;
    }
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
    const std::string cut = BuildStampTextRecord(s);
    EXPECT_EQ(cut.size(), 2047u);
    EXPECT_EQ(cut.back(), 'h');
    s.certificateId = std::wstring(400, L'C');
    EXPECT_EQ(BuildFallbackMessage(s).size(), 300u);  // the MBR's room
}

// "VERIFIED" only after a passed read-back, "SANITIZED" only after real passes; the
// record's failure flag alone changes nothing. The title line keeps 78 columns.
TEST(StampImage, ScreensClaimOnlyWhatTheRecordHolds) {
    const char* sanitized = " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).";  // in stamp_checks.py too
    const char* simulated = " Status: Simulation Only, No Data Erased. Report Stamp Active (No OS).";
    const char* none = " Status: No Completed Sanitization On Record. Report Stamp Active (No OS).";
    const struct {
        const wchar_t *verdict, *stampStatus;
        const char *status, *footer;
    } cases[] = {
        {L"PASSED (All Sampled Sectors Verified Clean)", nullptr, "SANITIZED & VERIFIED", sanitized},
        {L"SKIPPED (検証なし設定)", nullptr, "SANITIZED, UNVERIFIED", sanitized},
        {L"PASSED (Simulation 100% Verified)", nullptr, "SIMULATION, NOT ERASED", simulated},
        {L"SKIPPED (検証なし設定)", kStampStatusSimulation, "SIMULATION, NOT ERASED", simulated},
        {L"FAILED (Pattern Mismatch Detected)", nullptr, "NOT SANITIZED", none},
    };
    for (const auto& c : cases) {
        ReportStamp s = testing::SampleReportStamp();
        std::tie(s.failed, s.verificationResult) = std::tuple(true, c.verdict);
        if (c.stampStatus != nullptr) s.stampStatus = c.stampStatus;
        const EfiStampBlock block = BuildEfiStampBlock(s);
        const std::string screen = BuildScreenText(block, s), title = screen.substr(0, screen.find("\r\n"));
        EXPECT_EQ(block.status + std::string("|") + title.substr(title.size() - 2 - std::strlen(block.status)) + "|" +
                      screen.substr(screen.rfind("\r\n") + 2) + "|" + BuildFallbackMessage(s),
                  c.status + std::string("|[") + c.status + "]|" + c.footer + "|\r\n[MORVANE DISK ERASER] " + c.status +
                      ". Cert: MDE-20261023-0042-A1B2C3\r\n");
        EXPECT_EQ(title.size(), 78u) << title;
    }
}

TEST(GlyphFile, RowsAndGlyphsReadBackThroughTheBootParserWhichRefusesFaults) {
    std::wstring asked;
    const GlyphRenderer face = [&](wchar_t c) -> std::optional<Glyph> {  // every byte: the code unit's low byte
        asked.push_back(c);
        if (c == L'\u4E00') return std::nullopt;  // missing from this face
        Glyph g;
        g.width = c >= 0xFF61 && c <= 0xFF9F ? 8 : 16;  // half-width katakana
        g.rows.fill(static_cast<std::uint8_t>(c));
        return g;
    };
    ScreenRowValues ascii;
    for (std::size_t i = 0; i < kScreenRowCount; ++i) ascii[i] = L"value " + std::to_wstring(i);
    ScreenRowValues values = ascii;
    values[3] = L"NIST (SSD最推奨・TRIM解放+暗号) (1 Passes)";
    values[5] = L"検査\t太郎\r\n / 情報\u0085部";         // control characters are dropped
    values[12] = L"x\U0001F600y";                          // a pair stays whole and gets no glyph
    values[15] = L"HDD (ｶﾀ\u4E00検)";
    values[21] = std::wstring(139, L'a') + L"\U0001F600";  // a pair is never cut in half
    const std::vector<std::uint8_t> bytes = BuildGlyphFile(values, face);
    EfiGlyphFile file{};
    ASSERT_EQ(EfiParseGlyphFile(bytes.data(), bytes.size(), &file), 1);
    values[5] = L"検査太郎 / 情報部";
    values[21].resize(139);
    for (std::size_t row = 0; row < kScreenRowCount; ++row) {
        std::wstring text;
        for (unsigned i = 0; i < file.rowUnits[row]; ++i) text.push_back(wchar_t(EfiGlyphLe16(file.rowText[row] + 2 * i)));
        EXPECT_EQ(text, values[row]) << row;
    }
    // Each character outside ASCII is rendered once, in order of first appearance.
    EXPECT_EQ(asked, L"最推奨・解放暗号検査太郎情報部ｶﾀ\u4E00");
    const unsigned char* kana = EfiFindGlyph(&file, L'ｶ');
    ASSERT_NE(kana, nullptr);
    EXPECT_EQ(EfiGlyphLe16(kana + 2), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(kana + 4, kana + 36), std::vector<std::uint8_t>(32, 0x76));  // U+FF76
    EXPECT_EQ(EfiFindGlyph(&file, L'\u4E00'), nullptr);
    // No file without a renderer or without text outside ASCII.
    EXPECT_TRUE(BuildGlyphFile(values, GlyphRenderer{}).empty());
    EXPECT_TRUE(BuildGlyphFile(ascii, face).empty());

    // The parser refuses every cut and every bad field (reading past a cut would fault).
    const std::vector<std::uint8_t>& good = bytes;
    for (std::size_t size = 0; size < good.size(); ++size) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);
        ASSERT_EQ(EfiParseGlyphFile(cut.data(), cut.size(), &file), 0) << size;
    }
    const struct {
        const char* fault;
        std::size_t at, value;
    } faults[] = {
        {"magic", 0, 'Y'}, {"row count", 8, 21}, {"glyph count one too many", 10, EfiGlyphLe16(good.data() + 10) + 1u},
        {"glyph table past the end", 12, good.size() + 2}, {"row offset past the end", 16 + 4 * 5, good.size() + 2},
        {"row running past the end", 16 + 4 * 21, good.size() - 2}, {"row longer than 140", 18, 141},
    };
    for (const auto& f : faults) {
        std::vector<std::uint8_t> bad = good;
        bad[f.at] = static_cast<std::uint8_t>(f.value);
        if (f.at != 0) bad[f.at + 1] = static_cast<std::uint8_t>(f.value >> 8);
        EXPECT_EQ(EfiParseGlyphFile(bad.data(), bad.size(), &file), 0) << f.fault;
    }
    std::vector<std::uint8_t> longer = good;
    longer.resize(EFI_GLYPH_FILE_MAX_BYTES + 1);
    EXPECT_EQ(EfiParseGlyphFile(longer.data(), longer.size(), &file), 0) << "longer than any real file";
}

}  // namespace
}  // namespace morvane
