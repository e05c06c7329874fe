// Japanese fonts for everything the program draws: the font files a bare WinPE
// lacks are added from beside the program or the system folders, and one face is
// chosen for all windows and for the glyphs the stamp's boot screen draws.
#pragma once

#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace morvane {

// The eleven font files tried, in order, for a program at `executablePath`.
std::vector<std::wstring> JapaneseFontCandidates(const std::wstring& executablePath);

// Adds every candidate file that exists to the system font table (for all programs,
// never removed again). Missing files are skipped silently; safe to call repeatedly.
void LoadJapaneseFonts();

// Makes the fonts available, then returns the first of "Yu Gothic UI", "Meiryo UI",
// "MS UI Gothic", "MS Gothic" with at least one Shift-JIS font installed, or
// "MS UI Gothic" when none is.
std::wstring PickJapaneseFace();

// A Shift-JIS font of `face`, `height` pixels tall, drawn with ClearType: the one
// font recipe of every window and page painter.
[[nodiscard]] UniqueFont MakeJapaneseFont(int height, int weight, const std::wstring& face,
                                          DWORD pitchAndFamily = DEFAULT_PITCH | FF_SWISS);

// True when some installed font of `face` covers the Shift-JIS character set.
[[nodiscard]] bool HasShiftJisFont(const std::wstring& face);

}  // namespace morvane
