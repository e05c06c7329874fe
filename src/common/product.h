// The product's identity: name, version and the two product lines printed by the
// evidence, the stamp's screens and the window's title bar.
#pragma once

#include <string>

namespace morvane {

inline constexpr wchar_t kProductName[] = L"Morvane Disk Eraser";
inline constexpr wchar_t kProductVersion[] = L"1.3.0";

// "Morvane Disk Eraser Suite v1.3.0": the audit log, the HTML certificate and the stamp.
inline std::wstring ProductLineText() {
    return std::wstring(kProductName) + L" Suite v" + kProductVersion;
}
// "Morvane Disk Eraser v1.3.0": the JSON report's application value and the stamp's
// fallback when a record carries no product line.
inline std::wstring ApplicationText() {
    return std::wstring(kProductName) + L" v" + kProductVersion;
}

}  // namespace morvane
