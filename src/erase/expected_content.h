// What the job's writes left on a disk, byte by byte: the last overwrite pass over every
// whole sector, then the zeros of the partition wipe. Both verification levels compare
// the disk with this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "erase/disk_io.h"
#include "erase/pass_keys.h"
#include "erase/standards.h"

namespace morvane {

struct WrittenContent {
    WrittenContent() = default;
    WrittenContent(OverwritePass pass, const PassKeys* passKeys = nullptr, std::vector<ByteRange> zeros = {})
        : lastPass(std::move(pass)), keys(passKeys), zeroed(std::move(zeros)) {}

    OverwritePass lastPass;
    // The keys of a random last pass (not owned); without them its data is unknown.
    const PassKeys* keys = nullptr;
    // Ranges written with zeros after the last pass (the partition wipe).
    std::vector<ByteRange> zeroed;
};

// Writes into `out` what bytes [offset, offset + size) of the disk should hold:
// - Fixed: pattern[0];
// - Triple: the pattern restarted at every 4 MiB chunk of the pass, as the pass writer
//   writes it (byte x is pattern[(x mod 4 MiB) mod 3]);
// - Random: the keystream of `keys` at the same offset (chunk n of the pass holds
//   stream bytes from 4 MiB * n on, so the stream offset is the disk offset);
// then zeros where `zeroed` says. False when the content cannot be known: a random last
// pass without keys for the range.
[[nodiscard]] bool ExpectedContent(const WrittenContent& content, std::uint64_t offset, unsigned char* out,
                                   std::size_t size);

// Index of the first byte where `a` and `b` differ, or `size` when they agree.
[[nodiscard]] std::size_t FirstDifference(const unsigned char* a, const unsigned char* b, std::size_t size);

}  // namespace morvane
