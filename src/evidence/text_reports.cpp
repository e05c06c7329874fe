// Builds the audit log and the JSON report from one erase result.
#include "evidence/text_reports.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <utility>

#include "common/product.h"
#include "erase/record_status.h"
#include "erase/standards.h"
#include "erase/verify.h"
#include "evidence/certificate_id.h"
#include "evidence/certificate_rows.h"

namespace morvane {
namespace {

// Pass counts are unsigned in the record but printed as signed decimals.
std::wstring Signed(std::uint32_t value) {
    return std::to_wstring(static_cast<std::int32_t>(value));
}

// The audit log's labels of the sixteen hardware fields, in kHardwareFields order,
// padded to the 23-character column.
constexpr const wchar_t* kAuditHardwareLabels[16] = {
    L"  Manufacturer       : ", L"  Chassis type       : ", L"  Model              : ",
    L"  Serial             : ", L"  UUID               : ", L"  Asset tag          : ",
    L"  Processor          : ", L"  Total memory       : ", L"  Disk               : ",
    L"  Disk geometry      : ", L"  Graphics card      : ", L"  Sound cards        : ",
    L"  Network adapters   : ", L"  Motherboard        : ", L"  BIOS information   : ",
    L"  Storage controller : ",
};

std::wstring SignerLogValue(const EvidenceSigner& signer) {
    if (signer.certificateSha256.empty()) return L"NOT SIGNED";
    if (signer.pinned) return signer.certificateSha256;
    return signer.certificateSha256 + L" (" + kNotPinnedText + L")";
}

class AuditLogWriter {
public:
    void Line(const std::wstring& text) {
        out_ += text;
        out_ += L"\r\n";
    }
    // A line break inside a value would start a line of its own (a forged "Verification
    // Result" line, say): every character that a reader may take for one becomes a blank.
    void Field(const wchar_t* label, std::wstring value) {
        for (wchar_t& c : value) {
            if (std::wcschr(L"\r\n\v\f\x85\x2028\x2029", c) != nullptr && c != L'\0') c = L' ';
        }
        Line(label + value);
    }
    std::wstring Take() { return std::move(out_); }

private:
    std::wstring out_;
};

class JsonWriter {
public:
    JsonWriter() { out_ += L"{\n"; }
    // Every member but the last of its object is followed by a comma.
    void String(int level, const wchar_t* key, const std::wstring& value, bool last = false) {
        Member(level, key, L'"' + EscapeJson(value) + L'"', last);
    }
    // A number, true, false or null, written as it stands.
    void Literal(int level, const wchar_t* key, const std::wstring& value, bool last = false) {
        Member(level, key, value, last);
    }
    void Open(int level, const wchar_t* key) {
        Indent(level);
        out_ += L'"';
        out_ += key;
        out_ += L"\": {\n";
    }
    void Close(int level, bool last) {
        Indent(level);
        out_ += last ? L"}\n" : L"},\n";
    }
    std::wstring Finish() {
        out_ += L"}\n";
        return std::move(out_);
    }

private:
    void Indent(int level) { out_.append(static_cast<std::size_t>(level) * 2, L' '); }
    void Member(int level, const wchar_t* key, const std::wstring& value, bool last) {
        Indent(level);
        out_ += L'"';
        out_ += key;
        out_ += L"\": ";
        out_ += value;
        out_ += last ? L"\n" : L",\n";
    }
    std::wstring out_;
};

}  // namespace

std::wstring EscapeJson(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
            case L'"': out += L"\\\""; break;
            case L'\\': out += L"\\\\"; break;
            case L'\b': out += L"\\b"; break;
            case L'\f': out += L"\\f"; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            case L'\t': out += L"\\t"; break;
            default:
                if (c < 0x20) {
                    wchar_t escape[8];
                    std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
                    out += escape;
                } else {
                    out += c;
                }
                break;
        }
    }
    return out;
}

std::wstring FormatJsonNumber(double value) {
    // "nan" or "inf" would make the whole document unparsable.
    if (!std::isfinite(value)) return L"0";
    // to_chars in general format with precision 6 is the default stream format
    // without any locale or C-runtime exponent-width quirks.
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                         std::chars_format::general, 6);
    if (ec != std::errc{}) return L"0";
    return std::wstring(buffer, end);
}

std::wstring BuildAuditLog(const EraseResult& r) {
    const std::wstring heavyRule(72, L'=');
    AuditLogWriter log;
    log.Line(heavyRule);
    log.Line(L"  MORVANE DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT");
    log.Line(heavyRule);
    log.Line(L"[Report details]");
    log.Field(L"  Report UUID / ID   : ", r.certificateId);
    log.Field(L"  Start Timestamp    : ", r.startTime);
    log.Field(L"  End Timestamp      : ", r.endTime);
    log.Field(L"  Software Version   : ", ProductLineText());
    log.Field(L"  Operator / Org     : ", r.job.operatorName + L" / " + r.job.organizationName);
    log.Field(L"  Execution Mode     : ",
              !IsSimulationRecord(r) ? L"Physical Hardware Erase" : L"Simulation (Dry-Run)");
    log.Field(L"  Sanitization Method: ", StandardName(r.job.standard));
    log.Field(L"  Passes Completed   : ", Signed(r.passesCompleted) + L" / " + Signed(r.passesPlanned));
    log.Field(L"  Verification Result: ", r.verificationResult);
    log.Field(L"  Verification Level : ", VerifyLevelName(r.job.verifyLevel));
    log.Field(L"  Firmware Sanitize  : ", r.firmware.method + L" - " + r.firmware.result);
    log.Field(L"  Hidden Capacity    : ", HiddenCapacitySummary(r.hiddenCapacity));
    log.Field(L"  Signer Certificate : ", SignerLogValue(r.signer));
    log.Field(L"  Disk Stamp Status  : ", r.diskStampStatus);
    log.Field(L"  SHA-256 Digest     : ", r.sha256Fingerprint);
    log.Line(std::wstring(72, L'-'));
    log.Line(L"[Hardware details]");
    for (std::size_t i = 0; i < kHardwareFields.size(); ++i) {
        log.Field(kAuditHardwareLabels[i], r.stamp.hardware.*kHardwareFields[i].member);
    }
    log.Line(std::wstring(72, L'-'));
    log.Line(L"[Firmware sanitize details]");
    log.Field(L"  Detail             : ", r.firmware.detail.empty() ? std::wstring(L"-") : r.firmware.detail);
    log.Field(L"  Hidden Area Detail : ",
              r.hiddenCapacity.detail.empty() ? std::wstring(L"-") : r.hiddenCapacity.detail);
    log.Line(heavyRule);
    return log.Take();
}

std::wstring BuildJsonReport(const EraseResult& r) {
    JsonWriter json;
    json.String(1, L"certificateId", r.certificateId);
    json.String(1, L"application", ApplicationText());
    json.String(1, L"startTime", r.startTime);
    json.String(1, L"endTime", r.endTime);
    json.Literal(1, L"elapsedSeconds", FormatJsonNumber(r.elapsedSeconds));
    json.String(1, L"executionMode", !IsSimulationRecord(r) ? L"RealHardwareWrite" : L"SimulationDryRun");
    json.String(1, L"operatorName", r.job.operatorName);
    json.String(1, L"organizationName", r.job.organizationName);
    json.Open(1, L"hardwareDetails");
    const std::size_t count = kHardwareFields.size();
    for (std::size_t i = 0; i < count; ++i) {
        const HardwareFieldRef& f = kHardwareFields[i];
        json.String(2, f.key, r.stamp.hardware.*f.member, i + 1 == count);
    }
    json.Close(1, false);
    json.Open(1, L"sanitization");
    json.String(2, L"standard", StandardName(r.job.standard));
    json.Literal(2, L"passesCompleted", Signed(r.passesCompleted));
    json.Literal(2, L"passesPlanned", Signed(r.passesPlanned));
    json.String(2, L"verificationResult", r.verificationResult);
    json.String(2, L"diskStampStatus", r.diskStampStatus);
    json.Open(2, L"firmwareSanitize");
    json.String(3, L"method", r.firmware.method);
    json.String(3, L"result", r.firmware.result);
    json.String(3, L"detail", r.firmware.detail, true);
    json.Close(2, false);
    json.Open(2, L"hiddenCapacity");
    json.String(3, L"result", r.hiddenCapacity.result);
    json.Literal(3, L"hiddenSectors", std::to_wstring(r.hiddenCapacity.hiddenSectors));
    json.Literal(3, L"coveredByFirmware", r.hiddenCapacity.coveredByFirmware ? L"true" : L"false");
    json.String(3, L"detail", r.hiddenCapacity.detail, true);
    json.Close(2, true);
    json.Close(1, false);
    json.String(1, L"sha256Fingerprint", r.sha256Fingerprint);
    if (r.signer.certificateSha256.empty()) {
        json.Literal(1, L"signer", L"null", true);  // an unsigned set claims no signer
    } else {
        json.Open(1, L"signer");
        json.String(2, L"certificateSha256", r.signer.certificateSha256);
        json.String(2, L"subject", r.signer.subject);
        json.Literal(2, L"pinned", r.signer.pinned ? L"true" : L"false", true);
        json.Close(1, true);
    }
    return json.Finish();
}

}  // namespace morvane
