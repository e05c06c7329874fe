// The two plain-text renderings of an erase result: the audit log for people
// (CR LF, fixed label column) and the JSON report for machines (LF, two-blank indent).
#pragma once

#include <string>

#include "erase/records.h"

namespace morvane {

// JSON string escaping: quotation mark and reverse solidus get a reverse solidus,
// characters below U+0020 become escapes, everything else is kept as it is.
std::wstring EscapeJson(const std::wstring& text);

// A double as the default stream format writes it (six significant digits, trailing
// zeros dropped, scientific with a two-digit exponent only for very large or small
// values). Non-finite values give "0" so the JSON document stays well-formed.
std::wstring FormatJsonNumber(double value);

// Pure: reads only the result (hardware lines come from result.stamp.hardware).
// The drive's own sanitize and the hidden capacity follow the verification level: lines
// "  Firmware Sanitize  : <method> - <result>" and "  Hidden Capacity    : <summary>",
// with their details ("  Detail             : ", "  Hidden Area Detail : ") in the
// firmware section at the end.
std::wstring BuildAuditLog(const EraseResult& result);
// "sanitization" ends with "firmwareSanitize" {method, result, detail} and then
// "hiddenCapacity" {result: NONE | PRESENT | UNKNOWN | NOT APPLICABLE, hiddenSectors: a
// number (0 unless PRESENT), coveredByFirmware: true when a firmware sanitize that counted
// erased the hidden sectors, detail}.
std::wstring BuildJsonReport(const EraseResult& result);

}  // namespace morvane
