// Renders glyphs with TextOutW into a one-bit DIB section held by a memory DC.
#include "stamp/glyph_gdi.h"

#include <memory>

#include "common/japanese_fonts.h"
#include "common/unique_handle.h"

namespace morvane {
namespace {

constexpr int kCell = 16;
// Row 14 is where the programs' 8 x 16 font puts its baseline (letters end on
// row 13), so Japanese and ASCII text stand on one line.
constexpr int kBaseline = 14;

struct MonoBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

class GdiGlyphs {
public:
    explicit GdiGlyphs(const std::wstring& face) {
        dc_.reset(::CreateCompatibleDC(nullptr));
        if (!dc_) return;
        MonoBitmapInfo info{};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = kCell;
        info.header.biHeight = -kCell;  // top-down rows
        info.header.biPlanes = 1;
        info.header.biBitCount = 1;
        info.header.biCompression = BI_RGB;
        info.colours[1] = RGBQUAD{255, 255, 255, 0};  // index 1 = ink
        bitmap_.reset(::CreateDIBSection(dc_.get(), reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                         &bits_, nullptr, 0));
        LOGFONTW font{};
        font.lfHeight = -kCell;  // the em, not the cell, is 16 pixels
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = SHIFTJIS_CHARSET;
        font.lfQuality = NONANTIALIASED_QUALITY;
        face.copy(font.lfFaceName, LF_FACESIZE - 1);
        font_.reset(::CreateFontIndirectW(&font));
        if (!bitmap_ || !font_ || bits_ == nullptr) return;
        ::SelectObject(dc_.get(), bitmap_.get());
        ::SelectObject(dc_.get(), font_.get());
        ::SetTextColor(dc_.get(), RGB(255, 255, 255));
        ::SetBkMode(dc_.get(), TRANSPARENT);
        ::SetTextAlign(dc_.get(), TA_BASELINE | TA_LEFT);
        ready_ = true;
    }

    [[nodiscard]] bool ready() const { return ready_; }

    std::optional<Glyph> Render(wchar_t c) {
        // Only the chosen face counts: a glyph GDI would borrow from another font
        // through font linking is not what the rest of the program shows either.
        WORD index = 0;
        if (::GetGlyphIndicesW(dc_.get(), &c, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) != 1 || index == 0xFFFF)
            return std::nullopt;
        SIZE extent{};
        if (!::GetTextExtentPoint32W(dc_.get(), &c, 1, &extent)) return std::nullopt;
        Glyph glyph;
        glyph.width = extent.cx <= 8 ? 8 : 16;
        ::PatBlt(dc_.get(), 0, 0, kCell, kCell, BLACKNESS);
        const int left = extent.cx < glyph.width ? (glyph.width - extent.cx) / 2 : 0;
        if (!::TextOutW(dc_.get(), left, kBaseline, &c, 1)) return std::nullopt;
        ::GdiFlush();
        // DIB rows are padded to 4 bytes; a half-width glyph keeps its left byte only.
        const auto* bits = static_cast<const std::uint8_t*>(bits_);
        for (int row = 0; row < kCell; ++row) {
            glyph.rows[2 * row] = bits[4 * row];
            glyph.rows[2 * row + 1] = glyph.width == 8 ? 0 : bits[4 * row + 1];
        }
        return glyph;
    }

private:
    UniqueBitmap bitmap_;
    UniqueFont font_;
    UniqueMemoryDc dc_;  // declared last, deleted first: it lets go of the bitmap and font
    void* bits_ = nullptr;
    bool ready_ = false;
};

}  // namespace

GlyphRenderer GdiGlyphRenderer(const std::wstring& face) {
    auto glyphs = std::make_shared<GdiGlyphs>(face);
    if (!glyphs->ready()) return {};
    return [glyphs](wchar_t c) { return glyphs->Render(c); };
}

GlyphRenderer JapaneseGlyphRenderer() {
    const std::wstring face = PickJapaneseFace();
    // The pick falls back to a name even when no such face exists.
    if (!HasShiftJisFont(face)) return {};
    return GdiGlyphRenderer(face);
}

}  // namespace morvane
