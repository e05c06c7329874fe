// What the certificate page shows, once for both of its forms (the HTML certificate
// and the PDF page): the outcome badge, the fixed headings and the labelled rows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "erase/records.h"

namespace morvane {

struct CertificateBadge {
    const wchar_t* text;
    const wchar_t* colour;  // "#rrggbb"
};

// Green only for a real write whose read-back passed: a dry run erased nothing, and a
// skipped verification proved nothing. Amber for a cancelled run, red for any other.
CertificateBadge BadgeFor(const EraseResult& result);

// One table row: `value` (bold when `bold`) and then `tail` in plain text. Labels are the
// program's own text; value and tail come from the result and are unescaped.
struct CertificateRow {
    CertificateRow(const wchar_t* label, std::wstring value, bool bold = false, std::wstring tail = {})
        : label(label), value(std::move(value)), bold(bold), tail(std::move(tail)) {}
    const wchar_t* label;
    std::wstring value;
    bool bold;
    std::wstring tail;
};

// "1. Report details": identity, dates, version, standard, verification, firmware
// sanitize, hidden capacity, signer, stamp state, operator and notes.
std::vector<CertificateRow> ReportDetailRows(const EraseResult& result);
// "2. Hardware details": the sixteen hardware fields (model and disk in bold).
std::vector<CertificateRow> HardwareRows(const HardwareProfile& hardware);

// The signer row's value where no signature was made.
inline constexpr wchar_t kNotSignedText[] = L"NOT SIGNED (署名なし)";
// What the evidence says of a signer made per boot (WinPE keeps its keys in RAM).
inline constexpr wchar_t kNotPinnedText[] = L"not pinned to this machine";

inline constexpr wchar_t kCertificateHeading[] = L"MORVANE DISK ERASER - データ完全消去＆実機ハードウェア証明書";
// The subtitle as text; the HTML page writes its ampersand as a character reference.
std::wstring CertificateSubtitle();
inline constexpr wchar_t kReportSectionTitle[] = L"1. Report details (消去証明・レポート詳細)";
inline constexpr wchar_t kHardwareSectionTitle[] = L"2. Hardware details (対象実機ハードウェア詳細仕様)";
inline constexpr wchar_t kFingerprintSectionTitle[] = L"3. Cryptographic SHA-256 Fingerprint (改ざん防止デジタル署名)";
inline constexpr const wchar_t* kSignatureBoxes[3] = {
    L"作業実施者署名 (Operator Signature): ________________________",
    L"管理者・監査責任者承認 (Supervisor Approval): ________________________",
    L"確認日 (Date): ____年____月____日",
};

}  // namespace morvane
