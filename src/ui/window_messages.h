// The main window's private messages. They carry no pointers: progress, log lines
// and the erase result wait in the worker channel; the message only says "look".
#pragma once

#include "common/win32.h"

namespace morvane {

inline constexpr UINT WM_ERASE_PROGRESS = WM_APP + 10;
inline constexpr UINT WM_WORKER_LOG = WM_APP + 11;
inline constexpr UINT WM_ERASE_DONE = WM_APP + 12;
// wParam: the operation's result (0 success); lParam: kToolAdk or kToolWinPE.
inline constexpr UINT WM_WINPE_TOOL_DONE = WM_APP + 13;

inline constexpr LPARAM kToolAdk = 1;
inline constexpr LPARAM kToolWinPE = 2;

}  // namespace morvane
