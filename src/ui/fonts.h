// The main window's three fonts and which control gets which.
#pragma once

#include "common/unique_handle.h"
#include "ui/main_controls.h"

namespace morvane {

struct MainFonts {
    UniqueFont normal;   // 15 px, the picked Japanese face
    UniqueFont bold;     // 15 px bold, the picked face
    UniqueFont console;  // 14 px "MS Gothic", fixed pitch
};

// Heights multiplied by the layout factor.
MainFonts CreateMainFonts(double factor);

// Normal font for every control but the console, bold for the four named ones, the
// console font for the console.
void ApplyMainFonts(const ControlHandles& controls, const MainFonts& fonts);

}  // namespace morvane
