// The session around a worker: while an erasure, a kit installation or a WinPE build
// runs, the machine is kept awake and Windows is asked not to end the session; if it
// ends anyway, a running erasure is stopped and waited for, so that its interrupted
// record and audit log are saved before the process goes.
#pragma once

#include "ui/app_state.h"

namespace morvane {

inline constexpr wchar_t kShutdownBlockReason[] =
    L"Morvane Disk Eraser: ディスク消去・WinPEメディア作成を実行中です。完了するまでシャットダウンしないでください。";

// Window thread, at a worker's start (`hold`) and end: the system-required execution
// state and the shutdown block reason. A platform that cannot block shutdown is told
// once on the console; the worker runs either way.
void HoldSessionForWorker(AppState& state, bool hold);

// WM_QUERYENDSESSION: FALSE (keep the session) while a worker runs, else TRUE.
[[nodiscard]] LRESULT OnQueryEndSession(const AppState& state);

// WM_ENDSESSION: when the session really ends (`ending`) during an erasure, asks it to
// stop and waits for the worker, whose job saves the interrupted record and audit log;
// the settings are saved too. Returns once that is done.
void OnEndSession(AppState& state, bool ending);

}  // namespace morvane
