// Keep-awake, shutdown block and session end for the worker threads.
#include "ui/session_guard.h"

#include "ui/main_refresh.h"

namespace morvane {

void HoldSessionForWorker(AppState& state, bool hold) {
    state.setExecutionState(hold ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
    if (state.window == nullptr) return;
    if (!hold) {
        ::ShutdownBlockReasonDestroy(state.window);
        return;
    }
    // Wine does not implement the block reason (and its query crashes there: it is never
    // asked); WM_QUERYENDSESSION still refuses the session end.
    if (!::ShutdownBlockReasonCreate(state.window, kShutdownBlockReason) && !state.shutdownBlockWarned) {
        state.shutdownBlockWarned = true;
        AppendLogLine(state, L"[WARN] シャットダウン抑止の理由を登録できませんでした (エラー " +
                                 std::to_wstring(::GetLastError()) + L")。処理中はPCをシャットダウンしないでください。");
    }
}

LRESULT OnQueryEndSession(const AppState& state) { return state.busy.load() != 0 ? FALSE : TRUE; }

void OnEndSession(AppState& state, bool ending) {
    if (!ending) return;
    SyncSettingsFromControls(state);
    if (state.busy.load() == 0 || !state.eraseRunning) return;
    AppendLogLine(state, L"[ABORT] Windows のセッション終了により消去を中断し、中断記録と監査ログを保存しています...");
    state.abortRequested.exchange(1);
    // The job stops at its next abort check and saves its evidence before it returns.
    if (state.worker.joinable()) state.worker.join();
}

}  // namespace morvane
