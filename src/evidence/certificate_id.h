// Certificate identity, local timestamps, the elapsed-time text and the product
// texts that head every piece of erasure evidence.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace morvane {

inline constexpr wchar_t kProductName[] = L"Morvane Disk Eraser";
inline constexpr wchar_t kProductVersion[] = L"1.3.0";

// "Morvane Disk Eraser Suite v1.3.0": the audit log, the HTML certificate and the stamp.
std::wstring ProductLineText();
// "Morvane Disk Eraser v1.3.0": the JSON report's application value.
std::wstring ApplicationText();

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
