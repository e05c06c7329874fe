// Builds the audit log and the JSON report from one erase result.
#include "evidence/text_reports.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <utility>

#include "erase/standards.h"
#include "evidence/certificate_id.h"

namespace morvane {
namespace {

// Pass counts are unsigned in the record but printed as signed decimals.
std::wstring Signed(std::uint32_t value) {
    return std::to_wstring(static_cast<std::int32_t>(value));
}

// The sixteen hardware fields with their JSON keys and audit-log labels, in print order.
struct HardwareField {
    const wchar_t* key;
    const wchar_t* label;  // padded to the 23-character column
    std::wstring HardwareProfile::*field;
};

constexpr HardwareField kHardwareFields[] = {
    {L"manufacturer", L"  Manufacturer       : ", &HardwareProfile::manufacturer},
    {L"chassisType", L"  Chassis type       : ", &HardwareProfile::chassisType},
    {L"model", L"  Model              : ", &HardwareProfile::model},
    {L"serial", L"  Serial             : ", &HardwareProfile::serial},
    {L"uuid", L"  UUID               : ", &HardwareProfile::uuid},
    {L"assetTag", L"  Asset tag          : ", &HardwareProfile::assetTag},
    {L"processor", L"  Processor          : ", &HardwareProfile::processor},
    {L"totalMemory", L"  Total memory       : ", &HardwareProfile::totalMemory},
    {L"disk", L"  Disk               : ", &HardwareProfile::disk},
    {L"diskGeometry", L"  Disk geometry      : ", &HardwareProfile::diskGeometry},
    {L"graphicsCard", L"  Graphics card      : ", &HardwareProfile::graphicsCard},
    {L"soundCards", L"  Sound cards        : ", &HardwareProfile::soundCards},
    {L"networkAdapters", L"  Network adapters   : ", &HardwareProfile::networkAdapters},
    {L"motherboard", L"  Motherboard        : ", &HardwareProfile::motherboard},
    {L"biosInformation", L"  BIOS information   : ", &HardwareProfile::biosInformation},
    {L"storageController", L"  Storage controller : ", &HardwareProfile::storageController},
};

class AuditLogWriter {
public:
    void Line(const std::wstring& text) {
        out_ += text;
        out_ += L"\r\n";
    }
    void Field(const wchar_t* label, const std::wstring& value) { Line(label + value); }
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
    void Number(int level, const wchar_t* key, const std::wstring& value, bool last = false) {
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
              r.job.execMode != 0 ? L"Physical Hardware Erase" : L"Simulation (Dry-Run)");
    log.Field(L"  Sanitization Method: ", StandardName(r.job.standard));
    log.Field(L"  Passes Completed   : ", Signed(r.passesCompleted) + L" / " + Signed(r.passesPlanned));
    log.Field(L"  Verification Result: ", r.verificationResult);
    log.Field(L"  Disk Stamp Status  : ", r.diskStampStatus);
    log.Field(L"  SHA-256 Digest     : ", r.sha256Fingerprint);
    log.Line(std::wstring(72, L'-'));
    log.Line(L"[Hardware details]");
    for (const HardwareField& f : kHardwareFields) log.Field(f.label, r.stamp.hardware.*f.field);
    log.Line(heavyRule);
    return log.Take();
}

std::wstring BuildJsonReport(const EraseResult& r) {
    JsonWriter json;
    json.String(1, L"certificateId", r.certificateId);
    json.String(1, L"application", ApplicationText());
    json.String(1, L"startTime", r.startTime);
    json.String(1, L"endTime", r.endTime);
    json.Number(1, L"elapsedSeconds", FormatJsonNumber(r.elapsedSeconds));
    json.String(1, L"executionMode", r.job.execMode != 0 ? L"RealHardwareWrite" : L"SimulationDryRun");
    json.String(1, L"operatorName", r.job.operatorName);
    json.String(1, L"organizationName", r.job.organizationName);
    json.Open(1, L"hardwareDetails");
    const std::size_t count = std::size(kHardwareFields);
    for (std::size_t i = 0; i < count; ++i) {
        const HardwareField& f = kHardwareFields[i];
        json.String(2, f.key, r.stamp.hardware.*f.field, i + 1 == count);
    }
    json.Close(1, false);
    json.Open(1, L"sanitization");
    json.String(2, L"standard", StandardName(r.job.standard));
    json.Number(2, L"passesCompleted", Signed(r.passesCompleted));
    json.Number(2, L"passesPlanned", Signed(r.passesPlanned));
    json.String(2, L"verificationResult", r.verificationResult);
    json.String(2, L"diskStampStatus", r.diskStampStatus, true);
    json.Close(1, false);
    json.String(1, L"sha256Fingerprint", r.sha256Fingerprint, true);
    return json.Finish();
}

}  // namespace morvane
