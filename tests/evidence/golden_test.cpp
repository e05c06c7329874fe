// The three reports of three fixed results, byte for byte against expected files
// written by hand (copied beside the test executable at configure time).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "evidence/certificate_set.h"
#include "evidence/html_certificate.h"
#include "common/text.h"
#include "evidence/text_reports.h"
#include "evidence/report_fixtures.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

std::filesystem::path GoldenDir() {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return std::filesystem::path(exe).parent_path() / L"golden" / L"evidence";
}

std::string Golden(const std::wstring& name) {
    const std::vector<unsigned char> bytes = testing::ReadFileBytes((GoldenDir() / name).wstring());
    return std::string(bytes.begin(), bytes.end());
}

void ExpectSameBytes(const std::string& expected, const std::string& actual, const std::wstring& name) {
    ASSERT_FALSE(expected.empty()) << "golden file missing: " << testing::Narrow(name);
    EXPECT_EQ(expected, actual) << testing::Narrow(name);  // gtest prints a line diff
}

struct GoldenCase {
    const wchar_t* stem;
    EraseResult (*make)();
};

const GoldenCase kCases[] = {
    {L"completed_real", &testing::CompletedRealResult},
    {L"cancelled_sim", &testing::CancelledSimulationResult},
    {L"skipped_real", &testing::SkippedVerificationRealResult},
};

TEST(GoldenReports, BuildersMatchHandWrittenFiles) {
    for (const GoldenCase& c : kCases) {
        SCOPED_TRACE(testing::Narrow(c.stem));
        const EraseResult result = c.make();
        const std::wstring stem = c.stem;
        ExpectSameBytes(Golden(stem + L"_Certificate.html"), WideToUtf8(BuildHtmlCertificate(result)),
                        stem + L"_Certificate.html");
        ExpectSameBytes(Golden(stem + L"_AuditLog.txt"), WideToUtf8(BuildAuditLog(result)),
                        stem + L"_AuditLog.txt");
        ExpectSameBytes(Golden(stem + L"_Report.json"), WideToUtf8(BuildJsonReport(result)),
                        stem + L"_Report.json");
    }
}

// The digests in the fixtures (and so in the golden files) were computed with sha256sum
// over the same pipe-joined UTF-8 text, independently of the program.
TEST(GoldenReports, FingerprintMatchesIndependentDigest) {
    const EraseResult real = testing::CompletedRealResult();
    EXPECT_EQ(FingerprintInput(real),
              L"ZOLT-20250307-090512-1A2B3C4D|2025-03-07 09:05:12|2025-03-07 09:17:45|"
              L"Virtual NVMe Disk 1TB|VN1TB-0042-AX|1000204886016|"
              L"DoD 5220.22-M (3 Passes - 米国国防総省標準)|3/3|"
              L"PASSED (All Sampled Sectors Verified Clean)|3");
    EXPECT_EQ(ComputeFingerprint(real), testing::kCompletedRealDigest);

    const EraseResult sim = testing::CancelledSimulationResult();
    EXPECT_EQ(FingerprintInput(sim),
              L"ZOLT-20241231-235959-00000000|2024-12-31 23:50:00|2024-12-31 23:59:59|"
              L"TestBench HDD|WD-12345|500107862016|"
              L"Peter Gutmann Method (35 Passes - 最高機密HDD完全消去)|1/35|ABORTED|4");
    EXPECT_EQ(ComputeFingerprint(sim), testing::kCancelledSimDigest);
    EXPECT_EQ(ComputeFingerprint(testing::SkippedVerificationRealResult()), testing::kSkippedRealDigest);
}

// What SaveCertificateSet puts on disk is exactly the UTF-8 of the builders' output for
// the sealed result (no byte-order mark, nothing added or lost), the recorded ID and
// fingerprint are kept, and saving again rewrites the same bytes.
TEST(GoldenReports, SavedFilesAreTheBuildersOutput) {
    for (const GoldenCase& c : kCases) {
        SCOPED_TRACE(testing::Narrow(c.stem));
        testing::TempDir dir;
        EraseResult result = c.make();
        const std::wstring digest = result.sha256Fingerprint;
        const std::wstring id = result.certificateId;
        result.job.outputFolder = dir.path().wstring();
        ASSERT_TRUE(SaveCertificateSet(result, {}));
        EXPECT_EQ(result.sha256Fingerprint, digest);
        EXPECT_EQ(result.certificateId, id);
        EXPECT_EQ(result.htmlPath, dir.path().wstring() + L"\\" + result.certificateId + L"_Certificate.html");
        const struct {
            const std::wstring& path;
            std::wstring text;
        } files[] = {
            {result.htmlPath, BuildHtmlCertificate(result)},
            {result.auditLogPath, BuildAuditLog(result)},
            {result.jsonPath, BuildJsonReport(result)},
        };
        for (const auto& f : files) {
            const std::vector<unsigned char> bytes = testing::ReadFileBytes(f.path);
            const std::string written(bytes.begin(), bytes.end());
            EXPECT_EQ(written, WideToUtf8(f.text)) << testing::Narrow(f.path);
            EXPECT_NE(written.rfind("\xEF\xBB\xBF", 0), 0u) << "no byte-order mark";
        }
        EraseResult again = result;
        ASSERT_TRUE(SaveCertificateSet(again, {}));
        EXPECT_EQ(again.sha256Fingerprint, digest);
        EXPECT_EQ(testing::ReadFileBytes(again.jsonPath), testing::ReadFileBytes(result.jsonPath));
    }
}

}  // namespace
}  // namespace morvane
