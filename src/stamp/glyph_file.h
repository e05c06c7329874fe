// The glyph file the UEFI programs draw text outside ASCII from: the screen's row
// values in UTF-16 and a 16 x 16 bitmap of each such character in them, rendered
// through a replaceable renderer (layout in stamp/boot/efi_glyph_file.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

// One character as the boot screen draws it: its advance (8 or 16 pixels) and 16
// rows of 16 pixels, 2 bytes a row, bit 7 of a row's first byte leftmost, 1 = ink.
struct Glyph {
    std::uint8_t width = 16;
    std::array<std::uint8_t, 32> rows{};
};

// Renders one UTF-16 code unit; no value when the face has no such character.
using GlyphRenderer = std::function<std::optional<Glyph>(wchar_t)>;

// The block's 7 report rows, then its 15 hardware rows.
inline constexpr std::size_t kScreenRowCount = 22;
using ScreenRowValues = std::array<std::wstring, kScreenRowCount>;

// The file for the row values, or no bytes when there is no renderer or every value
// is ASCII (the programs then draw the ASCII block). Values lose their control
// characters and are cut to 140 UTF-16 units, never between the halves of a pair.
// Characters get their glyphs in order of first appearance while the file stays
// within its 24064 bytes; one the renderer lacks, or past that limit, draws as a box.
std::vector<std::uint8_t> BuildGlyphFile(const ScreenRowValues& values, const GlyphRenderer& render);

}  // namespace morvane
