// The report window's rows and clipboard text, from the stamp alone.
#include "ui/report_text.h"

#include <array>

#include "common/hardware_profile.h"
#include "common/product.h"

namespace morvane {
namespace {

// The painted labels; the clipboard prints each indented by two blanks.
constexpr std::array<const wchar_t*, 7> kDetailLabels = {
    L"Report UUID / ID :", L"Report date      :", L"Software version :", L"Erasure standard :",
    L"Verification     :", L"Disk stamp state :", L"SHA-256 digest   :",
};
constexpr std::array<const wchar_t*, 16> kHardwareLabels = {
    L"Manufacturer     :", L"Chassis type     :", L"Model            :", L"Serial           :",
    L"UUID             :", L"Asset tag        :", L"Processor        :", L"Total memory     :",
    L"Disk             :", L"Disk geometry    :", L"Graphics card    :", L"Sound cards      :",
    L"Network adapters :", L"Motherboard      :", L"BIOS information :", L"Storage control  :",
};

std::wstring StandardWithPasses(const ReportStamp& stamp) {
    return stamp.standardName + L" (" + std::to_wstring(stamp.passesCompleted) + L" Passes)";
}

// The seven report values in row order, as recorded.
std::array<std::wstring, 7> DetailValues(const ReportStamp& stamp) {
    return {stamp.certificateId,      stamp.sanitizationDate, stamp.productLine,      StandardWithPasses(stamp),
            stamp.verificationResult, stamp.stampStatus,      stamp.sha256Fingerprint};
}

std::wstring Or(const std::wstring& value, const std::wstring& fallback) {
    return value.empty() ? fallback : value;
}

}  // namespace

ReportBadge BadgeOf(std::optional<RecordOutcome> outcome) {
    if (!outcome) return {L"● HARDWARE PREVIEW", BadgeTone::Amber};
    switch (*outcome) {
        case RecordOutcome::Verified: return {L"★ SANITIZED & VERIFIED", BadgeTone::Green};
        case RecordOutcome::NotVerified: return {L"★ SANITIZED - NOT VERIFIED", BadgeTone::Amber};
        case RecordOutcome::SimulationOnly: return {L"● SIMULATION ONLY - NOT ERASED", BadgeTone::Grey};
        case RecordOutcome::Cancelled:
        case RecordOutcome::Failed: break;
    }
    return {L"● NOT SANITIZED", BadgeTone::Red};
}

ReportView BuildReportView(const ReportStamp& stamp, const std::wstring& now, std::optional<RecordOutcome> outcome) {
    ReportView view;
    view.badge = BadgeOf(outcome);
    const std::array<std::wstring, 7> values = {
        Or(stamp.certificateId, L"(未発行 - 消去実行で自動採番)"),
        Or(stamp.sanitizationDate, now),
        Or(stamp.productLine, ProductLineText()),
        stamp.standardName.empty() ? L"NIST SP 800-88 Rev.1 Purge" : StandardWithPasses(stamp),
        Or(stamp.verificationResult, L"READY"),
        Or(stamp.stampStatus, L"Bootable Report Stamp Ready"),
        Or(stamp.sha256Fingerprint, L"N/A (Generated upon sanitization completion)"),
    };
    for (std::size_t i = 0; i < values.size(); ++i) view.details.push_back({kDetailLabels[i], values[i]});
    for (std::size_t i = 0; i < kHardwareFields.size(); ++i) {
        view.hardware.push_back({kHardwareLabels[i], stamp.hardware.*kHardwareFields[i].member});
    }
    return view;
}

std::wstring ReportClipboardText(const ReportStamp& stamp, std::optional<RecordOutcome> outcome) {
    const std::wstring rule(72, L'=');
    std::wstring text;
    const auto line = [&text](const std::wstring& content) { text += content + L"\r\n"; };
    line(rule);
    line(L"  MORVANE DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT");
    line(rule);
    line(L"[Report details]");
    line(L"  Report status    : " + BadgeOf(outcome).text);
    const std::array<std::wstring, 7> values = DetailValues(stamp);
    for (std::size_t i = 0; i < values.size(); ++i) line(L"  " + std::wstring(kDetailLabels[i]) + L" " + values[i]);
    line(L"");
    line(L"[Hardware details]");
    for (std::size_t i = 0; i < kHardwareFields.size(); ++i) {
        line(L"  " + std::wstring(kHardwareLabels[i]) + L" " + stamp.hardware.*kHardwareFields[i].member);
    }
    return text;
}

std::wstring SaveDoneText(const CertificatePaths& paths) {
    return L"指定された保存先へ証明書および監査ログ一式を保存しました！\n\n・HTML証明書: " + paths.html +
           L"\n・JSONレポート: " + paths.json + L"\n・TXT監査ログ: " + paths.auditLog;
}

std::wstring OpenCertificateFailedText(const std::wstring& htmlPath) {
    return L"HTML証明書を開くアプリケーションが見つかりませんでした (WinPE環境などブラウザがない環境では表示できません)。\n"
           L"証明書ファイルは次の場所に保存されています。別のPCのブラウザで開いてください。\n\n" +
           htmlPath;
}

}  // namespace morvane
