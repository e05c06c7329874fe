// Local wall-clock readings and the two ways the program writes one: the readable
// timestamp of every report, log and console line, and the compact one that goes
// into names (certificate IDs, work folders).
#pragma once

#include <string>

namespace morvane {

// A local wall-clock reading, second resolution.
struct CalendarTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local time now.
CalendarTime LocalCalendarTime();

// "YYYY-MM-DD HH:MM:SS" (19 characters).
std::wstring FormatTimestamp(const CalendarTime& time);
// "YYYYMMDD" + `separator` + "HHMMSS".
std::wstring FormatCompactTimestamp(const CalendarTime& time, wchar_t separator);

// The current local time as a timestamp.
std::wstring LocalTimestamp();

}  // namespace morvane
