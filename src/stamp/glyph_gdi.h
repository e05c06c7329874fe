// The stamp's glyph renderer on Windows: GDI draws each character with the
// program's Japanese face into a 16 x 16 one-bit bitmap.
#pragma once

#include <string>

#include "stamp/glyph_file.h"

namespace morvane {

// A renderer with the face PickJapaneseFace() chooses, 16 pixels to the em. Empty
// when no face with Japanese characters is installed (a WinPE without the font
// packages): the stamp then carries no glyph file and its screen stays ASCII.
GlyphRenderer JapaneseGlyphRenderer();

// A renderer with `face`; empty when GDI cannot set one up.
GlyphRenderer GdiGlyphRenderer(const std::wstring& face);

}  // namespace morvane
