// Seals an erase result with its SHA-256 fingerprint and writes the certificate
// file set (HTML certificate, audit log, JSON report) into one folder.
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

// The folder beside the program: everything before the last separator of
// `programPath` + "\Certificates", or the relative "Certificates" when there is none.
std::wstring CertificateFolderBeside(const std::wstring& programPath);
// CertificateFolderBeside of this process's own executable.
std::wstring DefaultCertificateFolder();
// The file-name stem for a certificate ID: characters a Windows file name cannot hold
// (path separators from a tampered stamp record, for instance) become '_', so the
// files always land inside the chosen folder. Well-formed IDs are unchanged.
std::wstring CertificateFileStem(const std::wstring& certificateId);

// Creates or replaces `path` with the UTF-8 form of `text` (no byte-order mark).
[[nodiscard]] bool WriteUtf8File(const std::wstring& path, const std::wstring& text);

// Sets a missing certificate ID, the fingerprint and a freshly composed stamp record,
// then (unless certificates are disabled) writes the three files and stores their
// paths. Any failed write empties all three paths and gives false.
[[nodiscard]] bool SaveCertificateSet(EraseResult& result, const LogCallback& log);

}  // namespace morvane
