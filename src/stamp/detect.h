// Recognises a report stamp on a disk by the text record at LBA 1-4 and parses it
// back into a ReportStamp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "disk/disk_info.h"
#include "erase/records.h"

namespace morvane {

// Bytes read from offset 0: the smallest multiple of the sector size (0 or < 512
// counts as 512) that holds 2560 bytes.
std::size_t StampDetectReadSize(std::uint32_t bytesPerSector);

// The record returned when no stamp is found: failed, the product line, the disk's
// own model, serial and size text, and the given (current machine's) hardware.
ReportStamp PrefilledReportStamp(const DiskInfo& disk, const HardwareProfile& hardware);

// Parses the bytes read from offset 0 of a disk (`bytes` holds what the read
// returned; `readSize` is what was asked for). Fills `prefilled` from a V2 or V1
// record with at least 12 fields and clears `failed`; otherwise returns it as is.
ReportStamp ParseReportStamp(std::span<const std::uint8_t> bytes, std::size_t readSize, ReportStamp prefilled);

// C atoi rules: leading white space, optional sign, digits up to the first
// non-digit, 0 when there are none. Saturates instead of overflowing.
std::int32_t ParseStampInteger(std::string_view text);

// Reads the disk's first sectors (unbuffered, read-only) and parses them. Never
// fails: every failure yields the pre-filled record with `failed` true. `hardware`
// is the current machine's profile, collected by the caller.
ReportStamp DetectReportStamp(const DiskInfo& disk, const HardwareProfile& hardware);

}  // namespace morvane
