// Timestamps from GetLocalTime, written digit by digit (the wide printf rules of the
// C runtime differ between its variants).
#include "common/timestamp.h"

#include "common/win32.h"

namespace morvane {
namespace {

// Zero-padded decimal of at least `width` digits.
std::wstring Padded(int value, int width) {
    std::wstring digits = std::to_wstring(value < 0 ? -value : value);
    if (digits.size() < static_cast<std::size_t>(width)) digits.insert(0, width - digits.size(), L'0');
    return value < 0 ? L"-" + digits : digits;
}

}  // namespace

CalendarTime LocalCalendarTime() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return CalendarTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::wstring FormatTimestamp(const CalendarTime& t) {
    return Padded(t.year, 4) + L"-" + Padded(t.month, 2) + L"-" + Padded(t.day, 2) + L" " + Padded(t.hour, 2) + L":" +
           Padded(t.minute, 2) + L":" + Padded(t.second, 2);
}

std::wstring FormatCompactTimestamp(const CalendarTime& t, wchar_t separator) {
    return Padded(t.year, 4) + Padded(t.month, 2) + Padded(t.day, 2) + separator + Padded(t.hour, 2) +
           Padded(t.minute, 2) + Padded(t.second, 2);
}

std::wstring LocalTimestamp() { return FormatTimestamp(LocalCalendarTime()); }

}  // namespace morvane
