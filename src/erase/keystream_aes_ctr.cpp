// AES-256-CTR with AES-NI: key expansion with AESKEYGENASSIST, eight counter blocks
// encrypted side by side so the AES units stay busy; where the processor has the
// 256-bit AES instructions, sixteen blocks in eight registers.
#include "erase/keystream_aes_ctr.h"

#include <immintrin.h>

#include <cstring>

#include "common/win32.h"

namespace morvane {

namespace {

#define MORVANE_AES_TARGET __attribute__((target("aes,sse2")))

MORVANE_AES_TARGET inline __m128i ExpandA(__m128i key, __m128i assist) {
    assist = _mm_shuffle_epi32(assist, 0xFF);
    key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
    key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
    key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
    return _mm_xor_si128(key, assist);
}

MORVANE_AES_TARGET inline __m128i ExpandB(__m128i key, __m128i assist) {
    assist = _mm_shuffle_epi32(assist, 0xAA);
    key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
    key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
    key = _mm_xor_si128(key, _mm_slli_si128(key, 4));
    return _mm_xor_si128(key, assist);
}

MORVANE_AES_TARGET void ExpandKey256(const std::uint8_t* key, __m128i* rk) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
    rk[0] = a;
    rk[1] = b;
    // The round constant must be an immediate, hence the unrolled steps.
#define MORVANE_STEP(i, rcon)                                       \
    a = ExpandA(a, _mm_aeskeygenassist_si128(b, rcon));            \
    rk[i] = a;                                                     \
    if ((i) + 1 < 15) {                                            \
        b = ExpandB(b, _mm_aeskeygenassist_si128(a, 0x00));        \
        rk[(i) + 1] = b;                                           \
    }
    MORVANE_STEP(2, 0x01)
    MORVANE_STEP(4, 0x02)
    MORVANE_STEP(6, 0x04)
    MORVANE_STEP(8, 0x08)
    MORVANE_STEP(10, 0x10)
    MORVANE_STEP(12, 0x20)
    MORVANE_STEP(14, 0x40)
#undef MORVANE_STEP
}

MORVANE_AES_TARGET inline __m128i CounterBlock(std::uint64_t high, std::uint64_t low) {
    // Big-endian block bytes: 0..7 hold `high`, 8..15 hold `low`.
    return _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(low)),
                          static_cast<long long>(__builtin_bswap64(high)));
}

MORVANE_AES_TARGET void EncryptBlocks(const __m128i* rk, __m128i* blocks, int count) {
    for (int i = 0; i < count; ++i) blocks[i] = _mm_xor_si128(blocks[i], rk[0]);
    for (int r = 1; r < 14; ++r) {
        for (int i = 0; i < count; ++i) blocks[i] = _mm_aesenc_si128(blocks[i], rk[r]);
    }
    for (int i = 0; i < count; ++i) blocks[i] = _mm_aesenclast_si128(blocks[i], rk[14]);
}

#define MORVANE_VAES_TARGET __attribute__((target("aes,vaes,avx2")))

// Sixteen blocks per round of the loop, two per register. Runs while the low 64 bits of
// the counter cannot wrap inside a group (the 128-bit carry is left to the narrow path),
// and leaves the rest to it as well.
MORVANE_VAES_TARGET void KeystreamVaes(const __m128i* rk, std::uint64_t& high, std::uint64_t& low,
                                       std::uint8_t*& out, std::size_t& size) {
    constexpr std::uint64_t kGroup = 16;
    if (size < kGroup * 16 || low > ~std::uint64_t{0} - kGroup) return;
    __m256i keys[15];
    for (int r = 0; r < 15; ++r) keys[r] = _mm256_broadcastsi128_si256(rk[r]);
    // Counter lanes hold (high, low + i) as native numbers; reversing the bytes of each
    // 64-bit half gives the big-endian counter block.
    const __m256i toBigEndian = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,
                                                 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
    const __m256i step = _mm256_setr_epi64x(0, 2, 0, 2);
    __m256i counter = _mm256_setr_epi64x(static_cast<long long>(high), static_cast<long long>(low),
                                         static_cast<long long>(high), static_cast<long long>(low + 1));
    while (size >= kGroup * 16 && low <= ~std::uint64_t{0} - kGroup) {
        __m256i b[8];
        for (int i = 0; i < 8; ++i) {
            b[i] = _mm256_xor_si256(_mm256_shuffle_epi8(counter, toBigEndian), keys[0]);
            counter = _mm256_add_epi64(counter, step);
        }
        for (int r = 1; r < 14; ++r) {
            for (int i = 0; i < 8; ++i) b[i] = _mm256_aesenc_epi128(b[i], keys[r]);
        }
        auto* o = reinterpret_cast<__m256i*>(out);
        for (int i = 0; i < 8; ++i) _mm256_storeu_si256(o + i, _mm256_aesenclast_epi128(b[i], keys[14]));
        low += kGroup;
        out += kGroup * 16;
        size -= kGroup * 16;
    }
    ::SecureZeroMemory(keys, sizeof keys);
    _mm256_zeroupper();
}

}  // namespace

bool AesInstructionsAvailable() {
    static const bool available = __builtin_cpu_supports("aes") != 0;
    return available;
}

bool WideAesInstructionsAvailable() {
    static const bool available = AesInstructionsAvailable() && __builtin_cpu_supports("avx2") != 0 &&
                                  __builtin_cpu_supports("vaes") != 0;
    return available;
}

Aes256Ctr::Aes256Ctr(const std::uint8_t key[kAesKeyBytes],
                     const std::uint8_t counter[kAesCounterBytes], bool allowWide) noexcept
    : wide_(allowWide && WideAesInstructionsAvailable()) {
    ExpandKey256(key, reinterpret_cast<__m128i*>(roundKeys_));
    std::uint64_t hi = 0;
    std::uint64_t lo = 0;
    for (int i = 0; i < 8; ++i) hi = (hi << 8) | counter[i];
    for (int i = 8; i < 16; ++i) lo = (lo << 8) | counter[i];
    high_ = hi;
    low_ = lo;
}

Aes256Ctr::~Aes256Ctr() { ::SecureZeroMemory(roundKeys_, sizeof roundKeys_); }

MORVANE_AES_TARGET void Aes256Ctr::Keystream(std::uint8_t* out, std::size_t size) noexcept {
    const __m128i* rk = reinterpret_cast<const __m128i*>(roundKeys_);
    if (wide_) KeystreamVaes(rk, high_, low_, out, size);
    // Whole groups of eight blocks in registers: eight independent AES chains hide the
    // instruction latency.
    while (size >= 128) {
        __m128i b0 = CounterBlock(high_, low_), b1, b2, b3, b4, b5, b6, b7;
        __m128i* const blocks[8] = {&b0, &b1, &b2, &b3, &b4, &b5, &b6, &b7};
        for (int i = 1; i < 8; ++i) {
            if (++low_ == 0) ++high_;
            *blocks[i] = CounterBlock(high_, low_);
        }
        if (++low_ == 0) ++high_;  // the counter runs across all 128 bits
        __m128i k = rk[0];
        b0 = _mm_xor_si128(b0, k); b1 = _mm_xor_si128(b1, k); b2 = _mm_xor_si128(b2, k); b3 = _mm_xor_si128(b3, k);
        b4 = _mm_xor_si128(b4, k); b5 = _mm_xor_si128(b5, k); b6 = _mm_xor_si128(b6, k); b7 = _mm_xor_si128(b7, k);
        for (int r = 1; r < 14; ++r) {
            k = rk[r];
            b0 = _mm_aesenc_si128(b0, k); b1 = _mm_aesenc_si128(b1, k);
            b2 = _mm_aesenc_si128(b2, k); b3 = _mm_aesenc_si128(b3, k);
            b4 = _mm_aesenc_si128(b4, k); b5 = _mm_aesenc_si128(b5, k);
            b6 = _mm_aesenc_si128(b6, k); b7 = _mm_aesenc_si128(b7, k);
        }
        k = rk[14];
        auto* o = reinterpret_cast<__m128i*>(out);
        _mm_storeu_si128(o + 0, _mm_aesenclast_si128(b0, k));
        _mm_storeu_si128(o + 1, _mm_aesenclast_si128(b1, k));
        _mm_storeu_si128(o + 2, _mm_aesenclast_si128(b2, k));
        _mm_storeu_si128(o + 3, _mm_aesenclast_si128(b3, k));
        _mm_storeu_si128(o + 4, _mm_aesenclast_si128(b4, k));
        _mm_storeu_si128(o + 5, _mm_aesenclast_si128(b5, k));
        _mm_storeu_si128(o + 6, _mm_aesenclast_si128(b6, k));
        _mm_storeu_si128(o + 7, _mm_aesenclast_si128(b7, k));
        out += 128;
        size -= 128;
    }
    // The rest, block by block; a partial last block is cut.
    while (size > 0) {
        __m128i block = CounterBlock(high_, low_);
        if (++low_ == 0) ++high_;
        EncryptBlocks(rk, &block, 1);
        if (size >= 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            out += 16;
            size -= 16;
        } else {
            alignas(16) std::uint8_t tail[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(tail), block);
            std::memcpy(out, tail, size);
            size = 0;
        }
    }
}

}  // namespace morvane
