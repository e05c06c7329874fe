// The main window's commands: what each button, check box and combo box does, with
// its guards and confirmations, and the close request.
#pragma once

#include "ui/app_state.h"

namespace morvane {

// A WM_COMMAND from control `id` with notification `code`.
void OnCommand(AppState& state, int id, int code);
// The close box or Alt+F4.
void OnClose(AppState& state);

void StartErasure(AppState& state);
void StartAdkInstall(AppState& state);
void StartWinPEBuild(AppState& state);
void OpenReportScreen(AppState& state);

}  // namespace morvane
