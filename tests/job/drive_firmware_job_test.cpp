// The erase job's firmware step for SATA and SAS drives on an image-file "disk", with fake
// drives behind the transport seam: sanitize completed, refused outside WinPE, a frozen
// drive, a USB bridge, and a hidden area (HPA) left by an overwrite or covered by the
// drive's own sanitize, each as the job takes it, the confirmation box names it and the
// evidence records it. No request ever reaches a device.
#include <gtest/gtest.h>

#include "common/text.h"
#include "disk/safety.h"
#include "erase/standards.h"
#include "job/erase_job.h"
#include "support/drive_fakes.h"
#include "support/engine_disk.h"

namespace morvane {
namespace {

using namespace testing;
constexpr std::uint64_t kMiB = 1048576;
constexpr std::uint64_t kHddAddressable = 3907027055, kSsdAddressable = 1000215216;
const AtaRegs kIdle{}, kDone{0x50, 0, 0x8000, 0xFFFF}, kFrozen{0x50, 0, 0x2000, 0xFFFF};
const AtaRegs kRunning{0x50, 0, 0x4000, 0x8000};

std::string FileText(const std::wstring& path) { const auto bytes = ReadFileBytes(path); return {bytes.begin(), bytes.end()}; }

class DriveFirmwareJobTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring image = dir.file(L"disk.img"), certs = dir.file(L"certs");
    std::vector<std::wstring> logs;
    std::shared_ptr<DeviceTransport> drive;  // what the guarded handle reaches
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
            return FirmwareLink{drive, nullptr, {InstantClock(now), 2000}};  // no second handle for SATA or SAS
        };
    }
    // A zeroed image recorded as internal disk 31 on `bus`, unlocked; a SATA drive as the
    // scan saw it through IDENTIFY, a SAS drive unknown (the scan cannot ask one).
    EraseJob DriveJob(std::uint32_t bus, std::uint32_t standard, const std::vector<std::uint8_t>& identify) {
        EXPECT_TRUE(CreateImageFile(image, 4 * kMiB));
        EraseJob job;
        job.disk.index = 31, job.disk.devicePath = image, job.disk.model = L"Generic Physical Disk", job.disk.serialNumber = L"N/A";
        job.disk.sizeBytes = 4 * kMiB, job.disk.mediaKind = MediaSsd, job.disk.busKind = bus, job.disk.safety = Erasable;
        if (!identify.empty()) job.disk.firmware = AtaCapabilities(*ParseAtaIdentify(identify));
        job.unlockInternal = 1;
        job.standard = standard;
        job.execMode = ExecMode::RealHardwareWrite;
        job.outputFolder = certs;
        return job;
    }
};

TEST_F(DriveFirmwareJobTest, SataAndSasOutcomesHiddenCapacityAndTheirEvidence) {
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
        links = 0, logs.clear();
        const EraseJob job = DriveJob(c.bus, c.standard, c.identify ? *c.identify : std::vector<std::uint8_t>{});
        EXPECT_NE(FirmwareConfirmationText(PlanFirmwareStep(job, false, c.winPE)).find(c.confirmationHas),
                  std::wstring::npos) << Narrow(FirmwareConfirmationText(PlanFirmwareStep(job, false, c.winPE)));

        const EraseResult r = RunEraseJob(job, c.winPE, nullptr, nullptr, LogInto(logs), edges);
        EXPECT_EQ(r.status, JobStatus::Completed);
        EXPECT_EQ(r.passesCompleted, r.passesPlanned) << "the overwrite plan follows whatever the drive did";
        EXPECT_EQ(r.firmware.method, c.method);
        EXPECT_EQ(r.firmware.result, c.result);
        EXPECT_NE(r.firmware.detail.find(c.detailHas), std::wstring::npos) << Narrow(r.firmware.detail);
        EXPECT_EQ(sata->sanitizeCommands + sas->sanitizeCommands, c.sent ? 1 : 0);
        EXPECT_EQ(links, c.bus == BusUsb ? 0 : 1) << "nothing is sent through a USB bridge";
        EXPECT_EQ(HiddenCapacitySummary(r.hiddenCapacity), c.hidden) << Narrow(r.hiddenCapacity.detail);
        if (c.safetyHas) {
            EXPECT_NE(r.job.disk.safetyDescription.find(c.safetyHas), std::wstring::npos) << Narrow(r.job.disk.safetyDescription);
            EXPECT_TRUE(Logged(logs, c.safetyHas));
        } else {
            EXPECT_EQ(r.job.disk.safetyDescription, L"");
        }

        // The hidden-capacity line right after the firmware line, its detail after the
        // firmware detail, the row after the firmware row, the member after firmwareSanitize.
        const HiddenCapacityRecord& h = r.hiddenCapacity;
        const std::string log = FileText(r.auditLogPath), html = FileText(r.htmlPath), json = FileText(r.jsonPath);
        EXPECT_NE(log.find(WideToUtf8(L"  Firmware Sanitize  : " + r.firmware.method + L" - " + r.firmware.result +
                                      L"\r\n  Hidden Capacity    : " + c.hidden + L"\r\n  Signer Certificate : ")),
                  std::string::npos) << log;
        EXPECT_NE(log.find(WideToUtf8(L"\r\n  Detail             : " + r.firmware.detail + L"\r\n  Hidden Area Detail : " +
                                      h.detail + L"\r\n")), std::string::npos) << log;
        EXPECT_NE(html.find(WideToUtf8(L" - " + r.firmware.result + L"</strong> (" + r.firmware.detail +
                                       L")</td></tr>\n      <tr><th>Hidden capacity (隠し領域 HPA/DCO)</th><td><strong>" +
                                       c.hidden + L"</strong> (")), std::string::npos) << html;
        EXPECT_NE(json.find(WideToUtf8(L"\"\n    },\n    \"hiddenCapacity\": {\n      \"result\": \"" + h.result +
                                       L"\",\n      \"hiddenSectors\": " + std::to_wstring(h.hiddenSectors) +
                                       L",\n      \"coveredByFirmware\": " + (h.coveredByFirmware ? L"true" : L"false") +
                                       L",\n      \"detail\": \"")), std::string::npos) << json;
    }
}

}  // namespace
}  // namespace morvane
