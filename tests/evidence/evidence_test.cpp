// The evidence: three fixed results saved and compared with files and digests made by
// hand (the files are copied beside the test executable at configure time) and signed by a
// fake key; file names, failure paths, what those files do not pin (other badges, control
// characters, forged audit-log lines), and certificate IDs. Then signing for real under
// Wine's CryptoAPI: the organisation certificate or the own signer, unsigned sets that say
// why, and a signed set left for the external checks (OpenSSL, qpdf, poppler and the
// program's own --verify in check_signed_set.py).
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "common/win32.h"
#include "evidence/certificate_id.h"
#include "evidence/certificate_set.h"
#include "evidence/html_certificate.h"
#include "evidence/report_fixtures.h"
#include "evidence/signer.h"
#include "evidence/text_reports.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::ptrdiff_t FileCount(const fs::path& folder) {
    std::error_code ec;
    return std::distance(fs::directory_iterator(folder, ec), fs::directory_iterator());
}

// Saving writes the result as recorded (ID and digest untouched, folders created) in
// the three expected files, naming the signer (or none); saving again rewrites the same
// bytes. Every file has its signature exactly when there is a signer.
TEST(GoldenReports, SavedFilesMatchHandWrittenFiles) {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const fs::path golden = fs::path(exe).parent_path() / L"golden" / L"evidence";
    const struct { const wchar_t* stem; EraseResult (*make)(); const wchar_t* digest; } cases[] = {
        {L"completed_real", &testing::CompletedRealResult, testing::kCompletedRealDigest},
        {L"cancelled_sim", &testing::CancelledSimulationResult, testing::kCancelledSimDigest},
        {L"skipped_real", &testing::SkippedVerificationRealResult, testing::kSkippedRealDigest},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Narrow(c.stem));
        testing::TempDir dir;
        EraseResult result = c.make();
        EXPECT_EQ(ComputeFingerprint(result), c.digest);
        result.job.outputFolder = dir.file(L"nested\\deeper");
        const bool signedSet = !result.signer.certificateSha256.empty();
        const EvidenceEdges signer = testing::FakeSigner(result.signer);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(SaveCertificateSet(result, {}, signer));
            const std::pair<const std::wstring*, const wchar_t*> files[] = {
                {&result.htmlPath, L"_Certificate.html"}, {&result.auditLogPath, L"_AuditLog.txt"},
                {&result.jsonPath, L"_Report.json"}};
            for (const auto& [path, suffix] : files) {
                const std::string expected = testing::ReadText((golden / (std::wstring(c.stem) + suffix)).wstring());
                EXPECT_EQ(expected, testing::ReadText(*path)) << testing::Narrow(*path);  // gtest prints a line diff
                EXPECT_EQ(fs::exists(*path + L".p7s"), signedSet) << testing::Narrow(*path);
            }
            EXPECT_EQ(FileCount(dir.file(L"nested\\deeper")), signedSet ? 9 : 4) << "four files, signatures, certificate";
        }
    }
}

TEST(CertificateSet, FileNamesCannotLeaveTheFolder) {
    EXPECT_EQ(CertificateFileStem(L"a/b:c*d?e\"f<g>h|i\tj"), L"a_b_c_d_e_f_g_h_i_j");
    testing::TempDir dir;  // a tampered ID
    EraseResult r = testing::CancelledSimulationResult();
    r.certificateId = L"..\\escaped";
    r.job.outputFolder = dir.file(L"out");
    ASSERT_TRUE(SaveCertificateSet(r, {}, testing::FakeSigner(r.signer)));
    EXPECT_EQ(r.htmlPath, dir.file(L"out") + L"\\.._escaped_Certificate.html");
    EXPECT_EQ(FileCount(dir.path()), 1);
}

// Disabled: nothing written, no paths. Unwritable folders: every file (and the signer's
// certificate) tried and logged, no paths, false.
TEST(CertificateSet, DisabledOrUnwritable) {
    testing::TempDir dir;
    ASSERT_TRUE(testing::CreateImageFile(dir.file(L"plain.bin"), 16));
    for (const std::wstring& folder : {dir.path().wstring(), dir.file(L"plain.bin\\sub"), dir.file(L"bad<name>|folder")}) {
        SCOPED_TRACE(testing::Narrow(folder));
        const bool disabled = folder == dir.path().wstring();
        EraseResult r = testing::CompletedRealResult();
        r.htmlPath = L"stale";
        r.job.certificatesDisabled = disabled ? 1 : 0;
        r.job.outputFolder = folder;
        std::vector<std::wstring> log;
        const auto keep = [&log](const std::wstring& line) { log.push_back(line); };
        EXPECT_EQ(SaveCertificateSet(r, keep, testing::FakeSigner(r.signer)), disabled);
        EXPECT_TRUE(r.htmlPath.empty() && r.auditLogPath.empty() && r.jsonPath.empty());
        EXPECT_EQ(log.size(), disabled ? 0u : 5u);
        EXPECT_EQ(FileCount(dir.path()), 1) << "only plain.bin";
    }
}

// The whole text replaces the file; an embedded NUL neither cuts the file short nor
// ends the digest's input early (the status is the last field it covers).
TEST(WriteUtf8File, WholeTextOrFailure) {
    testing::TempDir dir;
    const std::wstring path = dir.file(L"out.txt");
    ASSERT_TRUE(WriteUtf8File(path, L"long previous content that must not survive"));
    ASSERT_TRUE(WriteUtf8File(path, std::wstring(L"ab\0c秒\0", 6)));
    EXPECT_EQ(testing::ReadText(path), std::string("ab\0c\xE7\xA7\x92\0", 8));
    EraseResult completed = testing::CompletedRealResult();
    completed.job.disk.model = std::wstring(L"Disk\0Hidden", 11);
    EraseResult failed = completed;
    failed.status = JobStatus::Failed;
    EXPECT_NE(ComputeFingerprint(completed), ComputeFingerprint(failed));
}

std::size_t Count(const std::wstring& text, const std::wstring& needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::wstring::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// "VERIFIED" only for a real write whose read-back passed; a dry run says it erased
// nothing. The badge colour lives only in its style rule.
TEST(HtmlCertificate, BadgeByOutcome) {
    const struct { JobStatus status; ExecMode mode; const wchar_t* text; const wchar_t* colour; } cases[] = {
        {JobStatus::Completed, ExecMode{7}, L"COMPLETED & VERIFIED (完全消去済)", L"#10b981"},
        {JobStatus::Completed, ExecMode::SimulationDryRun, L"SIMULATION ONLY - NOT ERASED (シミュレーション・未消去)", L"#94a3b8"},
        {JobStatus{99}, ExecMode::RealHardwareWrite, L"FAILED (エラー終了)", L"#ef4444"},
    };
    for (const auto& c : cases) {
        EraseResult r = testing::CompletedRealResult();
        r.status = c.status;
        r.job.execMode = c.mode;
        const std::wstring page = BuildHtmlCertificate(r);
        EXPECT_EQ(Count(page, std::wstring(L"<div class=\"badge\">") + c.text + L"</div>"), 1u) << ValueOf(c.status);
        EXPECT_EQ(Count(page, std::wstring(L".badge { background: ") + c.colour + L";"), 1u) << ValueOf(c.status);
        EXPECT_EQ(Count(page, c.colour), 1u) << ValueOf(c.status);
    }
}

TEST(TextReports, JsonControlCharactersAndOddNumbers) {
    EXPECT_EQ(EscapeJson(L"a\tb\bc\fd\x01y\x1fz/\x7f"), L"a\\tb\\bc\\fd\\u0001y\\u001fz/\x7f");
    EXPECT_EQ(FormatJsonNumber(std::numeric_limits<double>::quiet_NaN()), L"0") << "would break the document";
    EXPECT_EQ(FormatJsonNumber(std::numeric_limits<double>::infinity()), L"0");
}

// A line break inside any value cannot start a line of its own in the audit log, and
// any non-zero mode is a real write.
TEST(TextReports, AuditLogLinesCannotBeForged) {
    for (const wchar_t* br : {L"\r", L"\n", L"\x2028", L"\x85", L"\v"}) {
        EraseResult r = testing::CompletedRealResult();
        r.verificationResult = L"SKIPPED (検証なし設定)";
        r.job.organizationName = std::wstring(L"Org") + br + L"  Verification Result: PASSED";
        r.firmware.detail = std::wstring(L"Refused.") + br + L"  Firmware Sanitize  : X - COMPLETED";
        r.job.execMode = ExecMode{7};
        const std::wstring log = BuildAuditLog(r);
        EXPECT_EQ(Count(log, L"\r\n"), 42u);
        EXPECT_EQ(Count(log, L"\n") + Count(log, L"\r"), 84u) << "no bare CR or LF";
        EXPECT_EQ(Count(log, L"\r\n  Operator / Org     : 山田 太郎 / Org   Verification Result: PASSED\r\n"), 1u);
        EXPECT_EQ(Count(log, L"\r\n  Verification Result: SKIPPED (検証なし設定)\r\n"), 1u);
        EXPECT_EQ(Count(log, L"\r\n  Firmware Sanitize  : None - NOT APPLICABLE\r\n"), 1u);
        EXPECT_EQ(Count(log, L"\r\n  Execution Mode     : Physical Hardware Erase\r\n"), 1u);
    }
}

TEST(CertificateId, FormatsAreZeroPadded) {
    EXPECT_EQ(FormatCertificateId({2025, 3, 7, 9, 5, 2}, {0x0A, 0xB0, 0x00, 0xFF}), L"ZOLT-20250307-090502-0AB000FF");
    EXPECT_EQ(FormatTimestamp({2025, 3, 7, 9, 5, 2}), L"2025-03-07 09:05:02");
    EXPECT_EQ(FormatCertificateId({987, 12, 31, 23, 59, 58}, {}), L"ZOLT-09871231-235958-00000000");
}

// A new ID carries the digits of the local timestamp taken with it and four random bytes.
TEST(CertificateId, NewIdsDifferInTheRandomPart) {
    std::wstring stamp, first, second;
    for (int attempt = 0; attempt < 5 && (stamp.empty() || stamp != LocalTimestamp()); ++attempt) {
        stamp = LocalTimestamp();  // retried across a second boundary
        first = MakeCertificateId();
        second = MakeCertificateId();
    }
    std::wstring digits = stamp;
    std::erase_if(digits, [](wchar_t c) { return c < L'0' || c > L'9'; });
    EXPECT_EQ(first.substr(0, 21), L"ZOLT-" + digits.substr(0, 8) + L"-" + digits.substr(8) + L"-");
    ASSERT_EQ(second.size(), 29u);
    EXPECT_EQ(second.find_first_not_of(L"0123456789ABCDEF", 21), std::wstring::npos);
    // Equal random parts happen once in 2^32; all-zero means the generator failed.
    EXPECT_NE(first.substr(21), second.substr(21));
    EXPECT_NE(second.substr(21), L"00000000");
}

std::string Notes(const SignerChoice& choice) {
    std::wstring all;
    for (const std::wstring& note : choice.notes) all += note + L"\n";
    return testing::Narrow(all);
}

bool Noted(const SignerChoice& choice, const std::wstring& fragment) {
    for (const std::wstring& note : choice.notes) {
        if (note.starts_with(L"[SIGNATURE] ") && note.find(fragment) != std::wstring::npos) return true;
    }
    return false;
}

// The thumbprint as the certificate dialog shows it: a left-to-right mark, lower case, blanks.
std::wstring DialogThumbprint(const std::string& der) {
    BYTE hash[20] = {};
    DWORD size = sizeof hash;
    EXPECT_TRUE(::CryptHashCertificate(0, CALG_SHA1, 0, reinterpret_cast<const BYTE*>(der.data()),
                                       static_cast<DWORD>(der.size()), hash, &size));
    std::wstring text = L"\x200e";
    for (const BYTE b : hash) text += L"0123456789abcdef"[b >> 4] + std::wstring(1, L"0123456789abcdef"[b & 15]) + L" ";
    return text;
}

// An organisation certificate with its key in the machine's store signs when its thumbprint
// is usable; otherwise the own signer does and the log says why. The own signer is kept for
// later runs; a per-boot one (WinPE) says so in its subject and is not pinned.
TEST(SignerChoice, OrganisationCertificateOrOwnSigner) {
    SignerRequest request;
    request.container = L"Morvane Evidence Test Organisation";
    request.organization = L"Organisation Test";
    const SignerChoice organisation = ChooseEvidenceSigner(request);
    ASSERT_TRUE(organisation.key) << Notes(organisation);
    const SignerChoice own = ChooseEvidenceSigner({});
    ASSERT_TRUE(own.key);
    const std::wstring ownSha = own.key->Identity().certificateSha256;
    EXPECT_TRUE(own.key->Identity().pinned && own.notes.empty()) << Notes(own);
    EXPECT_EQ(ChooseEvidenceSigner({}).key->Identity().certificateSha256, ownSha) << "the same certificate next time";

    const struct { std::wstring thumbprint; std::wstring sha; const wchar_t* note; } cases[] = {
        {DialogThumbprint(organisation.key->CertificateDer()), organisation.key->Identity().certificateSha256, nullptr},
        {L"3a5f00", ownSha, L"40桁の16進数ではありません"},
        {std::wstring(40, L'0'), ownSha, L"見つかりません"},
    };
    for (const auto& c : cases) {
        SignerRequest named;
        named.thumbprint = c.thumbprint;
        const SignerChoice choice = ChooseEvidenceSigner(named);
        ASSERT_TRUE(choice.key) << testing::Narrow(c.thumbprint);
        EXPECT_EQ(choice.key->Identity().certificateSha256, c.sha) << testing::Narrow(c.thumbprint);
        EXPECT_TRUE(c.note ? Noted(choice, c.note) : choice.notes.empty()) << Notes(choice);
    }

    SignerRequest winPE;
    winPE.winPE = true;
    winPE.organization = L"株式会社モルヴァン";
    winPE.machineUuid = L"33221100-5544-7766-8899-AABBCCDDEEFF\x01";
    const SignerChoice perBoot = ChooseEvidenceSigner(winPE);
    ASSERT_TRUE(perBoot.key);
    const EvidenceSigner& identity = perBoot.key->Identity();
    EXPECT_FALSE(identity.pinned);
    for (const wchar_t* part : {L"Evidence Signer (WinPE per boot)", L"株式会社モルヴァン", L"33221100-5544-7766-8899-AABBCCDDEEFF"}) {
        EXPECT_NE(identity.subject.find(part), std::wstring::npos) << testing::Narrow(identity.subject);
    }
}

// A key that cannot sign, or none at all: the set is still written, names no signer, leaves
// no signature behind (not even one of an earlier save of the same ID) and says why.
TEST(SignedSets, UnsignedSetsSayWhy) {
    testing::TempDir dir;
    EraseResult r = testing::CancelledSimulationResult();
    const EvidenceSigner signer = r.signer;
    r.job.outputFolder = dir.path().wstring();
    ASSERT_TRUE(SaveCertificateSet(r, {}, testing::FakeSigner(signer)));
    ASSERT_TRUE(fs::exists(r.jsonPath + L".p7s"));
    for (const bool keyFails : {true, false}) {
        std::vector<std::wstring> log;
        r.message.clear();
        const auto keep = [&log](const std::wstring& line) { log.push_back(line); };
        ASSERT_TRUE(SaveCertificateSet(r, keep, testing::FakeSigner(keyFails ? signer : EvidenceSigner{}, keyFails)));
        EXPECT_TRUE(r.signer.certificateSha256.empty());
        EXPECT_NE(testing::ReadText(r.jsonPath).find("\"signer\": null\n}\n"), std::string::npos);
        EXPECT_EQ(FileCount(dir.path()), 4) << "four files, no .p7s or .cer";
        EXPECT_TRUE(r.message.starts_with(L"証明書一式に電子署名できませんでした: ")) << testing::Narrow(r.message);
        ASSERT_FALSE(log.empty());
        EXPECT_TRUE(log.back().starts_with(L"[SIGNATURE] 証明書一式を電子署名なしで保存します: "));
    }
}

// Leaves a set signed by this machine's own signer where check_signed_set.py asks for it
// (MORVANE_EVIDENCE_DIR); that check reads it with OpenSSL, qpdf and poppler.
TEST(SignedSets, SetForTheExternalChecks) {
    wchar_t target[MAX_PATH] = {};
    const DWORD n = ::GetEnvironmentVariableW(L"MORVANE_EVIDENCE_DIR", target, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) GTEST_SKIP() << "run by check_signed_set.py";
    EraseResult r = testing::CompletedRealResult();
    r.runningInWinPE = 0;
    r.job.outputFolder = target;
    ASSERT_TRUE(SaveCertificateSet(r, {}));
    EXPECT_TRUE(r.signer.pinned && r.message.empty()) << testing::Narrow(r.message);
    EXPECT_EQ(r.signer.subject.rfind(L"CN=Morvane Disk Eraser Evidence Signer, O=", 0), 0u) << testing::Narrow(r.signer.subject);
}

}  // namespace
}  // namespace morvane
