// Text conversions and small text helpers shared by every subsystem: the ANSI code
// page, UTF-8 (evidence files, the stamp record, SMBIOS strings), trimming, ASCII
// upper-casing and hexadecimal digits.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Narrow text in the ANSI code page to UTF-16; empty on empty input or failure.
std::wstring AnsiToWide(std::string_view text);

// UTF-8 without byte-order mark. The input is taken as zero-terminated, so an
// embedded NUL ends the conversion; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);
// The UTF-8 of the whole text: unlike WideToUtf8, each embedded NUL is kept as a
// zero byte, so a value carrying one cannot silently cut a file or a digest short.
std::string WholeUtf8(const std::wstring& text);
// Input taken as zero-terminated; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);

// Plain ASCII (digits, letters, punctuation) widened character by character.
std::wstring AsciiToWide(std::string_view ascii);

// Strips leading and trailing white space (isspace) and NUL characters.
std::string TrimAscii(std::string_view text);
std::string TrimAscii(const char* text);
// Removes space, tab, CR and LF (only those) from both ends.
std::wstring Trim(std::wstring_view text);

// The items with `separator` between them; an empty list gives empty text.
std::wstring JoinTexts(const std::vector<std::wstring>& items, std::wstring_view separator);

// a-z to A-Z; every other character unchanged (no locale rules).
constexpr wchar_t UpperAscii(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}
constexpr bool IsAsciiLetter(wchar_t c) {
    return UpperAscii(c) >= L'A' && UpperAscii(c) <= L'Z';
}

// Two upper-case hexadecimal digits per byte, in buffer order.
std::wstring HexUpper(std::span<const std::uint8_t> bytes);

}  // namespace morvane
