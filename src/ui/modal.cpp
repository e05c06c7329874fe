// The modal owner and the popup skeleton of the report window and the folder picker.
#include "ui/modal.h"

namespace morvane {

ModalOwner::ModalOwner(HWND owner)
    // EnableWindow answers whether the window was disabled before the call.
    : owner_(owner), wasEnabled_(owner != nullptr && !::EnableWindow(owner, FALSE)) {}

ModalOwner::~ModalOwner() {
    if (owner_ == nullptr) return;
    if (wasEnabled_) ::EnableWindow(owner_, TRUE);
    ::SetForegroundWindow(owner_);
}

void RegisterPopupClass(const wchar_t* className, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hIcon = ::LoadIconW(nullptr, IDI_SHIELD);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    ::RegisterClassExW(&wc);
}

HWND CreateModalPopup(HWND owner, const wchar_t* className, const wchar_t* title, int width, int height, void* param) {
    RECT around{};
    if (owner == nullptr || !::GetWindowRect(owner, &around)) {
        around = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    if (x < 0) x = 10;
    if (y < 0) y = 10;
    const HWND window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, className, title, WS_POPUP | WS_CAPTION | WS_SYSMENU, x,
                                          y, width, height, owner, nullptr, ::GetModuleHandleW(nullptr), param);
    if (window == nullptr) return nullptr;
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    return window;
}

void RunModalLoop(HWND owner, HWND popup, const std::function<bool(MSG&)>& takes) {
    ModalOwner modal(owner);
    MSG msg{};
    while (::IsWindow(popup)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // A quit request belongs to the outer loop: close and hand it on.
            ::DestroyWindow(popup);
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (takes && takes(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace morvane
