// The main window's class, creation, dispatch and message loop.
#include "ui/main_window.h"

#include "common/japanese_fonts.h"
#include "common/product.h"
#include "ui/commands.h"
#include "ui/layout.h"
#include "ui/main_refresh.h"
#include "ui/main_texts.h"
#include "ui/window_messages.h"
#include "ui/worker_messages.h"

namespace morvane {
namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// The factor for the screen the window opens on: its density and its work area.
double ScreenLayoutFactor() {
    int dpi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    RECT work{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return LayoutFactor(dpi, 0, 0);
    return LayoutFactor(dpi, work.right - work.left, work.bottom - work.top);
}

// Worker notifications become posted messages. A refused post with the window still
// there means its queue is full for now.
ChannelNotify PostingNotify(HWND window) {
    return [window](ChannelEvent event, std::intptr_t code, std::intptr_t kind) {
        UINT message = WM_ERASE_PROGRESS;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        switch (event) {
            case ChannelEvent::Progress: message = WM_ERASE_PROGRESS; break;
            case ChannelEvent::Log: message = WM_WORKER_LOG; break;
            case ChannelEvent::EraseDone: message = WM_ERASE_DONE; break;
            case ChannelEvent::ToolDone:
                message = WM_WINPE_TOOL_DONE;
                wParam = static_cast<WPARAM>(code);
                lParam = static_cast<LPARAM>(kind);
                break;
        }
        if (::PostMessageW(window, message, wParam, lParam)) return NotifyResult::Delivered;
        return ::IsWindow(window) ? NotifyResult::Refused : NotifyResult::Gone;
    };
}

bool CreateControls(AppState& state) {
    state.fonts = CreateMainFonts(state.layoutFactor);
    if (!CreateMainControls(state.window, state.instance, state.layoutFactor, state.controls)) return false;
    ApplyMainFonts(state.controls, state.fonts);
    // The default limit (about 32K characters) would stop the console during a WinPE
    // build; AppendLogLine keeps it below its own cap instead.
    ::SendMessageW(state.Control(kIdConsole), EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    state.channel.SetNotify(PostingNotify(state.window));
    ApplySettingsToControls(state);
    UpdateLogControls(state);
    RefreshAdkStatus(state);
    RefreshUsbTargets(state);
    RefreshDiskList(state);
    for (const std::wstring& line : StartupConsoleLines()) AppendLogLine(state, line);
    return true;
}

LRESULT Dispatch(AppState& state, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return CreateControls(state) ? 0 : -1;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        case WM_CLOSE: OnClose(state); return 0;
        case WM_COMMAND: OnCommand(state, LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == static_cast<UINT_PTR>(kIdDiskList) && header->code == LVN_ITEMCHANGED) {
                RefreshSelectionSummary(state);
            }
            return 0;
        }
        case WM_ERASE_PROGRESS: OnEraseProgress(state); return 0;
        case WM_WORKER_LOG: OnWorkerLog(state); return 0;
        case WM_ERASE_DONE: OnEraseDone(state); return 0;
        case WM_WINPE_TOOL_DONE: OnToolDone(state, wParam, lParam); return 0;
        default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* state = static_cast<AppState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        state->window = window;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    auto* state = reinterpret_cast<AppState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (state == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        state->window = nullptr;
        state->controls.fill(nullptr);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    ++state->dispatchDepth;
    const LRESULT result = Dispatch(*state, window, message, wParam, lParam);
    --state->dispatchDepth;
    // A completion held back by a modal window runs once the command that opened it
    // has finished, never in the middle of it.
    if (state->dispatchDepth == 0 && state->modalDepth == 0 && state->heldCompletion && state->window != nullptr) {
        RunHeldCompletion(*state);
    }
    return result;
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(nullptr, IDI_SHIELD);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::wstring MainWindowTitle() {
    return std::wstring(kProductName) + L" v" + kProductVersion +
           L" - Enterprise HDD/SSD Sanitization, Erasure Stamp & x86/x64 Hybrid WinPE Suite";
}

bool CreateMainWindow(AppState& state, HINSTANCE instance, int showCommand) {
    LoadJapaneseFonts();
    state.instance = instance;
    state.isWinPE = state.services.IsWinPE() ? 1 : 0;
    state.isAdmin = state.services.IsRunningAsAdmin() ? 1 : 0;
    state.settings = state.services.LoadSettings();
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!RegisterMainWindowClass(instance)) return false;
    state.layoutFactor = ScreenLayoutFactor();
    HWND window = ::CreateWindowExW(0, kMainWindowClass, MainWindowTitle().c_str(), kWindowStyle, CW_USEDEFAULT,
                                    CW_USEDEFAULT, Scaled(kDesignWindowWidth, state.layoutFactor),
                                    Scaled(kDesignWindowHeight, state.layoutFactor), nullptr, nullptr, instance, &state);
    if (window == nullptr) return false;
    ::ShowWindow(window, showCommand);
    ::UpdateWindow(window);
    return true;
}

int RunMessageLoop(AppState& state) {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return -1;
        if (state.window != nullptr && ::IsDialogMessageW(state.window, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace morvane
