// The window side of the worker traffic: progress bars and status line, console
// lines, and the completion outcomes of the three workers.
#include "ui/worker_messages.h"

#include "ui/main_refresh.h"
#include "ui/main_texts.h"
#include "ui/window_messages.h"
#include "ui/modal.h"
#include "ui/completion.h"
#include "ui/session_guard.h"

namespace morvane {
namespace {

void SetBars(AppState& state, int pass, int overall) {
    ::SendMessageW(state.Control(kIdPassBar), PBM_SETPOS, static_cast<WPARAM>(pass), 0);
    ::SendMessageW(state.Control(kIdOverallBar), PBM_SETPOS, static_cast<WPARAM>(overall), 0);
}

void SetStatus(AppState& state, const std::wstring& text) { ::SetWindowTextW(state.Control(kIdStatus), text.c_str()); }

// A completion that would open a modal window inside another one waits for it to close.
bool HoldIfModal(AppState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    if (state.modalDepth == 0) return false;
    state.heldCompletion = HeldCompletion{message, wParam, lParam};
    return true;
}

}  // namespace

void OnEraseProgress(AppState& state) {
    const auto progress = state.channel.TakeProgress();
    if (!progress) return;
    state.firmwareStepRunning = progress->phase == kPhaseFirmwareSanitize;
    SetBars(state, static_cast<int>(progress->passPercent), progress->overallPercent);
    SetStatus(state, ProgressStatusLine(*progress));
}

void OnWorkerLog(AppState& state) {
    for (const std::wstring& line : state.channel.TakeLog()) AppendLogLine(state, line);
}

void OnEraseDone(AppState& state) {
    if (HoldIfModal(state, WM_ERASE_DONE, 0, 0)) return;
    state.busy.exchange(0);
    HoldSessionForWorker(state, false);
    state.eraseRunning = false;
    ::EnableWindow(state.Control(kIdEraseStart), TRUE);
    ::EnableWindow(state.Control(kIdAbort), FALSE);
    // Whatever the worker reported before its result is shown first, even when its
    // own notification was refused.
    OnEraseProgress(state);
    OnWorkerLog(state);
    state.firmwareStepRunning = false;
    const EraseResult result = state.channel.LastResult();
    if (state.closeWhenIdle) {
        ::DestroyWindow(state.window);
        return;
    }
    const EraseDoneView view = DescribeEraseDone(result);
    if (view.fillBars) SetBars(state, 100, 100);
    SetStatus(state, view.statusLine);
    for (const std::wstring& line : view.consoleLines) AppendLogLine(state, line);
    if (view.showReport) {
        ReportRequest request;
        request.stamp = result.stamp;
        request.htmlPath = result.htmlPath;
        request.result = result;
        request.disk = result.job.disk;
        request.unlockInternal = result.job.unlockInternal != 0;
        const ModalScope modal(state);
        state.services.ShowReport(state.window, request);
    }
    if (view.box) ShowBox(state, *view.box);
    RefreshDiskList(state);
}

void OnToolDone(AppState& state, WPARAM code, LPARAM kind) {
    if (HoldIfModal(state, WM_WINPE_TOOL_DONE, code, kind)) return;
    state.busy.exchange(0);
    HoldSessionForWorker(state, false);
    ::EnableWindow(state.Control(kIdAdkStart), TRUE);
    ::EnableWindow(state.Control(kIdWinPEStart), TRUE);
    OnWorkerLog(state);
    if (state.closeWhenIdle) {
        ::DestroyWindow(state.window);
        return;
    }
    RefreshAdkStatus(state);
    ShowBox(state, ToolDoneBox(static_cast<long long>(static_cast<INT_PTR>(code)), kind));
}

void RunHeldCompletion(AppState& state) {
    const auto held = state.heldCompletion;
    state.heldCompletion.reset();
    if (!held) return;
    if (held->message == WM_ERASE_DONE) {
        OnEraseDone(state);
    } else {
        OnToolDone(state, held->wParam, held->lParam);
    }
}

}  // namespace morvane
