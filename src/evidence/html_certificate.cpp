// Renders the HTML certificate line by line; values from the result are escaped,
// the program's own labels are written as they stand.
#include "evidence/html_certificate.h"

#include <cstdint>

#include "common/product.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "evidence/certificate_id.h"

namespace morvane {
namespace {

struct Badge {
    const wchar_t* text;
    const wchar_t* colour;
};

// A completed run earns the green "verified" badge only when it wrote to the disk and
// its read-back passed: a dry run erased nothing, and a skipped verification proved nothing.
Badge BadgeFor(const EraseResult& r) {
    switch (r.status) {
        case JobStatus::Completed:
            if (IsSimulationRecord(r)) {
                return {L"SIMULATION ONLY - NOT ERASED (シミュレーション・未消去)", L"#94a3b8"};
            }
            if (r.verificationResult.rfind(L"PASSED", 0) != 0) {
                return {L"COMPLETED - NOT VERIFIED (消去完了・検証なし)", L"#facc15"};
            }
            return {L"COMPLETED & VERIFIED (完全消去済)", L"#10b981"};
        case JobStatus::Cancelled: return {L"CANCELLED (中断)", L"#f59e0b"};
        default: return {L"FAILED (エラー終了)", L"#ef4444"};
    }
}

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

void AppendStyle(std::wstring& page, const wchar_t* badgeColour) {
    page += L"<style>\n";
    page += L"body { font-family: 'Segoe UI', 'Yu Gothic UI', Meiryo, sans-serif; background: #f1f5f9; color: #0f172a; margin: 0; padding: 32px; }\n";
    page += L".cert-container { max-width: 960px; margin: 0 auto; background: #ffffff; border: 2px solid #0f172a; border-radius: 8px; box-shadow: 0 10px 25px rgba(0,0,0,0.08); overflow: hidden; position: relative; }\n";
    page += L".header { background: #0f172a; border-bottom: 4px solid #0ea5e9; color: #ffffff; padding: 26px 36px; display: flex; justify-content: space-between; align-items: center; }\n";
    page += L".header h1 { margin: 0; font-size: 23px; letter-spacing: 1px; }\n";
    page += L".header p { margin: 6px 0 0; font-size: 13px; color: #bae6fd; }\n";
    page += L".badge { background: ";
    page += badgeColour;
    page += L"; color: #0f172a; padding: 10px 18px; border-radius: 4px; font-weight: 800; font-size: 14px; }\n";
    page += L".content { padding: 28px 36px; position: relative; }\n";
    page += L".section-title { font-size: 15px; font-weight: 700; color: #0f172a; border-left: 5px solid #0ea5e9; padding-left: 10px; margin: 22px 0 10px; }\n";
    page += L"table { width: 100%; border-collapse: collapse; margin-bottom: 14px; font-size: 13.5px; }\n";
    page += L"th, td { padding: 8px 12px; border: 1px solid #cbd5e1; text-align: left; }\n";
    page += L"th { width: 28%; background: #f8fafc; color: #334155; font-weight: 600; }\n";
    page += L".hash-box { background: #0f172a; color: #38bdf8; font-family: Consolas, monospace; padding: 14px; border-radius: 6px; font-size: 13px; word-break: break-all; }\n";
    page += L".sign-row { display: flex; justify-content: space-between; margin-top: 32px; gap: 24px; }\n";
    page += L".sign-box { flex: 1; border-top: 1px solid #64748b; padding-top: 8px; font-size: 12px; color: #475569; }\n";
    page += L"@media print { body { background: #fff; padding: 0; } .cert-container { box-shadow: none; border: 2px solid #000; } }\n";
    page += L"</style>\n";
}

void AppendRow(std::wstring& page, const wchar_t* head, const std::wstring& value, const wchar_t* tail) {
    page += head;
    page += value;
    page += tail;
    page += L'\n';
}

void AppendReportRows(std::wstring& page, const EraseResult& r) {
    const EraseJob& job = r.job;
    AppendRow(page, L"      <tr><th>Report UUID / 証明書ID</th><td><strong>", EscapeHtml(r.certificateId),
              L"</strong></td></tr>");
    AppendRow(page, L"      <tr><th>Report date (発行日時)</th><td>",
              EscapeHtml(r.startTime) + L" ～ " + EscapeHtml(r.endTime) + L" (所要時間: " +
                  FormatElapsed(r.elapsedSeconds),
              L")</td></tr>");
    AppendRow(page, L"      <tr><th>Software version</th><td>",
              ProductLineText() + L" (" + EnvironmentText(r.runningInWinPE), L")</td></tr>");
    AppendRow(page, L"      <tr><th>Erasure standard (消去規格)</th><td><strong>",
              EscapeHtml(StandardName(job.standard)) + L" (" + Signed(r.passesCompleted) + L"/" +
                  Signed(r.passesPlanned),
              L" Passes)</strong></td></tr>");
    AppendRow(page, L"      <tr><th>Verification (ベリファイ検証)</th><td><strong>",
              EscapeHtml(r.verificationResult), L"</strong></td></tr>");
    AppendRow(page, L"      <tr><th>Firmware sanitize (ファームウェア消去)</th><td><strong>",
              EscapeHtml(r.firmware.method + L" - " + r.firmware.result) + L"</strong>" +
                  (r.firmware.detail.empty() ? std::wstring() : L" (" + EscapeHtml(r.firmware.detail) + L")"),
              L"</td></tr>");
    AppendRow(page, L"      <tr><th>Disk stamp state (実機スタンプ状態)</th><td><strong>",
              EscapeHtml(r.diskStampStatus) + L"</strong> (" + ModeText(r), L")</td></tr>");
    AppendRow(page, L"      <tr><th>Operator / Organization</th><td>",
              EscapeHtml(job.operatorName) + L" / " + EscapeHtml(job.organizationName), L"</td></tr>");
    AppendRow(page, L"      <tr><th>Notes (備考)</th><td>",
              job.notes.empty() ? std::wstring(L"-") : EscapeHtml(job.notes), L"</td></tr>");
}

void AppendHardwareRows(std::wstring& page, const HardwareProfile& h) {
    struct Row {
        const wchar_t* head;
        const std::wstring& value;
        const wchar_t* tail;
    };
    const Row rows[] = {
        {L"      <tr><th>Manufacturer (メーカー)</th><td>", h.manufacturer, L"</td></tr>"},
        {L"      <tr><th>Chassis type (筐体タイプ)</th><td>", h.chassisType, L"</td></tr>"},
        {L"      <tr><th>Model (システムモデル)</th><td><strong>", h.model, L"</strong></td></tr>"},
        {L"      <tr><th>Serial (システムS/N)</th><td>", h.serial, L"</td></tr>"},
        {L"      <tr><th>UUID (システムUUID)</th><td>", h.uuid, L"</td></tr>"},
        {L"      <tr><th>Asset tag (資産タグ)</th><td>", h.assetTag, L"</td></tr>"},
        {L"      <tr><th>Processor (CPU)</th><td>", h.processor, L"</td></tr>"},
        {L"      <tr><th>Total memory (搭載RAM)</th><td>", h.totalMemory, L"</td></tr>"},
        {L"      <tr><th>Disk (消去対象ディスク)</th><td><strong>", h.disk, L"</strong></td></tr>"},
        {L"      <tr><th>Disk geometry (セクタ構成)</th><td>", h.diskGeometry, L"</td></tr>"},
        {L"      <tr><th>Graphics card (GPU)</th><td>", h.graphicsCard, L"</td></tr>"},
        {L"      <tr><th>Sound cards (オーディオ)</th><td>", h.soundCards, L"</td></tr>"},
        {L"      <tr><th>Network adapters (NIC/MAC)</th><td>", h.networkAdapters, L"</td></tr>"},
        {L"      <tr><th>Motherboard (マザーボード)</th><td>", h.motherboard, L"</td></tr>"},
        {L"      <tr><th>BIOS information</th><td>", h.biosInformation, L"</td></tr>"},
        {L"      <tr><th>Storage controller</th><td>", h.storageController, L"</td></tr>"},
    };
    for (const Row& row : rows) AppendRow(page, row.head, EscapeHtml(row.value), row.tail);
}

}  // namespace

std::wstring EscapeHtml(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            case L'"': out += L"&quot;"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::wstring BuildHtmlCertificate(const EraseResult& result) {
    const Badge badge = BadgeFor(result);
    std::wstring page;
    page.reserve(12000);
    page += L"<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n";
    page += L"<title>Certificate of Data Erasure - " + EscapeHtml(result.certificateId) + L"</title>\n";
    AppendStyle(page, badge.colour);
    page += L"</head>\n<body>\n";
    page += L"<div class=\"cert-container\">\n";
    page += L"  <div class=\"header\">\n    <div>\n";
    page += L"      <h1>MORVANE DISK ERASER - データ完全消去＆実機ハードウェア証明書</h1>\n";
    page += L"      <p>Machine Sanitization &amp; Hardware Verification Report | Issued by Morvane Disk Eraser Suite v";
    page += kProductVersion;
    page += L"</p>\n";
    page += L"    </div>\n";
    page += L"    <div class=\"badge\">";
    page += badge.text;
    page += L"</div>\n";
    page += L"  </div>\n  <div class=\"content\">\n";

    page += L"    <div class=\"section-title\">1. Report details (消去証明・レポート詳細)</div>\n    <table>\n";
    AppendReportRows(page, result);
    page += L"    </table>\n";

    page += L"    <div class=\"section-title\">2. Hardware details (対象実機ハードウェア詳細仕様)</div>\n    <table>\n";
    AppendHardwareRows(page, result.stamp.hardware);
    page += L"    </table>\n";

    page += L"    <div class=\"section-title\">3. Cryptographic SHA-256 Fingerprint (改ざん防止デジタル署名)</div>\n";
    page += L"    <div class=\"hash-box\">SHA-256: " + EscapeHtml(result.sha256Fingerprint) + L"</div>\n";

    page += L"    <div class=\"sign-row\">\n";
    page += L"      <div class=\"sign-box\">作業実施者署名 (Operator Signature): ________________________</div>\n";
    page += L"      <div class=\"sign-box\">管理者・監査責任者承認 (Supervisor Approval): ________________________</div>\n";
    page += L"      <div class=\"sign-box\">確認日 (Date): ____年____月____日</div>\n";
    page += L"    </div>\n";
    page += L"  </div>\n</div>\n</body>\n</html>\n";
    return page;
}

}  // namespace morvane
