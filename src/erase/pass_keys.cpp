// Random-pass keys and the keystream at any offset: the cipher is started at the block
// that holds the offset, so a verifier can regenerate any range without the bytes before.
#include "erase/pass_keys.h"

#include <cstring>

#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_chacha20.h"

namespace morvane {

namespace {

// The largest segment whose ChaCha20 block numbers fit the 32-bit block counter.
constexpr std::uint64_t kMaxSegmentBytes = (1ull << 32) * kChaChaBlockBytes;

// Writes `size` bytes of a cipher's stream that start `skip` bytes into its first block.
template <typename Cipher>
void StreamFrom(Cipher& cipher, std::size_t blockBytes, std::size_t skip, unsigned char* out,
                std::size_t size) {
    if (skip != 0) {
        std::uint8_t block[kChaChaBlockBytes];
        cipher.Keystream(block, blockBytes);
        const std::size_t n = size < blockBytes - skip ? size : blockBytes - skip;
        std::memcpy(out, block + skip, n);
        out += n;
        size -= n;
    }
    cipher.Keystream(out, size);
}

void SegmentStream(const SegmentKey& key, bool aes, std::uint64_t within, unsigned char* out,
                   std::size_t size) {
    const std::uint8_t* material = key.data();
    if (aes) {
        // Counter block of the block that holds `within`: the drawn block plus the block
        // number, as one 128-bit big-endian number.
        std::uint8_t counter[kAesCounterBytes];
        std::memcpy(counter, material + kAesKeyBytes, sizeof counter);
        std::uint64_t add = within / 16;
        unsigned carry = 0;
        for (int i = 15; i >= 0; --i) {
            const unsigned sum = counter[i] + static_cast<unsigned>(add & 0xFF) + carry;
            counter[i] = static_cast<std::uint8_t>(sum);
            carry = sum >> 8;
            add >>= 8;
        }
        Aes256Ctr cipher(material, counter);
        StreamFrom(cipher, 16, static_cast<std::size_t>(within % 16), out, size);
    } else {
        ChaCha20 cipher(material, material + kChaChaKeyBytes,
                        static_cast<std::uint32_t>(within / kChaChaBlockBytes));
        StreamFrom(cipher, kChaChaBlockBytes, static_cast<std::size_t>(within % kChaChaBlockBytes), out,
                   size);
    }
}

}  // namespace

void PassKeys::Reset(KeystreamCipher cipher, std::uint64_t segmentBytes) {
    Clear();
    aes_ = cipher == KeystreamCipher::Aes256Ctr ||
           (cipher == KeystreamCipher::Fastest && AesInstructionsAvailable());
    if (segmentBytes == 0) segmentBytes = kRekeyBytes;
    if (segmentBytes > kMaxSegmentBytes) segmentBytes = kMaxSegmentBytes;
    segmentBytes_ = (segmentBytes + kChaChaBlockBytes - 1) / kChaChaBlockBytes * kChaChaBlockBytes;
}

void PassKeys::Clear() noexcept {
    // clear() would keep the storage; releasing it goes through the wiping allocator.
    decltype(segments_)().swap(segments_);
}

bool PassKeys::DrawThrough(std::uint64_t segment, const RandomFill& seed) {
    const std::size_t needed = aes_ ? kAesKeyBytes + kAesCounterBytes : kChaChaKeyBytes + kChaChaNonceBytes;
    while (segments_.size() <= segment) {
        SegmentKey key{};
        const bool ok = seed && seed(key.data(), needed);
        if (ok) segments_.push_back(key);
        ::SecureZeroMemory(key.data(), key.size());
        if (!ok) return false;
    }
    return true;
}

bool PassKeys::Keystream(std::uint64_t offset, unsigned char* out, std::size_t size) const {
    while (size > 0) {
        const std::uint64_t index = offset / segmentBytes_;
        if (index >= segments_.size()) return false;
        const std::uint64_t within = offset % segmentBytes_;
        const std::uint64_t left = segmentBytes_ - within;
        const std::size_t n = size < left ? size : static_cast<std::size_t>(left);
        SegmentStream(segments_[static_cast<std::size_t>(index)], aes_, within, out, n);
        offset += n;
        out += n;
        size -= n;
    }
    return true;
}

}  // namespace morvane
