// Modal windows of this program. Every one (message boxes, dialogs, the report window,
// the folder picker) is opened inside a ModalScope, so the main window knows when one
// is open and holds worker completions until none is: a completion would otherwise
// open a second modal window inside the first. The report window and the folder
// picker share one popup skeleton: class, placement and the modal loop.
#pragma once

#include <functional>

#include "ui/app_state.h"
#include "ui/message_box.h"

namespace morvane {

// Disables `owner` for the life of a modal window and on the way out enables it
// again only if it was enabled before, so modal windows opened over modal windows
// leave every owner as they found it.
class ModalOwner {
public:
    explicit ModalOwner(HWND owner);
    ModalOwner(const ModalOwner&) = delete;
    ModalOwner& operator=(const ModalOwner&) = delete;
    ~ModalOwner();

private:
    HWND owner_;
    bool wasEnabled_;
};

// Registers a popup class with the shield icon and the arrow cursor (a second
// registration fails harmlessly).
void RegisterPopupClass(const wchar_t* className, WNDPROC procedure, HBRUSH background);
// Creates and shows a fixed-size popup with caption, system menu and a modal frame,
// centred on `owner` (or the screen), never starting left of or above the screen;
// `param` reaches WM_NCCREATE.
HWND CreateModalPopup(HWND owner, const wchar_t* className, const wchar_t* title, int width, int height, void* param);
// Runs `popup` modal to `owner` until it is destroyed. `takes` sees each message
// first and answers true when it handled it. A quit request closes the popup and is
// handed on to the outer loop.
void RunModalLoop(HWND owner, HWND popup, const std::function<bool(MSG&)>& takes);

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
