// Worker bodies and the worker start.
#include "ui/workers.h"

#include <exception>

#include "common/text.h"
#include "job/erase_job.h"
#include "ui/main_refresh.h"
#include "ui/window_messages.h"
#include "ui/completion.h"
#include "winpe/adk.h"

namespace morvane {
namespace {

std::wstring CurrentExceptionText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return AnsiToWide(error.what());
    } catch (...) {
        return L"unknown exception";
    }
}

}  // namespace

LogCallback MakeLogSink(WorkerChannel& channel) {
    return [&channel](const std::wstring& line) { channel.PostLog(line); };
}

ProgressCallback MakeProgressSink(WorkerChannel& channel) {
    return [&channel](const EraseProgressInfo& progress) { channel.PostProgress(progress); };
}

void EraseWorker(WorkerChannel& channel, const CancelFlag& cancel, const EraseJob& job, bool winPE) noexcept {
    EraseResult result;
    try {
        result = RunEraseJob(job, winPE, &cancel, MakeProgressSink(channel), MakeLogSink(channel));
    } catch (...) {
        result = EraseResult{};
        result.job = job;
        result.status = JobStatus::Failed;
        result.message = WorkerInternalErrorText(CurrentExceptionText());
    }
    try {
        channel.PostEraseDone(std::move(result));
    } catch (...) {
        // Only a failing lock could land here; there is nothing left to tell.
    }
}

namespace {

// Runs a kit or WinPE operation; an exception counts as a failure and is logged.
void RunTool(WorkerChannel& channel, int kind, const std::function<int(LogCallback)>& operation) noexcept {
    int code = 1;
    try {
        code = operation(MakeLogSink(channel));
    } catch (...) {
        try {
            channel.PostLog(L"[ERROR] " + WorkerInternalErrorText(CurrentExceptionText()));
        } catch (...) {
        }
    }
    try {
        channel.PostToolDone(code, kind);
    } catch (...) {
    }
}

}  // namespace

void AdkWorker(WorkerChannel& channel, int choice, const std::wstring& downloadDir) noexcept {
    RunTool(channel, static_cast<int>(kToolAdk), [&](LogCallback log) { return InstallAdk(choice, downloadDir, std::move(log)); });
}

void WinPEWorker(WorkerChannel& channel, const WinPEBuildOptions& options) noexcept {
    RunTool(channel, static_cast<int>(kToolWinPE), [&](LogCallback log) { return BuildWinPEMedia(options, std::move(log)); });
}

bool LaunchWorker(AppState& state, std::function<void()> body) {
    if (state.worker.joinable()) state.worker.join();
    state.busy.exchange(1);
    try {
        state.worker = state.startThread(std::move(body));
        return true;
    } catch (...) {
        state.busy.exchange(0);
        AppendLogLine(state, ThreadStartFailedLine(CurrentExceptionText()));
        return false;
    }
}

}  // namespace morvane
