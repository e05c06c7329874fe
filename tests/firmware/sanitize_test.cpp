// The firmware sanitize: the runner's verdicts through fake transports (the drive's
// status log scripted, the request answered, refused or held until cancelled), the
// applicability table, and the real transport refusing everything under Wine.
#include <gtest/gtest.h>

#include "firmware/applicability.h"
#include "firmware/discovery.h"
#include "firmware/nvme_requests.h"
#include "support/firmware_fakes.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

using namespace testing;
using Script = std::vector<std::optional<std::vector<std::uint8_t>>>;

TEST(SanitizeRunner, VerdictsFromTheDrivesOwnStatusLog) {
    const auto never = StatusAnswer(0x0000, 0);
    const auto running = StatusAnswer(0x0002, 4, 0x4000);
    const auto cryptoDone = StatusAnswer(0x0101, 4);  // success, Global Data Erased
    std::vector<std::uint8_t> deviceRefused = BuildSanitizeProtocolCommand({SanitizeMethod::CryptoErase}, 7200);
    PutLe(deviceRefused, 16, 2, 4);  // STORAGE_PROTOCOL_STATUS_ERROR
    const struct {
        const char* what;
        SanitizePlan plan;
        Script log;  // the read before the request, then each poll
        DWORD error = 0;
        bool blocks = false;
        std::vector<std::uint8_t> answer = {};
        const wchar_t* result;
        bool counts;
        const wchar_t* detailHas;
    } cases[] = {
        {"crypto: in progress, then success", {SanitizeMethod::CryptoErase}, {never, running, cryptoDone}, 0, false, {},
         kFirmwareCompleted, true, L"in progress, then completed"},
        {"block: too quick to see running, log changed to our action", {SanitizeMethod::BlockErase},
         {cryptoDone, StatusAnswer(0x0001, 2)}, 0, false, {}, kFirmwareCompleted, true, L"changed"},
        {"block: log changed, but to another action", {SanitizeMethod::BlockErase},
         {never, cryptoDone}, 0, false, {}, kFirmwareNotConfirmed, false, L"does not show"},
        {"idle drive still reporting an earlier success", {SanitizeMethod::CryptoErase}, {cryptoDone}, 0, false, {},
         kFirmwareNotConfirmed, false, L"does not show"},
        {"status log unreadable", {SanitizeMethod::CryptoErase}, {std::nullopt}, 0, false, {}, kFirmwareNotConfirmed,
         false, L"could not be read"},
        {"Windows refuses the request", {SanitizeMethod::CryptoErase}, {never}, ERROR_INVALID_FUNCTION, false, {},
         kFirmwareNotPerformed, false, L"Windows error 1 (Incorrect function.)"},
        {"drive reports failure", {SanitizeMethod::CryptoErase}, {never, running, StatusAnswer(0x0003, 4)}, 0, false, {},
         kFirmwareFailed, false, L"refuse writes until a sanitize succeeds"},
        {"an old failure alone settles nothing; the refusal does", {SanitizeMethod::CryptoErase},
         {StatusAnswer(0x0003, 4)}, ERROR_INVALID_FUNCTION, false, {}, kFirmwareNotPerformed, false, L"Windows error 1"},
        {"accepted, yet the drive still reports failure", {SanitizeMethod::CryptoErase}, {StatusAnswer(0x0003, 4)}, 0,
         false, {}, kFirmwareFailed, false, L"reported the sanitize as failed"},
        {"request held past the time-out", {SanitizeMethod::CryptoErase}, {never, running}, 0, true, {}, kFirmwareFailed,
         false, L"within 7200 seconds (time-out)"},
        {"already sanitizing before the request", {SanitizeMethod::CryptoErase}, {running}, 0, false, {},
         kFirmwareNotPerformed, false, L"already in progress"},
        {"protocol command refused by the drive", {SanitizeMethod::CryptoErase, SanitizeRoute::ProtocolCommand}, {never},
         0, false, deviceRefused, kFirmwareNotPerformed, false, L"the drive refused the command: protocol status 2"},
    };
    for (const auto& c : cases) {
        ScriptedQueries drive(c.log);
        FakeCommand command;
        command.error = c.error;
        command.blocks = c.blocks;
        command.bytes = c.answer;
        std::uint64_t now = 0;
        std::vector<double> progress;
        std::vector<std::wstring> lines;
        const FirmwareSanitizeRecord record = RunNvmeSanitize(
            command, drive, c.plan, [&](double f, const std::wstring&) { progress.push_back(f); },
            [&](const std::wstring& line) { lines.push_back(line); }, {FakeClock(now, command), 2000});
        EXPECT_EQ(record.result, c.result) << c.what;
        EXPECT_EQ(record.countsAsPurge, c.counts) << c.what;
        EXPECT_EQ(PurgeLevelNote(record).empty(), c.counts) << c.what;
        EXPECT_NE(record.detail.find(c.detailHas), std::wstring::npos) << c.what << ": " << Narrow(record.detail);
        EXPECT_EQ(record.method, MethodName(DriveProtocol::Nvme, c.plan.method)) << c.what;
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ(lines[lines.size() - 2], L"[FIRMWARE SANITIZE] 結果: " + record.method + L" - " + record.result);
        if (c.counts) {
            EXPECT_EQ(progress.back(), 1.0) << c.what;
        }
        if (c.blocks) {
            EXPECT_TRUE(command.cancelled) << c.what;
        }
        if (record.result == std::wstring(kFirmwareNotPerformed) && c.error == 0 && c.answer.empty()) {
            EXPECT_EQ(command.calls.load(), 0) << c.what;  // nothing was sent
            continue;
        }
        // What was sent: the 16-byte reinitialize request, or the protocol command, with the time-out.
        if (c.plan.route == SanitizeRoute::ReinitializeMedia) {
            EXPECT_EQ(command.sentCode, IOCTL_STORAGE_REINITIALIZE_MEDIA) << c.what;
            EXPECT_EQ(command.sent, BuildReinitializeMediaRequest(c.plan.method, 7200)) << c.what;
        } else {
            EXPECT_EQ(command.sentCode, IOCTL_STORAGE_PROTOCOL_COMMAND) << c.what;
            EXPECT_EQ(command.sent, BuildSanitizeProtocolCommand({c.plan.method}, 7200)) << c.what;
        }
    }
}

TEST(SanitizeRunner, ProgressAndTimeOutFollowTheDrive) {
    // SPROG 0x4000 and 0xC000 of 65536 while running; the crypto-erase estimate of 1000 s
    // gives 2 x 1000 + 300 s, above the ten-minute floor.
    ScriptedQueries drive({StatusAnswer(0x0000, 0, 0xFFFF, 1000), StatusAnswer(0x0002, 4, 0x4000),
                           StatusAnswer(0x0002, 4, 0xC000), StatusAnswer(0x0101, 4)});
    FakeCommand command;
    std::uint64_t now = 0;
    std::vector<double> progress;
    std::wstring label;
    const auto record = RunNvmeSanitize(
        command, drive, {SanitizeMethod::CryptoErase},
        [&](double f, const std::wstring& l) { progress.push_back(f), label = l; }, {}, {FakeClock(now, command), 2000});
    EXPECT_EQ(record.result, kFirmwareCompleted);
    EXPECT_EQ(progress, (std::vector<double>{0.0, 0.25, 0.75, 1.0}));
    EXPECT_EQ(label, L"[ファームウェア消去] NVMe Sanitize (Crypto Erase)");
    EXPECT_EQ(command.sent, BuildReinitializeMediaRequest(SanitizeMethod::CryptoErase, 2300));
    const std::optional<SanitizeStatusLog> quick = ParseSanitizeStatus(StatusAnswer(0, 0, 0xFFFF, 5));
    EXPECT_EQ(SanitizeTimeoutSeconds(SanitizeMethod::CryptoErase, quick), 600u);
    EXPECT_EQ(SanitizeTimeoutSeconds(SanitizeMethod::BlockErase, quick), 7200u);  // no block-erase estimate
}

TEST(FirmwareApplicability, DecisionTable) {
    FirmwareFacts base;
    base.wanted = base.realRun = base.isNvme = true;
    base.controllerMayBeShared = false;
    base.capabilities = {true, DriveProtocol::Nvme, true, true, false, true, 0, 1};
    const auto with = [&](auto change) {
        FirmwareFacts facts = base;
        change(facts);
        return facts;
    };
    const std::wstring crypto = L"NVMe Sanitize (Crypto Erase)";
    const struct {
        const char* what;
        FirmwareFacts facts;
        bool run;
        const wchar_t* result;
        std::wstring method;
    } cases[] = {
        {"crypto offered, single namespace", base, true, L"", crypto},
        {"only block erase", with([](auto& f) { f.capabilities.cryptoErase = false; }), true, L"",
         L"NVMe Sanitize (Block Erase)"},
        {"NN 1 with another disk on the controller", with([](auto& f) { f.controllerMayBeShared = true; }), true, L"",
         crypto},
        {"NN 4, alone on the controller", with([](auto& f) { f.capabilities.namespaceLimit = 4; }), true, L"", crypto},
        {"NN 4, another disk may share the controller", with([](auto& f) {
             f.capabilities.namespaceLimit = 4;
             f.controllerMayBeShared = true;
         }),
         false, kFirmwareNotPerformed, crypto},
        {"another standard", with([](auto& f) { f.wanted = false; }), false, kFirmwareNotApplicable, L"None"},
        {"compatibility layer", with([](auto& f) { f.compatibilityLayer = true; }), false, kFirmwareNotPerformed, L"None"},
        {"not NVMe", with([](auto& f) { f.isNvme = false; }), false, kFirmwareNotPerformed, L"None"},
        {"USB bridge", with([](auto& f) { f.behindUsbBridge = true; }), false, kFirmwareNotPerformed, L"None"},
        {"capabilities unknown", with([](auto& f) { f.capabilities.known = false; }), false, kFirmwareNotPerformed, L"None"},
        {"overwrite only", with([](auto& f) { f.capabilities = {true, DriveProtocol::Nvme, false, false, true}; }), false,
         kFirmwareNotPerformed, L"None"},
        {"simulation", with([](auto& f) { f.realRun = false; }), false, kFirmwareNotPerformed, crypto},
    };
    for (const auto& c : cases) {
        const FirmwareDecision d = DecideFirmwareSanitize(c.facts);
        EXPECT_EQ(d.run, c.run) << c.what;
        EXPECT_EQ(d.record.result, c.result) << c.what;
        EXPECT_EQ(d.record.method, c.method) << c.what;
        EXPECT_FALSE(d.reason.empty()) << c.what;
        EXPECT_EQ(d.record.detail.empty(), c.run) << c.what;
        EXPECT_EQ(PurgeLevelNote(d.record).empty(), d.record.result == std::wstring(kFirmwareNotApplicable)) << c.what;
    }
    // The dry run says what a real run would ask of the drive.
    const FirmwareDecision dry = DecideFirmwareSanitize(with([](auto& f) { f.realRun = false; }));
    EXPECT_EQ(dry.plan.method, SanitizeMethod::CryptoErase);
    EXPECT_NE(dry.reason.find(L"IOCTL_STORAGE_REINITIALIZE_MEDIA: NVMe Sanitize (Crypto Erase)"), std::wstring::npos);
}

TEST(FirmwareTransport, RealTransportRefusesEverythingUnderWine) {
    if (!RunningUnderCompatibilityLayer()) GTEST_SKIP() << "only meaningful under Wine";
    // Never a disk: an invalid handle, which the transport must not even reach.
    HandleTransport real(INVALID_HANDLE_VALUE);
    const IoctlAnswer answer = real.Ioctl(IOCTL_STORAGE_QUERY_PROPERTY, BuildIdentifyControllerQuery(), 4144);
    ASSERT_EQ(answer.error, kRefusedUnderCompatibilityLayer);  // nothing further is sent otherwise
    EXPECT_EQ(CapabilityText(DiscoverNvme(real).capabilities), L"FW: 不明");
    HandleTransport status(INVALID_HANDLE_VALUE);
    SanitizeRunSettings quick;
    quick.pollIntervalMs = 10;
    const auto record = RunNvmeSanitize(real, status, {SanitizeMethod::CryptoErase}, {}, {}, quick);
    EXPECT_EQ(record.result, kFirmwareNotPerformed);
    EXPECT_NE(record.detail.find(L"Windows error 50 (firmware requests are never sent under a compatibility layer"),
              std::wstring::npos);
    EXPECT_FALSE(QueryControllerAddress(real));
}

}  // namespace
}  // namespace morvane
