// ChaCha20: a scalar block function and a wide form that computes several blocks at
// once in vector lanes (one block per lane), which the compiler maps to SIMD registers.
#include "erase/keystream_chacha20.h"

#include <cstring>

#include "common/win32.h"

namespace morvane {

namespace {

std::uint32_t Load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Store32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void InitState(std::uint32_t state[16], const std::uint8_t* key, std::uint32_t counter,
               const std::uint8_t* nonce) {
    state[0] = 0x61707865;  // "expand 32-byte k"
    state[1] = 0x3320646e;
    state[2] = 0x79622d32;
    state[3] = 0x6b206574;
    for (int i = 0; i < 8; ++i) state[4 + i] = Load32(key + 4 * i);
    state[12] = counter;
    for (int i = 0; i < 3; ++i) state[13 + i] = Load32(nonce + 4 * i);
}

#define MORVANE_ROTL(v, n) (((v) << (n)) | ((v) >> (32 - (n))))
#define MORVANE_QUARTER(a, b, c, d) \
    a += b; d ^= a; d = MORVANE_ROTL(d, 16); \
    c += d; b ^= c; b = MORVANE_ROTL(b, 12); \
    a += b; d ^= a; d = MORVANE_ROTL(d, 8);  \
    c += d; b ^= c; b = MORVANE_ROTL(b, 7)

template <typename Word>
void DoubleRounds(Word x[16]) {
    for (int round = 0; round < 10; ++round) {
        MORVANE_QUARTER(x[0], x[4], x[8], x[12]);
        MORVANE_QUARTER(x[1], x[5], x[9], x[13]);
        MORVANE_QUARTER(x[2], x[6], x[10], x[14]);
        MORVANE_QUARTER(x[3], x[7], x[11], x[15]);
        MORVANE_QUARTER(x[0], x[5], x[10], x[15]);
        MORVANE_QUARTER(x[1], x[6], x[11], x[12]);
        MORVANE_QUARTER(x[2], x[7], x[8], x[13]);
        MORVANE_QUARTER(x[3], x[4], x[9], x[14]);
    }
}

void ScalarBlock(const std::uint32_t state[16], std::uint8_t out[64]) {
    std::uint32_t x[16];
    std::memcpy(x, state, sizeof x);
    DoubleRounds(x);
    for (int i = 0; i < 16; ++i) Store32(out + 4 * i, x[i] + state[i]);
}

// Several blocks at once: lane j of every word belongs to the block with counter + j.
// The same body is compiled for 128-bit vectors (SSE2 on x64) and, where the processor
// has them, 256-bit AVX2 vectors; the choice is made once at run time.
typedef std::uint32_t Lanes4 __attribute__((vector_size(16)));
typedef std::uint32_t Lanes8 __attribute__((vector_size(32)));

// Stores words i..i+3 of four blocks: a 4x4 transpose turns "word k of blocks 0-3" rows
// into "words i..i+3 of block j" rows, each one 16-byte store.
inline __attribute__((always_inline)) void StoreTransposed(Lanes4 a, Lanes4 b, Lanes4 c, Lanes4 d,
                                                           std::uint8_t* out) {
    const Lanes4 t0 = __builtin_shuffle(a, b, Lanes4{0, 4, 1, 5});
    const Lanes4 t1 = __builtin_shuffle(a, b, Lanes4{2, 6, 3, 7});
    const Lanes4 t2 = __builtin_shuffle(c, d, Lanes4{0, 4, 1, 5});
    const Lanes4 t3 = __builtin_shuffle(c, d, Lanes4{2, 6, 3, 7});
    const Lanes4 rows[4] = {__builtin_shuffle(t0, t2, Lanes4{0, 1, 4, 5}),
                            __builtin_shuffle(t0, t2, Lanes4{2, 3, 6, 7}),
                            __builtin_shuffle(t1, t3, Lanes4{0, 1, 4, 5}),
                            __builtin_shuffle(t1, t3, Lanes4{2, 3, 6, 7})};
    // Little-endian targets only (x86, x64): words are stored as they sit in registers.
    for (int j = 0; j < 4; ++j) std::memcpy(out + 64 * j, &rows[j], 16);
}

template <typename Lanes>
inline __attribute__((always_inline)) void WideBody(const std::uint32_t state[16],
                                                    std::uint8_t* out) {
    constexpr int kLanes = sizeof(Lanes) / 4;
    Lanes x[16];
    Lanes initial[16];
    for (int i = 0; i < 16; ++i) initial[i] = Lanes{} + state[i];
    Lanes step{};
    for (int j = 0; j < kLanes; ++j) step[j] = static_cast<std::uint32_t>(j);
    initial[12] += step;  // the counter wraps per lane exactly as block by block
    for (int i = 0; i < 16; ++i) x[i] = initial[i];
    DoubleRounds(x);
    for (int i = 0; i < 16; ++i) x[i] += initial[i];
    for (int half = 0; half < kLanes / 4; ++half) {
        Lanes4 w[16];
        for (int i = 0; i < 16; ++i) std::memcpy(&w[i], reinterpret_cast<const char*>(&x[i]) + 16 * half, 16);
        std::uint8_t* blocks = out + 256 * half;
        for (int g = 0; g < 4; ++g) {
            StoreTransposed(w[4 * g], w[4 * g + 1], w[4 * g + 2], w[4 * g + 3], blocks + 16 * g);
        }
    }
}

void WideBlocks4(const std::uint32_t state[16], std::uint8_t* out) { WideBody<Lanes4>(state, out); }

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void WideBlocks8(const std::uint32_t state[16], std::uint8_t* out) {
    WideBody<Lanes8>(state, out);
}

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

}  // namespace

void ChaCha20Block(const std::uint8_t key[kChaChaKeyBytes], std::uint32_t counter,
                   const std::uint8_t nonce[kChaChaNonceBytes],
                   std::uint8_t out[kChaChaBlockBytes]) {
    std::uint32_t state[16];
    InitState(state, key, counter, nonce);
    ScalarBlock(state, out);
}

ChaCha20::ChaCha20(const std::uint8_t key[kChaChaKeyBytes],
                   const std::uint8_t nonce[kChaChaNonceBytes], std::uint32_t counter) noexcept {
    InitState(state_, key, counter, nonce);
}

ChaCha20::~ChaCha20() { ::SecureZeroMemory(state_, sizeof state_); }

void ChaCha20::Keystream(std::uint8_t* out, std::size_t size) noexcept {
#if defined(__x86_64__) || defined(__i386__)
    if (HasAvx2()) {
        while (size >= 8 * kChaChaBlockBytes) {
            WideBlocks8(state_, out);
            state_[12] += 8;
            out += 8 * kChaChaBlockBytes;
            size -= 8 * kChaChaBlockBytes;
        }
    }
#endif
    while (size >= 4 * kChaChaBlockBytes) {
        WideBlocks4(state_, out);
        state_[12] += 4;
        out += 4 * kChaChaBlockBytes;
        size -= 4 * kChaChaBlockBytes;
    }
    while (size > 0) {
        std::uint8_t block[kChaChaBlockBytes];
        ScalarBlock(state_, block);
        ++state_[12];
        const std::size_t n = size < sizeof block ? size : sizeof block;
        std::memcpy(out, block, n);
        out += n;
        size -= n;
    }
}

}  // namespace morvane
