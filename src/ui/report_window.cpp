// The report window: its state, class, button layout, painting, full screen and the
// commands behind the six buttons. Every box, shell call, clipboard write, folder
// choice and hardware read goes through UiServices; the report guards decide which
// boxes to show, and the job layer's report actions write evidence and disks.
#include "ui/report_window.h"

#include <algorithm>
#include <array>
#include <memory>

#include "common/japanese_fonts.h"
#include "common/timestamp.h"
#include "common/unique_handle.h"
#include "job/report_actions.h"
#include "ui/guards.h"
#include "ui/layout.h"
#include "ui/modal.h"
#include "ui/report_guards.h"
#include "ui/report_paint.h"
#include "ui/report_text.h"

namespace morvane {
namespace {

struct ButtonRow {
    int id;
    const wchar_t* caption;
};
// Left to right, in the order of ReportButtonRects.
constexpr std::array<ButtonRow, 6> kButtons = {{
    {kReportFullScreen, kFullScreenCaption},
    {kReportSaveElsewhere, kSaveElsewhereCaption},
    {kReportStampSwitch, kStampSwitchCaption},
    {kReportOpenCertificate, kOpenCertificateCaption},
    {kReportCopy, kCopyReportCaption},
    {kReportClose, kCloseCaption},
}};

struct ReportWindowState {
    ReportStamp stamp;
    std::wstring htmlPath;
    std::optional<EraseResult> result;
    std::optional<DiskInfo> disk;
    std::optional<bool> unlockInternal;
    bool stampOnDisk = false;  // detected when the report opened, or engraved since
    bool fullScreen = false;
    RECT savedRect{};
    LONG_PTR savedStyle = 0;
    LONG_PTR savedExStyle = 0;
    UniqueFont buttonFont;
    std::array<HWND, 6> buttons{};
    UiServices* services = nullptr;
    std::wstring face;
    double factor = 1.0;  // the program's layout factor
};

ReportWindowState* StateOf(HWND window) {
    return reinterpret_cast<ReportWindowState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

int Box(HWND window, const ReportWindowState& s, const MessageBoxText& box) {
    return s.services->ShowMessage(window, box.text, box.title, box.style);
}

void Repaint(HWND window) { ::InvalidateRect(window, nullptr, FALSE); }

// What the window's record proves: its result's outcome, the outcome of a stamp read
// back from the disk (a completed run of its own record), or nothing for a preview.
std::optional<RecordOutcome> OutcomeOfReport(const ReportWindowState& s) {
    if (s.result) return OutcomeOf(*s.result);
    if (s.stamp.failed) return std::nullopt;
    return OutcomeOf(JobStatus::Completed, IsSimulationRecord(s.stamp), s.stamp.verificationResult);
}

void LayoutButtons(HWND window, const ReportWindowState& s) {
    RECT client{};
    ::GetClientRect(window, &client);
    const std::array<RECT, 6> rects = ReportButtonRects(SIZE{client.right, client.bottom}, s.factor);
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const RECT& r = rects[i];
        ::MoveWindow(s.buttons[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
}

void CreateButtons(HWND window, ReportWindowState& s) {
    s.buttonFont = MakeJapaneseFont(Scaled(14, s.factor), FW_BOLD, s.face);
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonRow& b = kButtons[i];
        s.buttons[i] = ::CreateWindowExW(0, L"BUTTON", b.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                         0, 0, 0, 0, window,
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
        PaintReportScaled(memory.get(), size, s.factor, BuildReportView(s.stamp, LocalTimestamp(), OutcomeOfReport(s)), s.face);
        ::BitBlt(dc, 0, 0, size.cx, size.cy, memory.get(), 0, 0, SRCCOPY);
        ::SelectObject(memory.get(), previous);
    } else {
        PaintReportScaled(dc, size, s.factor, BuildReportView(s.stamp, LocalTimestamp(), OutcomeOfReport(s)), s.face);
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

void Show(HWND window, const ReportWindowState& s, const MessageBoxText& box) {
    (void)Box(window, s, box);
}

// Saving from the report always writes, into the chosen folder, whatever the run's
// own certificate setting was (an ISO run with logging off is the usual reason to be
// here).
void SaveElsewhere(HWND window, ReportWindowState& s) {
    const std::wstring folder = s.services->PickFolder(window, L"", -1);
    if (folder.empty()) return;
    const ReissuedEvidence saved = ReissueEvidence(s.stamp, s.result, s.disk, folder);
    if (!saved.paths.html.empty()) {
        s.htmlPath = saved.paths.html;
        s.stamp.sha256Fingerprint = saved.result.sha256Fingerprint;
        // A report re-issued without an ID or date now has the ones its files carry.
        if (s.stamp.certificateId.empty()) s.stamp.certificateId = saved.result.certificateId;
        if (s.stamp.sanitizationDate.empty()) s.stamp.sanitizationDate = saved.result.endTime;
        Repaint(window);
    }
    Show(window, s, DecideSaveElsewhere(saved.paths));
}

void StampSwitch(HWND window, ReportWindowState& s) {
    const bool fromDryRun = s.result ? IsSimulationRecord(*s.result) : IsSimulationRecord(s.stamp);
    const bool erasedByRecord = s.result && s.disk && s.result->status == JobStatus::Completed && !fromDryRun &&
                                SameDisk(s.result->job.disk, *s.disk);
    const StampSwitchDecision decision =
        DecideStampSwitch({s.disk ? &*s.disk : nullptr, fromDryRun, s.stampOnDisk, erasedByRecord});
    if (decision.refusal) return Show(window, s, *decision.refusal);
    if (decision.dryRunWarning && Box(window, s, *decision.dryRunWarning) != IDYES) return;
    const int answer = Box(window, s, decision.question);
    if (answer != IDYES && answer != IDNO) return;
    const bool engrave = answer == IDNO;
    if (!engrave && decision.eraseRefusal) return Show(window, s, *decision.eraseRefusal);
    const StampAction done = engrave ? EngraveStamp(*s.disk, s.stamp, s.unlockInternal)
                                     : EraseStamp(*s.disk, s.stamp, s.unlockInternal);
    s.stamp = done.stamp;
    if (done.ok) {
        s.stampOnDisk = engrave;
        Repaint(window);
    }
    Show(window, s, StampSwitchDoneBox(engrave, done));
}

void OpenCertificate(HWND window, const ReportWindowState& s) {
    const DWORD attributes = s.htmlPath.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(s.htmlPath.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    const bool opened = exists && s.services->ShellOpen(window, s.htmlPath);
    if (const auto box = CertificateOpenBox(s.htmlPath, exists, opened)) Show(window, s, *box);
}

void CopyReport(HWND window, const ReportWindowState& s) {
    Show(window, s, CopyReportBox(s.services->SetClipboardText(window, ReportClipboardText(s.stamp, OutcomeOfReport(s)))));
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

}  // namespace

HWND CreateReportWindow(HWND owner, const ReportRequest& request, UiServices& services) {
    LoadJapaneseFonts();
    auto state = std::make_unique<ReportWindowState>();
    state->stamp = request.stamp;
    state->htmlPath = request.htmlPath;
    state->result = request.result;
    state->disk = request.disk;
    state->unlockInternal = request.unlockInternal;
    state->stampOnDisk = request.stampDetected;
    state->services = &services;
    // The profile is read once per report screen: the opener's, or collected here.
    if (state->stamp.hardware.manufacturer.empty()) {
        DiskInfo none;  // number -1, 512-byte sectors
        state->stamp.hardware =
            request.hardware ? *request.hardware : services.CollectHardware(request.disk ? *request.disk : none);
    }
    state->face = PickJapaneseFace();
    state->factor = ScreenLayoutFactor();
    const int width = Scaled(kReportWindowWidth, state->factor), height = Scaled(kReportWindowHeight, state->factor);

    RegisterPopupClass(kReportWindowClass, ReportProc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    return CreateModalPopup(owner, kReportWindowClass, kReportWindowTitle, width, height, &state);
}

void RunReportWindowLoop(HWND owner, HWND report) {
    RunModalLoop(owner, report, [report](MSG& msg) {
        const ReportWindowState* s = StateOf(report);
        if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || s == nullptr || !s->fullScreen) return false;
        ::SendMessageW(report, WM_KEYDOWN, VK_ESCAPE, msg.lParam);
        return true;
    });
}

void ShowReportWindow(HWND owner, const ReportRequest& request, UiServices& services) {
    const HWND report = CreateReportWindow(owner, request, services);
    if (report != nullptr) RunReportWindowLoop(owner, report);
}

}  // namespace morvane
