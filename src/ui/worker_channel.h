// The one road from a worker thread to the window thread, with no window in it: the
// latest progress snapshot, the queue of log lines and the erase result slot under one
// lock, and a notify function that tells the window to look.
//
// A notification is sent only when the previous one of its kind has been taken, so a
// worker that reports every 4 MiB chunk cannot fill the window thread's message queue
// while that thread is busy; a full queue would otherwise drop the done message and
// leave the window busy for ever. The done notifications are retried until delivered
// or the window is gone.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "erase/records.h"

namespace morvane {

enum class ChannelEvent { Progress, Log, EraseDone, ToolDone };

enum class NotifyResult {
    Delivered,
    Refused,  // the receiver's queue is full for now: try again later
    Gone,     // the receiver no longer exists: give up
};

// Called on the worker thread; `code` and `kind` are used by ToolDone only.
using ChannelNotify = std::function<NotifyResult(ChannelEvent event, std::intptr_t code, std::intptr_t kind)>;

class WorkerChannel {
public:
    // Set before any worker starts; never changed while one runs.
    void SetNotify(ChannelNotify notify) { notify_ = std::move(notify); }

    // ---- worker side ----
    void PostProgress(const EraseProgressInfo& progress);
    void PostLog(const std::wstring& line);
    // Stores the result, then notifies until delivered or the receiver is gone.
    void PostEraseDone(EraseResult result);
    void PostToolDone(int code, int kind);

    // ---- window side ----
    // The latest snapshot, or nothing when it was already taken.
    std::optional<EraseProgressInfo> TakeProgress();
    // Every line not yet taken, in posting order.
    std::vector<std::wstring> TakeLog();
    EraseResult LastResult() const;
    void SetLastResult(EraseResult result);

private:
    NotifyResult Notify(ChannelEvent event, std::intptr_t code = 0, std::intptr_t kind = 0) const;
    void NotifyUntilDelivered(ChannelEvent event, std::intptr_t code, std::intptr_t kind) const;

    ChannelNotify notify_;
    mutable std::mutex lock_;  // the state lock: guards every field below
    EraseProgressInfo progress_;
    bool progressFresh_ = false;
    bool progressNotified_ = false;
    std::vector<std::wstring> pendingLog_;
    bool logNotified_ = false;
    EraseResult lastResult_;
};

}  // namespace morvane
