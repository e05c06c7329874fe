// The erase job's firmware step on an image-file "disk" with fake transports: what each
// outcome does to the job and what its evidence says, the dry run, other standards, and
// an abort while the drive sanitizes. No request ever reaches a device.
#include <gtest/gtest.h>

#include "common/text.h"
#include "disk/safety.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "job/erase_job.h"
#include "support/engine_disk.h"
#include "support/firmware_fakes.h"

namespace morvane {
namespace {

using namespace testing;
using Script = std::vector<std::optional<std::vector<std::uint8_t>>>;
constexpr std::uint64_t kMiB = 1048576;

std::string FileText(const std::wstring& path) { const auto bytes = ReadFileBytes(path); return {bytes.begin(), bytes.end()}; }

// The guarded handle's end: discovery's property queries answered from a script, the
// sanitize request by the command fake.
class GuardedEnd final : public DeviceTransport {
public:
    GuardedEnd(Script discovery, FakeCommand& command) : queries_(std::move(discovery)), command_(command) {}
    IoctlAnswer Ioctl(DWORD code, std::span<const std::uint8_t> in, std::size_t out) override {
        return code == IOCTL_STORAGE_QUERY_PROPERTY ? queries_.Ioctl(code, in, out) : command_.Ioctl(code, in, out);
    }
    void CancelPending() override { command_.CancelPending(); }

private:
    ScriptedQueries queries_;
    FakeCommand& command_;
};

class FirmwareJobTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring image = dir.file(L"disk.img"), certs = dir.file(L"certs");
    std::vector<std::wstring> logs;
    std::vector<EraseProgressInfo> progress;
    FakeCommand command;
    Script identify = {IdentifyAnswer(0x0002, 0x3, 1), StatusAnswer(0x0000, 0)};  // crypto and block, NN 1
    Script status;
    std::uint64_t now = 0;
    int links = 0;
    EraseJobEdges edges;

    void SetUp() override {
        edges.lockVolumes = [](int, const LogCallback&) { return LockedVolumes{}; };
        edges.environment = [] { return SafetyEnvironment{false, {{0}, true}, -1, {}}; };  // Windows on disk 0
        edges.collectHardware = [](const DiskInfo&) { return HardwareProfile{}; };
        edges.firmware.compatibilityLayer = [] { return false; };
        edges.firmware.open = [this](HANDLE guarded, const std::wstring& path) {
            EXPECT_TRUE(guarded != INVALID_HANDLE_VALUE && path == image);
            ++links;
            return FirmwareLink{std::make_shared<GuardedEnd>(identify, command), std::make_shared<ScriptedQueries>(status),
                                {FakeClock(now, command), 2000}};
        };
    }
    // A zeroed image recorded as an NVMe drive alone on its controller, internal disk 31, unlocked.
    EraseJob NvmeJob(std::uint32_t standard, ExecMode mode = ExecMode::RealHardwareWrite) {
        EXPECT_TRUE(CreateImageFile(image, 4 * kMiB));
        EraseJob job;
        job.disk.index = 31, job.disk.devicePath = image, job.disk.model = L"Generic Physical Disk", job.disk.serialNumber = L"N/A";
        job.disk.sizeBytes = 4 * kMiB, job.disk.mediaKind = MediaNvmeSsd, job.disk.busKind = BusNvme, job.disk.safety = Erasable;
        job.disk.firmware.known = job.disk.firmware.cryptoErase = job.disk.firmware.blockErase = true;
        job.disk.firmware.namespaceLimit = 1;
        job.disk.controllerMayBeShared = false;
        job.unlockInternal = 1;
        job.standard = standard;
        job.execMode = mode;
        job.outputFolder = certs;
        return job;
    }
    EraseResult Run(const EraseJob& job, CancelFlag* cancel = nullptr) {
        return RunEraseJob(job, false, cancel, [&](const EraseProgressInfo& p) { progress.push_back(p); }, LogInto(logs), edges);
    }
};

// Each outcome as the job takes it and as its three evidence files state it: the line right
// after the verification level, the row right after the verification row, the JSON member.
TEST_F(FirmwareJobTest, RealPurgeOutcomesAndTheirEvidence) {
    const auto never = StatusAnswer(0x0000, 0), running = StatusAnswer(0x0002, 4, 0x4000);
    const std::wstring crypto = L"NVMe Sanitize (Crypto Erase)", clear = L"reached the NIST SP 800-88 Clear level";
    const struct {
        const char* what; Script status; DWORD refusal; JobStatus job; const wchar_t* result; const wchar_t* detailHas;
    } cases[] = {
        {"in progress, then success", {never, running, StatusAnswer(0x0101, 4)}, 0, JobStatus::Completed, kFirmwareCompleted,
         L"in progress, then completed"},
        {"status log unreadable", {std::nullopt}, 0, JobStatus::Completed, kFirmwareNotConfirmed, L"could not be read"},
        {"Windows refuses", {never}, ERROR_INVALID_FUNCTION, JobStatus::Completed, kFirmwareNotPerformed, L"Windows error 1"},
        {"drive reports failure", {never, running, StatusAnswer(0x0003, 4)}, 0, JobStatus::Failed, kFirmwareFailed,
         L"refuse writes until a sanitize succeeds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        status = c.status;
        command.error = c.refusal, command.sentCode = 0;
        logs.clear(), progress.clear();
        const EraseResult r = Run(NvmeJob(NistPurge));
        EXPECT_EQ(r.status, c.job);
        EXPECT_EQ(r.firmware.method, crypto);
        EXPECT_EQ(r.firmware.result, c.result);
        EXPECT_NE(r.firmware.detail.find(c.detailHas), std::wstring::npos) << Narrow(r.firmware.detail);
        EXPECT_NE(r.firmware.detail.find(L"Drive capabilities (NVMe Sanitize: Crypto Erase, Block Erase;"), std::wstring::npos);
        EXPECT_EQ(command.sentCode, static_cast<DWORD>(IOCTL_STORAGE_REINITIALIZE_MEDIA));
        // Only a proven sanitize leaves the Purge level standing; a failed one ends the job
        // before any pass, TRIM or stamp, and claims no level at all.
        const bool failed = c.job == JobStatus::Failed, counted = std::wstring(c.result) == kFirmwareCompleted;
        EXPECT_EQ(r.firmware.detail.find(clear) != std::wstring::npos, !failed && !counted);
        EXPECT_EQ(r.passesCompleted, failed ? 0u : 2u);
        EXPECT_EQ(r.verificationResult.starts_with(L"PASSED"), !failed) << Narrow(r.verificationResult);
        if (failed) {
            EXPECT_TRUE(r.verificationResult == kVerdictFirmwareSanitizeFailed && r.diskStampStatus == kDiskNotStamped);
            EXPECT_NE(r.message.find(L"書き込みを拒否する場合があります"), std::wstring::npos);
            EXPECT_TRUE(!Logged(logs, L"[HARDWARE WRITE]") && !Logged(logs, L"TRIM") && AllBytesAre(ReadFileBytes(image), 0, 4 * kMiB));
        }
        // The drive's progress drives the pass bar under the method's label.
        const auto firmwareProgress = std::count_if(progress.begin(), progress.end(), [&](const EraseProgressInfo& p) {
            return p.phase == kPhaseFirmwareSanitize && p.label == L"[ファームウェア消去] " + crypto;
        });
        EXPECT_GE(firmwareProgress, 1);
        EXPECT_EQ(counted, std::any_of(progress.begin(), progress.end(), [](const EraseProgressInfo& p) {
                      return p.phase == kPhaseFirmwareSanitize && p.passPercent == 100;
                  }));
        const std::string line = WideToUtf8(L"  Firmware Sanitize  : " + crypto + L" - " + c.result + L"\r\n");
        const std::string log = FileText(r.auditLogPath), html = FileText(r.htmlPath), json = FileText(r.jsonPath);
        EXPECT_NE(log.find(")\r\n" + line + "  Hidden Capacity    : NOT APPLICABLE\r\n  Signer Certificate : "),
                  std::string::npos) << log;
        EXPECT_NE(log.find(WideToUtf8(L"\r\n  Detail             : " + r.firmware.detail + L"\r\n")), std::string::npos);
        EXPECT_NE(html.find(WideToUtf8(L"</strong></td></tr>\n      <tr><th>Firmware sanitize (ファームウェア消去)</th><td><strong>" +
                                       crypto + L" - " + c.result + L"</strong> (")),
                  std::string::npos);
        EXPECT_NE(json.find(WideToUtf8(L"\",\n    \"firmwareSanitize\": {\n      \"method\": \"" + crypto +
                                       L"\",\n      \"result\": \"" + c.result + L"\",\n      \"detail\": \"")),
                  std::string::npos);
    }
}

// No request is sent when the decision says no: a dry run logs the one a real run would
// send; other standards, Wine and a shared controller (as the drive reports NN now)
// refuse. Only a real Purge run asks the drive anything.
TEST_F(FirmwareJobTest, DecisionsThatSendNothing) {
    const struct {
        const char* what; std::uint32_t standard; ExecMode mode; bool wine, shared; const wchar_t* result; const wchar_t* detail;
    } cases[] = {
        {"dry run", NistPurge, ExecMode::SimulationDryRun, false, false, kFirmwareNotPerformed, L"Simulation: a real run would ask"},
        {"other standard", Dod3Pass, ExecMode::RealHardwareWrite, false, false, kFirmwareNotApplicable, L"Only the NIST"},
        {"shared controller", NistPurge, ExecMode::RealHardwareWrite, false, true, kFirmwareNotPerformed, L"every namespace"},
        {"compatibility layer", NistPurge, ExecMode::SimulationDryRun, true, false, kFirmwareNotPerformed, L"(Wine)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        edges.firmware.compatibilityLayer = [&c] { return c.wine; };
        EraseJob job = NvmeJob(c.standard, c.mode);
        job.disk.controllerMayBeShared = c.shared;
        identify[0] = IdentifyAnswer(0x0002, 0x3, c.shared ? 2 : 1);
        logs.clear(), links = 0;
        const EraseResult r = Run(job);
        const bool realPurge = c.mode == ExecMode::RealHardwareWrite && c.standard == NistPurge;
        EXPECT_EQ(r.status, JobStatus::Completed);
        EXPECT_EQ(r.firmware.result, c.result);
        EXPECT_NE(r.firmware.detail.find(c.detail), std::wstring::npos) << Narrow(r.firmware.detail);
        EXPECT_TRUE(links == (realPurge ? 1 : 0) && command.calls == 0) << "no request was sent";
        EXPECT_EQ(Logged(logs, L"[FIRMWARE SANITIZE] [シミュレーション] 実機実行ではドライブへ次を要求します: "
                               L"IOCTL_STORAGE_REINITIALIZE_MEDIA: NVMe Sanitize (Crypto Erase), 制限付き終了"),
                  std::string(c.what) == "dry run");
        EXPECT_EQ(r.firmware.detail.find(L"Clear level") != std::wstring::npos, realPurge);
    }
}

// Abort pressed while the drive sanitizes: the sanitize runs to its verdict, then the job
// ends without a pass.
TEST_F(FirmwareJobTest, AbortDuringTheSanitizeEndsTheJobAfterIt) {
    status = {StatusAnswer(0x0000, 0), StatusAnswer(0x0002, 4, 0x4000), StatusAnswer(0x0101, 4)};
    CancelFlag cancel{0};
    const EraseResult r = RunEraseJob(NvmeJob(NistPurge), false, &cancel, [&](const EraseProgressInfo& p) {
        if (p.phase == kPhaseFirmwareSanitize) cancel = 1;
    }, LogInto(logs), edges);
    EXPECT_EQ(r.firmware.result, kFirmwareCompleted);
    EXPECT_TRUE(r.status == JobStatus::Cancelled && r.passesCompleted == 0 && r.verificationResult == kVerdictCancelledByUser);
}

}  // namespace
}  // namespace morvane
