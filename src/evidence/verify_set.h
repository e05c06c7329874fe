// Checks a written evidence set against its detached signatures: the files named from
// its JSON report, each signature verified and its signed digest compared with the
// file's own SHA-256.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

enum class FileVerdict {
    Ok,
    Altered,      // the signature does not cover these bytes, or another certificate made it
    NoSignature,  // no "<file>.p7s" beside the file
    Unreadable,   // the file itself cannot be read
};

struct FileCheck {
    std::wstring name;  // without its folder
    FileVerdict verdict = FileVerdict::Unreadable;
};

struct SetCheck {
    std::wstring base;  // folder and stem: the JSON report's path before "_Report.json"
    std::vector<FileCheck> files;
    std::wstring signerSha256;  // the certificate every holding signature names
};

// The folder and stem of a set from its JSON report's path; empty for any other name.
std::wstring SetBaseOf(const std::wstring& jsonPath);

// The signer's certificate digest the JSON report states; empty when it states none.
std::wstring DeclaredSignerSha256(std::string_view json);

// Reads and checks the four files of the set. A signature by another certificate than
// the one the JSON report states counts as altered.
SetCheck CheckEvidenceSet(const std::wstring& jsonPath);

// 0 when every file holds, 2 when a file cannot be read (or the name names no set),
// otherwise 1 (something altered or unsigned).
int VerifyExitCode(const SetCheck& check);

// The report: one line per file ("OK", "ALTERED", "NO SIGNATURE", "UNREADABLE"), the
// signer's fingerprint and the outcome, each line ending in CR LF.
std::wstring VerifyReportText(const SetCheck& check, const std::wstring& jsonPath);

}  // namespace morvane
