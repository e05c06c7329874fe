// The layout factor of the main window.
#include "ui/layout.h"

#include <algorithm>
#include <cmath>

namespace morvane {

double LayoutFactor(int dpi, int workWidth, int workHeight) {
    double factor = (dpi > 0 ? dpi : 96) / 96.0;
    if (workWidth > 0) factor = std::min(factor, static_cast<double>(workWidth) / kDesignWindowWidth);
    if (workHeight > 0) factor = std::min(factor, static_cast<double>(workHeight) / kDesignWindowHeight);
    // Below one half the texts become unreadable; a window larger than a tiny screen
    // is the lesser evil.
    return std::max(factor, 0.5);
}

int Scaled(int value, double factor) { return static_cast<int>(std::lround(value * factor)); }

}  // namespace morvane
