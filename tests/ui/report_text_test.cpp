// The report window's pure texts: painted rows with their fallbacks, the exact
// clipboard text, and the result re-issued from a stamp.
#include "ui/report_text.h"

#include <gtest/gtest.h>

#include "erase/standards.h"
#include "support/stamp_samples.h"

namespace morvane {
namespace {

std::vector<std::wstring> Values(const std::vector<ReportRow>& rows) {
    std::vector<std::wstring> values;
    for (const ReportRow& row : rows) values.push_back(row.value);
    return values;
}

TEST(ReportText, PaintedRowsFallBackOnlyWhereEmpty) {
    const ReportView preview = BuildReportView(ReportStamp{}, L"2031-01-02 03:04:05");
    EXPECT_TRUE(preview.failed);
    EXPECT_EQ(preview.badge, L"● HARDWARE PREVIEW");
    EXPECT_EQ(Values(preview.details),
              (std::vector<std::wstring>{L"(未発行 - 消去実行で自動採番)", L"2031-01-02 03:04:05",
                                         L"Morvane Disk Eraser Suite v1.3.0", L"NIST SP 800-88 Rev.1 Purge", L"READY",
                                         L"Bootable Report Stamp Ready",
                                         L"N/A (Generated upon sanitization completion)"}));
    EXPECT_EQ(Values(preview.hardware), std::vector<std::wstring>(16)) << "empty hardware stays empty";

    const ReportStamp s = testing::SampleReportStamp();
    const ReportView filled = BuildReportView(s, L"unused");
    EXPECT_FALSE(filled.failed);
    EXPECT_EQ(filled.badge, L"★ SANITIZED & VERIFIED");
    EXPECT_EQ(Values(filled.details),
              (std::vector<std::wstring>{s.certificateId, s.sanitizationDate, s.productLine,
                                         L"DoD 5220.22-M (3 Pass) (3 Passes)", s.verificationResult, s.stampStatus,
                                         s.sha256Fingerprint}));
    EXPECT_EQ(filled.details[3].label, L"Erasure standard :");
    EXPECT_EQ(filled.hardware[15].label, L"Storage control  :");
    EXPECT_EQ(filled.hardware[15].value, L"AHCI Controller");
}

TEST(ReportText, ClipboardTextIsExactAndKeepsEmptyFields) {
    ReportStamp s;
    s.sanitizationDate = L"2031-01-02 03:04:05";
    s.standardName = L"Zero Fill";
    s.passesCompleted = 1;
    s.hardware.manufacturer = L"Contoso";
    s.hardware.storageController = L"NVMe";
    const std::wstring rule(72, L'=');
    const std::wstring expected = rule + L"\r\n" +
        L"  MORVANE DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT\r\n" + rule + L"\r\n" +
        L"[Report details]\r\n"
        L"  Report UUID / ID : \r\n"
        L"  Report date      : 2031-01-02 03:04:05\r\n"
        L"  Software version : \r\n"
        L"  Erasure standard : Zero Fill (1 Passes)\r\n"
        L"  Verification     : \r\n"
        L"  Disk stamp state : \r\n"
        L"  SHA-256 digest   : \r\n"
        L"\r\n"
        L"[Hardware details]\r\n"
        L"  Manufacturer     : Contoso\r\n"
        L"  Chassis type     : \r\n  Model            : \r\n  Serial           : \r\n"
        L"  UUID             : \r\n  Asset tag        : \r\n  Processor        : \r\n"
        L"  Total memory     : \r\n  Disk             : \r\n  Disk geometry    : \r\n"
        L"  Graphics card    : \r\n  Sound cards      : \r\n  Network adapters : \r\n"
        L"  Motherboard      : \r\n  BIOS information : \r\n"
        L"  Storage control  : NVMe\r\n";
    EXPECT_EQ(ReportClipboardText(s), expected);
}

TEST(ReportText, ResultFromStampKeepsStandardAndMode) {
    for (std::uint32_t standard = 0; standard < kStandardCount; ++standard) {
        ReportStamp detected = testing::SampleReportStamp();
        detected.standardName = StandardName(standard);
        const EraseResult r = ResultFromStamp(detected, std::nullopt, L"NEW-ID", L"now");
        EXPECT_EQ(r.job.standard, standard);
        EXPECT_EQ(r.job.execMode, ExecMode::RealHardwareWrite) << "a stamp read from a disk is a real run";
    }
    const struct {
        const char* what;
        std::wstring standardName;
        bool failed;
        std::wstring stampStatus;
        std::wstring printed;
        ExecMode mode;
    } cases[] = {
        {"preview", L"", true, L"", StandardName(NistPurge), ExecMode::SimulationDryRun},
        {"unknown name", L"Homemade 9-pass", false, L"x", L"Unknown Standard", ExecMode::RealHardwareWrite},
        {"dry run record", StandardName(ZeroFill), false, L"Simulation / Dry-Run Report Stamp",
         StandardName(ZeroFill), ExecMode::SimulationDryRun},
    };
    for (const auto& c : cases) {
        ReportStamp s;
        s.standardName = c.standardName;
        s.failed = c.failed;
        s.stampStatus = c.stampStatus;
        const EraseResult r = ResultFromStamp(s, std::nullopt, L"NEW-ID", L"2031-01-02 03:04:05");
        EXPECT_EQ(StandardName(r.job.standard), c.printed) << c.what;
        EXPECT_EQ(r.job.execMode, c.mode) << c.what;
        EXPECT_EQ(r.certificateId, L"NEW-ID") << c.what;
        EXPECT_EQ(r.startTime, L"2031-01-02 03:04:05") << c.what;
        EXPECT_EQ(r.passesPlanned, 1u) << c.what;
        EXPECT_EQ(r.verificationResult, L"VERIFIED") << c.what;
    }

    DiskInfo disk;
    disk.model = L"Stick";
    disk.sizeBytes = 4096;
    const EraseResult withDisk = ResultFromStamp(testing::SampleReportStamp(), disk, L"unused", L"unused");
    EXPECT_EQ(withDisk.certificateId, testing::SampleReportStamp().certificateId);
    EXPECT_EQ(withDisk.job.disk.sizeBytes, 4096u);
    EXPECT_EQ(withDisk.stamp.hardware.model, L"Contoso Book 14") << "the reports print the stamp's hardware";
    const EraseResult noDisk = ResultFromStamp(testing::SampleReportStamp(), std::nullopt, L"", L"");
    EXPECT_EQ(noDisk.job.disk.model, L"WDC WD10EZEX-08WN4A0");
    EXPECT_EQ(noDisk.job.disk.serialNumber, L"WD-WCC6Y0000001");
}

}  // namespace
}  // namespace morvane
