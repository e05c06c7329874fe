// The HTML certificate: one self-contained page (inline style, no scripts, no
// images) rendered from an erase result.
#pragma once

#include <string>

#include "erase/records.h"

namespace morvane {

// Replaces & < > " with their character references; everything else is kept.
std::wstring EscapeHtml(const std::wstring& text);

// Pure: reads only the result (hardware rows come from result.stamp.hardware).
std::wstring BuildHtmlCertificate(const EraseResult& result);

}  // namespace morvane
