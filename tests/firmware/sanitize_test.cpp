// The firmware sanitize runners through fake transports: NVMe verdicts from the drive's status
// log (the request answered, refused or held until cancelled), SATA and SAS verdicts from fake
// drives (status scripted, the command accepted, aborted or refused), the time-outs from the
// drives' estimates, the applicability table of every protocol, and the real transport
// refusing everything under Wine.
#include <gtest/gtest.h>

#include "firmware/applicability.h"
#include "firmware/discovery.h"
#include "firmware/drive_discovery.h"
#include "firmware/drive_sanitize.h"
#include "firmware/nvme_requests.h"
#include "support/drive_fakes.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using namespace testing;
using Script = std::vector<std::optional<std::vector<std::uint8_t>>>;

const AtaRegs kIdle{};                              // nothing run, nothing recorded
const AtaRegs kDone{0x50, 0, 0x8000, 0xFFFF};       // completed without error
const AtaRegs kFrozen{0x50, 0, 0x2000, 0xFFFF};
AtaRegs Running(std::uint16_t progress) { return {0x50, 0, 0x4000, progress}; }

struct Outcome {
    FirmwareSanitizeRecord record;
    std::vector<double> progress;
    std::vector<std::wstring> log;
};

// Runs `plan`: the request through `command`, the status asked through `status`. An NVMe
// request runs on its own thread, so the clock waits for `nvme`'s answer before moving on.
Outcome RunPlan(DeviceTransport& command, DeviceTransport& status, const SanitizePlan& plan,
                const FakeCommand* nvme = nullptr) {
    Outcome out;
    std::uint64_t now = 0;
    out.record = RunFirmwareSanitize(
        command, status, plan, [&](double f, const std::wstring&) { out.progress.push_back(f); },
        [&](const std::wstring& line) { out.log.push_back(line); }, {nvme ? FakeClock(now, *nvme) : InstantClock(now), 2000});
    // What every run shows: the verdict and method in the record and in the log's result
    // line; only a proven sanitize counts as Purge, and it ends with the bar full.
    const bool counts = out.record.result == std::wstring(kFirmwareCompleted);
    EXPECT_EQ(out.record.countsAsPurge, counts);
    EXPECT_EQ(PurgeLevelNote(out.record).empty(), counts);
    EXPECT_EQ(out.record.method, MethodName(plan.protocol, plan.method));
    EXPECT_EQ(out.log.at(out.log.size() - 2), L"[FIRMWARE SANITIZE] 結果: " + out.record.method + L" - " + out.record.result);
    EXPECT_TRUE(!counts || out.progress.back() == 1.0);
    return out;
}

TEST(SanitizeRunner, VerdictsFromTheDrivesOwnStatusLog) {
    const auto never = StatusAnswer(0x0000, 0), running = StatusAnswer(0x0002, 4, 0x4000);
    const auto cryptoDone = StatusAnswer(0x0101, 4);  // success, Global Data Erased
    std::vector<std::uint8_t> deviceRefused = BuildSanitizeProtocolCommand({SanitizeMethod::CryptoErase}, 7200);
    PutLe(deviceRefused, 16, 2, 4);     // STORAGE_PROTOCOL_STATUS_ERROR
    PutLe(deviceRefused, 20, 0x1D, 4);  // the NVMe status
    const struct {
        const char* what; SanitizePlan plan;
        Script log;  // the read before the request, then each poll
        DWORD error = 0; bool blocks = false; std::vector<std::uint8_t> answer = {}; const wchar_t* result; const wchar_t* detailHas;
    } cases[] = {
        {"crypto: in progress, then success", {SanitizeMethod::CryptoErase}, {never, running, cryptoDone}, 0, false, {},
         kFirmwareCompleted, L"in progress, then completed"},
        {"block: too quick to see running, log changed to our action", {SanitizeMethod::BlockErase},
         {cryptoDone, StatusAnswer(0x0001, 2)}, 0, false, {}, kFirmwareCompleted, L"changed"},
        {"block: log changed, but to another action", {SanitizeMethod::BlockErase},
         {never, cryptoDone}, 0, false, {}, kFirmwareNotConfirmed, L"does not show"},
        {"idle drive still reporting an earlier success", {SanitizeMethod::CryptoErase}, {cryptoDone}, 0, false, {},
         kFirmwareNotConfirmed, L"does not show"},
        {"status log unreadable", {SanitizeMethod::CryptoErase}, {std::nullopt}, 0, false, {}, kFirmwareNotConfirmed,
         L"could not be read"},
        {"Windows refuses the request", {SanitizeMethod::CryptoErase}, {never}, ERROR_INVALID_FUNCTION, false, {},
         kFirmwareNotPerformed, L"Windows error 1 (Incorrect function.)"},
        {"drive reports failure", {SanitizeMethod::CryptoErase}, {never, running, StatusAnswer(0x0003, 4)}, 0, false, {},
         kFirmwareFailed, L"refuse writes until a sanitize succeeds"},
        {"an old failure alone settles nothing; the refusal does", {SanitizeMethod::CryptoErase},
         {StatusAnswer(0x0003, 4)}, ERROR_INVALID_FUNCTION, false, {}, kFirmwareNotPerformed, L"Windows error 1"},
        {"accepted, yet the drive still reports failure", {SanitizeMethod::CryptoErase}, {StatusAnswer(0x0003, 4)}, 0,
         false, {}, kFirmwareFailed, L"reported the sanitize as failed"},
        {"request held past the time-out", {SanitizeMethod::CryptoErase}, {never, running}, 0, true, {}, kFirmwareFailed,
         L"within 7200 seconds (time-out)"},
        {"already sanitizing before the request", {SanitizeMethod::CryptoErase}, {running}, 0, false, {},
         kFirmwareNotPerformed, L"already in progress"},
        {"protocol command refused by the drive", {SanitizeMethod::CryptoErase, SanitizeRoute::ProtocolCommand}, {never},
         0, false, deviceRefused, kFirmwareNotPerformed, L"refused the command: protocol status 2, NVMe status 0x0000001D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedQueries drive(c.log);
        FakeCommand command;
        command.error = c.error;
        command.blocks = c.blocks;
        command.bytes = c.answer;
        const FirmwareSanitizeRecord record = RunPlan(command, drive, c.plan, &command).record;
        EXPECT_EQ(record.result, c.result);
        EXPECT_NE(record.detail.find(c.detailHas), std::wstring::npos) << Narrow(record.detail);
        EXPECT_TRUE(!c.blocks || command.cancelled);
        // What was sent, once the drive was asked: the 16-byte reinitialize request, or the
        // protocol command, with the time-out.
        const bool asked = c.error || !c.answer.empty() || record.result != std::wstring(kFirmwareNotPerformed);
        const bool reinitialize = c.plan.route == SanitizeRoute::ReinitializeMedia;
        EXPECT_EQ(command.sentCode, !asked ? DWORD{0} : reinitialize ? IOCTL_STORAGE_REINITIALIZE_MEDIA : IOCTL_STORAGE_PROTOCOL_COMMAND);
        EXPECT_EQ(command.sent, !asked         ? std::vector<std::uint8_t>{}
                                : reinitialize ? BuildReinitializeMediaRequest(c.plan.method, 7200)
                                               : BuildSanitizeProtocolCommand({c.plan.method}, 7200));
    }
}

TEST(SanitizeRunner, ProgressAndTimeOutFollowTheDrive) {
    // SPROG 0x4000 and 0xC000 of 65536 while running; the crypto-erase estimate of 1000 s
    // gives 2 x 1000 + 300 s, above the ten-minute floor. (The job's test checks the label.)
    ScriptedQueries drive({StatusAnswer(0x0000, 0, 0xFFFF, 1000), StatusAnswer(0x0002, 4, 0x4000),
                           StatusAnswer(0x0002, 4, 0xC000), StatusAnswer(0x0101, 4)});
    FakeCommand command;
    const Outcome out = RunPlan(command, drive, {SanitizeMethod::CryptoErase}, &command);
    EXPECT_EQ(out.record.result, kFirmwareCompleted);
    EXPECT_EQ(out.progress, (std::vector<double>{0.0, 0.25, 0.75, 1.0}));
    EXPECT_EQ(command.sent, BuildReinitializeMediaRequest(SanitizeMethod::CryptoErase, 2300));
    const std::optional<SanitizeStatusLog> quick = ParseSanitizeStatus(StatusAnswer(0, 0, 0xFFFF, 5));
    EXPECT_EQ(SanitizeTimeoutSeconds(SanitizeMethod::CryptoErase, quick), 600u);
    EXPECT_EQ(SanitizeTimeoutSeconds(SanitizeMethod::BlockErase, quick), 7200u);  // no block-erase estimate
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
        drive.statusScript = c.status;
        drive.sanitize = c.answer;
        drive.sanitizeError = c.windowsError;
        const Outcome out = RunPlan(drive, drive, {c.method, {}, DriveProtocol::Ata, 600});
        EXPECT_EQ(out.record.result, c.result);
        EXPECT_NE(out.record.detail.find(c.detailHas), std::wstring::npos) << Narrow(out.record.detail);
        // The command went out as built, once: the status read, then the sanitize request.
        EXPECT_EQ(drive.sanitizeCommands, c.sent ? 1 : 0);
        EXPECT_TRUE(!c.sent || drive.sent.at(1) == BuildAtaSanitize({c.method}));
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
        drive.senseScript = c.sense;
        drive.sanitizeStatus = c.status;
        drive.sanitizeSense = c.autosense;
        const Outcome out = RunPlan(drive, drive, {c.method, {}, DriveProtocol::Scsi, 600});
        EXPECT_EQ(out.record.result, c.result);
        EXPECT_NE(out.record.detail.find(c.detailHas), std::wstring::npos) << Narrow(out.record.detail);
        ASSERT_EQ(drive.sanitizeCommands, 1);
        EXPECT_EQ(drive.sent.at(1), BuildScsiSanitize(c.method));
        EXPECT_TRUE(!out.record.countsAsPurge || out.progress == (std::vector<double>{0.0, 0.5, 1.0}));
    }
}

// The floor, the capacity estimate and the cap (the applicability table has the others).
TEST(DriveSanitizeRunner, TimeOutsFollowTheDrivesEstimates) {
    FirmwareCapabilities caps;
    caps.cryptoEraseSeconds = 100;
    FirmwareCapabilities none;
    const struct { SanitizeMethod method; const FirmwareCapabilities& caps; std::uint64_t capacity; std::uint32_t seconds; } rows[] = {
        {SanitizeMethod::CryptoErase, caps, 0, 600},          // 2 x 100 + 300, raised to ten minutes
        {SanitizeMethod::Overwrite, none, 2'000'000'000'000, 80300},  // 2 TB at 50 MB/s, twice, + 300
        {SanitizeMethod::Overwrite, none, 20'000'000'000'000, 172800},  // capped at two days
        {SanitizeMethod::Overwrite, none, 0, 172800},
    };
    for (const auto& r : rows) EXPECT_EQ(DriveSanitizeTimeoutSeconds(r.method, r.caps, r.capacity), r.seconds);
}

// One table for every protocol: NVMe rows start from a single-namespace NVMe drive with
// crypto and block erase, SATA and SAS rows from a SATA drive with crypto scramble under
// WinPE. `has` is looked for in the reason and the record's detail. What the erase job's
// firmware tables show end to end (another standard, Wine, a frozen drive, SATA refused and
// SAS run outside WinPE) is left to them.
TEST(FirmwareApplicability, DecisionTable) {
    FirmwareFacts nvme;
    nvme.wanted = nvme.realRun = nvme.isNvme = true;
    nvme.controllerMayBeShared = false;
    nvme.capabilities = {true, DriveProtocol::Nvme, true, true, false, true, 0, 1};
    FirmwareFacts sata;
    sata.wanted = sata.realRun = sata.underWinPE = true;
    sata.protocol = DriveProtocol::Ata;
    sata.capabilities.known = sata.capabilities.cryptoErase = true;
    const auto with = [](FirmwareFacts facts, auto change) { return change(facts), facts; };
    const auto sas = [](FirmwareFacts& f) { f.protocol = DriveProtocol::Scsi; };
    const auto nn4 = [](FirmwareFacts& f) { f.capabilities.namespaceLimit = 4; };
    const auto shared = [](FirmwareFacts& f) { f.controllerMayBeShared = true; };
    const std::wstring crypto = L"NVMe Sanitize (Crypto Erase)", scramble = L"ATA Sanitize (Crypto Scramble)";
    const struct {
        const char* what;
        FirmwareFacts facts;
        bool run;
        const wchar_t* result;
        std::wstring method;
        std::uint32_t timeout;  // of a SATA or SAS plan; NVMe sizes its own
        const wchar_t* has;
    } cases[] = {
        {"NVMe crypto offered, single namespace", nvme, true, L"", crypto, 0, L"IOCTL_STORAGE_REINITIALIZE_MEDIA"},
        {"NVMe only block erase", with(nvme, [](auto& f) { f.capabilities.cryptoErase = false; }), true, L"",
         L"NVMe Sanitize (Block Erase)", 0, L"Block Erase"},
        {"NN 1 with another disk on the controller", with(nvme, shared), true, L"", crypto, 0, L"Crypto Erase"},
        {"NN 4, alone on the controller", with(nvme, nn4), true, L"", crypto, 0, L"Crypto Erase"},
        {"NN 4, another disk may share the controller", with(with(nvme, nn4), shared), false, kFirmwareNotPerformed, crypto,
         0, L"NN > 1"},
        {"not NVMe", with(nvme, [](auto& f) { f.isNvme = false; }), false, kFirmwareNotPerformed, L"None", 0, L"neither"},
        {"NVMe overwrite only", with(nvme, [](auto& f) { f.capabilities = {true, DriveProtocol::Nvme, false, false, true}; }),
         false, kFirmwareNotPerformed, L"None", 0, L"neither Crypto Erase nor Block Erase"},
        {"NVMe simulation", with(nvme, [](auto& f) { f.realRun = false; }), false, kFirmwareNotPerformed, crypto, 0,
         L"IOCTL_STORAGE_REINITIALIZE_MEDIA: NVMe Sanitize (Crypto Erase)"},
        {"SATA crypto scramble", sata, true, L"", scramble, 7200, L"IOCTL_ATA_PASS_THROUGH"},
        {"SATA hard disk: overwrite only", with(sata, [](auto& f) {
             f.capabilities.cryptoErase = false;
             f.capabilities.overwrite = true;
             f.capabilities.overwriteSeconds = 21600;  // a 360-minute security erase estimate
         }),
         true, L"", L"ATA Sanitize (Overwrite)", 43500, L"機能 0014h, 1 パス"},
        {"SAS block erase, namespaces do not matter", with(sata, [&](auto& f) {
             sas(f);
             f.capabilities.cryptoErase = false;
             f.capabilities.blockErase = true;
         }),
         true, L"", L"SCSI Sanitize (Block Erase)", 7200, L"サービスアクション 2, IMMED"},
        {"SATA behind a USB bridge", with(sata, [](auto& f) { f.behindUsbBridge = true; }), false, kFirmwareNotPerformed,
         L"None", 0, L"NOT PERFORMED (USB bridge)"},
        {"SATA without sanitize", with(sata, [](auto& f) { f.capabilities.cryptoErase = false; }), false,
         kFirmwareNotPerformed, L"None", 0, L"no sanitize method"},
        {"capabilities unknown", with(sata, [](auto& f) { f.capabilities.known = false; }), false, kFirmwareNotPerformed,
         L"None", 0, L"unknown"},
        {"SATA simulation", with(sata, [](auto& f) { f.realRun = false; }), false, kFirmwareNotPerformed, scramble, 7200,
         L"through IOCTL_ATA_PASS_THROUGH (SANITIZE DEVICE, failure mode 0)"},
    };
    for (const auto& c : cases) {
        const FirmwareDecision d = DecideFirmwareSanitize(c.facts);
        EXPECT_EQ(d.run, c.run) << c.what;
        EXPECT_EQ(d.record.result, c.result) << c.what;
        EXPECT_EQ(d.record.method, c.method) << c.what;
        EXPECT_EQ(d.plan.timeoutSeconds, c.timeout) << c.what;
        EXPECT_EQ(d.record.detail.empty(), c.run) << c.what;
        EXPECT_NE((d.reason + L"|" + d.record.detail).find(c.has), std::wstring::npos) << c.what << ": " << Narrow(d.reason);
        EXPECT_EQ(PurgeLevelNote(d.record).empty(), d.record.result == std::wstring(kFirmwareNotApplicable)) << c.what;
    }
}

TEST(FirmwareTransport, RealTransportRefusesEverythingUnderWine) {
    if (!RunningUnderCompatibilityLayer()) GTEST_SKIP() << "only meaningful under Wine";
    // Never a disk: an invalid handle, which the transport must not even reach.
    HandleTransport real(INVALID_HANDLE_VALUE);
    ASSERT_EQ(real.Ioctl(IOCTL_STORAGE_QUERY_PROPERTY, BuildIdentifyControllerQuery(), 4144).error,
              kRefusedUnderCompatibilityLayer);  // nothing further is sent otherwise
    ASSERT_EQ(real.Ioctl(kIoctlAtaPassThrough, BuildAtaIdentify(), 560).error, kRefusedUnderCompatibilityLayer);
    ASSERT_EQ(real.Ioctl(kIoctlScsiPassThroughDirect, BuildScsiRequestSense(), 400).error, kRefusedUnderCompatibilityLayer);
    SanitizeRunSettings quick;
    quick.pollIntervalMs = 10;
    for (const DriveProtocol protocol : {DriveProtocol::Nvme, DriveProtocol::Ata, DriveProtocol::Scsi}) {
        const FirmwareDiscovery found = DiscoverFirmware(real, protocol);
        EXPECT_EQ(CapabilityText(found.capabilities), L"FW: 不明");
        EXPECT_EQ(found.hidden.state,
                  protocol == DriveProtocol::Ata ? HiddenCapacity::State::Unknown : HiddenCapacity::State::NotApplicable);
        const auto record = RunFirmwareSanitize(real, real, {SanitizeMethod::CryptoErase, {}, protocol, 600}, {}, {}, quick);
        EXPECT_EQ(record.result, kFirmwareNotPerformed);
        EXPECT_NE(record.detail.find(L"Windows error 50 (firmware requests are never sent under a compatibility layer"),
                  std::wstring::npos);
    }
    EXPECT_FALSE(QueryControllerAddress(real));
}

}  // namespace
}  // namespace morvane
