// Read-back verification of the last overwrite pass at evenly spaced samples.
#pragma once

#include <cstdint>
#include <string>

#include "common/log_callback.h"
#include "common/win32.h"
#include "erase/disk_io.h"
#include "erase/records.h"
#include "erase/standards.h"

namespace morvane {

inline constexpr std::uint32_t kVerifyReadBytes = 64u * 1024;

// "検証なし (Skip Verify)", "クイック検証 (Quick Sample Verify)", "全領域検証 (Full Surface
// Verify)"; any other value behaves like the quick level and is named like it.
std::wstring VerifyLevelName(VerifyLevel level);

// Samples read by a level: 0, 64 or 256 (any other non-zero level reads 64).
[[nodiscard]] std::uint32_t VerifySampleCount(VerifyLevel level);

// First sector of sample i: ((T - R) * i) >> s with T whole sectors on the disk, R sectors
// per 64 KiB read and 2^s samples, in unsigned 64-bit arithmetic.
[[nodiscard]] std::uint64_t VerifySampleSector(std::uint64_t totalSectors,
                                               std::uint64_t sectorsPerRead, std::uint64_t index,
                                               std::uint32_t shift);

// Verifies the disk after the last pass; `verdict` receives the record text. In simulation
// mode the handle is not used (the erase job passes INVALID_HANDLE_VALUE).
[[nodiscard]] JobStatus VerifyDisk(HANDLE disk, const EraseJob& job, const OverwritePass& lastPass,
                                   const CancelFlag* cancel, const ProgressCallback& progress,
                                   const LogCallback& log, std::wstring& verdict);

// The same through any DiskIo (tests).
[[nodiscard]] JobStatus VerifyDisk(DiskIo& disk, const EraseJob& job, const OverwritePass& lastPass,
                                   const CancelFlag* cancel, const ProgressCallback& progress,
                                   const LogCallback& log, std::wstring& verdict);

}  // namespace morvane
