// The main window: its class, creation, message dispatch and the message loop.
#pragma once

#include "ui/app_state.h"

namespace morvane {

inline constexpr wchar_t kMainWindowClass[] = L"MorvaneDiskEraserWndClass";

// Loads the settings and environment facts into `state`, creates and shows the window
// (its controls are built on the creation message). False when it could not be created.
[[nodiscard]] bool CreateMainWindow(AppState& state, HINSTANCE instance, int showCommand);

// Until the quit message; keyboard navigation first. Returns the quit code.
int RunMessageLoop(AppState& state);

// The window title: product, version and the suite description.
std::wstring MainWindowTitle();

}  // namespace morvane
