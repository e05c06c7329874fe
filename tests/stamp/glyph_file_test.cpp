// The glyph file as the UEFI programs read it: built with synthetic glyphs and read
// back by the programs' own parser, which must refuse every cut or bad offset; and
// the real GDI renderer with the program's Japanese face.
#include "stamp/glyph_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "stamp/boot/efi_glyph_file.h"
#include "stamp/glyph_gdi.h"

namespace morvane {
namespace {

// A glyph whose every byte is the code unit's low byte, so each is recognisable;
// half-width katakana are 8 wide; U+4E00 is missing from this "face".
struct FakeFace {
    std::wstring asked;
    GlyphRenderer renderer() {
        return [this](wchar_t c) -> std::optional<Glyph> {
            asked.push_back(c);
            if (c == L'\u4E00') return std::nullopt;
            Glyph g;
            g.width = c >= 0xFF61 && c <= 0xFF9F ? 8 : 16;
            g.rows.fill(static_cast<std::uint8_t>(c));
            return g;
        };
    }
};

std::wstring RowText(const EfiGlyphFile& file, std::size_t row) {
    std::wstring text;
    for (unsigned i = 0; i < file.rowUnits[row]; ++i)
        text.push_back(static_cast<wchar_t>(EfiGlyphLe16(file.rowText[row] + 2 * i)));
    return text;
}

ScreenRowValues AsciiValues() {
    ScreenRowValues values;
    for (std::size_t i = 0; i < kScreenRowCount; ++i) values[i] = L"value " + std::to_wstring(i);
    return values;
}

TEST(GlyphFile, RowsAndGlyphsReadBackThroughTheBootParser) {
    ScreenRowValues values = AsciiValues();
    values[3] = L"NIST (SSD最推奨・TRIM解放+暗号) (1 Passes)";
    values[5] = L"検査\t太郎\r\n / 情報\u0085部";         // control characters are dropped
    values[12] = L"x\U0001F600y";                          // a pair stays whole and gets no glyph
    values[15] = L"HDD (ｶﾀ\u4E00検)";                      // U+4E00 is missing from the face
    values[21] = std::wstring(139, L'a') + L"\U0001F600";  // a pair is never cut in half
    FakeFace face;
    const std::vector<std::uint8_t> bytes = BuildGlyphFile(values, face.renderer());
    EfiGlyphFile file{};
    ASSERT_EQ(EfiParseGlyphFile(bytes.data(), bytes.size(), &file), 1);

    ScreenRowValues expected = values;
    expected[5] = L"検査太郎 / 情報部";
    expected[21] = std::wstring(139, L'a');
    for (std::size_t row = 0; row < kScreenRowCount; ++row) EXPECT_EQ(RowText(file, row), expected[row]) << row;

    // Each character outside ASCII is rendered once, in order of first appearance.
    const std::wstring rendered = L"最推奨・解放暗号検査太郎情報部ｶﾀ\u4E00";
    EXPECT_EQ(face.asked, rendered);
    EXPECT_EQ(file.glyphCount, rendered.size() - 1);
    for (wchar_t c : rendered) {
        const unsigned char* entry = EfiFindGlyph(&file, c);
        if (c == L'\u4E00') {
            EXPECT_EQ(entry, nullptr);
            continue;
        }
        ASSERT_NE(entry, nullptr) << static_cast<int>(c);
        EXPECT_EQ(EfiGlyphLe16(entry + 2), (c == L'ｶ' || c == L'ﾀ') ? 8u : 16u);
        const std::vector<std::uint8_t> bitmap(entry + 4, entry + 36);
        EXPECT_EQ(bitmap, std::vector<std::uint8_t>(32, static_cast<std::uint8_t>(c))) << static_cast<int>(c);
    }
    EXPECT_EQ(EfiFindGlyph(&file, L'a'), nullptr);
}

TEST(GlyphFile, OmittedWithoutARendererOrTextOutsideAscii) {
    FakeFace face;
    EXPECT_TRUE(BuildGlyphFile(AsciiValues(), face.renderer()).empty());
    EXPECT_TRUE(face.asked.empty());
    ScreenRowValues values = AsciiValues();
    values[5] = L"検査 太郎";
    EXPECT_TRUE(BuildGlyphFile(values, GlyphRenderer{}).empty());
}

TEST(GlyphFile, StaysWithinItsLimitWhenEveryCharacterDiffers) {
    ScreenRowValues values;
    wchar_t next = 0x4E01;
    for (std::wstring& value : values) {
        for (int i = 0; i < 200; ++i) value.push_back(next++);
    }
    FakeFace face;
    const std::vector<std::uint8_t> bytes = BuildGlyphFile(values, face.renderer());
    EfiGlyphFile file{};
    ASSERT_EQ(EfiParseGlyphFile(bytes.data(), bytes.size(), &file), 1);
    EXPECT_LE(bytes.size(), std::size_t{EFI_GLYPH_FILE_MAX_BYTES});
    EXPECT_GT(bytes.size() + EFI_GLYPH_ENTRY_BYTES, std::size_t{EFI_GLYPH_FILE_MAX_BYTES});
    EXPECT_EQ(file.rowUnits[21], 140u);
    // The first characters have glyphs, the last ones fall back to the box.
    EXPECT_NE(EfiFindGlyph(&file, 0x4E01), nullptr);
    EXPECT_EQ(EfiFindGlyph(&file, values[21][139]), nullptr);
}

std::vector<std::uint8_t> SampleFile() {
    ScreenRowValues values = AsciiValues();
    values[5] = L"検査 太郎 / 情報システム部";
    FakeFace face;
    return BuildGlyphFile(values, face.renderer());
}

TEST(GlyphFileParser, RefusesEveryCutAndEveryBadField) {
    const std::vector<std::uint8_t> good = SampleFile();
    EfiGlyphFile file{};
    ASSERT_EQ(EfiParseGlyphFile(good.data(), good.size(), &file), 1);
    for (std::size_t size = 0; size < good.size(); ++size) {
        // An exact-size copy: reading past its end would be reading past the file.
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);
        ASSERT_EQ(EfiParseGlyphFile(cut.data(), cut.size(), &file), 0) << size;
    }
    const struct {
        const char* fault;
        std::size_t at;
        std::size_t value;
    } faults[] = {
        {"magic", 0, 'Y'},
        {"row count", 8, 21},
        {"glyph count one too many", 10, EfiGlyphLe16(good.data() + 10) + 1u},
        {"glyph table past the end", 12, good.size() + 2},
        {"row offset past the end", 16 + 4 * 5, good.size() + 2},
        {"row running past the end", 16 + 4 * 21, good.size() - 2},
        {"row longer than 140", 18 + 4 * 0, 141},
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

TEST(GdiGlyphRenderer, DrawsJapaneseWithTheProgramsFace) {
    const GlyphRenderer render = JapaneseGlyphRenderer();
    ASSERT_TRUE(render) << "no Japanese face in this Wine prefix";
    std::set<std::array<std::uint8_t, 32>> shapes;
    for (wchar_t c : std::wstring(L"検査太郎情報")) {
        const std::optional<Glyph> glyph = render(c);
        ASSERT_TRUE(glyph) << static_cast<int>(c);
        EXPECT_EQ(glyph->width, 16);
        int ink = 0;
        for (std::uint8_t byte : glyph->rows) ink += __builtin_popcount(byte);
        EXPECT_GT(ink, 30) << static_cast<int>(c);  // a real ideograph, neither blank
        EXPECT_LT(ink, 160) << static_cast<int>(c);  // nor a filled square
        shapes.insert(glyph->rows);
    }
    EXPECT_EQ(shapes.size(), 6u);
    const std::optional<Glyph> half = render(L'ｶ');
    ASSERT_TRUE(half);
    EXPECT_EQ(half->width, 8);
    EXPECT_FALSE(render(L'\u0E01')) << "Thai is not in a Japanese face";
}

}  // namespace
}  // namespace morvane
