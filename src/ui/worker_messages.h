// What the main window does when a worker's message arrives.
#pragma once

#include "ui/app_state.h"

namespace morvane {

void OnEraseProgress(AppState& state);
void OnWorkerLog(AppState& state);
void OnEraseDone(AppState& state);
void OnToolDone(AppState& state, WPARAM code, LPARAM kind);

// A completion held while a modal window was open; run once none is.
void RunHeldCompletion(AppState& state);

}  // namespace morvane
