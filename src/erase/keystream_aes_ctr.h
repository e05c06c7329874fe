// AES-256 in counter mode on the processor's AES instructions: the faster of the two
// keystreams for random passes where the processor has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

inline constexpr std::size_t kAesKeyBytes = 32;
inline constexpr std::size_t kAesCounterBytes = 16;

// True when the processor has the AES instructions (checked once).
[[nodiscard]] bool AesInstructionsAvailable();
// True when the processor also has the 256-bit AES instructions (two blocks per instruction).
[[nodiscard]] bool WideAesInstructionsAvailable();

// Keystream = AES-256 encryptions of the 128-bit big-endian counter block, starting at
// `counter` and incremented across all 128 bits. Only constructed where
// AesInstructionsAvailable() holds. `allowWide` = false keeps to the 128-bit instructions
// even where the 256-bit ones exist (the output is the same either way).
class Aes256Ctr {
public:
    Aes256Ctr(const std::uint8_t key[kAesKeyBytes], const std::uint8_t counter[kAesCounterBytes],
              bool allowWide = true) noexcept;
    ~Aes256Ctr();
    Aes256Ctr(const Aes256Ctr&) = delete;
    Aes256Ctr& operator=(const Aes256Ctr&) = delete;

    // Writes the next `size` bytes of keystream. A size that is not a whole number of
    // 16-byte blocks discards the rest of the last block.
    void Keystream(std::uint8_t* out, std::size_t size) noexcept;

private:
    alignas(16) std::uint8_t roundKeys_[15 * 16];
    std::uint64_t high_;  // counter block bytes 0..7, as a number
    std::uint64_t low_;   // counter block bytes 8..15, as a number
    bool wide_;
};

}  // namespace morvane
