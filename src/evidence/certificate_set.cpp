// The run's fingerprint and the evidence files on disk: built, signed, then written.
#include "evidence/certificate_set.h"

#include <cstdint>
#include <cwchar>
#include <optional>
#include <vector>

#include "common/files.h"
#include "common/text.h"
#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/standards.h"
#include "evidence/certificate_page.h"
#include "evidence/html_certificate.h"
#include "evidence/pdf_document.h"
#include "evidence/sha256.h"
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
    const Sha256Digest digest = ComputeSha256(WholeUtf8(FingerprintInput(result)));
    switch (digest.status) {
        case DigestStatus::Ok: return HexUpper(digest.bytes);
        case DigestStatus::Unavailable: return kFingerprintUnavailable;
        default: return kFingerprintError;
    }
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

namespace {

// The four files in kSignedFileEndings order, with `signer` printed in them; the PDF
// stays empty when its page cannot be drawn.
std::vector<std::string> BuildSetFiles(EraseResult result, const EvidenceSigner& signer, const std::wstring& stem) {
    result.signer = signer;
    std::vector<std::string> files{WholeUtf8(BuildHtmlCertificate(result)), WholeUtf8(BuildAuditLog(result)),
                                   WholeUtf8(BuildJsonReport(result)), std::string()};
    const std::wstring jsonName = stem + kSignedFileEndings[2];
    if (const std::optional<PageImage> page = PaintCertificatePage(result, jsonName)) {
        // The JSON report travels inside the PDF, byte for byte the file beside it.
        const PdfAttachment json{jsonName, L"JSON report (JSONレポート)", files[2]};
        files[3] = BuildImagePdf(*page, L"Certificate of Data Erasure - " + result.certificateId, json);
    }
    return files;
}

// One signature per built file; empty when any of them failed.
std::vector<std::string> SignFiles(const EvidenceSigningKey& key, const std::vector<std::string>& files) {
    std::vector<std::string> signatures;
    for (const std::string& file : files) {
        if (file.empty()) {
            signatures.emplace_back();  // the PDF that could not be drawn
            continue;
        }
        signatures.push_back(key.SignDetached(file));
        if (signatures.back().empty()) return {};
    }
    return signatures;
}

std::wstring WithoutTag(const std::wstring& line) {
    const std::size_t end = line.starts_with(L"[") ? line.find(L"] ") : std::wstring::npos;
    return end == std::wstring::npos ? line : line.substr(end + 2);
}

}  // namespace

CertificatePaths WriteCertificateFiles(const EraseResult& result, const std::wstring& folder, const LogCallback& log,
                                       const EvidenceEdges& edges) {
    // Both results are ignored: an existing folder is the usual case, and a folder
    // that cannot be made shows up as failed writes below.
    (void)::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    (void)::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring stem = CertificateFileStem(result.certificateId);
    const std::wstring base = folder + L"\\" + stem;

    const SignerRequest request{result.job.signerThumbprint, result.job.organizationName,
                                result.stamp.hardware.uuid, result.runningInWinPE == 1};
    const SignerChoice choice = edges.chooseSigner ? edges.chooseSigner(request) : ChooseEvidenceSigner(request);
    for (const std::wstring& note : choice.notes) EmitLog(log, note);

    CertificatePaths paths;
    std::vector<std::string> files, signatures;
    if (choice.key) {
        paths.signer = choice.key->Identity();
        files = BuildSetFiles(result, paths.signer, stem);
        signatures = SignFiles(*choice.key, files);
        if (signatures.empty()) paths.unsignedReason = L"電子署名の作成に失敗しました";
    } else {
        paths.unsignedReason = choice.notes.empty() ? L"署名者がありません" : WithoutTag(choice.notes.back());
    }
    if (signatures.empty()) {
        // The files must not name a signer whose signatures they lack.
        paths.signer = {};
        files = BuildSetFiles(result, paths.signer, stem);
        EmitLog(log, L"[SIGNATURE] 証明書一式を電子署名なしで保存します: " + paths.unsignedReason);
    }

    // Each file is written with its signature; a failure does not stop the others. An
    // unsigned set removes signatures an earlier save of the same ID left behind.
    bool allWritten = true;
    const auto write = [&](const std::wstring& path, const std::string& bytes) {
        if (WriteWholeFile(path, bytes)) return true;
        allWritten = false;
        EmitLog(log, L"[ERROR] 証明書ファイルの書き込みに失敗しました: " + path);
        return false;
    };
    std::wstring* const named[4] = {&paths.html, &paths.auditLog, &paths.json, &paths.pdf};
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::wstring path = base + kSignedFileEndings[i];
        if (files[i].empty()) {
            // An older PDF of the same ID would pass for this set's: it goes.
            EmitLog(log, L"[ERROR] PDF証明書を作成できませんでした: " + path);
            (void)::DeleteFileW(path.c_str());
        } else if (write(path, files[i])) {
            *named[i] = path;
            if (!signatures.empty()) (void)write(path + kSignatureSuffix, signatures[i]);
        }
        if (signatures.empty() || files[i].empty()) (void)::DeleteFileW((path + kSignatureSuffix).c_str());
    }
    const std::wstring certificatePath = base + kSignerCertificateEnding;
    if (signatures.empty()) {
        (void)::DeleteFileW(certificatePath.c_str());
    } else if (write(certificatePath, choice.key->CertificateDer())) {
        paths.signerCertificate = certificatePath;
    }
    if (!allWritten) return {};
    return paths;
}

std::wstring CertificateFolderFor(const EraseJob& job) {
    return job.outputFolder.empty() ? DefaultCertificateFolder() : job.outputFolder;
}

bool SaveCertificateSet(EraseResult& result, const LogCallback& log, const EvidenceEdges& edges) {
    result.htmlPath.clear();
    result.auditLogPath.clear();
    result.jsonPath.clear();
    result.signer = {};
    if (!result.job.CertificatesWanted()) return true;

    // Success is not logged here: the caller words the outcome (the window prints its own line).
    const CertificatePaths paths = WriteCertificateFiles(result, CertificateFolderFor(result.job), log, edges);
    if (paths.html.empty()) return false;

    result.htmlPath = paths.html;
    result.auditLogPath = paths.auditLog;
    result.jsonPath = paths.json;
    result.signer = paths.signer;
    if (!paths.unsignedReason.empty()) {
        if (!result.message.empty()) result.message += L"\n";
        result.message += L"証明書一式に電子署名できませんでした: " + paths.unsignedReason;
    }
    return true;
}

}  // namespace morvane
