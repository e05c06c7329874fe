// Random data for overwrite passes: an AES-256-CTR or ChaCha20 keystream keyed from the system generator,
// and a two-buffer pipeline that fills the next chunk on its own thread while the current one is in use.
#pragma once

#include <cstdint>
#include <vector>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/pass_keys.h"

namespace morvane {

// A RandomFill that expands a keystream: the n-th byte it hands out is byte n of the
// stream of `keys`, whose segment keys are drawn from `seed` as the stream reaches
// them; a failed draw fails the fill. `keys` is reset first and must
// outlive the fill; it then holds every key the fill used. Aes256Ctr may only be asked
// for where AesInstructionsAvailable() holds.
[[nodiscard]] RandomFill MakeKeystreamFill(RandomFill seed, PassKeys& keys, std::uint64_t rekeyBytes = kRekeyBytes,
                                           KeystreamCipher cipher = KeystreamCipher::Fastest);
// The same with keys of its own: each call starts an unrelated stream.
[[nodiscard]] RandomFill MakeKeystreamFill(RandomFill seed, std::uint64_t rekeyBytes = kRekeyBytes,
                                           KeystreamCipher cipher = KeystreamCipher::Fastest);

// How many chunk buffers the generator may fill ahead into, the one being written
// included. Two: the chunk being written and the next. Deeper rings measured slower, as
// data that waits longer has left the processor's caches by the time it is copied out.
inline constexpr int kRandomPipelineDepth = 2;
// The ring of the verifier's reader: with only two buffers every chunk would wait for
// the comparing thread to hand back the previous one (two thread wake-ups with no read
// in flight); spare buffers let the reads follow each other.
inline constexpr int kReadPipelineDepth = 4;

// Runs a RandomFill on its own thread into a ring of `depth` (2 to 8) page-aligned chunk
// buffers, so the writer never waits for data that could have been made while it was
// writing (or the verifier for a read). The thread ends with the object.
class RandomChunkPipeline {
public:
    RandomChunkPipeline(RandomFill fill, std::uint32_t chunkBytes, int depth = kRandomPipelineDepth);
    ~RandomChunkPipeline();
    RandomChunkPipeline(const RandomChunkPipeline&) = delete;
    RandomChunkPipeline& operator=(const RandomChunkPipeline&) = delete;

    // Allocates the buffers, starts the thread and asks for the first chunk.
    [[nodiscard]] bool Start();
    // Waits for the next chunk in order and lets the thread make up to `ahead` further
    // chunks meanwhile (no more than the ring holds); `ahead` is how many more the caller
    // expects to need. A chunk is asked for even if an earlier call said none would be
    // (e.g. after a short write). The previously returned chunk must no longer be in use.
    // Null once a fill has failed and the chunk needed is the one it did not make.
    [[nodiscard]] unsigned char* Next(std::uint64_t ahead);

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    // Waits with lock_ held until `ready()` holds: polls briefly, then sleeps on changed_.
    template <typename Ready>
    void WaitLocked(Ready ready);

    RandomFill fill_;
    std::uint32_t chunkBytes_;
    std::vector<PageBuffer> buffers_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    // Chunks are numbered in order; chunk n lives in buffers_[n % depth].
    std::uint64_t produced_ = 0;  // chunks filled so far
    std::uint64_t consumed_ = 0;  // chunks handed out so far; the last of them is in use
    std::uint64_t limit_ = 0;     // chunks the thread may fill in all
    bool failed_ = false;
    bool stop_ = false;
    UniqueKernelHandle thread_;
};

}  // namespace morvane
