// One factor for the whole main window: the control table's pixel positions and the
// font heights are those of a 96-DPI screen; at other densities, and on screens too
// small for 1155 x 865 (WinPE often runs at 1024 x 768), everything is multiplied by
// the same factor so the window keeps its proportions and fits.
#pragma once

namespace morvane {

inline constexpr int kDesignWindowWidth = 1155;
inline constexpr int kDesignWindowHeight = 865;

// DPI / 96, lowered so that the scaled window fits a work area of the given size;
// never below one half. 1.0 at 96 DPI on a screen large enough.
[[nodiscard]] double LayoutFactor(int dpi, int workWidth, int workHeight);

// A table value in pixels at `factor`, rounded to the nearest pixel.
[[nodiscard]] int Scaled(int value, double factor);

}  // namespace morvane
