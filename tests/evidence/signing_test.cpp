// Signing for real under Wine's CryptoAPI: the organisation certificate or the own
// signer, unsigned sets that say why, and a signed set left for the external checks
// (OpenSSL, qpdf, poppler and the program's own --verify in check_signed_set.py).
#include <gtest/gtest.h>

#include <filesystem>

#include "common/win32.h"
#include "evidence/certificate_set.h"
#include "evidence/fake_signer.h"
#include "evidence/report_fixtures.h"
#include "evidence/signer.h"
#include "support/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

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
        const auto json = testing::ReadFileBytes(r.jsonPath);
        EXPECT_NE(std::string(json.begin(), json.end()).find("\"signer\": null\n}\n"), std::string::npos);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4) << "four files, no .p7s or .cer";
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
