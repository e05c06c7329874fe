// Fingerprint through Windows CNG and the three evidence files on disk.
#include "evidence/certificate_set.h"

#include <array>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/standards.h"
#include "evidence/certificate_id.h"
#include "evidence/html_certificate.h"
#include "evidence/text_encoding.h"
#include "evidence/text_reports.h"
#include "stamp/compose.h"
// CNG and shell headers need the Windows types first.
#include <bcrypt.h>
#include <shlobj.h>

namespace morvane {
namespace {

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::BCryptDestroyHash(h); }
};
using UniqueAlgorithm = UniqueHandle<AlgorithmTraits>;
using UniqueHash = UniqueHandle<HashTraits>;

std::wstring HexUpper(const std::array<std::uint8_t, 32>& digest) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    hex.reserve(64);
    for (const std::uint8_t b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

// The UTF-8 of the whole text. The shared converter stops at the first NUL character,
// which would silently cut a report short (or leave the status out of the digest) if a
// value ever carried one; here each NUL is kept as a zero byte and the rest converted.
std::string WholeUtf8(const std::wstring& text) {
    std::string bytes;
    std::size_t from = 0;
    for (;;) {
        const std::size_t nul = text.find(L'\0', from);
        bytes += WideToUtf8(text.substr(from, nul == std::wstring::npos ? std::wstring::npos : nul - from));
        if (nul == std::wstring::npos) return bytes;
        bytes += '\0';
        from = nul + 1;
    }
}

std::wstring OwnProgramPath() {
    // Grow past MAX_PATH: a truncated path would put the folder somewhere else.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

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
    input += std::to_wstring(r.status);
    return input;
}

std::wstring ComputeFingerprint(const EraseResult& result) {
    const std::string bytes = WholeUtf8(FingerprintInput(result));
    UniqueAlgorithm algorithm;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !algorithm) {
        return kFingerprintUnavailable;
    }
    UniqueHash hash;
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
    const std::size_t separator = programPath.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return kDefaultCertificateFolderName;
    return programPath.substr(0, separator) + L"\\" + kDefaultCertificateFolderName;
}

std::wstring DefaultCertificateFolder() {
    return CertificateFolderBeside(OwnProgramPath());
}

std::wstring CertificateFileStem(const std::wstring& certificateId) {
    std::wstring stem = certificateId;
    for (wchar_t& c : stem) {
        if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) c = L'_';
    }
    return stem;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const std::string bytes = WholeUtf8(text);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return ok && written == bytes.size();
}

bool SaveCertificateSet(EraseResult& result, const LogCallback& log) {
    if (result.certificateId.empty()) result.certificateId = MakeCertificateId();
    result.sha256Fingerprint = ComputeFingerprint(result);
    // Recomposed after the fingerprint so the reports print the current digest and hardware.
    result.stamp = ComposeReportStamp(result);

    result.htmlPath.clear();
    result.auditLogPath.clear();
    result.jsonPath.clear();
    if (result.job.certificatesDisabled == 1) return true;

    const std::wstring folder =
        result.job.outputFolder.empty() ? DefaultCertificateFolder() : result.job.outputFolder;
    // Both results are ignored: an existing folder is the usual case, and a folder
    // that cannot be made shows up as failed writes below.
    (void)::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    (void)::CreateDirectoryW(folder.c_str(), nullptr);

    const std::wstring base = folder + L"\\" + CertificateFileStem(result.certificateId);
    const std::wstring htmlPath = base + L"_Certificate.html";
    const std::wstring auditLogPath = base + L"_AuditLog.txt";
    const std::wstring jsonPath = base + L"_Report.json";

    // Each file is built just before it is written; a failure does not stop the others.
    bool allWritten = true;
    const auto write = [&](const std::wstring& path, const std::wstring& text) {
        if (WriteUtf8File(path, text)) return;
        allWritten = false;
        EmitLog(log, L"[ERROR] 証明書ファイルの書き込みに失敗しました: " + path);
    };
    write(htmlPath, BuildHtmlCertificate(result));
    write(auditLogPath, BuildAuditLog(result));
    write(jsonPath, BuildJsonReport(result));
    if (!allWritten) return false;

    result.htmlPath = htmlPath;
    result.auditLogPath = auditLogPath;
    result.jsonPath = jsonPath;
    EmitLog(log, L"[CERTIFICATE] 消去証明書・監査ログ・JSONレポートを保存しました: " + folder);
    return true;
}

}  // namespace morvane
