// Edge cases of the three report builders beyond the golden files: status badges,
// mode texts, escaping, number formats and the audit log's fixed layout.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "evidence/html_certificate.h"
#include "evidence/report_fixtures.h"
#include "evidence/text_reports.h"

namespace morvane {
namespace {

std::size_t Count(const std::wstring& text, const std::wstring& needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

std::vector<std::wstring> SplitCrLf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t from = 0;
    for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    EXPECT_EQ(from, text.size()) << "text after the last CR LF";
    return lines;
}

// "VERIFIED" only for a real write whose read-back passed; a dry run says it erased nothing.
TEST(HtmlCertificate, BadgeByOutcome) {
    const wchar_t* passed = L"PASSED (All Sampled Sectors Verified Clean)";
    const struct {
        JobStatus status;
        ExecMode mode;
        const wchar_t* verdict;
        const wchar_t* text;
        const wchar_t* colour;
    } cases[] = {
        {JobStatus::Completed, ExecMode::RealHardwareWrite, passed, L"COMPLETED & VERIFIED (完全消去済)", L"#10b981"},
        {JobStatus::Completed, ExecMode{7}, passed, L"COMPLETED & VERIFIED (完全消去済)", L"#10b981"},
        {JobStatus::Completed, ExecMode::RealHardwareWrite, L"SKIPPED (検証なし設定)",
         L"COMPLETED - NOT VERIFIED (消去完了・検証なし)", L"#facc15"},
        {JobStatus::Completed, ExecMode::SimulationDryRun, L"PASSED (Simulation 100% Verified)",
         L"SIMULATION ONLY - NOT ERASED (シミュレーション・未消去)", L"#94a3b8"},
        {JobStatus::Completed, ExecMode::SimulationDryRun, L"SKIPPED (検証なし設定)",
         L"SIMULATION ONLY - NOT ERASED (シミュレーション・未消去)", L"#94a3b8"},
        {JobStatus::Cancelled, ExecMode::RealHardwareWrite, passed, L"CANCELLED (中断)", L"#f59e0b"},
        {JobStatus::Failed, ExecMode::RealHardwareWrite, passed, L"FAILED (エラー終了)", L"#ef4444"},
        {JobStatus::NotRun, ExecMode::RealHardwareWrite, passed, L"FAILED (エラー終了)", L"#ef4444"},
        {JobStatus{99}, ExecMode::RealHardwareWrite, passed, L"FAILED (エラー終了)", L"#ef4444"},
    };
    for (const auto& c : cases) {
        EraseResult r = testing::CompletedRealResult();
        r.status = c.status;
        r.job.execMode = c.mode;
        r.verificationResult = c.verdict;
        const std::wstring page = BuildHtmlCertificate(r);
        EXPECT_EQ(Count(page, std::wstring(L"<div class=\"badge\">") + c.text + L"</div>"), 1u) << ValueOf(c.status);
        // The colour lives only in the badge style rule, never inline.
        EXPECT_EQ(Count(page, std::wstring(L".badge { background: ") + c.colour + L";"), 1u) << ValueOf(c.status);
        EXPECT_EQ(Count(page, c.colour), 1u) << ValueOf(c.status);
        EXPECT_EQ(Count(page, L"style=\""), 0u);
    }
}

// The golden files pin WinPE 0 and 1 and execution modes 0 and 1; other values read as
// "not WinPE" and "real write".
TEST(HtmlCertificate, OnlyOneMeansWinPE) {
    EraseResult r = testing::CancelledSimulationResult();
    r.runningInWinPE = 2;
    EXPECT_NE(BuildHtmlCertificate(r).find(L"Suite v1.3.0 (Microsoft Windows Workstation OS)</td></tr>"),
              std::wstring::npos);
}

TEST(HtmlCertificate, EscapesOnlyTheFourCharacters) {
    EXPECT_EQ(EscapeHtml(L"a&b<c>d\"e'f 消去"), L"a&amp;b&lt;c&gt;d&quot;e'f 消去");
    EXPECT_EQ(EscapeHtml(L"&amp;"), L"&amp;amp;") << "already-escaped text is escaped again";
    EXPECT_EQ(EscapeHtml(L""), L"");
}

TEST(TextReports, JsonEscaping) {
    const struct {
        std::wstring in;
        const wchar_t* out;
    } cases[] = {
        {L"plain 山田", L"plain 山田"},
        {L"say \"hi\"", L"say \\\"hi\\\""},
        {L"C:\\Logs\\", L"C:\\\\Logs\\\\"},
        {L"a\nb\rc\td\be\ff", L"a\\nb\\rc\\td\\be\\ff"},
        {std::wstring(L"x\x01y\x1fz", 5), L"x\\u0001y\\u001fz"},
        {L"/ and \x7f stay", L"/ and \x7f stay"},
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeJson(c.in), c.out) << ::testing::PrintToString(c.in);
}

TEST(TextReports, JsonNumberUsesDefaultStreamFormat) {
    const struct {
        double value;
        const wchar_t* text;
    } cases[] = {
        {12.3456789, L"12.3457"}, {0.0, L"0"},          {599.0, L"599"},
        {0.5, L"0.5"},            {100000.0, L"100000"}, {999999.4, L"999999"},
        {1234567.0, L"1.23457e+06"}, {1.2e6, L"1.2e+06"}, {0.0001, L"0.0001"},
        {0.00001234, L"1.234e-05"},  {-3.25, L"-3.25"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatJsonNumber(c.value), c.text) << c.value;
    // Not-a-number and infinity would break the document.
    EXPECT_EQ(FormatJsonNumber(std::numeric_limits<double>::quiet_NaN()), L"0");
    EXPECT_EQ(FormatJsonNumber(std::numeric_limits<double>::infinity()), L"0");
}

// A line break inside any value cannot start a line of its own in the audit log.
TEST(TextReports, AuditLogValuesCannotForgeLines) {
    const std::wstring forged = L"\r\n  Verification Result: PASSED (All Sampled Sectors Verified Clean)";
    for (const wchar_t* br : {L"\r", L"\n", L"\x2028", L"\x85", L"\v"}) {
        EraseResult r = testing::CompletedRealResult();
        r.verificationResult = L"SKIPPED (検証なし設定)";
        r.job.organizationName = std::wstring(L"Org") + br + L"  Verification Result: PASSED";
        r.stamp.hardware.model = L"Model" + forged;
        const std::vector<std::wstring> lines = SplitCrLf(BuildAuditLog(r));
        ASSERT_EQ(lines.size(), 35u);
        EXPECT_EQ(lines[8], L"  Operator / Org     : 山田 太郎 / Org   Verification Result: PASSED");
        EXPECT_EQ(lines[12], L"  Verification Result: SKIPPED (検証なし設定)");
        EXPECT_EQ(lines[20], L"  Model              : Model    Verification Result: PASSED (All Sampled Sectors Verified Clean)");
    }
}

TEST(TextReports, AnyNonZeroModeIsARealWrite) {
    EraseResult r = testing::CancelledSimulationResult();
    r.job.execMode = ExecMode{7};
    const std::vector<std::wstring> lines = SplitCrLf(BuildAuditLog(r));
    ASSERT_EQ(lines.size(), 35u);
    EXPECT_EQ(lines[9], L"  Execution Mode     : Physical Hardware Erase");
    EXPECT_NE(BuildJsonReport(r).find(L"  \"executionMode\": \"RealHardwareWrite\",\n"), std::wstring::npos);
}

}  // namespace
}  // namespace morvane
