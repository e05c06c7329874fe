// Small text helpers shared by the hardware inventory: trimming and joining.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Removes space, tab, CR and LF (only those) from both ends.
std::wstring Trim(std::wstring_view text);

// The items with `separator` between them; an empty list gives empty text.
std::wstring JoinTexts(const std::vector<std::wstring>& items, std::wstring_view separator);

}  // namespace morvane
