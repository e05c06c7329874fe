// Certificate IDs and timestamps from the local clock and the CNG random generator.
#include "evidence/certificate_id.h"

#include <cstdio>

#include "common/text.h"
#include "common/win32.h"

namespace morvane {
namespace {

CalendarTime LocalNow() {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    return CalendarTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace

std::wstring FormatCertificateId(const CalendarTime& t, const std::array<std::uint8_t, 4>& random) {
    char buffer[128] = {};
    std::snprintf(buffer, sizeof buffer, "ZOLT-%04d%02d%02d-%02d%02d%02d-%02X%02X%02X%02X", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, random[0], random[1], random[2],
                  random[3]);
    return AsciiToWide(buffer);
}

std::wstring FormatTimestamp(const CalendarTime& t) {
    char buffer[64] = {};
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return AsciiToWide(buffer);
}

std::wstring MakeCertificateId() {
    const CalendarTime now = LocalNow();
    std::array<std::uint8_t, 4> random = {0, 0, 0, 0};
    // A failed call leaves the zeros in place: the ID stays well-formed.
    (void)::BCryptGenRandom(nullptr, random.data(), static_cast<ULONG>(random.size()),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return FormatCertificateId(now, random);
}

std::wstring LocalTimestamp() {
    return FormatTimestamp(LocalNow());
}

std::wstring FormatElapsed(double seconds) {
    char buffer[64] = {};
    std::snprintf(buffer, sizeof buffer, "%.2f", seconds);
    return AsciiToWide(buffer) + L" 秒";
}

}  // namespace morvane
