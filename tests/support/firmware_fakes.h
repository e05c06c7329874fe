// Test support for the firmware step: query answers built byte by byte (the descriptor
// Windows puts in front, then an NVMe page), and fake transports for the drive's status
// log and for the sanitize request. No test ever sends a request to a device.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "firmware/sanitize_runner.h"
#include "firmware/transport.h"

namespace morvane::testing {

inline void PutLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// STORAGE_PROTOCOL_DATA_DESCRIPTOR: Version and Size 48, the protocol-specific data with
// the page right behind it (offset 40 from that data, i.e. byte 48 of the answer). The
// last three fields can be falsified; a length of 0 stands for the page's own.
inline std::vector<std::uint8_t> QueryAnswer(std::uint32_t dataType, const std::vector<std::uint8_t>& page,
                                             std::uint32_t dataOffset = 40, std::uint32_t version = 48,
                                             std::uint32_t dataLength = 0) {
    std::vector<std::uint8_t> answer(48 + page.size(), 0);
    std::copy(page.begin(), page.end(), answer.begin() + 48);
    PutLe(answer, 0, version, 4);
    PutLe(answer, 4, 48, 4);
    PutLe(answer, 8, 3, 4);  // ProtocolTypeNvme
    PutLe(answer, 12, dataType, 4);
    PutLe(answer, 24, dataOffset, 4);
    PutLe(answer, 28, dataLength ? dataLength : page.size(), 4);
    return answer;
}

// Identify Controller: OACS at 256, SANICAP at 328, NN at 516, FNA at 524.
inline std::vector<std::uint8_t> IdentifyAnswer(std::uint16_t oacs, std::uint32_t sanicap, std::uint32_t nn,
                                                std::uint8_t fna = 0) {
    std::vector<std::uint8_t> page(4096, 0);
    PutLe(page, 256, oacs, 2);
    PutLe(page, 328, sanicap, 4);
    PutLe(page, 516, nn, 4);
    page[524] = fna;
    return QueryAnswer(1, page);
}

// Sanitize Status log: SPROG 0-1, SSTAT 2-3, SCDW10 4-7, estimates for overwrite,
// block erase and crypto erase at 8, 12 and 16.
inline std::vector<std::uint8_t> StatusAnswer(std::uint16_t sstat, std::uint32_t scdw10, std::uint16_t sprog = 0xFFFF,
                                              std::uint32_t cryptoEstimate = 0xFFFFFFFF) {
    std::vector<std::uint8_t> page(512, 0);
    PutLe(page, 0, sprog, 2);
    PutLe(page, 2, sstat, 2);
    PutLe(page, 4, scdw10, 4);
    PutLe(page, 8, 0xFFFFFFFF, 4);
    PutLe(page, 12, 0xFFFFFFFF, 4);
    PutLe(page, 16, cryptoEstimate, 4);
    return QueryAnswer(2, page);
}

// Answers property queries from a script, one entry per call, the last repeated; an
// empty entry is a refused query. Other requests are refused and counted.
class ScriptedQueries final : public DeviceTransport {
public:
    explicit ScriptedQueries(std::vector<std::optional<std::vector<std::uint8_t>>> script) : script_(std::move(script)) {}
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t>, std::size_t) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t at = calls_ < script_.size() ? calls_ : script_.size() - 1;
        ++calls_;
        if (code != IOCTL_STORAGE_QUERY_PROPERTY || script_.empty() || !script_[at]) {
            return {ERROR_INVALID_FUNCTION, L"Incorrect function.", {}};
        }
        return {0, L"", *script_[at]};
    }

private:
    std::mutex mutex_;
    std::vector<std::optional<std::vector<std::uint8_t>>> script_;
    std::size_t calls_ = 0;
};

// The sanitize request's end: records what was sent and answers with `error` (0 = done)
// and `bytes`, or, when `blocks`, holds the request until CancelPending, as a driver
// waiting for the drive would.
class FakeCommand final : public DeviceTransport {
public:
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t) override {
        sentCode = code;
        sent.assign(in.begin(), in.end());
        calls.fetch_add(1);
        IoctlAnswer answer{error, error ? L"Incorrect function." : L"", bytes};
        if (blocks) {
            std::unique_lock<std::mutex> lock(mutex_);
            released_.wait(lock, [this] { return cancelled; });
            answer = {ERROR_OPERATION_ABORTED, L"The I/O operation has been aborted.", {}};
        }
        return answer;
    }
    void CancelPending() override {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled = true;
        released_.notify_all();
    }

    DWORD error = 0;
    std::vector<std::uint8_t> bytes;
    bool blocks = false;
    bool cancelled = false;
    std::atomic<int> calls{0};
    DWORD sentCode = 0;
    std::vector<std::uint8_t> sent;

private:
    std::mutex mutex_;
    std::condition_variable released_;
};

// A clock that never waits: each wait moves time on by its length, after letting a
// request that answers at once publish its answer, so no verdict depends on scheduling.
inline RunnerClock FakeClock(std::uint64_t& now, const FakeCommand& command) {
    RunnerClock clock;
    clock.nowMs = [&now] { return now; };
    clock.wait = [&now, &command](std::uint32_t ms, const std::function<bool()>& finished) {
        while (!command.blocks && !finished()) std::this_thread::yield();
        now += ms;
    };
    return clock;
}

}  // namespace morvane::testing
