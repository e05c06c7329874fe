// The pure parts of choosing a signer: thumbprint text and subject values.
#include "evidence/signer.h"

#include "common/product.h"

namespace morvane {

std::optional<std::array<std::uint8_t, 20>> ParseThumbprint(std::wstring_view text) {
    std::array<std::uint8_t, 20> bytes{};
    std::size_t digits = 0;
    for (const wchar_t c : text) {
        if (c == L' ' || c == L'\t' || c == L':' || c == 0x200E) continue;
        int value = -1;
        if (c >= L'0' && c <= L'9') value = c - L'0';
        if (c >= L'a' && c <= L'f') value = c - L'a' + 10;
        if (c >= L'A' && c <= L'F') value = c - L'A' + 10;
        if (value < 0 || digits == 40) return std::nullopt;
        bytes[digits / 2] = static_cast<std::uint8_t>(bytes[digits / 2] << 4 | value);
        ++digits;
    }
    if (digits != 40) return std::nullopt;
    return bytes;
}

std::wstring OwnSignerCommonName(bool winPE) {
    std::wstring name = std::wstring(kProductName) + L" Evidence Signer";
    if (winPE) name += L" (WinPE per boot)";
    return name;
}

std::wstring PrintableOnly(std::wstring_view text) {
    std::wstring kept;
    for (const wchar_t c : text) {
        const bool alphanumeric = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
        if (alphanumeric || std::wstring_view(L" '()+,-./:=?").find(c) != std::wstring_view::npos) kept += c;
    }
    return kept;
}

}  // namespace morvane
