// Composition of the stamp record from an erase result.
#include <gtest/gtest.h>

#include "evidence/report_fixtures.h"
#include "stamp/compose.h"

namespace morvane {
namespace {

TEST(ComposeReportStamp, FailedUnlessCompleted) {
    const struct {
        JobStatus status;
        bool failed;
    } cases[] = {{JobStatus::Completed, false}, {JobStatus::Cancelled, true}, {JobStatus::Failed, true},
                 {JobStatus::NotRun, true}, {JobStatus{42}, true}};
    for (const auto& c : cases) {
        EraseResult r = testing::CompletedRealResult();
        r.status = c.status;
        EXPECT_EQ(ComposeReportStamp(r, {}).failed, c.failed) << ValueOf(c.status);
    }
}

TEST(ComposeReportStamp, StatusTextFromTheJob) {
    const struct {
        std::uint32_t noStamp;
        std::uint32_t execMode;
        const wchar_t* text;
    } cases[] = {
        {1, 1, L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)"},
        {1, 0, L"Simulation / Dry-Run Report Stamp"},  // a simulation says so whatever the stamp choice
        {0, 1, L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)"},
        {0, 5, L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)"},
        {0, 0, L"Simulation / Dry-Run Report Stamp"},
        {2, 5, L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)"},  // only 1 means "no stamp"
    };
    for (const auto& c : cases) {
        EraseResult r = testing::CompletedRealResult();
        r.job.noStamp = c.noStamp;
        r.job.execMode = ExecMode{c.execMode};
        EXPECT_EQ(ComposeReportStamp(r, {}).stampStatus, c.text) << c.noStamp << "/" << c.execMode;
    }
}

TEST(ComposeReportStamp, CopiesTheRunInFull) {
    EraseResult r = testing::CompletedRealResult();
    r.job.operatorName = std::wstring(300, L'山');  // no cutting happens here
    const ReportStamp s = ComposeReportStamp(r, {});
    EXPECT_EQ(s.certificateId, L"ZOLT-20250307-090512-1A2B3C4D");
    EXPECT_EQ(s.sanitizationDate, L"2025-03-07 09:17:45") << "the end time";
    EXPECT_EQ(s.productLine, L"Morvane Disk Eraser Suite v1.3.0");
    EXPECT_EQ(s.standardName, L"DoD 5220.22-M (3 Passes - 米国国防総省標準)");
    EXPECT_EQ(s.verificationResult, L"PASSED (All Sampled Sectors Verified Clean)");
    EXPECT_EQ(s.diskModel, L"Virtual NVMe Disk 1TB");
    EXPECT_EQ(s.diskSerial, L"VN1TB-0042-AX");
    EXPECT_EQ(s.diskCapacity, L"931.51 GB");
    EXPECT_EQ(s.operatorName, r.job.operatorName);
    EXPECT_EQ(s.organizationName, L"株式会社モルヴァン \"検証\" 部");
    EXPECT_EQ(s.sha256Fingerprint, testing::kCompletedRealDigest);
    EXPECT_EQ(s.passesCompleted, 3);
}

TEST(ComposeReportStamp, EmptyFingerprintStaysEmptyAndTheGivenHardwareIsCarried) {
    EraseResult r = testing::CancelledSimulationResult();
    r.sha256Fingerprint.clear();
    // The result's old profile must not survive: the record carries the job's profile.
    r.stamp.hardware.manufacturer = L"stale profile";
    HardwareProfile collected;
    collected.manufacturer = L"Collected Vendor";
    collected.storageController = L"Collected Controller";
    const ReportStamp s = ComposeReportStamp(r, collected);
    EXPECT_TRUE(s.sha256Fingerprint.empty());
    EXPECT_EQ(s.diskCapacity, L"465.76 GB");
    EXPECT_EQ(s.hardware.manufacturer, L"Collected Vendor");
    EXPECT_EQ(s.hardware.storageController, L"Collected Controller");
}

}  // namespace
}  // namespace morvane
