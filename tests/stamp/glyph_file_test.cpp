// The glyph file as the UEFI programs read it: built with synthetic glyphs and read
// back by the programs' own parser, which must refuse every cut or bad offset; and
// the real GDI renderer with the program's Japanese face.
#include "stamp/glyph_file.h"

#include <gtest/gtest.h>

#include <set>

#include "stamp/boot/efi_glyph_file.h"
#include "stamp/glyph_gdi.h"

namespace morvane {
namespace {

// Every glyph byte is the code unit's low byte; half-width katakana are 8 wide;
// U+4E00 is missing from this "face".
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
    values[5] = L"検査太郎 / 情報部";
    values[21].resize(139);
    for (std::size_t row = 0; row < kScreenRowCount; ++row) {
        std::wstring text;
        for (unsigned i = 0; i < file.rowUnits[row]; ++i) text.push_back(wchar_t(EfiGlyphLe16(file.rowText[row] + 2 * i)));
        EXPECT_EQ(text, values[row]) << row;
    }
    // Each character outside ASCII is rendered once, in order of first appearance.
    const std::wstring rendered = L"最推奨・解放暗号検査太郎情報部ｶﾀ\u4E00";
    EXPECT_EQ(face.asked, rendered);
    EXPECT_EQ(file.glyphCount, rendered.size() - 1);
    for (wchar_t c : rendered.substr(0, rendered.size() - 1)) {
        const unsigned char* entry = EfiFindGlyph(&file, c);
        ASSERT_NE(entry, nullptr) << int(c);
        EXPECT_EQ(EfiGlyphLe16(entry + 2), (c == L'ｶ' || c == L'ﾀ') ? 8u : 16u);
        EXPECT_EQ(std::vector<std::uint8_t>(entry + 4, entry + 36), std::vector<std::uint8_t>(32, std::uint8_t(c)));
    }
    EXPECT_EQ(EfiFindGlyph(&file, L'\u4E00'), nullptr);
    EXPECT_EQ(EfiFindGlyph(&file, L'a'), nullptr);

    // No file without a renderer or without text outside ASCII.
    EXPECT_TRUE(BuildGlyphFile(values, GlyphRenderer{}).empty());
    face.asked.clear();
    EXPECT_TRUE(BuildGlyphFile(AsciiValues(), face.renderer()).empty());
    EXPECT_TRUE(face.asked.empty());
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
    EXPECT_NE(EfiFindGlyph(&file, 0x4E01), nullptr);  // the first characters have glyphs,
    EXPECT_EQ(EfiFindGlyph(&file, values[21][139]), nullptr);  // the last fall back to the box
}

TEST(GlyphFileParser, RefusesEveryCutAndEveryBadField) {
    ScreenRowValues values = AsciiValues();
    values[5] = L"検査 太郎 / 情報システム部";
    FakeFace face;
    const std::vector<std::uint8_t> good = BuildGlyphFile(values, face.renderer());
    EfiGlyphFile file{};
    ASSERT_EQ(EfiParseGlyphFile(good.data(), good.size(), &file), 1);
    for (std::size_t size = 0; size < good.size(); ++size) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + size);  // reading past it faults
        ASSERT_EQ(EfiParseGlyphFile(cut.data(), cut.size(), &file), 0) << size;
    }
    const struct {
        const char* fault;
        std::size_t at, value;
    } faults[] = {
        {"magic", 0, 'Y'},
        {"row count", 8, 21},
        {"glyph count one too many", 10, EfiGlyphLe16(good.data() + 10) + 1u},
        {"glyph table past the end", 12, good.size() + 2},
        {"row offset past the end", 16 + 4 * 5, good.size() + 2},
        {"row running past the end", 16 + 4 * 21, good.size() - 2},
        {"row longer than 140", 18, 141},
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
        ASSERT_TRUE(glyph) << int(c);
        EXPECT_EQ(glyph->width, 16);
        int ink = 0;
        for (std::uint8_t byte : glyph->rows) ink += __builtin_popcount(byte);
        EXPECT_TRUE(ink > 30 && ink < 160) << int(c) << ": " << ink;  // neither blank nor a filled square
        shapes.insert(glyph->rows);
    }
    EXPECT_EQ(shapes.size(), 6u);
    ASSERT_TRUE(render(L'ｶ'));
    EXPECT_EQ(render(L'ｶ')->width, 8);
    EXPECT_FALSE(render(L'\u0E01')) << "Thai is not in a Japanese face";
}

}  // namespace
}  // namespace morvane
