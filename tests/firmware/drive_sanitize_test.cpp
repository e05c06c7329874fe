// SATA and SAS sanitize: the runner's verdicts through fake drives (status scripted, the
// command accepted, aborted or refused) and the time-outs from the drive's estimates.
#include <gtest/gtest.h>

#include "firmware/drive_discovery.h"
#include "firmware/drive_sanitize.h"
#include "support/drive_fakes.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using namespace testing;

const AtaRegs kIdle{};                              // nothing run, nothing recorded
const AtaRegs kDone{0x50, 0, 0x8000, 0xFFFF};       // completed without error
const AtaRegs kFrozen{0x50, 0, 0x2000, 0xFFFF};
AtaRegs Running(std::uint16_t progress) { return {0x50, 0, 0x4000, progress}; }

struct Outcome {
    FirmwareSanitizeRecord record;
    std::vector<double> progress;
    std::vector<std::wstring> log;
};

Outcome RunPlan(DeviceTransport& drive, const SanitizePlan& plan) {
    Outcome out;
    std::uint64_t now = 0;
    out.record = RunFirmwareSanitize(
        drive, drive, plan, [&](double f, const std::wstring&) { out.progress.push_back(f); },
        [&](const std::wstring& line) { out.log.push_back(line); }, {InstantClock(now), 2000});
    // What every run shows: the verdict and method in the record and in the log's result line.
    EXPECT_EQ(out.record.countsAsPurge, out.record.result == std::wstring(kFirmwareCompleted));
    EXPECT_EQ(out.record.method, MethodName(plan.protocol, plan.method));
    EXPECT_EQ(out.log.at(out.log.size() - 2), L"[FIRMWARE SANITIZE] 結果: " + out.record.method + L" - " + out.record.result);
    return out;
}

TEST(DriveSanitizeRunner, AtaVerdictsFromTheDrivesOwnStatus) {
    const struct {
        const char* what; SanitizeMethod method;
        std::vector<std::optional<AtaRegs>> status;  // the read before the command, then each poll
        AtaRegs answer = {}; DWORD windowsError = 0; const wchar_t* result; bool sent; const wchar_t* detailHas;
    } cases[] = {
        {"crypto scramble: in progress, then completed", SanitizeMethod::CryptoErase, {kIdle, Running(0x4000), kDone}, {},
         0, kFirmwareCompleted, true, L"in progress, then completed (SANITIZE STATUS EXT count 0x8000)"},
        {"block erase: done by the first poll", SanitizeMethod::BlockErase, {kDone, kDone}, {}, 0, kFirmwareCompleted,
         true, L"its next status showed the sanitize completed"},
        {"earlier success, the command's answer without the drive's registers", SanitizeMethod::BlockErase,
         {kDone, kDone}, {0x00}, 0, kFirmwareNotConfirmed, true, L"still reports the earlier sanitize result"},
        {"no registers, but the status changed to success", SanitizeMethod::BlockErase, {kIdle, kDone}, {0x00}, 0,
         kFirmwareCompleted, true, L"completed"},
        {"frozen before the command", SanitizeMethod::CryptoErase, {kFrozen}, {}, 0, kFirmwareNotPerformed, false,
         L"sanitize is frozen (a freeze lock since its last power-on); re-plug the drive on a hot-plug port, or sleep "
         L"and resume the machine"},
        {"aborted: function not supported", SanitizeMethod::BlockErase, {kIdle}, AtaAborted(2), 0,
         kFirmwareNotPerformed, true, L"command aborted, the drive does not support the requested sanitize function"},
        {"aborted: frozen, though its status said nothing", SanitizeMethod::CryptoErase, {AtaAborted(0)}, AtaAborted(3),
         0, kFirmwareNotPerformed, true, L"Sanitize Frozen state. The drive's sanitize is frozen"},
        {"in progress, then failed", SanitizeMethod::Overwrite, {kIdle, Running(0x1000), AtaAborted(1)}, {}, 0,
         kFirmwareFailed, true, L"refuse writes until a sanitize succeeds"},
        {"accepted, yet the status shows no sanitize", SanitizeMethod::CryptoErase, {kIdle}, {}, 0,
         kFirmwareNotConfirmed, true, L"shows no sanitize run"},
        {"accepted, status unreadable", SanitizeMethod::CryptoErase, {kIdle, std::nullopt}, {}, 0,
         kFirmwareNotConfirmed, true, L"could not be read"},
        {"Windows refuses the pass-through", SanitizeMethod::CryptoErase, {kIdle}, {}, ERROR_ACCESS_DENIED,
         kFirmwareNotPerformed, true, L"Windows error 5"},
        {"already sanitizing", SanitizeMethod::CryptoErase, {Running(0x100)}, {}, 0, kFirmwareNotPerformed, false,
         L"already in progress"},
        {"still running at the time-out", SanitizeMethod::Overwrite, {kIdle, Running(0x100)}, {}, 0, kFirmwareFailed,
         true, L"within 600 seconds (time-out)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeAtaDrive drive;
        std::tie(drive.statusScript, drive.sanitize, drive.sanitizeError) = std::tuple(c.status, c.answer, c.windowsError);
        const Outcome out = RunPlan(drive, {c.method, {}, DriveProtocol::Ata, 600});
        EXPECT_EQ(out.record.result, c.result);
        EXPECT_NE(out.record.detail.find(c.detailHas), std::wstring::npos) << Narrow(out.record.detail);
        // The command went out as built, once: the status read, then the sanitize request.
        EXPECT_EQ(drive.sanitizeCommands, c.sent ? 1 : 0);
        EXPECT_TRUE(!c.sent || drive.sent.at(1) == BuildAtaSanitize({c.method}));
        EXPECT_TRUE(!out.record.countsAsPurge || out.progress.back() == 1.0);
    }
}

TEST(DriveSanitizeRunner, ScsiVerdictsFromRequestSense) {
    const auto none = FixedSense(0, 0, 0), running = FixedSense(2, 0x04, 0x1B, 0x8000), failed = FixedSense(3, 0x31, 0x03);
    const struct {
        const char* what; SanitizeMethod method; std::vector<std::optional<std::vector<std::uint8_t>>> sense;
        std::uint8_t status; std::vector<std::uint8_t> autosense; const wchar_t* result; const wchar_t* detailHas;
    } cases[] = {
        {"crypto erase: in progress, then ready", SanitizeMethod::CryptoErase, {none, running, none}, 0, {},
         kFirmwareCompleted, L"REQUEST SENSE: sense key 0, ASC/ASCQ 00h/00h"},
        {"block erase, a unit attention on the way", SanitizeMethod::BlockErase,
         {none, FixedSense(6, 0x29, 0x00), running, none}, 0, {}, kFirmwareCompleted, L"in progress, then completed"},
        {"not supported: ILLEGAL REQUEST", SanitizeMethod::CryptoErase, {none}, 2, FixedSense(5, 0x24, 0x00),
         kFirmwareNotPerformed, L"CHECK CONDITION, sense key 5, ASC/ASCQ 24h/00h"},
        {"in progress, then failed", SanitizeMethod::Overwrite, {none, running, failed}, 0, {}, kFirmwareFailed,
         L"ASC/ASCQ 31h/03h"},
        {"reservation conflict", SanitizeMethod::BlockErase, {none}, 0x18, {}, kFirmwareNotPerformed,
         L"SCSI status 0x18"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeScsiDrive drive;
        std::tie(drive.senseScript, drive.sanitizeStatus, drive.sanitizeSense) = std::tuple(c.sense, c.status, c.autosense);
        const Outcome out = RunPlan(drive, {c.method, {}, DriveProtocol::Scsi, 600});
        EXPECT_EQ(out.record.result, c.result);
        EXPECT_NE(out.record.detail.find(c.detailHas), std::wstring::npos) << Narrow(out.record.detail);
        ASSERT_EQ(drive.sanitizeCommands, 1);
        EXPECT_EQ(drive.sent.at(1), BuildScsiSanitize(c.method));
        EXPECT_TRUE(!out.record.countsAsPurge || out.progress == (std::vector<double>{0.0, 0.5, 1.0}));
    }
}

TEST(DriveSanitizeRunner, TimeOutsFollowTheDrivesEstimates) {
    FirmwareCapabilities caps;
    caps.cryptoEraseSeconds = 100;
    caps.overwriteSeconds = 30000;
    FirmwareCapabilities none;
    const struct { SanitizeMethod method; const FirmwareCapabilities& caps; std::uint64_t capacity; std::uint32_t seconds; } rows[] = {
        {SanitizeMethod::CryptoErase, caps, 0, 600},          // 2 x 100 + 300, raised to ten minutes
        {SanitizeMethod::BlockErase, caps, 0, 7200},          // no estimate
        {SanitizeMethod::Overwrite, caps, 0, 60300},          // 2 x 30000 + 300
        {SanitizeMethod::Overwrite, none, 2'000'000'000'000, 80300},  // 2 TB at 50 MB/s, twice, + 300
        {SanitizeMethod::Overwrite, none, 20'000'000'000'000, 172800},  // capped at two days
        {SanitizeMethod::Overwrite, none, 0, 172800},
    };
    for (const auto& r : rows) EXPECT_EQ(DriveSanitizeTimeoutSeconds(r.method, r.caps, r.capacity), r.seconds);
}

}  // namespace
}  // namespace morvane
