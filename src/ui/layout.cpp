// The layout factor of the program's windows.
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

RECT ScaledRect(int x, int y, int width, int height, double factor) {
    return RECT{Scaled(x, factor), Scaled(y, factor), Scaled(x + width, factor), Scaled(y + height, factor)};
}

double ScreenLayoutFactor() {
    int dpi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return LayoutFactor(dpi, 0, 0);
    return LayoutFactor(dpi, work.right - work.left, work.bottom - work.top);
}

}  // namespace morvane
