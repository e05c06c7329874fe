// Random data for overwrite passes: an AES-256-CTR or ChaCha20 keystream keyed from the system generator,
// and a two-buffer pipeline that generates the next chunk while the current one is written.
#pragma once

#include <cstdint>

#include "common/unique_handle.h"
#include "common/win32.h"
#include "erase/pass_writer.h"

namespace morvane {

// A fresh key and nonce are drawn at least this often (and for every new fill object).
inline constexpr std::uint64_t kRekeyBytes = 1ull << 30;

// Which keystream expands the seed: AES-256-CTR where the processor has AES
// instructions (several times faster there), ChaCha20 everywhere else.
enum class KeystreamCipher { Fastest, ChaCha20, Aes256Ctr };

// A RandomFill that expands a keystream. It draws a fresh key (32 bytes) and nonce or
// counter block (12 or 16 bytes) from `seed` before its first bytes and again after
// every `rekeyBytes` of output; a failed draw fails the fill. Each call of this
// function starts an unrelated stream. Aes256Ctr may only be asked for where
// AesInstructionsAvailable() holds.
[[nodiscard]] RandomFill MakeKeystreamFill(RandomFill seed, std::uint64_t rekeyBytes = kRekeyBytes,
                                           KeystreamCipher cipher = KeystreamCipher::Fastest);

// Runs a RandomFill on its own thread into two page-aligned chunk buffers, so the writer
// never waits for data that could have been made while it was writing. The thread ends
// with the object.
class RandomChunkPipeline {
public:
    RandomChunkPipeline(RandomFill fill, std::uint32_t chunkBytes);
    ~RandomChunkPipeline();
    RandomChunkPipeline(const RandomChunkPipeline&) = delete;
    RandomChunkPipeline& operator=(const RandomChunkPipeline&) = delete;

    // Allocates the buffers, starts the thread and asks for the first chunk.
    [[nodiscard]] bool Start();
    // Waits for the next filled chunk and, when `more`, has the one after it made meanwhile.
    // The previously returned chunk must no longer be in use. Null when the fill failed.
    [[nodiscard]] unsigned char* Next(bool more);

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void RequestLocked(int index);

    RandomFill fill_;
    std::uint32_t chunkBytes_;
    PageBuffer buffers_[2];
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    int requested_ = -1;  // waiting to be filled
    int filling_ = -1;    // being filled by the thread
    int ready_ = -1;      // filled, not yet handed out
    int next_ = 0;        // the buffer Next hands out
    bool failed_ = false;
    bool stop_ = false;
    UniqueKernelHandle thread_;
};

}  // namespace morvane
