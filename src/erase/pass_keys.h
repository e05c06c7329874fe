// The keys of one random pass, and the keystream they give at any offset of the pass, so
// that verification can regenerate what the pass wrote. Keys live only in memory and
// are wiped whenever they are released.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/win32.h"

namespace morvane {

// Fills `size` bytes with cryptographic random data; false when the generator failed.
using RandomFill = std::function<bool(unsigned char* data, std::size_t size)>;

// A fresh key and nonce are drawn for every segment of this many bytes of a pass.
inline constexpr std::uint64_t kRekeyBytes = 1ull << 30;

// Which keystream expands the keys: AES-256-CTR where the processor has AES
// instructions (several times faster there), ChaCha20 everywhere else.
enum class KeystreamCipher { Fastest, ChaCha20, Aes256Ctr };

// One segment's key material as drawn: a 32-byte key, then the 16-byte AES counter
// block or the 12-byte ChaCha20 nonce (the ChaCha20 block counter starts at 0).
inline constexpr std::size_t kSegmentKeyBytes = 48;
using SegmentKey = std::array<std::uint8_t, kSegmentKeyBytes>;

// Hands memory back only after overwriting it, so no copy of a key is left in freed
// heap when a vector of keys grows or is released.
template <typename T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() noexcept = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        ::SecureZeroMemory(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }
    friend bool operator==(const WipingAllocator&, const WipingAllocator&) noexcept { return true; }
};

// The keys of segments 0, 1, 2, ... of one keystream. Byte p of the stream belongs to
// segment p / segmentBytes and is byte p mod segmentBytes of that segment's own stream.
// Not copyable: the one owner decides when the keys go.
class PassKeys {
public:
    PassKeys() = default;
    PassKeys(const PassKeys&) = delete;
    PassKeys& operator=(const PassKeys&) = delete;

    // Wipes any keys and prepares for a new stream. A segment size of 0 means
    // kRekeyBytes; others are rounded up to whole 64-byte blocks.
    void Reset(KeystreamCipher cipher, std::uint64_t segmentBytes = kRekeyBytes);
    // Wipes the keys; afterwards the object holds none.
    void Clear() noexcept;

    // Draws the keys of every segment up to `segment` not drawn yet; false when `seed`
    // is empty or fails (the segments drawn before stay).
    [[nodiscard]] bool DrawThrough(std::uint64_t segment, const RandomFill& seed);
    // Writes stream bytes [offset, offset + size); false when a segment in that range
    // has no key.
    [[nodiscard]] bool Keystream(std::uint64_t offset, unsigned char* out, std::size_t size) const;

    [[nodiscard]] bool empty() const noexcept { return segments_.empty(); }
    [[nodiscard]] bool aes() const noexcept { return aes_; }
    [[nodiscard]] std::uint64_t segmentBytes() const noexcept { return segmentBytes_; }
    [[nodiscard]] std::size_t segmentCount() const noexcept { return segments_.size(); }
    // A segment's key material (tests compare it with the reference ciphers and alter it).
    [[nodiscard]] SegmentKey& segment(std::size_t index) { return segments_[index]; }

private:
    bool aes_ = false;
    std::uint64_t segmentBytes_ = kRekeyBytes;
    std::vector<SegmentKey, WipingAllocator<SegmentKey>> segments_;
};

}  // namespace morvane
