// Builds the glyph file of the UEFI screen as bytes; the renderer is the only seam
// to the fonts, so tests drive it with synthetic glyphs.
#include "stamp/glyph_file.h"

#include <algorithm>
#include <cstring>

#include "stamp/boot/efi_glyph_file.h"

namespace morvane {
namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Append16(std::vector<std::uint8_t>& bytes, std::size_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// A value as one row of the screen: no control characters, at most 140 units.
std::wstring ScreenRow(const std::wstring& value) {
    std::wstring row;
    for (wchar_t c : value) {
        if (!IsControl(c)) row.push_back(c);
    }
    if (row.size() > EFI_GLYPH_ROW_MAX_UNITS) {
        row.resize(EFI_GLYPH_ROW_MAX_UNITS);
        if (IsHighSurrogate(row.back())) row.pop_back();
    }
    return row;
}

}  // namespace

std::vector<std::uint8_t> BuildGlyphFile(const ScreenRowValues& values, const GlyphRenderer& render) {
    static_assert(kScreenRowCount == EFI_GLYPH_ROWS);
    if (!render) return {};
    ScreenRowValues rows;
    std::transform(values.begin(), values.end(), rows.begin(), ScreenRow);
    const bool needed = std::any_of(rows.begin(), rows.end(), [](const std::wstring& row) {
        return std::any_of(row.begin(), row.end(), [](wchar_t c) { return c >= 0x80; });
    });
    if (!needed) return {};

    std::vector<std::uint8_t> file(EFI_GLYPH_HEADER_BYTES, 0);
    std::memcpy(file.data(), EFI_GLYPH_MAGIC, 8);
    Put16(file, 8, kScreenRowCount);
    for (std::size_t i = 0; i < kScreenRowCount; ++i) {
        Put16(file, 16 + 4 * i, file.size());
        Put16(file, 18 + 4 * i, rows[i].size());
        for (wchar_t c : rows[i]) Append16(file, c);
    }
    Put16(file, 12, file.size());

    std::wstring seen;
    std::size_t count = 0;
    for (const std::wstring& row : rows) {
        for (wchar_t c : row) {
            if (c < 0x80 || IsSurrogate(c) || seen.find(c) != std::wstring::npos) continue;
            seen.push_back(c);
            if (file.size() + EFI_GLYPH_ENTRY_BYTES > EFI_GLYPH_FILE_MAX_BYTES) break;
            const std::optional<Glyph> glyph = render(c);
            if (!glyph) continue;
            Append16(file, c);
            Append16(file, glyph->width == 8 ? 8 : 16);
            file.insert(file.end(), glyph->rows.begin(), glyph->rows.end());
            ++count;
        }
    }
    Put16(file, 10, count);
    return file;
}

}  // namespace morvane
