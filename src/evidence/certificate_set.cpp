// Fingerprint through Windows CNG and the three evidence files on disk.
#include "evidence/certificate_set.h"

#include <array>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "common/files.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/standards.h"
#include "evidence/html_certificate.h"
#include "evidence/text_reports.h"

namespace morvane {

std::wstring FingerprintInput(const EraseResult& r) {
    const DiskInfo& disk = r.job.disk;
    std::wstring input;
    input += r.certificateId + L'|';
    input += r.startTime + L'|';
    input += r.endTime + L'|';
    input += disk.model + L'|';
    input += disk.serialNumber + L'|';
    input += std::to_wstring(disk.sizeBytes) + L'|';
    input += StandardName(r.job.standard) + L'|';
    input += std::to_wstring(static_cast<std::int32_t>(r.passesCompleted)) + L'/' +
             std::to_wstring(static_cast<std::int32_t>(r.passesPlanned)) + L'|';
    input += r.verificationResult + L'|';
    input += std::to_wstring(ValueOf(r.status));
    return input;
}

std::wstring ComputeFingerprint(const EraseResult& result) {
    const std::string bytes = WholeUtf8(FingerprintInput(result));
    UniqueBcryptAlgorithm algorithm;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !algorithm) {
        return kFingerprintUnavailable;
    }
    UniqueBcryptHash hash;
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)) || !hash) {
        return kFingerprintError;
    }
    std::array<std::uint8_t, 32> digest{};
    // BCryptHashData takes a non-const pointer but does not write through it.
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    const NTSTATUS hashed = ::BCryptHashData(hash.get(), data, static_cast<ULONG>(bytes.size()), 0);
    const NTSTATUS finished =
        ::BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
    // A failed hash would otherwise print an all-zero digest as if it were genuine.
    if (!BCRYPT_SUCCESS(hashed) || !BCRYPT_SUCCESS(finished)) return kFingerprintError;
    return HexUpper(digest);
}

std::wstring CertificateFolderBeside(const std::wstring& programPath) {
    return FolderOfPath(programPath) + L"\\" + kDefaultCertificateFolderName;
}

std::wstring DefaultCertificateFolder() {
    return CertificateFolderBeside(OwnExecutablePath());
}

std::wstring CertificateFileStem(const std::wstring& certificateId) {
    std::wstring stem = certificateId;
    for (wchar_t& c : stem) {
        if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) c = L'_';
    }
    return stem;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    return WriteWholeFile(path, WholeUtf8(text));
}

CertificatePaths WriteCertificateFiles(const EraseResult& result, const std::wstring& folder,
                                       const LogCallback& log) {
    // Both results are ignored: an existing folder is the usual case, and a folder
    // that cannot be made shows up as failed writes below.
    (void)::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    (void)::CreateDirectoryW(folder.c_str(), nullptr);

    const std::wstring base = folder + L"\\" + CertificateFileStem(result.certificateId);
    CertificatePaths paths{base + L"_Certificate.html", base + L"_AuditLog.txt", base + L"_Report.json"};

    // Each file is built just before it is written; a failure does not stop the others.
    bool allWritten = true;
    const auto write = [&](const std::wstring& path, const std::wstring& text) {
        if (WriteUtf8File(path, text)) return;
        allWritten = false;
        EmitLog(log, L"[ERROR] 証明書ファイルの書き込みに失敗しました: " + path);
    };
    write(paths.html, BuildHtmlCertificate(result));
    write(paths.auditLog, BuildAuditLog(result));
    write(paths.json, BuildJsonReport(result));
    if (!allWritten) return {};
    return paths;
}

std::wstring CertificateFolderFor(const EraseJob& job) {
    return job.outputFolder.empty() ? DefaultCertificateFolder() : job.outputFolder;
}

bool SaveCertificateSet(EraseResult& result, const LogCallback& log) {
    result.htmlPath.clear();
    result.auditLogPath.clear();
    result.jsonPath.clear();
    if (!result.job.CertificatesWanted()) return true;

    // Success is not logged here: the caller words the outcome (the window prints its own line).
    const CertificatePaths paths = WriteCertificateFiles(result, CertificateFolderFor(result.job), log);
    if (paths.html.empty()) return false;

    result.htmlPath = paths.html;
    result.auditLogPath = paths.auditLog;
    result.jsonPath = paths.json;
    return true;
}

}  // namespace morvane
