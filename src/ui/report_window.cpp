// The report window: its state, class, button layout, painting, full screen and the
// commands behind the six buttons. Every box, shell call, clipboard write, folder
// choice and hardware read goes through UiServices; the stamp switch writes through
// the stamp operations' guarded disk open.
#include "ui/report_window.h"

#include <algorithm>
#include <array>
#include <memory>

#include "common/japanese_fonts.h"
#include "common/unique_handle.h"
#include "disk/safety.h"
#include "evidence/certificate_id.h"
#include "evidence/certificate_set.h"
#include "stamp/compose.h"
#include "stamp/stamp_ops.h"
#include "ui/folder_picker.h"
#include "ui/report_paint.h"
#include "ui/report_text.h"

namespace morvane {
namespace {

constexpr int kWidth = 1055;
constexpr int kHeight = 695;

struct ButtonRow {
    int id;
    const wchar_t* caption;
    int x;
    int width;
};
constexpr std::array<ButtonRow, 6> kButtons = {{
    {kReportFullScreen, kFullScreenCaption, 22, 175},
    {kReportSaveElsewhere, kSaveElsewhereCaption, 203, 215},
    {kReportStampSwitch, kStampSwitchCaption, 424, 225},
    {kReportOpenCertificate, kOpenCertificateCaption, 655, 130},
    {kReportCopy, kCopyReportCaption, 791, 125},
    {kReportClose, kCloseCaption, 922, 100},
}};

struct ReportWindowState {
    ReportStamp stamp;
    std::wstring htmlPath;
    std::optional<EraseResult> result;
    std::optional<DiskInfo> disk;
    std::optional<bool> unlockInternal;
    bool fullScreen = false;
    RECT savedRect{};
    LONG_PTR savedStyle = 0;
    LONG_PTR savedExStyle = 0;
    UniqueFont buttonFont;
    std::array<HWND, 6> buttons{};
    UiServices* services = nullptr;
    std::wstring face;
};

ReportWindowState* StateOf(HWND window) {
    return reinterpret_cast<ReportWindowState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

int Box(HWND window, const ReportWindowState& s, const std::wstring& text, const wchar_t* title, UINT style) {
    return s.services->ShowMessage(window, text, title, style);
}

void Repaint(HWND window) { ::InvalidateRect(window, nullptr, FALSE); }

// Buttons sit 44 pixels above the bottom (never above y 605), the close button 122
// pixels from the right edge.
void LayoutButtons(HWND window, const ReportWindowState& s) {
    RECT client{};
    ::GetClientRect(window, &client);
    const int y = std::max<int>(client.bottom - 44, 605);
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const bool close = kButtons[i].id == kReportClose;
        const int x = close ? client.right - 122 : kButtons[i].x;
        ::MoveWindow(s.buttons[i], x, y, kButtons[i].width, 34, TRUE);
    }
}

void CreateButtons(HWND window, ReportWindowState& s) {
    s.buttonFont = MakeJapaneseFont(14, FW_BOLD, s.face);
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonRow& b = kButtons[i];
        s.buttons[i] = ::CreateWindowExW(0, L"BUTTON", b.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                         b.x, 610, b.width, 34, window,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)),
                                         ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(s.buttons[i], WM_SETFONT, reinterpret_cast<WPARAM>(s.buttonFont.get()), FALSE);
    }
}

void Paint(HWND window, const ReportWindowState& s) {
    PAINTSTRUCT ps{};
    const HDC dc = ::BeginPaint(window, &ps);
    RECT client{};
    ::GetClientRect(window, &client);
    const SIZE size{client.right, client.bottom};
    // Drawn off screen and copied in one piece, so a repaint does not flicker.
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(dc, size.cx, size.cy));
    if (memory && bitmap) {
        const HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
        PaintReport(memory.get(), size, BuildReportView(s.stamp, LocalTimestamp()), s.face);
        ::BitBlt(dc, 0, 0, size.cx, size.cy, memory.get(), 0, 0, SRCCOPY);
        ::SelectObject(memory.get(), previous);
    } else {
        PaintReport(dc, size, BuildReportView(s.stamp, LocalTimestamp()), s.face);
    }
    ::EndPaint(window, &ps);
}

void EnterFullScreen(HWND window, ReportWindowState& s) {
    ::GetWindowRect(window, &s.savedRect);
    s.savedStyle = ::GetWindowLongPtrW(window, GWL_STYLE);
    s.savedExStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    s.fullScreen = true;
    ::SetWindowLongPtrW(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_TOPMOST);
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                   SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    ::SetWindowTextW(s.buttons[0], kLeaveFullScreenCaption);
}

void LeaveFullScreen(HWND window, ReportWindowState& s) {
    s.fullScreen = false;
    ::SetWindowLongPtrW(window, GWL_STYLE, s.savedStyle);
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, s.savedExStyle);
    const RECT& r = s.savedRect;
    ::SetWindowPos(window, HWND_NOTOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    ::SetWindowTextW(s.buttons[0], kFullScreenCaption);
}

// Saving from the report always writes, into the chosen folder, whatever the run's
// own certificate setting was (an ISO run with logging off is the usual reason to be
// here). A given result is written as recorded; one re-issued from the stamp is
// sealed with its own fingerprint first.
void SaveElsewhere(HWND window, ReportWindowState& s) {
    const std::wstring folder = s.services->PickFolder(window, L"");
    if (folder.empty()) return;
    EraseResult result;
    if (s.result) {
        result = *s.result;
    } else {
        result = ResultFromStamp(s.stamp, s.disk, MakeCertificateId(), LocalTimestamp());
        result.sha256Fingerprint = ComputeFingerprint(result);
        result.stamp.sha256Fingerprint = result.sha256Fingerprint;
    }
    result.job.outputFolder = folder;
    const CertificatePaths paths = WriteCertificateFiles(result, folder, {});
    if (paths.html.empty()) {
        Box(window, s, kSaveFailedText, kProductTitle, MB_OK | MB_ICONERROR);
        return;
    }
    s.htmlPath = paths.html;
    s.stamp.sha256Fingerprint = result.sha256Fingerprint;
    // A report re-issued without an ID or date now has the ones its files carry.
    if (s.stamp.certificateId.empty()) s.stamp.certificateId = result.certificateId;
    if (s.stamp.sanitizationDate.empty()) s.stamp.sanitizationDate = result.endTime;
    Repaint(window);
    Box(window, s, SaveDoneText(paths), kSaveDoneTitle, MB_OK | MB_ICONINFORMATION);
}

// A dry run never touched the disk; its report must not pass for an erased disk
// without the operator knowing the switch writes real sectors.
bool FromDryRun(const ReportWindowState& s) {
    return s.result ? IsSimulationRecord(*s.result) : IsSimulationRecord(s.stamp);
}

void StampSwitch(HWND window, ReportWindowState& s) {
    if (!s.disk) {
        Box(window, s, kSelectDiskText, kProductTitle, MB_OK | MB_ICONWARNING);
        return;
    }
    if (!IsErasableForRealWrite(s.disk->safety)) {
        Box(window, s, kStampProtectedText, kSafetyGuardTitle, MB_OK | MB_ICONWARNING);
        return;
    }
    if (FromDryRun(s) &&
        Box(window, s, kDryRunStampWarning, kProductTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    const int answer = Box(window, s, kStampSwitchQuestion, kStampSwitchTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
    // The guarded open explains a refusal (the disk changed since the scan, say) only
    // in its "[SAFETY]" log line; the failure box carries it, or it would blame rights.
    std::wstring refusal;
    const LogCallback keepRefusal = [&refusal](const std::wstring& line) {
        if (line.starts_with(L"[SAFETY] ")) refusal = L"\n\n理由: " + line.substr(9);
    };
    if (answer == IDYES) {
        if (!EraseStampArea(*s.disk, keepRefusal, {}, s.unlockInternal)) {
            Box(window, s, kStampEraseFailedText + refusal, kProductTitle, MB_OK | MB_ICONERROR);
            return;
        }
        s.stamp.stampStatus = kStampStatusErasedByOperator;
        Repaint(window);
        Box(window, s, kStampErasedText, kProductTitle, MB_OK | MB_ICONINFORMATION);
    } else if (answer == IDNO) {
        if (s.stamp.certificateId.empty()) {
            s.stamp.certificateId = MakeCertificateId();
            s.stamp.sanitizationDate = LocalTimestamp();
            s.stamp.verificationResult = kVerdictStampedByOperator;
        }
        if (!StampDiskByOperator(*s.disk, s.stamp, keepRefusal, {}, s.unlockInternal)) {
            Box(window, s, kStampWriteFailedText + refusal, kProductTitle, MB_OK | MB_ICONERROR);
            return;
        }
        s.stamp.failed = false;
        s.stamp.stampStatus = kStampStatusActive;
        Repaint(window);
        Box(window, s, kStampWrittenText, kProductTitle, MB_OK | MB_ICONINFORMATION);
    }
}

void OpenCertificate(HWND window, const ReportWindowState& s) {
    const DWORD attributes = s.htmlPath.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(s.htmlPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        Box(window, s, kNoCertificateText, kProductTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!s.services->ShellOpen(window, s.htmlPath)) {
        Box(window, s, OpenCertificateFailedText(s.htmlPath), kProductTitle, MB_OK | MB_ICONWARNING);
    }
}

void CopyReport(HWND window, const ReportWindowState& s) {
    if (s.services->SetClipboardText(window, ReportClipboardText(s.stamp))) {
        Box(window, s, kCopiedText, kProductTitle, MB_OK | MB_ICONINFORMATION);
    } else {
        Box(window, s, kCopyFailedText, kProductTitle, MB_OK | MB_ICONERROR);
    }
}

void OnCommand(HWND window, ReportWindowState& s, int id) {
    switch (id) {
        case kReportFullScreen:
            s.fullScreen ? LeaveFullScreen(window, s) : EnterFullScreen(window, s);
            break;
        case kReportSaveElsewhere: SaveElsewhere(window, s); break;
        case kReportStampSwitch: StampSwitch(window, s); break;
        case kReportOpenCertificate: OpenCertificate(window, s); break;
        case kReportCopy: CopyReport(window, s); break;
        case kReportClose: ::DestroyWindow(window); break;
        default: break;
    }
}

LRESULT CALLBACK ReportProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The window takes the state over; it is freed on the last message.
        auto* holder = static_cast<std::unique_ptr<ReportWindowState>*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder->release()));
    }
    ReportWindowState* s = StateOf(window);
    if (s == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            CreateButtons(window, *s);
            LayoutButtons(window, *s);
            return 0;
        case WM_SIZE:
            LayoutButtons(window, *s);
            ::InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole client area
        case WM_PAINT:
            Paint(window, *s);
            return 0;
        case WM_COMMAND:
            OnCommand(window, *s, LOWORD(wParam));
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE && s->fullScreen) LeaveFullScreen(window, *s);
            return 0;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete s;  // the button font goes with it
            return ::DefWindowProcW(window, message, wParam, lParam);
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterReportClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ReportProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hIcon = ::LoadIconW(nullptr, IDI_SHIELD);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kReportWindowClass;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
}

}  // namespace

HWND CreateReportWindow(HWND owner, const ReportRequest& request, UiServices& services) {
    LoadJapaneseFonts();
    RegisterReportClass();
    auto state = std::make_unique<ReportWindowState>();
    state->stamp = request.stamp;
    state->htmlPath = request.htmlPath;
    state->result = request.result;
    state->disk = request.disk;
    state->unlockInternal = request.unlockInternal;
    state->services = &services;
    if (state->stamp.hardware.manufacturer.empty()) {
        DiskInfo none;  // number -1, 512-byte sectors
        state->stamp.hardware = services.CollectHardware(request.disk ? *request.disk : none);
    }
    state->face = PickJapaneseFace();

    RECT around{};
    if (owner == nullptr || !::GetWindowRect(owner, &around)) {
        around = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    }
    int x = around.left + (around.right - around.left - kWidth) / 2;
    int y = around.top + (around.bottom - around.top - kHeight) / 2;
    if (x < 0) x = 10;
    if (y < 0) y = 10;
    const HWND window = ::CreateWindowExW(WS_EX_DLGMODALFRAME, kReportWindowClass, kReportWindowTitle,
                                          WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, kWidth, kHeight, owner, nullptr,
                                          ::GetModuleHandleW(nullptr), &state);
    if (window == nullptr) return nullptr;
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    return window;
}

void RunReportWindowLoop(HWND owner, HWND report) {
    ModalOwner modal(owner);
    MSG msg{};
    while (::IsWindow(report)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // A quit request belongs to the outer loop: close and hand it on.
            ::DestroyWindow(report);
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        const ReportWindowState* s = StateOf(report);
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && s != nullptr && s->fullScreen) {
            ::SendMessageW(report, WM_KEYDOWN, VK_ESCAPE, msg.lParam);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void ShowReportWindow(HWND owner, const ReportRequest& request, UiServices& services) {
    const HWND report = CreateReportWindow(owner, request, services);
    if (report != nullptr) RunReportWindowLoop(owner, report);
}

}  // namespace morvane
