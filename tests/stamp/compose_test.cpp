// Composition of the stamp record from an erase result.
#include <gtest/gtest.h>

#include "evidence/report_fixtures.h"
#include "stamp/compose.h"

namespace morvane {
namespace {

TEST(ComposeReportStamp, FailedAndStatusFollowTheJob) {
    const wchar_t* active = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
    const wchar_t* simulation = L"Simulation / Dry-Run Report Stamp";
    const struct {
        JobStatus status;
        std::uint32_t noStamp, execMode;
        bool failed;
        const wchar_t* text;
    } cases[] = {
        {JobStatus::Completed, 1, 1, false, L"Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)"},
        {JobStatus::Cancelled, 1, 0, true, simulation},  // a simulation says so whatever the stamp choice
        {JobStatus::Failed, 0, 1, true, active},       {JobStatus::NotRun, 0, 5, true, active},
        {JobStatus{42}, 0, 0, true, simulation},       {JobStatus::Completed, 2, 5, false, active},
    };
    for (const auto& c : cases) {
        EraseResult r = testing::CompletedRealResult();
        r.status = c.status;
        r.job.noStamp = c.noStamp;
        r.job.execMode = ExecMode{c.execMode};
        const ReportStamp s = ComposeReportStamp(r, {});
        EXPECT_EQ(s.failed, c.failed) << ValueOf(c.status);
        EXPECT_EQ(s.stampStatus, c.text) << c.noStamp << "/" << c.execMode;
    }
}

TEST(ComposeReportStamp, CarriesTheRunAndTheGivenHardware) {
    EraseResult r = testing::CompletedRealResult();
    r.job.operatorName = std::wstring(300, L'山');  // no cutting happens here
    r.stamp.hardware.manufacturer = L"stale profile";
    HardwareProfile collected;
    collected.manufacturer = L"Collected Vendor";
    const ReportStamp s = ComposeReportStamp(r, collected);
    const std::wstring got[] = {s.certificateId, s.sanitizationDate, s.standardName, s.verificationResult, s.diskModel,
                                s.diskSerial,    s.diskCapacity,     s.operatorName, s.organizationName,
                                s.sha256Fingerprint, s.hardware.manufacturer};
    const std::wstring want[] = {L"ZOLT-20250307-090512-1A2B3C4D", L"2025-03-07 09:17:45",  // the end time
                                 L"DoD 5220.22-M (3 Passes - 米国国防総省標準)",
                                 L"PASSED (All Sampled Sectors Verified Clean)", L"Virtual NVMe Disk 1TB",
                                 L"VN1TB-0042-AX", L"931.51 GB", r.job.operatorName,
                                 L"株式会社モルヴァン \"検証\" 部", testing::kCompletedRealDigest, L"Collected Vendor"};
    for (std::size_t i = 0; i < std::size(got); ++i) EXPECT_EQ(got[i], want[i]) << i;
    EXPECT_EQ(s.passesCompleted, 3);
}

}  // namespace
}  // namespace morvane
