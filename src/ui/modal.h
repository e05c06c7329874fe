// Every modal window of this program (message boxes, dialogs, the report window, the
// folder picker) is opened inside a ModalScope, so the window knows when one is open
// and holds worker completions until none is: a completion would otherwise open a
// second modal window inside the first.
#pragma once

#include "ui/app_state.h"
#include "ui/message_box.h"

namespace morvane {

class ModalScope {
public:
    explicit ModalScope(AppState& state) : state_(state) { ++state_.modalDepth; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    ~ModalScope() { --state_.modalDepth; }

private:
    AppState& state_;
};

// A message box over the main window; the ID of the button pressed.
inline int ShowBox(AppState& state, const MessageBoxText& box) {
    const ModalScope modal(state);
    return state.services.ShowMessage(state.window, box.text, box.title, box.style);
}

}  // namespace morvane
