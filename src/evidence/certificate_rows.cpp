// The rows, badge and fixed texts of the certificate page, from one erase result.
#include "evidence/certificate_rows.h"

#include "common/product.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "evidence/certificate_id.h"

namespace morvane {
namespace {

const wchar_t* ModeText(const EraseResult& r) {
    return !IsSimulationRecord(r) ? L"Hardware Physical Sector Sanitization (実機物理セクタ完全消去)"
                                  : L"Simulation / Dry-Run Verification Mode (安全テストモード)";
}

const wchar_t* EnvironmentText(std::uint32_t runningInWinPE) {
    return runningInWinPE == 1 ? L"Windows Preinstallation Environment (WinPE Standalone)"
                               : L"Microsoft Windows Workstation OS";
}

// Pass counts are unsigned in the record but printed as signed decimals.
std::wstring Signed(std::uint32_t value) {
    return std::to_wstring(static_cast<std::int32_t>(value));
}

CertificateRow SignerRow(const EvidenceSigner& signer) {
    const wchar_t* label = L"Signer certificate (署名者証明書)";
    if (signer.certificateSha256.empty()) return {label, kNotSignedText, true, {}};
    std::wstring tail = L" / " + signer.subject;
    if (!signer.pinned) tail += std::wstring(L" (") + kNotPinnedText + L")";
    return {label, signer.certificateSha256, false, std::move(tail)};
}

}  // namespace

CertificateBadge BadgeFor(const EraseResult& r) {
    switch (OutcomeOf(r)) {
        case RecordOutcome::SimulationOnly: return {L"SIMULATION ONLY - NOT ERASED (シミュレーション・未消去)", L"#94a3b8"};
        case RecordOutcome::NotVerified: return {L"COMPLETED - NOT VERIFIED (消去完了・検証なし)", L"#facc15"};
        case RecordOutcome::Verified: return {L"COMPLETED & VERIFIED (完全消去済)", L"#10b981"};
        case RecordOutcome::Cancelled: return {L"CANCELLED (中断)", L"#f59e0b"};
        case RecordOutcome::Failed: break;
    }
    return {L"FAILED (エラー終了)", L"#ef4444"};
}

std::vector<CertificateRow> ReportDetailRows(const EraseResult& r) {
    const EraseJob& job = r.job;
    std::vector<CertificateRow> rows;
    rows.push_back({L"Report UUID / 証明書ID", r.certificateId, true, {}});
    rows.push_back({L"Report date (発行日時)",
                    r.startTime + L" ～ " + r.endTime + L" (所要時間: " + FormatElapsed(r.elapsedSeconds) + L")"});
    rows.push_back({L"Software version", ProductLineText() + L" (" + EnvironmentText(r.runningInWinPE) + L")"});
    rows.push_back({L"Erasure standard (消去規格)",
                    StandardName(job.standard) + L" (" + Signed(r.passesCompleted) + L"/" + Signed(r.passesPlanned) +
                        L" Passes)",
                    true});
    rows.push_back({L"Verification (ベリファイ検証)", r.verificationResult, true});
    rows.push_back({L"Firmware sanitize (ファームウェア消去)", r.firmware.method + L" - " + r.firmware.result, true,
                    r.firmware.detail.empty() ? std::wstring() : L" (" + r.firmware.detail + L")"});
    rows.push_back({L"Hidden capacity (隠し領域 HPA/DCO)", HiddenCapacitySummary(r.hiddenCapacity), true,
                    r.hiddenCapacity.detail.empty() ? std::wstring() : L" (" + r.hiddenCapacity.detail + L")"});
    rows.push_back(SignerRow(r.signer));
    rows.push_back({L"Disk stamp state (実機スタンプ状態)", r.diskStampStatus, true,
                    std::wstring(L" (") + ModeText(r) + L")"});
    rows.push_back({L"Operator / Organization", job.operatorName + L" / " + job.organizationName});
    rows.push_back({L"Notes (備考)", job.notes.empty() ? std::wstring(L"-") : job.notes});
    return rows;
}

std::vector<CertificateRow> HardwareRows(const HardwareProfile& h) {
    return {
        {L"Manufacturer (メーカー)", h.manufacturer},
        {L"Chassis type (筐体タイプ)", h.chassisType},
        {L"Model (システムモデル)", h.model, true},
        {L"Serial (システムS/N)", h.serial},
        {L"UUID (システムUUID)", h.uuid},
        {L"Asset tag (資産タグ)", h.assetTag},
        {L"Processor (CPU)", h.processor},
        {L"Total memory (搭載RAM)", h.totalMemory},
        {L"Disk (消去対象ディスク)", h.disk, true},
        {L"Disk geometry (セクタ構成)", h.diskGeometry},
        {L"Graphics card (GPU)", h.graphicsCard},
        {L"Sound cards (オーディオ)", h.soundCards},
        {L"Network adapters (NIC/MAC)", h.networkAdapters},
        {L"Motherboard (マザーボード)", h.motherboard},
        {L"BIOS information", h.biosInformation},
        {L"Storage controller", h.storageController},
    };
}

std::wstring CertificateSubtitle() {
    return std::wstring(L"Machine Sanitization & Hardware Verification Report | Issued by ") + ProductLineText();
}

}  // namespace morvane
