// The evidence set check: file names from the JSON report's name, each file against
// its signature, and the report text with its exit code.
#include "evidence/verify_set.h"

#include <optional>

#include "common/files.h"
#include "common/text.h"
#include "evidence/certificate_set.h"
#include "evidence/sha256.h"
#include "evidence/signature_check.h"

namespace morvane {
namespace {

constexpr wchar_t kJsonEnding[] = L"_Report.json";

const wchar_t* VerdictText(FileVerdict verdict) {
    switch (verdict) {
        case FileVerdict::Ok: return L"OK";
        case FileVerdict::Altered: return L"ALTERED";
        case FileVerdict::NoSignature: return L"NO SIGNATURE";
        default: return L"UNREADABLE";
    }
}

}  // namespace

std::wstring SetBaseOf(const std::wstring& jsonPath) {
    if (!jsonPath.ends_with(kJsonEnding) || NameOfPath(jsonPath).size() == std::size(kJsonEnding) - 1) return {};
    return jsonPath.substr(0, jsonPath.size() - (std::size(kJsonEnding) - 1));
}

std::wstring DeclaredSignerSha256(std::string_view json) {
    constexpr std::string_view key = "\"certificateSha256\": \"";
    const std::size_t at = json.find(key);
    if (at == std::string_view::npos) return {};
    const std::size_t start = at + key.size();
    const std::size_t end = json.find('"', start);
    if (end == std::string_view::npos) return {};
    return AsciiToWide(json.substr(start, end - start));
}

SetCheck CheckEvidenceSet(const std::wstring& jsonPath) {
    SetCheck check;
    check.base = SetBaseOf(jsonPath);
    if (check.base.empty()) return check;
    const std::optional<std::string> json = ReadWholeFile(jsonPath);
    const std::wstring declared = json ? DeclaredSignerSha256(*json) : std::wstring();
    for (const wchar_t* ending : kSignedFileEndings) {
        const std::wstring path = check.base + ending;
        FileCheck& file = check.files.emplace_back(FileCheck{NameOfPath(path)});
        const std::optional<std::string> content = ReadWholeFile(path);
        if (!content) continue;  // Unreadable
        const std::optional<std::string> signature = ReadWholeFile(path + kSignatureSuffix);
        if (!signature) {
            file.verdict = FileVerdict::NoSignature;
            continue;
        }
        const SignatureCheck checked = CheckDetachedSignature(*content, *signature);
        const std::wstring signer = HexUpper(ComputeSha256(checked.signerCertificate).bytes);
        file.verdict = checked.holds && signer == declared ? FileVerdict::Ok : FileVerdict::Altered;
        if (file.verdict == FileVerdict::Ok) check.signerSha256 = signer;
    }
    return check;
}

int VerifyExitCode(const SetCheck& check) {
    if (check.files.empty()) return 2;
    int code = 0;
    for (const FileCheck& file : check.files) {
        if (file.verdict == FileVerdict::Unreadable) return 2;
        if (file.verdict != FileVerdict::Ok) code = 1;
    }
    return code;
}

std::wstring VerifyReportText(const SetCheck& check, const std::wstring& jsonPath) {
    std::wstring text = L"Evidence set: " + jsonPath + L"\r\n";
    if (check.files.empty()) text += L"  not a JSON report of an evidence set (<ID>_Report.json)\r\n";
    for (const FileCheck& file : check.files) text += L"  " + file.name + L": " + VerdictText(file.verdict) + L"\r\n";
    text += L"Signer certificate SHA-256: " + (check.signerSha256.empty() ? L"-" : check.signerSha256) + L"\r\n";
    static constexpr const wchar_t* kOutcomes[] = {L"every file is signed and unchanged",
                                                   L"a file is altered or its signature is missing",
                                                   L"a file cannot be read"};
    const int code = VerifyExitCode(check);
    text += L"Result: " + std::wstring(kOutcomes[code]) + L" (exit code " + std::to_wstring(code) + L")\r\n";
    return text;
}

}  // namespace morvane
