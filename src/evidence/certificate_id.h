// Certificate identity, local timestamps and the elapsed-time text of every piece
// of erasure evidence.
#pragma once

#include <array>
#include <cstdint>
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

// "ZOLT-YYYYMMDD-HHMMSS-XXXXXXXX" (29 characters), random bytes in buffer order.
std::wstring FormatCertificateId(const CalendarTime& time, const std::array<std::uint8_t, 4>& random);
// "YYYY-MM-DD HH:MM:SS" (19 characters).
std::wstring FormatTimestamp(const CalendarTime& time);

// A new certificate ID from the local time and four bytes of the system's preferred
// random generator; the random part is 00000000 when the generator fails.
std::wstring MakeCertificateId();
// The current local time as a timestamp.
std::wstring LocalTimestamp();
// "12.35 秒": two decimals, a blank and the seconds sign.
std::wstring FormatElapsed(double seconds);

}  // namespace morvane
