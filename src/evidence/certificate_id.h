// Certificate identity, local timestamps and the elapsed-time text of every piece
// of erasure evidence.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/timestamp.h"

namespace morvane {

// "ZOLT-YYYYMMDD-HHMMSS-XXXXXXXX" (29 characters), random bytes in buffer order.
std::wstring FormatCertificateId(const CalendarTime& time, const std::array<std::uint8_t, 4>& random);

// A new certificate ID from the local time and four bytes of the system's preferred
// random generator; the random part is 00000000 when the generator fails.
std::wstring MakeCertificateId();
// "12.35 秒": two decimals, a blank and the seconds sign.
std::wstring FormatElapsed(double seconds);

}  // namespace morvane
