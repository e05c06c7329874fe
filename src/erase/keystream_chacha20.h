// ChaCha20 keystream (the 20-round function with a 32-bit block counter and a 96-bit
// nonce), used to expand a key from the system generator into random pass data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

inline constexpr std::size_t kChaChaKeyBytes = 32;
inline constexpr std::size_t kChaChaNonceBytes = 12;
inline constexpr std::size_t kChaChaBlockBytes = 64;

// One 64-byte keystream block (the reference form, used by the known-answer tests).
void ChaCha20Block(const std::uint8_t key[kChaChaKeyBytes], std::uint32_t counter,
                   const std::uint8_t nonce[kChaChaNonceBytes],
                   std::uint8_t out[kChaChaBlockBytes]);

class ChaCha20 {
public:
    ChaCha20(const std::uint8_t key[kChaChaKeyBytes], const std::uint8_t nonce[kChaChaNonceBytes],
             std::uint32_t counter = 0) noexcept;
    // The state holds the key: it is wiped with the object.
    ~ChaCha20();
    ChaCha20(const ChaCha20&) = delete;
    ChaCha20& operator=(const ChaCha20&) = delete;

    // Writes the next `size` bytes of keystream. A size that is not a whole number of
    // blocks discards the rest of the last block: the next call starts a fresh block.
    void Keystream(std::uint8_t* out, std::size_t size) noexcept;

    // Blocks consumed so far from this key and nonce.
    [[nodiscard]] std::uint32_t counter() const noexcept { return state_[12]; }

private:
    std::uint32_t state_[16];
};

}  // namespace morvane
