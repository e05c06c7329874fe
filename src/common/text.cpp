// Text conversions through the Windows converters with their default replacement
// rules, and the locale-free helpers.
#include "common/text.h"

#include <cctype>

#include "common/win32.h"

namespace morvane {

std::wstring AnsiToWide(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), needed);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(size) - 1);
    // An embedded NUL ends the conversion early: keep only what precedes it.
    bytes.resize(std::char_traits<char>::length(bytes.c_str()));
    return bytes;
}

std::string WholeUtf8(const std::wstring& text) {
    std::string bytes;
    std::size_t from = 0;
    for (;;) {
        const std::size_t nul = text.find(L'\0', from);
        bytes += WideToUtf8(text.substr(from, nul == std::wstring::npos ? std::wstring::npos : nul - from));
        if (nul == std::wstring::npos) return bytes;
        bytes += '\0';
        from = nul + 1;
    }
}

std::wstring Utf8ToWide(std::string_view bytes) {
    // Taken as zero-terminated: stop at the first NUL.
    const std::string text(bytes.substr(0, bytes.find('\0')));
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(static_cast<std::size_t>(size) - 1);
    return wide;
}

std::wstring AsciiToWide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

namespace {
bool IsTrimmedNarrow(char c) {
    return c == '\0' || std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool IsTrimmedWide(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}
}  // namespace

std::string TrimAscii(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmedNarrow(text[first])) ++first;
    while (last > first && IsTrimmedNarrow(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::string TrimAscii(const char* text) {
    if (text == nullptr) return {};
    return TrimAscii(std::string_view(text));
}

std::wstring Trim(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmedWide(text[first])) ++first;
    while (last > first && IsTrimmedWide(text[last - 1])) --last;
    return std::wstring(text.substr(first, last - first));
}

std::wstring JoinTexts(const std::vector<std::wstring>& items, std::wstring_view separator) {
    std::wstring joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) joined += separator;
        joined += items[i];
    }
    return joined;
}

std::wstring HexUpper(std::span<const std::uint8_t> bytes) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    hex.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

}  // namespace morvane
