// Trimming and joining of inventory texts.
#include "hwinfo/hw_text.h"

namespace morvane {

namespace {
bool IsTrimmed(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}
}  // namespace

std::wstring Trim(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsTrimmed(text[first])) ++first;
    while (last > first && IsTrimmed(text[last - 1])) --last;
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

}  // namespace morvane
