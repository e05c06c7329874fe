// What the window shows when a worker ends, as values: status line, console lines,
// progress bars, the report window and the message box.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "erase/records.h"
#include "ui/message_box.h"

namespace morvane {

struct EraseDoneView {
    std::wstring statusLine;
    std::vector<std::wstring> consoleLines;
    bool fillBars = false;    // both progress bars to 100
    bool showReport = false;  // open the report window with the result
    std::optional<MessageBoxText> box;
};

[[nodiscard]] EraseDoneView DescribeEraseDone(const EraseResult& result);
// kind: kToolAdk (the deployment kit) or kToolWinPE (a WinPE build).
[[nodiscard]] MessageBoxText ToolDoneBox(long long code, long long kind);

// Status lines while a close waits for the worker to return.
inline constexpr wchar_t kClosingAfterEraseStatus[] =
    L"終了待機中 - 消去処理を安全に停止しています。停止後にアプリケーションを終了します...";
inline constexpr wchar_t kClosingAfterToolStatus[] =
    L"終了待機中 - 実行中の ADK / WinPE 処理の完了を待っています。完了後にアプリケーションを終了します...";

// Console line when a worker thread could not be started.
[[nodiscard]] std::wstring ThreadStartFailedLine(const std::wstring& reason);
// The result message (and, after "[ERROR] ", the log line) of a worker that ended
// by an unexpected error.
[[nodiscard]] std::wstring WorkerInternalErrorText(const std::wstring& reason);

}  // namespace morvane
