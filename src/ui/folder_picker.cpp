// Placeholder until the folder picker exists: cancels at once.
#include "ui/folder_picker.h"

namespace morvane {

std::wstring PickOutputFolder(HWND, const std::wstring&, UiServices&) { return {}; }

}  // namespace morvane
