// Creation and assignment of the main window's fonts.
#include "ui/fonts.h"

#include <string>

#include "common/japanese_fonts.h"
#include "ui/layout.h"

namespace morvane {
namespace {

UniqueFont MakeFont(int height, int weight, DWORD pitchAndFamily, const std::wstring& face) {
    return UniqueFont(::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, pitchAndFamily,
                                    face.c_str()));
}

void SetFont(HWND control, const UniqueFont& font) {
    if (control != nullptr && font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
}

}  // namespace

MainFonts CreateMainFonts(double factor) {
    const std::wstring face = PickJapaneseFace();
    MainFonts fonts;
    fonts.normal = MakeFont(Scaled(15, factor), FW_NORMAL, VARIABLE_PITCH | FF_SWISS, face);
    fonts.bold = MakeFont(Scaled(15, factor), FW_BOLD, VARIABLE_PITCH | FF_SWISS, face);
    fonts.console = MakeFont(Scaled(14, factor), FW_NORMAL, FIXED_PITCH | FF_MODERN, L"MS Gothic");
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
