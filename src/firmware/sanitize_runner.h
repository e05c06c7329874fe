// Running one NVMe sanitize: read the status log, send the request on a thread of its own
// (Windows may hold it until the drive finishes), poll the status log on a second
// transport, and hand the readings to the SanitizeMonitor until it has a verdict or the
// time-out passes. Pure apart from its seams: two transports and a clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/log_callback.h"
#include "firmware/model.h"
#include "firmware/nvme_pages.h"
#include "firmware/sanitize_monitor.h"
#include "firmware/transport.h"

namespace morvane {

// How the request reaches the drive.
//  - ReinitializeMedia: IOCTL_STORAGE_REINITIALIZE_MEDIA with STORAGE_REINITIALIZE_MEDIA.
//    The default everywhere: Windows builds the Sanitize command itself, applies its own
//    rules (data disks only outside WinPE) and waits for the drive up to the time-out.
//  - ProtocolCommand: IOCTL_STORAGE_PROTOCOL_COMMAND with the NVMe Sanitize command
//    (opcode 84h). Windows passes Sanitize through only under WinPE; the command returns
//    once the drive has started, and the status log shows the rest.
enum class SanitizeRoute : std::uint8_t { ReinitializeMedia, ProtocolCommand };

struct SanitizePlan {
    SanitizeMethod method = SanitizeMethod::None;
    SanitizeRoute route = SanitizeRoute::ReinitializeMedia;  // NVMe only
    // SATA (ATA pass-through) and SAS (SCSI pass-through) plans are run by RunDriveSanitize;
    // RunFirmwareSanitize picks the runner for any protocol.
    DriveProtocol protocol = DriveProtocol::Nvme;
    std::uint32_t timeoutSeconds = 0;  // SATA and SAS; NVMe sizes its own from the status log
    bool underWinPE = false;           // what the advice to a frozen drive says
};

// The runner's view of time. `wait` waits up to `ms` milliseconds and returns early once
// `commandFinished()` is true; tests advance a fake clock instead of waiting.
struct RunnerClock {
    std::function<std::uint64_t()> nowMs;
    std::function<void(std::uint32_t ms, const std::function<bool()>& commandFinished)> wait;
};

// The steady clock, waiting in slices of at most 100 ms.
RunnerClock SteadyRunnerClock();

struct SanitizeRunSettings {
    RunnerClock clock = SteadyRunnerClock();
    std::uint32_t pollIntervalMs = 2000;
};

// Progress of the drive's sanitize (SPROG / 65536) with a label naming the method.
using SanitizeProgress = std::function<void(double fraction, const std::wstring& label)>;

// Time-out limits of a drive's own sanitize, in seconds.
inline constexpr std::uint32_t kSanitizeTimeoutWithoutEstimate = 7200;
inline constexpr std::uint32_t kSanitizeTimeoutMaximum = 2 * 24 * 3600;

// Twice an estimate plus five minutes, at least ten minutes and at most two days.
std::uint32_t SanitizeTimeoutFromEstimate(std::uint64_t estimateSeconds);

// The time-out of a sanitize, in seconds: twice the drive's own estimate for the method
// plus five minutes, at least ten minutes and at most two days; two hours when the drive
// gives no estimate (FFFFFFFFh) or the log could not be read.
std::uint32_t SanitizeTimeoutSeconds(SanitizeMethod method, const std::optional<SanitizeStatusLog>& before);

// What a request would ask of the drive, in Japanese, for the log and the dry run:
// "IOCTL_STORAGE_REINITIALIZE_MEDIA: NVMe Sanitize (Crypto Erase), 制限付き終了, タイムアウト 7200 秒";
// for SATA and SAS plans the pass-through command (see DriveSanitizeRequestText).
std::wstring SanitizeRequestText(const SanitizePlan& plan, std::uint32_t timeoutSeconds);

// The pass-bar label while the drive sanitizes.
std::wstring SanitizeProgressLabel(SanitizeMethod method, DriveProtocol protocol = DriveProtocol::Nvme);

// The record of a finished run for `method`; its result and detail also go to the log.
FirmwareSanitizeRecord FinishSanitizeRecord(const std::wstring& method, const SanitizeVerdict& verdict,
                                            const LogCallback& log);

// Reads the drive through `observe` (which feeds `monitor`) until it gives a verdict or the
// deadline passes, showing progress whenever the monitor's estimate moves; `wake` ends a
// wait between reads early.
template <class Monitor, class Observe>
SanitizeVerdict PollForVerdict(const Monitor& monitor, const Observe& observe, std::uint64_t deadlineMs,
                               std::uint32_t timeoutSeconds, const SanitizeRunSettings& settings,
                               const std::function<bool()>& wake, const SanitizeProgress& progress,
                               const std::wstring& label) {
    double shown = -1.0;
    for (;;) {
        const std::optional<SanitizeVerdict> verdict = observe();
        if (monitor.sawInProgress() && monitor.progress() != shown) {
            shown = monitor.progress();
            if (progress) progress(shown, label);
        }
        if (verdict) return *verdict;
        if (settings.clock.nowMs() >= deadlineMs) return monitor.TimedOut(timeoutSeconds);
        settings.clock.wait(settings.pollIntervalMs, wake);
    }
}

// Runs the plan. `command` carries the request; `status` (a second handle to the same
// disk) the status-log reads, so they are not queued behind a request that blocks. Never
// throws; every outcome is in the record (method, result, detail, countsAsPurge).
FirmwareSanitizeRecord RunNvmeSanitize(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                                       const SanitizeProgress& progress, const LogCallback& log,
                                       const SanitizeRunSettings& settings = {});

}  // namespace morvane
