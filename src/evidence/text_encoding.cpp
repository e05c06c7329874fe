// UTF-8 conversions through the Windows converter with its default replacement rules.
#include "evidence/text_encoding.h"

#include "common/win32.h"

namespace morvane {

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

}  // namespace morvane
