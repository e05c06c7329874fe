// The SHA-256 fingerprint of an erase result and the certificate file set (HTML
// certificate, audit log, JSON report) written into one folder.
#pragma once

#include <string>

#include "common/log_callback.h"
#include "erase/records.h"

namespace morvane {

// Folder name used beside the program file when the job names no output folder.
inline constexpr wchar_t kDefaultCertificateFolderName[] = L"Certificates";
// Fixed texts that stand in for the digest when CNG cannot compute it.
inline constexpr wchar_t kFingerprintUnavailable[] = L"SHA256-UNAVAILABLE";
inline constexpr wchar_t kFingerprintError[] = L"SHA256-ERROR";

// The ten pipe-joined fields that the fingerprint covers (before UTF-8 conversion).
std::wstring FingerprintInput(const EraseResult& result);
// 64 upper-case hexadecimal digits, or one of the two fixed failure texts.
std::wstring ComputeFingerprint(const EraseResult& result);

// The folder beside the program: the folder of `programPath` + "\Certificates".
std::wstring CertificateFolderBeside(const std::wstring& programPath);
// CertificateFolderBeside of this process's own executable.
std::wstring DefaultCertificateFolder();
// Where a job's files go: its output folder, or the default folder when it names none.
std::wstring CertificateFolderFor(const EraseJob& job);
// The file-name stem for a certificate ID: characters a Windows file name cannot hold
// (path separators from a tampered stamp record, for instance) become '_', so the
// files always land inside the chosen folder. Well-formed IDs are unchanged.
std::wstring CertificateFileStem(const std::wstring& certificateId);

// Creates or replaces `path` with the UTF-8 form of `text` (no byte-order mark).
[[nodiscard]] bool WriteUtf8File(const std::wstring& path, const std::wstring& text);

struct CertificatePaths {
    std::wstring html;
    std::wstring auditLog;
    std::wstring json;
};

// Writes the three files for the result as recorded (it neither fingerprints nor
// collects anything) into `folder`, creating missing folders. Every file is tried;
// each failed one logs an "[ERROR] " line, and then all three paths come back empty.
[[nodiscard]] CertificatePaths WriteCertificateFiles(const EraseResult& result, const std::wstring& folder,
                                                     const LogCallback& log);

// Writes the sealed result's files into CertificateFolderFor(job) and stores their
// paths; with certificates disabled nothing is written and the paths stay empty. Any
// failed write empties all three paths and gives false (the failed files are logged;
// success logs nothing).
[[nodiscard]] bool SaveCertificateSet(EraseResult& result, const LogCallback& log);

}  // namespace morvane
