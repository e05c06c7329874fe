// One factor for the whole main window: the control table's pixel positions and the
// font heights are those of a 96-DPI screen; at other densities, and on screens too
// small for 1155 x 865 (WinPE often runs at 1024 x 768), everything is multiplied by
// the same factor so the window keeps its proportions and fits.
#pragma once

#include "common/win32.h"

namespace morvane {

inline constexpr int kDesignWindowWidth = 1155;
inline constexpr int kDesignWindowHeight = 865;

// DPI / 96, lowered so that the scaled window fits a work area of the given size;
// never below one half. 1.0 at 96 DPI on a screen large enough.
[[nodiscard]] double LayoutFactor(int dpi, int workWidth, int workHeight);

// A table value in pixels at `factor`, rounded to the nearest pixel.
[[nodiscard]] int Scaled(int value, double factor);

// A table rectangle (left, top, width, height at 96 DPI) at `factor`. Its edges are
// scaled, not its size, so rectangles that touch in the table touch, and never
// overlap, at every factor.
[[nodiscard]] RECT ScaledRect(int x, int y, int width, int height, double factor);

// The factor for the screen the program's windows open on: its density (LOGPIXELSY)
// and its work area. The main window, the report window and the folder picker all
// use it, so they keep one proportion.
[[nodiscard]] double ScreenLayoutFactor();

}  // namespace morvane
