// AES-256-CTR with AES-NI: key expansion with AESKEYGENASSIST, eight counter blocks
// encrypted side by side so the AES units stay busy.
#include "erase/aes_ctr.h"

#include <cstring>
#include <wmmintrin.h>

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

}  // namespace

bool AesInstructionsAvailable() {
    static const bool available = __builtin_cpu_supports("aes") != 0;
    return available;
}

Aes256Ctr::Aes256Ctr(const std::uint8_t key[kAesKeyBytes],
                     const std::uint8_t counter[kAesCounterBytes]) noexcept {
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
