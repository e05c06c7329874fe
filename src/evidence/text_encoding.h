// UTF-16 <-> UTF-8 conversion for the evidence files and the stamp's text record.
#pragma once

#include <string>
#include <string_view>

namespace morvane {

// UTF-8 without byte-order mark. The input is taken as zero-terminated, so an
// embedded NUL ends the conversion; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);
// Input taken as zero-terminated; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);

}  // namespace morvane
