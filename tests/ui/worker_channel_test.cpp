// The worker channel: progress conflated, log lines in order and complete, and the
// done notification delivered even while the receiver refuses notifications.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/worker_channel.h"

namespace morvane {
namespace {

struct Counts {
    std::atomic<int> progress{0}, log{0}, done{0}, doneAttempts{0};
};

TEST(WorkerChannel, ProgressConflatesToTheLatestSnapshot) {
    WorkerChannel channel;
    Counts counts;
    channel.SetNotify([&](ChannelEvent event, std::intptr_t, std::intptr_t) {
        if (event == ChannelEvent::Progress) ++counts.progress;
        return NotifyResult::Delivered;
    });
    for (int i = 1; i <= 1000; ++i) {
        EraseProgressInfo progress;
        progress.passPercent = static_cast<std::uint32_t>(i % 101);
        progress.label = L"chunk " + std::to_wstring(i);
        channel.PostProgress(progress);
    }
    EXPECT_EQ(counts.progress, 1);  // one notification until the window takes it
    const auto taken = channel.TakeProgress();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->label, L"chunk 1000");
    EXPECT_FALSE(channel.TakeProgress());
    channel.PostProgress({});
    EXPECT_EQ(counts.progress, 2);
}

TEST(WorkerChannel, LogLinesFromAnotherThreadKeepOrderAndNoneIsLost) {
    WorkerChannel channel;
    Counts counts;
    channel.SetNotify([&](ChannelEvent event, std::intptr_t, std::intptr_t) {
        if (event == ChannelEvent::Log) ++counts.log;
        return NotifyResult::Delivered;
    });
    constexpr int kLines = 20000;
    std::thread worker([&] {
        for (int i = 0; i < kLines; ++i) channel.PostLog(std::to_wstring(i));
    });
    std::vector<std::wstring> seen;
    int takes = 0;
    while (seen.size() < static_cast<std::size_t>(kLines)) {
        for (std::wstring& line : channel.TakeLog()) seen.push_back(std::move(line));
        ++takes;
    }
    worker.join();
    for (int i = 0; i < kLines; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], std::to_wstring(i));
    EXPECT_LE(counts.log, takes + 1);  // never more notifications than takes
}

TEST(WorkerChannel, DoneIsDeliveredWhileNotificationsAreRefused) {
    WorkerChannel channel;
    Counts counts;
    channel.SetNotify([&](ChannelEvent event, std::intptr_t code, std::intptr_t kind) {
        if (event == ChannelEvent::EraseDone || event == ChannelEvent::ToolDone) {
            if (++counts.doneAttempts % 4 != 0) return NotifyResult::Refused;  // the queue is full
            if (event == ChannelEvent::ToolDone && (code != 7 || kind != 2)) return NotifyResult::Gone;
            ++counts.done;
            return NotifyResult::Delivered;
        }
        ++(event == ChannelEvent::Log ? counts.log : counts.progress);
        return NotifyResult::Refused;
    });
    for (int i = 0; i < 50; ++i) {
        channel.PostProgress({});
        channel.PostLog(L"line " + std::to_wstring(i));
    }
    EXPECT_EQ(counts.progress, 50);  // a refused notification is tried again by the next post
    EraseResult result;
    result.message = L"finished";
    channel.PostEraseDone(result);
    EXPECT_EQ(counts.done, 1);
    EXPECT_EQ(counts.doneAttempts, 4);
    EXPECT_EQ(channel.LastResult().message, L"finished");
    EXPECT_EQ(channel.TakeLog().size(), 50u);  // the window drains the log on done
    channel.PostToolDone(7, 2);
    EXPECT_EQ(counts.done, 2);
    channel.PostToolDone(0, 1);  // the window is gone: no endless retry
    EXPECT_EQ(counts.done, 2);
}


}  // namespace
}  // namespace morvane
