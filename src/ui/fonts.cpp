// Creation and assignment of the main window's fonts.
#include "ui/fonts.h"

#include <string>

#include "common/japanese_fonts.h"
#include "ui/layout.h"

namespace morvane {
namespace {

void SetFont(HWND control, const UniqueFont& font) {
    if (control != nullptr && font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
}

}  // namespace

MainFonts CreateMainFonts(double factor) {
    const std::wstring face = PickJapaneseFace();
    MainFonts fonts;
    fonts.normal = MakeJapaneseFont(Scaled(15, factor), FW_NORMAL, face, VARIABLE_PITCH | FF_SWISS);
    fonts.bold = MakeJapaneseFont(Scaled(15, factor), FW_BOLD, face, VARIABLE_PITCH | FF_SWISS);
    fonts.console = MakeJapaneseFont(Scaled(14, factor), FW_NORMAL, L"MS Gothic", FIXED_PITCH | FF_MODERN);
    return fonts;
}

void ApplyMainFonts(const ControlHandles& controls, const MainFonts& fonts) {
    for (int id = kFirstControlId; id < kIdAfterLast; ++id) {
        if (id != kIdConsole) SetFont(controls[id - kFirstControlId], fonts.normal);
    }
    for (ControlId id : kBoldControls) SetFont(controls[id - kFirstControlId], fonts.bold);
    SetFont(controls[kIdConsole - kFirstControlId], fonts.console);
}

}  // namespace morvane
