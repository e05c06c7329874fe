// Renders the HTML certificate line by line; values from the result are escaped,
// the program's own labels are written as they stand.
#include "evidence/html_certificate.h"

#include "evidence/certificate_rows.h"

namespace morvane {
namespace {

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

void AppendSectionTitle(std::wstring& page, const wchar_t* title) {
    page += L"    <div class=\"section-title\">" + std::wstring(title) + L"</div>\n";
}

// "      <tr><th>label</th><td>" + value (in <strong> when bold) + tail + "</td></tr>".
void AppendRows(std::wstring& page, const std::vector<CertificateRow>& rows) {
    for (const CertificateRow& row : rows) {
        page += L"      <tr><th>";
        page += row.label;
        page += L"</th><td>";
        page += row.bold ? L"<strong>" + EscapeHtml(row.value) + L"</strong>" : EscapeHtml(row.value);
        page += EscapeHtml(row.tail);
        page += L"</td></tr>\n";
    }
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
    const CertificateBadge badge = BadgeFor(result);
    std::wstring page;
    page.reserve(12000);
    page += L"<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n";
    page += L"<title>Certificate of Data Erasure - " + EscapeHtml(result.certificateId) + L"</title>\n";
    AppendStyle(page, badge.colour);
    page += L"</head>\n<body>\n";
    page += L"<div class=\"cert-container\">\n";
    page += L"  <div class=\"header\">\n    <div>\n";
    page += L"      <h1>" + std::wstring(kCertificateHeading) + L"</h1>\n";
    page += L"      <p>" + EscapeHtml(CertificateSubtitle()) + L"</p>\n";
    page += L"    </div>\n";
    page += L"    <div class=\"badge\">";
    page += badge.text;
    page += L"</div>\n";
    page += L"  </div>\n  <div class=\"content\">\n";

    AppendSectionTitle(page, kReportSectionTitle);
    page += L"    <table>\n";
    AppendRows(page, ReportDetailRows(result));
    page += L"    </table>\n";

    AppendSectionTitle(page, kHardwareSectionTitle);
    page += L"    <table>\n";
    AppendRows(page, HardwareRows(result.stamp.hardware));
    page += L"    </table>\n";

    AppendSectionTitle(page, kFingerprintSectionTitle);
    page += L"    <div class=\"hash-box\">SHA-256: " + EscapeHtml(result.sha256Fingerprint) + L"</div>\n";

    page += L"    <div class=\"sign-row\">\n";
    for (const wchar_t* box : kSignatureBoxes) page += L"      <div class=\"sign-box\">" + std::wstring(box) + L"</div>\n";
    page += L"    </div>\n";
    page += L"  </div>\n</div>\n</body>\n</html>\n";
    return page;
}

}  // namespace morvane
