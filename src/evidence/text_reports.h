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
std::wstring BuildAuditLog(const EraseResult& result);
std::wstring BuildJsonReport(const EraseResult& result);

}  // namespace morvane
