// Writes the bootable report stamp image in one piece to a disk or file handle.
#pragma once

#include <cstdint>

#include "common/log_callback.h"
#include "common/win32.h"
#include "erase/records.h"

namespace morvane {

// Builds the image for `stamp` (with the glyphs of the program's Japanese face, when
// one is installed) and writes it at offset 0 in one call: sector-size
// rounded (0 or < 512 counts as 512), one page-aligned buffer, then a flush and a
// best-effort partition refresh. Logs the success line only when every byte was
// written; returns false silently otherwise.
[[nodiscard]] bool WriteReportStamp(HANDLE disk, std::uint32_t sectorSize, const ReportStamp& stamp,
                                    const LogCallback& log);

}  // namespace morvane
