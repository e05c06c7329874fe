// The worker channel: conflated progress, ordered log lines, the result slot and the
// notifications that never outnumber what the window has taken.
#include "ui/worker_channel.h"

#include <chrono>
#include <thread>

namespace morvane {

NotifyResult WorkerChannel::Notify(ChannelEvent event, std::intptr_t code, std::intptr_t kind) const {
    if (!notify_) return NotifyResult::Gone;
    return notify_(event, code, kind);
}

void WorkerChannel::NotifyUntilDelivered(ChannelEvent event, std::intptr_t code, std::intptr_t kind) const {
    // The window thread may be inside a long call with its queue full; it drains the
    // queue as soon as it returns, so a short pause between tries is enough.
    while (Notify(event, code, kind) == NotifyResult::Refused) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void WorkerChannel::PostProgress(const EraseProgressInfo& progress) {
    bool send = false;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        progress_ = progress;
        progressFresh_ = true;
        send = !progressNotified_;
        progressNotified_ = true;
    }
    if (send && Notify(ChannelEvent::Progress) != NotifyResult::Delivered) {
        // Not delivered: let the next report try again.
        const std::lock_guard<std::mutex> hold(lock_);
        progressNotified_ = false;
    }
}

void WorkerChannel::PostLog(const std::wstring& line) {
    bool send = false;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        pendingLog_.push_back(line);
        send = !logNotified_;
        logNotified_ = true;
    }
    if (send && Notify(ChannelEvent::Log) != NotifyResult::Delivered) {
        const std::lock_guard<std::mutex> hold(lock_);
        logNotified_ = false;
    }
}

void WorkerChannel::PostEraseDone(EraseResult result) {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        lastResult_ = std::move(result);
    }
    NotifyUntilDelivered(ChannelEvent::EraseDone, 0, 0);
}

void WorkerChannel::PostToolDone(int code, int kind) {
    NotifyUntilDelivered(ChannelEvent::ToolDone, code, kind);
}

std::optional<EraseProgressInfo> WorkerChannel::TakeProgress() {
    const std::lock_guard<std::mutex> hold(lock_);
    progressNotified_ = false;
    if (!progressFresh_) return std::nullopt;
    progressFresh_ = false;
    return progress_;
}

std::vector<std::wstring> WorkerChannel::TakeLog() {
    const std::lock_guard<std::mutex> hold(lock_);
    logNotified_ = false;
    std::vector<std::wstring> lines;
    lines.swap(pendingLog_);
    return lines;
}

EraseResult WorkerChannel::LastResult() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return lastResult_;
}

void WorkerChannel::SetLastResult(EraseResult result) {
    const std::lock_guard<std::mutex> hold(lock_);
    lastResult_ = std::move(result);
}

}  // namespace morvane
