// Certificate IDs and timestamps from the local clock and the CNG random generator.
#include "evidence/certificate_id.h"

#include <cstdio>

#include "common/text.h"
#include "common/win32.h"

namespace morvane {

std::wstring FormatCertificateId(const CalendarTime& t, const std::array<std::uint8_t, 4>& random) {
    return L"ZOLT-" + FormatCompactTimestamp(t, L'-') + L"-" + HexUpper(random);
}

std::wstring MakeCertificateId() {
    const CalendarTime now = LocalCalendarTime();
    std::array<std::uint8_t, 4> random = {0, 0, 0, 0};
    // A failed call leaves the zeros in place: the ID stays well-formed.
    (void)::BCryptGenRandom(nullptr, random.data(), static_cast<ULONG>(random.size()),
                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return FormatCertificateId(now, random);
}

std::wstring FormatElapsed(double seconds) {
    char buffer[64] = {};
    std::snprintf(buffer, sizeof buffer, "%.2f", seconds);
    return AsciiToWide(buffer) + L" 秒";
}

}  // namespace morvane
