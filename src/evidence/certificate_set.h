// The SHA-256 fingerprint of an erase result and the certificate file set written into
// one folder: HTML certificate, audit log, JSON report and PDF certificate, each with
// its detached signature, and the signer's certificate.
#pragma once

#include <functional>
#include <string>

#include "common/log_callback.h"
#include "erase/records.h"
#include "evidence/signer.h"

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

// "<file>.p7s": the detached signature beside each signed file.
inline constexpr wchar_t kSignatureSuffix[] = L".p7s";

struct CertificatePaths {
    std::wstring html;
    std::wstring auditLog;
    std::wstring json;
    std::wstring pdf;                // empty when the page could not be drawn
    std::wstring signerCertificate;  // "<ID>_Signer.cer"; empty for an unsigned set
    EvidenceSigner signer;           // who signed; an empty digest for an unsigned set
    std::wstring unsignedReason;     // why the set carries no signature
};

// The file names of a set after its stem (the certificate ID), in signing order.
inline constexpr const wchar_t* kSignedFileEndings[4] = {L"_Certificate.html", L"_AuditLog.txt", L"_Report.json",
                                                         L"_Certificate.pdf"};
inline constexpr wchar_t kSignerCertificateEnding[] = L"_Signer.cer";

// The seam to the machine's keys: tests give a signer of their own.
struct EvidenceEdges {
    std::function<SignerChoice(const SignerRequest&)> chooseSigner;  // empty: ChooseEvidenceSigner
};

// Writes the result as recorded (it neither fingerprints nor collects anything) into
// `folder`, creating missing folders: the four files, signed by the signer the job's
// thumbprint, organisation and the machine choose, with the signer's certificate. A
// set that cannot be signed is written unsigned (and says so in its files, the log and
// `unsignedReason`). Every file is tried; each failed one logs an "[ERROR] " line, and
// then all paths come back empty.
[[nodiscard]] CertificatePaths WriteCertificateFiles(const EraseResult& result, const std::wstring& folder,
                                                     const LogCallback& log, const EvidenceEdges& edges = {});

// Writes the sealed result's files into CertificateFolderFor(job) and stores their
// paths and signer; with certificates disabled nothing is written and the paths stay
// empty. Any failed write empties all paths and gives false (the failed files are
// logged; success logs nothing). An unsigned set adds its reason to the message.
[[nodiscard]] bool SaveCertificateSet(EraseResult& result, const LogCallback& log, const EvidenceEdges& edges = {});

}  // namespace morvane
