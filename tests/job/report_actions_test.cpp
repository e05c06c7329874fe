// The report window's actions in the job layer: the result a stamp stands for, and
// the stamp actions' outcomes with the refusal carried as a value.
#include <gtest/gtest.h>

#include "disk/safety.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "job/report_actions.h"
#include "support/engine_disk.h"
#include "support/stamp_samples.h"

namespace morvane {
namespace {

TEST(ReportActions, ResultFromStampKeepsStandardAndMode) {
    for (std::uint32_t standard = 0; standard < kStandardCount; ++standard) {
        ReportStamp detected = testing::SampleReportStamp();
        detected.standardName = StandardName(standard);
        const EraseResult r = ResultFromStamp(detected, std::nullopt, L"NEW-ID", L"now");
        EXPECT_EQ(r.job.standard, standard);
        EXPECT_EQ(r.job.execMode, ExecMode::RealHardwareWrite) << "a stamp read from a disk is a real run";
    }
    ReportStamp s;  // a preview: printed as the default standard, not as a real run
    EXPECT_EQ(ResultFromStamp(s, std::nullopt, L"NEW-ID", L"now").job.execMode, ExecMode::SimulationDryRun);
    s.failed = false;
    s.standardName = L"Homemade 9-pass";
    s.stampStatus = L"x";
    EraseResult r = ResultFromStamp(s, std::nullopt, L"NEW-ID", L"2031-01-02 03:04:05");
    EXPECT_EQ(StandardName(r.job.standard) + L" " + r.certificateId + L" " + r.startTime,
              L"Unknown Standard NEW-ID 2031-01-02 03:04:05");
    EXPECT_EQ(r.verificationResult, L"UNKNOWN (not recorded on the stamp)") << "a missing verdict is not invented";
    s.stampStatus = L"Simulation / Dry-Run Report Stamp";
    EXPECT_EQ(ResultFromStamp(s, std::nullopt, L"", L"").job.execMode, ExecMode::SimulationDryRun);
    DiskInfo disk;
    disk.sizeBytes = 4096;
    const EraseResult withDisk = ResultFromStamp(testing::SampleReportStamp(), disk, L"unused", L"unused");
    EXPECT_EQ(withDisk.certificateId, testing::SampleReportStamp().certificateId);
    EXPECT_EQ(withDisk.job.disk.sizeBytes, 4096u);
    EXPECT_EQ(withDisk.stamp.hardware.model, L"Contoso Book 14") << "the reports print the stamp's hardware";
    const EraseResult noDisk = ResultFromStamp(testing::SampleReportStamp(), std::nullopt, L"", L"");
    EXPECT_EQ(noDisk.job.disk.model + L"|" + noDisk.job.disk.serialNumber, L"WDC WD10EZEX-08WN4A0|WD-WCC6Y0000001");
}

// An operator's stamp without an ID gets one, the time and its verdict before the
// write, and keeps them when the guarded open refuses; the refusal says why.
TEST(ReportActions, EngraveRefusedByTheGuardKeepsTheMintedRecordAndTheReason) {
    testing::TempDir dir;
    DiskInfo disk;
    disk.index = -1, disk.devicePath = dir.file(L"disk.img"), disk.sizeBytes = 1 << 20;
    disk.model = L"Generic Physical Disk", disk.serialNumber = L"N/A", disk.busKind = BusUsb, disk.safety = Erasable;
    ASSERT_TRUE(testing::CreateImageFile(disk.devicePath, disk.sizeBytes));
    ReportStamp stamp = testing::SampleReportStamp();
    stamp.certificateId.clear();
    stamp.diskModel = disk.model, stamp.diskSerial = disk.serialNumber, stamp.diskCapacity = FormatSize(disk.sizeBytes);
    DiskWriteSeams seams;
    seams.environment = [] { return SafetyEnvironment{false, {{}, true}, -1, {}}; };
    seams.identity = [](const std::wstring&) { return std::nullopt; };  // the disk is gone from its path
    const StampAction done = EngraveStamp(disk, stamp, std::nullopt, seams);
    EXPECT_FALSE(done.ok);
    EXPECT_EQ(done.refusal, kDiskIdentityChangedMessage);
    EXPECT_EQ(done.stamp.certificateId.rfind(L"ZOLT-", 0), 0u);
    EXPECT_EQ(done.stamp.verificationResult, kVerdictStampedByOperator);
    EXPECT_EQ(testing::ReadFileBytes(disk.devicePath), std::vector<unsigned char>(disk.sizeBytes, 0)) << "nothing written";
}

}  // namespace
}  // namespace morvane
