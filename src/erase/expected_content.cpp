// The expected disk content after a job's writes, for any byte range.
#include "erase/expected_content.h"

#include <cstring>

#include "erase/pass_writer.h"

namespace morvane {

namespace {

// The triple pattern from phase `phase` on: three bytes, then doubling copies (a copy of
// a multiple of three bytes keeps the phase).
void FillTriple(unsigned char* out, std::size_t size, const OverwritePass& pass, std::size_t phase) {
    for (std::size_t i = 0; i < size && i < 3; ++i) out[i] = pass.pattern[(phase + i) % 3];
    std::size_t filled = size < 3 ? size : 3;
    while (filled < size) {
        const std::size_t n = filled <= size - filled ? filled : size - filled;
        std::memcpy(out + filled, out, n);
        filled += n;
    }
}

}  // namespace

bool ExpectedContent(const WrittenContent& content, std::uint64_t offset, unsigned char* out, std::size_t size) {
    const OverwritePass& pass = content.lastPass;
    switch (pass.kind) {
        case PatternKind::Random:
            if (content.keys == nullptr || !content.keys->Keystream(offset, out, size)) return false;
            break;
        case PatternKind::Triple:
            // The writer fills one buffer from phase 0 and writes it as every 4 MiB chunk.
            for (std::size_t done = 0; done < size;) {
                const std::uint64_t at = offset + done;
                const std::uint64_t inChunk = at % kPassChunkBytes;
                const std::uint64_t left = kPassChunkBytes - inChunk;
                const std::size_t n = size - done < left ? size - done : static_cast<std::size_t>(left);
                FillTriple(out + done, n, pass, static_cast<std::size_t>(inChunk % 3));
                done += n;
            }
            break;
        default:
            std::memset(out, pass.pattern[0], size);
            break;
    }
    const std::uint64_t end = offset + size;
    for (const ByteRange& zero : content.zeroed) {
        const std::uint64_t from = zero.begin > offset ? zero.begin : offset;
        const std::uint64_t to = zero.end < end ? zero.end : end;
        if (from < to) std::memset(out + (from - offset), 0, static_cast<std::size_t>(to - from));
    }
    return true;
}

std::size_t FirstDifference(const unsigned char* a, const unsigned char* b, std::size_t size) {
    // memcmp runs at memory speed; the byte loop only runs when something differs.
    if (std::memcmp(a, b, size) == 0) return size;
    std::size_t i = 0;
    while (i < size && a[i] == b[i]) ++i;
    return i;
}

}  // namespace morvane
