// The three workers (erasure, deployment-kit installation, WinPE build), the two
// callbacks through which long operations report, and the start of a worker thread.
// Workers never touch a window: they talk through the worker channel only, catch
// every exception and always post their done notification.
#pragma once

#include <functional>
#include <string>

#include "common/log_callback.h"
#include "erase/records.h"
#include "ui/app_state.h"
#include "ui/worker_channel.h"
#include "winpe/winpe_build.h"

namespace morvane {

LogCallback MakeLogSink(WorkerChannel& channel);
ProgressCallback MakeProgressSink(WorkerChannel& channel);

void EraseWorker(WorkerChannel& channel, const CancelFlag& cancel, const EraseJob& job, bool winPE) noexcept;
void AdkWorker(WorkerChannel& channel, int choice, const std::wstring& downloadDir) noexcept;
void WinPEWorker(WorkerChannel& channel, const WinPEBuildOptions& options) noexcept;

// Window thread: joins the previous worker, sets `busy` and starts `body`. When the
// thread cannot be created, says so on the console, clears `busy` and returns false.
bool LaunchWorker(AppState& state, std::function<void()> body);

}  // namespace morvane
