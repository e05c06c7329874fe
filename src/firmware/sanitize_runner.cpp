// The sanitize runner: the command thread, the poll loop and the time-out.
#include "firmware/sanitize_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "firmware/discovery.h"
#include "firmware/drive_sanitize.h"
#include "firmware/nvme_requests.h"
#include "firmware/sanitize_monitor.h"
#include "firmware/storage_layouts.h"

namespace morvane {

namespace {

constexpr std::uint32_t kMinimumTimeout = 600;
constexpr std::uint32_t kTimeoutMargin = 300;

std::uint32_t Estimate(SanitizeMethod method, const SanitizeStatusLog& log) {
    switch (method) {
        case SanitizeMethod::CryptoErase: return log.estimateCryptoErase;
        case SanitizeMethod::BlockErase: return log.estimateBlockErase;
        case SanitizeMethod::Overwrite: return log.estimateOverwrite;
        case SanitizeMethod::None: break;
    }
    return SanitizeStatusLog::kNoEstimate;
}

// The request on its own thread. Its state is published under a lock; Finished() turns
// true only after the state is in place, so whoever sees it finished reads the answer.
class CommandThread {
public:
    CommandThread(DeviceTransport& transport, DWORD code, std::vector<std::uint8_t> request, std::size_t outSize,
                  SanitizeRoute route)
        : transport_(transport), code_(code), request_(std::move(request)), outSize_(outSize), route_(route) {}
    CommandThread(const CommandThread&) = delete;
    CommandThread& operator=(const CommandThread&) = delete;
    ~CommandThread() { Join(); }

    [[nodiscard]] bool Start() {
        try {
            thread_ = std::thread([this] { Run(); });
            return true;
        } catch (...) {
            return false;
        }
    }
    CommandState State() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return state_;
    }
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    void Run() {
        CommandState state;
        try {
            const IoctlAnswer answer = transport_.Ioctl(code_, request_, outSize_);
            const std::wstring deviceFailure =
                answer.ok() && route_ == SanitizeRoute::ProtocolCommand ? ProtocolCommandFailure(answer.bytes) : L"";
            if (!answer.ok()) {
                state = {CommandState::Kind::Refused, answer.error, answer.errorText};
            } else if (!deviceFailure.empty()) {
                state = {CommandState::Kind::Refused, 0, deviceFailure};
            } else {
                state.kind = CommandState::Kind::Accepted;
            }
        } catch (...) {
            state = {CommandState::Kind::Refused, ERROR_NOT_ENOUGH_MEMORY, L"the request could not be prepared"};
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            state_ = std::move(state);
        }
        finished_.store(true, std::memory_order_release);
    }

    DeviceTransport& transport_;
    const DWORD code_;
    const std::vector<std::uint8_t> request_;
    const std::size_t outSize_;
    const SanitizeRoute route_;
    mutable std::mutex mutex_;
    CommandState state_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace

RunnerClock SteadyRunnerClock() {
    using namespace std::chrono;
    RunnerClock clock;
    clock.nowMs = [] {
        return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    clock.wait = [](std::uint32_t ms, const std::function<bool()>& commandFinished) {
        // Only a completion during this wait ends it early; one seen before would otherwise
        // turn the poll loop into a busy loop of status reads.
        const bool finishedBefore = commandFinished();
        const auto end = steady_clock::now() + milliseconds(ms);
        for (auto now = steady_clock::now(); now < end; now = steady_clock::now()) {
            if (!finishedBefore && commandFinished()) return;
            std::this_thread::sleep_for(std::min<steady_clock::duration>(milliseconds(100), end - now));
        }
    };
    return clock;
}

std::uint32_t SanitizeTimeoutFromEstimate(std::uint64_t estimateSeconds) {
    const std::uint64_t timeout = 2 * estimateSeconds + kTimeoutMargin;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(timeout, kMinimumTimeout, kSanitizeTimeoutMaximum));
}

std::uint32_t SanitizeTimeoutSeconds(SanitizeMethod method, const std::optional<SanitizeStatusLog>& before) {
    const std::uint32_t estimate = before ? Estimate(method, *before) : SanitizeStatusLog::kNoEstimate;
    if (estimate == SanitizeStatusLog::kNoEstimate) return kSanitizeTimeoutWithoutEstimate;
    return SanitizeTimeoutFromEstimate(estimate);
}

std::wstring SanitizeRequestText(const SanitizePlan& plan, std::uint32_t timeoutSeconds) {
    if (plan.protocol != DriveProtocol::Nvme) return DriveSanitizeRequestText(plan, timeoutSeconds);
    const std::wstring method = MethodName(DriveProtocol::Nvme, plan.method);
    const std::wstring limits = L", 制限付き終了, タイムアウト " + std::to_wstring(timeoutSeconds) + L" 秒";
    if (plan.route == SanitizeRoute::ProtocolCommand) {
        return L"IOCTL_STORAGE_PROTOCOL_COMMAND: " + method + L" (opcode 84h, SANACT " +
               std::to_wstring(SanitizeAction(plan.method)) + L")" + limits;
    }
    return L"IOCTL_STORAGE_REINITIALIZE_MEDIA: " + method + limits;
}

std::wstring SanitizeProgressLabel(SanitizeMethod method, DriveProtocol protocol) {
    return L"[ファームウェア消去] " + MethodName(protocol, method);
}

FirmwareSanitizeRecord FinishSanitizeRecord(const std::wstring& method, const SanitizeVerdict& verdict,
                                            const LogCallback& log) {
    FirmwareSanitizeRecord record{method, verdict.result, verdict.detail, verdict.countsAsPurge};
    EmitLog(log, L"[FIRMWARE SANITIZE] 結果: " + record.method + L" - " + record.result);
    EmitLog(log, L"[FIRMWARE SANITIZE] " + record.detail);
    return record;
}

FirmwareSanitizeRecord RunNvmeSanitize(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                                       const SanitizeProgress& progress, const LogCallback& log,
                                       const SanitizeRunSettings& settings) {
    const std::wstring method = MethodName(DriveProtocol::Nvme, plan.method);
    const auto finish = [&](const SanitizeVerdict& verdict) { return FinishSanitizeRecord(method, verdict, log); };

    const std::optional<SanitizeStatusLog> before = ReadSanitizeStatus(status);
    const std::uint32_t timeout = SanitizeTimeoutSeconds(plan.method, before);
    const bool viaProtocol = plan.route == SanitizeRoute::ProtocolCommand;
    std::vector<std::uint8_t> request = viaProtocol ? BuildSanitizeProtocolCommand({plan.method}, timeout)
                                                    : BuildReinitializeMediaRequest(plan.method, timeout);
    if (plan.method == SanitizeMethod::None || request.empty()) {
        return finish({kFirmwareNotPerformed, method + L" cannot be requested this way; no request was sent."});
    }
    SanitizeMonitor monitor(plan.method, before);
    if (const auto refusal = monitor.BeforeSending()) return finish(*refusal);

    EmitLog(log, L"[FIRMWARE SANITIZE] 開始: " + SanitizeRequestText(plan, timeout));
    const std::wstring label = SanitizeProgressLabel(plan.method);
    if (progress) progress(0.0, label);

    const std::size_t outSize = viaProtocol ? request.size() : 0;
    CommandThread thread(command, viaProtocol ? kIoctlProtocolCommand : kIoctlReinitializeMedia, std::move(request),
                         outSize, plan.route);
    if (!thread.Start()) {
        return finish({kFirmwareNotPerformed, L"The request thread could not be started; no request was sent."});
    }
    const RunnerClock& clock = settings.clock;
    const std::function<bool()> finished = [&thread] { return thread.Finished(); };
    const std::uint64_t deadline = clock.nowMs() + std::uint64_t{timeout} * 1000;
    const auto observe = [&] {
        const CommandState state = thread.State();  // before the log read: see Observe
        return monitor.Observe(ReadSanitizeStatus(status), state);
    };
    const SanitizeVerdict verdict =
        PollForVerdict(monitor, observe, deadline, timeout, settings, finished, progress, label);
    // The drive can prove its result before Windows lets go of the request: give the
    // request until the deadline, then ask Windows to drop it, and only then join.
    while (!thread.Finished() && clock.nowMs() < deadline) clock.wait(settings.pollIntervalMs, finished);
    if (!thread.Finished()) command.CancelPending();
    thread.Join();
    if (verdict.countsAsPurge && progress) progress(1.0, label);
    return finish(verdict);
}

}  // namespace morvane
