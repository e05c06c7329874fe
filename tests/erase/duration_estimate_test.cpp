// The worst-case erasure duration from the disk kind, size, standard and verification,
// and the 72-hour decision of WinPE: refused under real WinPE, a warning under its
// simulation, the remaining time taken from the system's uptime.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "erase/duration_estimate.h"
#include "erase/standards.h"

namespace morvane {
namespace {

constexpr std::uint64_t kHour = 3600, kHourMs = 3600 * 1000;

TEST(DurationEstimate, PassesVerificationAndFirmwareAtAConservativeSpeed) {
    struct Case {
        std::uint32_t bus, media;
        std::uint64_t bytes;
        std::uint32_t standard;
        VerifyLevel verify;
        std::optional<std::uint64_t> firmware;
        std::uint64_t seconds;
    };
    // 1 TB at 80 MiB/s is 11,920.9 s, rounded up per surface.
    const Case cases[] = {
        {BusSata, MediaHdd, 1'000'000'000'000, Dod3Pass, VerifyLevel::QuickSample, std::nullopt, 3 * 11921},
        {BusSata, MediaHdd, 1'000'000'000'000, Dod3Pass, VerifyLevel::FullSurface, std::nullopt, 4 * 11921},
        {BusSata, MediaHdd, 1'000'000'000'000, Dod3Pass, VerifyLevel::Skip, 3600, 3 * 11921 + 3600},
        {BusSata, MediaHdd, 2'000'000'000'000, Gutmann35, VerifyLevel::QuickSample, std::nullopt, 35 * 23842},
        {BusNvme, MediaStandard, 2'000'000'000'000, NistPurge, VerifyLevel::QuickSample, std::nullopt, 2 * 9537},  // 200 MiB/s
        {BusSata, MediaSsd, 1'000'000'000'000, ZeroFill, VerifyLevel::QuickSample, std::nullopt, 6358},          // 150 MiB/s
        {BusUsb, MediaHdd, 1'000'000'000'000, ZeroFill, VerifyLevel::QuickSample, std::nullopt, 47684},         // 20 MiB/s
        {BusSata, MediaStandard, 52'428'800, CryptoRandom, VerifyLevel::QuickSample, std::nullopt, 1},           // 50 MiB/s
        {BusSata, MediaHdd, 1'000'000'000'000, 99, VerifyLevel::FullSurface, std::nullopt, 11921},              // no plan
    };
    for (const Case& c : cases) {
        EraseJob job;
        job.disk.busKind = c.bus, job.disk.mediaKind = c.media, job.disk.sizeBytes = c.bytes;
        job.standard = c.standard, job.verifyLevel = c.verify;
        EXPECT_EQ(EstimateEraseSeconds(job, c.firmware), c.seconds) << c.standard << " " << c.bytes;
    }
}

TEST(DurationEstimate, WinPEShellLifeDecision) {
    struct Case {
        const char* name;
        std::uint64_t estimate, uptimeMs;
        bool real, simulated;
        WinPETimeAction action;
        bool restartHelps;  // the refusal suggests restarting WinPE
    };
    const Case cases[] = {
        {"fits exactly with the margin", 70 * kHour, 0, true, false, WinPETimeAction::Start, false},
        {"one second too long", 70 * kHour + 1, 0, true, false, WinPETimeAction::Refuse, false},
        {"uptime eats the time left", 61 * kHour, 10 * kHourMs, true, false, WinPETimeAction::Refuse, true},
        {"past 72 hours nothing is left", 60, 80 * kHourMs, true, false, WinPETimeAction::Refuse, true},
        {"the simulation only warns", 61 * kHour, 10 * kHourMs, false, true, WinPETimeAction::Warn, false},
        {"the simulation within the time", kHour, 10 * kHourMs, false, true, WinPETimeAction::Start, false},
        {"an installed system has no limit", 400 * kHour, 0, false, false, WinPETimeAction::Start, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WinPETimeDecision d = DecideWinPETime(c.estimate, c.uptimeMs, c.real, c.simulated);
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.text.empty(), c.action == WinPETimeAction::Start);
        EXPECT_EQ(d.text.find(L"WinPE を再起動すると") != std::wstring::npos, c.restartHelps);
        if (c.action == WinPETimeAction::Warn) {
            EXPECT_EQ(d.text.rfind(L"[WARN] WinPE 72時間制限: ", 0), 0u);
        }
    }
    // The refusal states the estimate, the time left and what to do instead.
    const std::wstring text = DecideWinPETime(61 * kHour + 59, 10 * kHourMs + 1500, true, false).text;
    EXPECT_NE(text.find(L"推定所要時間      : 約 61 時間 1 分"), std::wstring::npos);
    EXPECT_NE(text.find(L"WinPE の残り時間  : 約 62 時間 0 分 (起動から 約 10 時間 1 分 経過"), std::wstring::npos);
    EXPECT_NE(text.find(L"1 パス"), std::wstring::npos);
    EXPECT_NE(text.find(L"インストール済みの Windows"), std::wstring::npos);
}

}  // namespace
}  // namespace morvane
