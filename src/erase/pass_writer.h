// Writes one overwrite pass over a whole disk in 4 MiB chunks, or simulates it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/log_callback.h"
#include "common/win32.h"
#include "erase/disk_io.h"
#include "erase/pass_keys.h"
#include "erase/progress.h"
#include "erase/records.h"
#include "erase/standards.h"

namespace morvane {

inline constexpr std::uint32_t kPassChunkBytes = 4u * 1024 * 1024;

// The system-preferred CNG generator (BCryptGenRandom); its status is checked.
[[nodiscard]] bool SystemRandomFill(unsigned char* data, std::size_t size);

// Fills a buffer for a Fixed or Triple pass. A Triple pattern starts at byte 0 of the
// buffer, so it restarts with pattern[0] at every chunk. Random passes are not filled.
void FillPatternBuffer(unsigned char* data, std::size_t size, const OverwritePass& pass);

// Writes the pass from sector 0 to the last whole sector through an unbuffered,
// write-through disk handle. Completed, Cancelled (flag set before a chunk, nothing
// flushed) or Failed (allocation, random generator or write failure). A random pass is
// a keystream whose keys are drawn from `seed` (empty: the system generator) into
// `keys` when given, so the caller can verify the pass; any keys held there before are
// wiped first, and a pass that is not random leaves none.
[[nodiscard]] JobStatus WritePass(HANDLE disk, const EraseJob& job, const OverwritePass& pass,
                                  std::uint32_t totalPasses, const CancelFlag* cancel,
                                  const ProgressCallback& progress, const LogCallback& log,
                                  PassKeys* keys = nullptr, const RandomFill& seed = {});

// The same through any DiskIo with a chosen random chunk source (tests and benchmarks).
// `random` fills whole 4 MiB chunks on a generator thread, one chunk ahead of the writes,
// so chunk n holds bytes 4 MiB * n onwards of its stream; the handle form uses a
// keystream (AES-256-CTR where the processor has AES instructions, ChaCha20 elsewhere).
[[nodiscard]] JobStatus WritePass(DiskIo& disk, const EraseJob& job, const OverwritePass& pass,
                                  std::uint32_t totalPasses, const CancelFlag* cancel,
                                  const ProgressCallback& progress, const LogCallback& log,
                                  const RandomFill& random);

// Paces through 25 steps of 30 ms with made-up speeds; touches no disk.
[[nodiscard]] JobStatus SimulatePass(const EraseJob& job, const OverwritePass& pass,
                                     std::uint32_t totalPasses, const CancelFlag* cancel,
                                     const ProgressCallback& progress, const LogCallback& log);

}  // namespace morvane
