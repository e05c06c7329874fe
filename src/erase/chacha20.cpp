// ChaCha20: a scalar block function and a wide form that computes several blocks at
// once in vector lanes (one block per lane), which the compiler maps to SIMD registers.
#include "erase/chacha20.h"

#include <cstring>

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

// Eight blocks at once: lane j of every word belongs to the block with counter + j.
constexpr int kLanes = 8;
typedef std::uint32_t Lanes __attribute__((vector_size(4 * kLanes)));

void WideBlocks(const std::uint32_t state[16], std::uint8_t* out) {
    Lanes x[16];
    Lanes initial[16];
    for (int i = 0; i < 16; ++i) {
        initial[i] = Lanes{} + state[i];
    }
    Lanes step{};
    for (int j = 0; j < kLanes; ++j) step[j] = static_cast<std::uint32_t>(j);
    initial[12] += step;  // the counter wraps per lane exactly as block by block
    std::memcpy(x, initial, sizeof x);
    DoubleRounds(x);
    for (int i = 0; i < 16; ++i) {
        const Lanes word = x[i] + initial[i];
        for (int j = 0; j < kLanes; ++j) {
            // Little-endian targets only (x86, x64): the word is stored as it sits in memory.
            std::uint32_t w = word[j];
            std::memcpy(out + 64 * j + 4 * i, &w, 4);
        }
    }
}

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

void ChaCha20::Keystream(std::uint8_t* out, std::size_t size) noexcept {
    constexpr std::size_t wide = kChaChaBlockBytes * kLanes;
    while (size >= wide) {
        WideBlocks(state_, out);
        state_[12] += kLanes;
        out += wide;
        size -= wide;
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
