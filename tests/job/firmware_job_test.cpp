// The erase job's firmware step on an image-file "disk" with fake drives behind the transport
// seam: NVMe outcomes, the decisions that send nothing and an abort while the drive sanitizes;
// SATA and SAS drives sanitized, refused outside WinPE, frozen, behind a USB bridge, with a
// hidden area (HPA) left or covered by the drive's own sanitize; each as the confirmation box
// names it and the evidence records it. No request ever reaches a device.
#include <gtest/gtest.h>

#include "common/text.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "evidence/html_certificate.h"
#include "evidence/text_reports.h"
#include "job/erase_job_fixture.h"
#include "support/drive_fakes.h"

namespace morvane {
namespace {

using namespace testing;
using Script = std::vector<std::optional<std::vector<std::uint8_t>>>;
constexpr std::uint64_t kHddAddressable = 3907027055, kSsdAddressable = 1000215216;
const AtaRegs kIdle{}, kDone{0x50, 0, 0x8000, 0xFFFF}, kFrozen{0x50, 0, 0x2000, 0xFFFF};
const AtaRegs kRunning{0x50, 0, 0x4000, 0x8000};

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

class FirmwareJobTest : public EraseJobTest {
protected:
    FakeCommand command;
    Script identify = {IdentifyAnswer(0x0002, 0x3, 1), StatusAnswer(0x0000, 0)};  // crypto and block, NN 1
    Script status;
    std::shared_ptr<DeviceTransport> drive;  // a SATA or SAS drive; none: NVMe, answered from the scripts
    std::uint64_t now = 0;
    int links = 0;

    void SetUp() override {
        EraseJobTest::SetUp();
        edges.firmware.compatibilityLayer = [] { return false; };
        edges.firmware.open = [this](HANDLE guarded, const std::wstring& path) {
            EXPECT_TRUE(guarded != INVALID_HANDLE_VALUE && path == image);
            ++links;
            if (drive) return FirmwareLink{drive, nullptr, {InstantClock(now), 2000}};  // no second handle for SATA or SAS
            return FirmwareLink{std::make_shared<GuardedEnd>(identify, command), std::make_shared<ScriptedQueries>(status),
                                {FakeClock(now, command), 2000}};
        };
    }
    // The image recorded as an NVMe drive alone on its controller.
    EraseJob NvmeJob(std::uint32_t standard, ExecMode mode = ExecMode::RealHardwareWrite) {
        EraseJob job = ImageJob(standard);
        job.execMode = mode;
        job.disk.mediaKind = MediaNvmeSsd;
        job.disk.busKind = BusNvme;
        job.disk.firmware.known = job.disk.firmware.cryptoErase = job.disk.firmware.blockErase = true;
        job.disk.firmware.namespaceLimit = 1;
        job.disk.controllerMayBeShared = false;
        return job;
    }
};

// The evidence of the firmware step: its line right after the verification level, the
// hidden-capacity line after it and their details in that order, the rows right after the
// verification row, and the JSON members in the same order.
void ExpectFirmwareEvidence(const EraseResult& r, const std::wstring& hidden) {
    const FirmwareSanitizeRecord& f = r.firmware;
    const HiddenCapacityRecord& h = r.hiddenCapacity;
    EXPECT_EQ(HiddenCapacitySummary(h), hidden) << Narrow(h.detail);
    const std::string log = ReadText(r.auditLogPath), html = ReadText(r.htmlPath), json = ReadText(r.jsonPath);
    EXPECT_NE(log.find(WideToUtf8(L")\r\n  Firmware Sanitize  : " + f.method + L" - " + f.result +
                                  L"\r\n  Hidden Capacity    : " + hidden + L"\r\n  Signer Certificate : ")),
              std::string::npos) << log;
    EXPECT_NE(log.find(WideToUtf8(L"\r\n  Detail             : " + f.detail + L"\r\n  Hidden Area Detail : " + h.detail +
                                  L"\r\n")), std::string::npos) << log;
    EXPECT_NE(html.find(WideToUtf8(L"</strong></td></tr>\n      <tr><th>Firmware sanitize (ファームウェア消去)</th><td><strong>" +
                                   f.method + L" - " + f.result + L"</strong> (" + EscapeHtml(f.detail) +
                                   L")</td></tr>\n      <tr><th>Hidden capacity (隠し領域 HPA/DCO)</th><td><strong>" + hidden +
                                   L"</strong> (")), std::string::npos) << html;
    EXPECT_NE(json.find(WideToUtf8(L"\",\n    \"firmwareSanitize\": {\n      \"method\": \"" + f.method +
                                   L"\",\n      \"result\": \"" + f.result + L"\",\n      \"detail\": \"" + EscapeJson(f.detail) +
                                   L"\"\n    },\n    \"hiddenCapacity\": {\n      \"result\": \"" + h.result +
                                   L"\",\n      \"hiddenSectors\": " + std::to_wstring(h.hiddenSectors) +
                                   L",\n      \"coveredByFirmware\": " + (h.coveredByFirmware ? L"true" : L"false") +
                                   L",\n      \"detail\": \"")), std::string::npos) << json;
}

// Each NVMe outcome as the job takes it and as its evidence states it.
TEST_F(FirmwareJobTest, RealPurgeOutcomesAndTheirEvidence) {
    const auto never = StatusAnswer(0x0000, 0), running = StatusAnswer(0x0002, 4, 0x4000);
    const std::wstring crypto = L"NVMe Sanitize (Crypto Erase)", clear = L"reached the NIST SP 800-88 Clear level";
    const struct {
        const char* what; Script status; DWORD refusal; JobStatus job; const wchar_t* result; const wchar_t* detailHas;
    } cases[] = {
        {"in progress, then success", {never, running, StatusAnswer(0x0101, 4)}, 0, JobStatus::Completed, kFirmwareCompleted,
         L"in progress, then completed"},
        {"Windows refuses", {never}, ERROR_INVALID_FUNCTION, JobStatus::Completed, kFirmwareNotPerformed, L"Windows error 1"},
        {"drive reports failure", {never, running, StatusAnswer(0x0003, 4)}, 0, JobStatus::Failed, kFirmwareFailed,
         L"refuse writes until a sanitize succeeds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        status = c.status;
        command.error = c.refusal, command.sentCode = 0;
        std::vector<EraseProgressInfo> progress;
        const EraseResult r = Run(NvmeJob(NistPurge), nullptr, [&](const EraseProgressInfo& p) { progress.push_back(p); });
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
            EXPECT_TRUE(!Logged(L"[HARDWARE WRITE]") && !Logged(L"TRIM") && AllBytesAre(ReadFileBytes(image), 0, 4 * kMiB));
        }
        // The drive's progress drives the pass bar under the method's label.
        const auto firmwareProgress = std::count_if(progress.begin(), progress.end(), [&](const EraseProgressInfo& p) {
            return p.phase == kPhaseFirmwareSanitize && p.label == L"[ファームウェア消去] " + crypto;
        });
        EXPECT_GE(firmwareProgress, 1);
        EXPECT_EQ(counted, std::any_of(progress.begin(), progress.end(), [](const EraseProgressInfo& p) {
                      return p.phase == kPhaseFirmwareSanitize && p.passPercent == 100;
                  }));
        ExpectFirmwareEvidence(r, L"NOT APPLICABLE");
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
        links = 0;
        const EraseResult r = Run(job);
        const bool realPurge = c.mode == ExecMode::RealHardwareWrite && c.standard == NistPurge;
        EXPECT_EQ(r.status, JobStatus::Completed);
        EXPECT_EQ(r.firmware.result, c.result);
        EXPECT_NE(r.firmware.detail.find(c.detail), std::wstring::npos) << Narrow(r.firmware.detail);
        EXPECT_TRUE(links == (realPurge ? 1 : 0) && command.calls == 0) << "no request was sent";
        EXPECT_EQ(Logged(L"[FIRMWARE SANITIZE] [シミュレーション] 実機実行ではドライブへ次を要求します: "
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
    const EraseResult r = Run(NvmeJob(NistPurge), &cancel, [&](const EraseProgressInfo& p) {
        if (p.phase == kPhaseFirmwareSanitize) cancel = 1;
    });
    EXPECT_EQ(r.firmware.result, kFirmwareCompleted);
    EXPECT_TRUE(r.status == JobStatus::Cancelled && r.passesCompleted == 0 && r.verificationResult == kVerdictCancelledByUser);
}

TEST_F(FirmwareJobTest, SataAndSasOutcomesHiddenCapacityAndTheirEvidence) {
    const std::vector<std::uint8_t> ssd = ReadSector(FirmwareFixtures() / L"identify_ssd.txt");
    const std::vector<std::uint8_t> hdd = ReadSector(FirmwareFixtures() / L"identify_hdd.txt");
    ASSERT_EQ(ssd.size(), 512u) << "fixtures missing beside the test executable";
    const auto none = FixedSense(0, 0, 0), running = FixedSense(2, 0x04, 0x1B, 0x8000);
    const struct {
        const char* what;
        std::uint32_t bus, standard;
        bool winPE;
        const std::vector<std::uint8_t>* identify;  // SATA; nullptr: SAS or USB
        std::uint64_t nativeMax;
        std::vector<std::optional<AtaRegs>> status;  // SATA: discovery's read, the runner's, then each poll
        std::vector<std::optional<std::vector<std::uint8_t>>> sense;  // SAS: the same by REQUEST SENSE
        bool sent;
        const wchar_t *method, *result, *detailHas, *hidden, *safetyHas, *confirmationHas;
    } cases[] = {
        {"SATA crypto scramble under WinPE", BusSata, NistPurge, true, &ssd, kSsdAddressable - 1,
         {kIdle, kIdle, kRunning, kDone}, {}, true, L"ATA Sanitize (Crypto Scramble)", kFirmwareCompleted,
         L"in progress, then completed", L"NONE", nullptr, L"ATA Sanitize (Crypto Scramble) (ドライブ自身の消去は"},
        {"SATA on an installed system: refused, the overwrite goes on", BusSata, NistPurge, false, &ssd,
         kSsdAddressable - 1, {kIdle}, {}, false, L"None", kFirmwareNotPerformed, L"only under WinPE", L"NONE", nullptr,
         L"実行しません — Windows は ATA の Sanitize コマンドを WinPE 上でのみ"},
        {"SAS block erase on an installed system", BusScsiSas, NistPurge, false, nullptr, 0, {},
         {none, none, running, none}, true, L"SCSI Sanitize (Block Erase)", kFirmwareCompleted,
         L"in progress, then completed", L"NOT APPLICABLE", nullptr, L"消去開始時にドライブへ確認し"},
        {"SATA drive frozen", BusSata, NistPurge, true, &ssd, kSsdAddressable - 1, {kFrozen}, {}, false, L"None",
         kFirmwareNotPerformed, L"under WinPE only re-plugging helps", L"NONE", L"抜き差しのみ有効です",
         L"ATA Sanitize (Crypto Scramble)"},
        {"behind a USB bridge", BusUsb, NistPurge, true, nullptr, 0, {}, {}, false, L"None", kFirmwareNotPerformed,
         L"NOT PERFORMED (USB bridge)", L"UNKNOWN", nullptr, L"USB ブリッジ経由"},
        {"HPA, overwrite only", BusSata, Dod3Pass, false, &hdd, kHddAddressable + 2112, {kIdle}, {}, false, L"None",
         kFirmwareNotApplicable, L"Only the NIST", L"PRESENT - 2113 sectors not overwritten", L"2113 セクタ (1.0 MiB)",
         L"この消去規格では"},
        {"HPA covered by the drive's own overwrite", BusSata, NistPurge, true, &hdd, kHddAddressable + 2112,
         {kIdle, kIdle, kRunning, kDone}, {}, true, L"ATA Sanitize (Overwrite)", kFirmwareCompleted, L"completed",
         L"PRESENT - 2113 sectors erased by the firmware sanitize", L"2113 セクタ", L"ATA Sanitize (Overwrite) ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto sata = std::make_shared<FakeAtaDrive>();
        auto sas = std::make_shared<FakeScsiDrive>();
        if (c.identify) sata->identify = *c.identify;
        sata->nativeMax = c.nativeMax;
        sata->statusScript = c.status.empty() ? sata->statusScript : c.status;
        sas->support = {{3, 1}, {2, 3}, {1, 1}};  // SANITIZE service actions: only block erase (2) offered
        if (!c.sense.empty()) sas->senseScript = c.sense;
        drive = c.bus == BusScsiSas ? std::shared_ptr<DeviceTransport>(sas) : sata;
        links = 0;
        EraseJob job = ImageJob(c.standard);
        job.disk.mediaKind = MediaSsd;
        job.disk.busKind = c.bus;
        if (c.identify) job.disk.firmware = AtaCapabilities(*ParseAtaIdentify(*c.identify));  // SAS: the scan cannot ask
        EXPECT_NE(FirmwareConfirmationText(PlanFirmwareStep(job, false, c.winPE)).find(c.confirmationHas),
                  std::wstring::npos) << Narrow(FirmwareConfirmationText(PlanFirmwareStep(job, false, c.winPE)));
        const EraseResult r = Run(job, nullptr, nullptr, c.winPE);
        EXPECT_EQ(r.status, JobStatus::Completed);
        EXPECT_EQ(r.passesCompleted, r.passesPlanned) << "the overwrite plan follows whatever the drive did";
        EXPECT_EQ(r.firmware.method, c.method);
        EXPECT_EQ(r.firmware.result, c.result);
        EXPECT_NE(r.firmware.detail.find(c.detailHas), std::wstring::npos) << Narrow(r.firmware.detail);
        EXPECT_EQ(sata->sanitizeCommands + sas->sanitizeCommands, c.sent ? 1 : 0);
        EXPECT_EQ(links, c.bus == BusUsb ? 0 : 1) << "nothing is sent through a USB bridge";
        if (c.safetyHas) {
            EXPECT_NE(r.job.disk.safetyDescription.find(c.safetyHas), std::wstring::npos) << Narrow(r.job.disk.safetyDescription);
            EXPECT_TRUE(Logged(c.safetyHas));
        } else {
            EXPECT_EQ(r.job.disk.safetyDescription, L"");
        }
        ExpectFirmwareEvidence(r, c.hidden);
    }
}

}  // namespace
}  // namespace morvane
