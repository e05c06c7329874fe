// The worker channel: progress conflated, log lines in order and complete, and the
// done notification delivered even while the receiver refuses notifications.
#include "ui/worker_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace morvane {
namespace {

TEST(WorkerChannel, ProgressConflatesToTheLatestSnapshot) {
    WorkerChannel channel;
    int notified = 0;
    channel.SetNotify([&](ChannelEvent event, std::intptr_t, std::intptr_t) {
        notified += event == ChannelEvent::Progress;
        return NotifyResult::Delivered;
    });
    for (int i = 1; i <= 1000; ++i) {
        EraseProgressInfo progress;
        progress.label = L"chunk " + std::to_wstring(i);
        channel.PostProgress(progress);
    }
    EXPECT_EQ(notified, 1);  // one notification until the window takes it
    EXPECT_EQ(channel.TakeProgress().value_or(EraseProgressInfo{}).label, L"chunk 1000");
    EXPECT_FALSE(channel.TakeProgress());
    channel.PostProgress({});
    EXPECT_EQ(notified, 2);
}

TEST(WorkerChannel, LogLinesFromAnotherThreadKeepOrderAndNoneIsLost) {
    WorkerChannel channel;
    std::atomic<int> notified{0};
    channel.SetNotify([&](ChannelEvent event, std::intptr_t, std::intptr_t) {
        notified += event == ChannelEvent::Log;
        return NotifyResult::Delivered;
    });
    constexpr int kLines = 20000;
    std::thread worker([&] { for (int i = 0; i < kLines; ++i) channel.PostLog(std::to_wstring(i)); });
    std::vector<std::wstring> seen;
    int takes = 0;
    for (; seen.size() < static_cast<std::size_t>(kLines); ++takes) {
        for (std::wstring& line : channel.TakeLog()) seen.push_back(std::move(line));
    }
    worker.join();
    for (int i = 0; i < kLines; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], std::to_wstring(i));
    EXPECT_LE(notified, takes + 1);  // never more notifications than takes
}

TEST(WorkerChannel, DoneIsDeliveredWhileNotificationsAreRefused) {
    WorkerChannel channel;
    int progress = 0, done = 0, doneAttempts = 0;
    channel.SetNotify([&](ChannelEvent event, std::intptr_t code, std::intptr_t kind) {
        if (event == ChannelEvent::EraseDone || event == ChannelEvent::ToolDone) {
            if (++doneAttempts % 4 != 0) return NotifyResult::Refused;  // the queue is full
            if (event == ChannelEvent::ToolDone && (code != 7 || kind != 2)) return NotifyResult::Gone;
            ++done;
            return NotifyResult::Delivered;
        }
        progress += event == ChannelEvent::Progress;
        return NotifyResult::Refused;
    });
    for (int i = 0; i < 50; ++i) {
        channel.PostProgress({});
        channel.PostLog(L"line " + std::to_wstring(i));
    }
    EXPECT_EQ(progress, 50);  // a refused notification is tried again by the next post
    EraseResult result;
    result.message = L"finished";
    channel.PostEraseDone(result);
    EXPECT_TRUE(done == 1 && doneAttempts == 4);
    EXPECT_EQ(channel.LastResult().message, L"finished");
    EXPECT_EQ(channel.TakeLog().size(), 50u);  // the window drains the log on done
    channel.PostToolDone(7, 2);
    EXPECT_EQ(done, 2);
    channel.PostToolDone(0, 1);  // the window is gone: no endless retry
    EXPECT_EQ(done, 2);
}

}  // namespace
}  // namespace morvane
