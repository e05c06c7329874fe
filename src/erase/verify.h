// Read-back verification of what the job wrote: sampled 64 KiB windows (quick level) or
// every sector of the disk (full-surface level), compared with the expected content.
#pragma once

#include <cstdint>
#include <string>

#include "common/log_callback.h"
#include "common/win32.h"
#include "erase/disk_io.h"
#include "erase/expected_content.h"
#include "erase/records.h"
#include "erase/standards.h"

namespace morvane {

inline constexpr std::uint32_t kVerifyReadBytes = 64u * 1024;
// Samples read by the quick level (and by any level number other than 0 and 2).
inline constexpr std::uint32_t kQuickSamples = 64;

// "検証なし (Skip Verify)", "クイック検証 (Quick Sample Verify)", "全領域検証 (Full Surface
// Verify)"; any other value behaves like the quick level and is named like it.
std::wstring VerifyLevelName(VerifyLevel level);

// First sector of sample i: ((T - R) * i) >> s with T whole sectors on the disk, R sectors
// per 64 KiB read and 2^s samples, in unsigned 64-bit arithmetic.
[[nodiscard]] std::uint64_t VerifySampleSector(std::uint64_t totalSectors,
                                               std::uint64_t sectorsPerRead, std::uint64_t index,
                                               std::uint32_t shift);

// Verifies the disk after the job's writes; `verdict` receives the record text. The
// quick level compares 64 sampled windows, the full-surface level every whole sector
// (read in 4 MiB chunks on a reader thread, ahead of the comparison). A
// mismatch is logged with its first byte offset. In simulation mode the handle is not
// used (the erase job passes INVALID_HANDLE_VALUE) and the content is not consulted.
[[nodiscard]] JobStatus VerifyDisk(HANDLE disk, const EraseJob& job, const WrittenContent& content,
                                   const CancelFlag* cancel, const ProgressCallback& progress,
                                   const LogCallback& log, std::wstring& verdict);

// The same through any DiskIo (tests).
[[nodiscard]] JobStatus VerifyDisk(DiskIo& disk, const EraseJob& job, const WrittenContent& content,
                                   const CancelFlag* cancel, const ProgressCallback& progress,
                                   const LogCallback& log, std::wstring& verdict);

}  // namespace morvane
