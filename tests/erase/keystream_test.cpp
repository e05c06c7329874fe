// The random-pass keystream: published ChaCha20 and AES-256-CTR answers, ChaCha20's wide
// path against its reference block, rekeying, and the generator pipeline's order, bounds
// and failure handling.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_chacha20.h"
#include "erase/keystream_pipeline.h"

namespace morvane {
namespace {

std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(ChaCha20, KnownAnswersAndWideBlocksAcrossCounterWrap) {
    const auto key = Hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    const auto nonce = Hex("000000090000004a00000000"), expected = Hex(  // the published block function answer, counter 1
        "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4ed2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e");
    std::vector<std::uint8_t> stream(64);
    ChaCha20(key.data(), nonce.data(), 1).Keystream(stream.data(), stream.size());
    EXPECT_EQ(stream, expected);
    for (std::uint32_t start : {0u, 5u, 0xFFFFFFF3u}) {  // wide groups, single blocks and a tail, in two calls
        std::vector<std::uint8_t> stream(64 * 37 + 20);
        ChaCha20 cipher(key.data(), key.data() + 20, start);
        cipher.Keystream(stream.data(), 64 * 24);
        cipher.Keystream(stream.data() + 64 * 24, stream.size() - 64 * 24);
        for (std::uint32_t b = 0; b < 38; ++b) {
            std::uint8_t block[64];
            ChaCha20Block(key.data(), start + b, key.data() + 20, block);
            ASSERT_TRUE(std::equal(block, block + std::min<std::size_t>(64, stream.size() - 64 * b), stream.begin() + 64 * b)) << start << "/" << b;
        }
    }
}

TEST(Aes256Ctr, KnownAnswersAndTheWidePath) {
    if (!AesInstructionsAvailable()) GTEST_SKIP() << "no AES instructions on this processor";
    const std::string key800 = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
    const struct { std::string key, counter, keystream; } cases[] = {
        {key800, "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",  // NIST SP 800-38A F.5.5, the four output blocks
         "0bdf7df1591716335e9a8b15c860c5025a6e699d536119065433863c8f657b941bc12c9c01610d5d0d8bd6a3378eca622956e1c8693536b1bee99c73a31576b6"},
        {key800, "0001020304050607ffffffffffffffff",  // the counter carries into the high 64 bits
         "b1013833f607a3258d3d3be88f80c38104228c9aba53e373a21c97ba6fe1887d5b2563b79bc120adf268b0b7efd06b2b"},
    };
    for (const auto& c : cases) {
        const auto key = Hex(c.key), counter = Hex(c.counter), expected = Hex(c.keystream);
        std::vector<std::uint8_t> out(expected.size());
        Aes256Ctr(key.data(), counter.data()).Keystream(out.data(), out.size());
        EXPECT_EQ(out, expected) << c.counter;
    }
    const auto key = Hex(key800), counter = Hex("0001020304050607fffffffffffffed3");  // the low half wraps on the way
    std::vector<std::uint8_t> wide(16 * 1003), narrow(wide.size());
    Aes256Ctr(key.data(), counter.data(), true).Keystream(wide.data(), wide.size());
    Aes256Ctr(key.data(), counter.data(), false).Keystream(narrow.data(), narrow.size());
    EXPECT_EQ(wide, narrow) << "the wide path where the processor has one";
}

// Seed draw n (from 0) is all zeros but its first byte, n + 1: the segment keys are known.
RandomFill CountingSeed(std::shared_ptr<int> draws, int failAt = -1) {
    return [draws, failAt](unsigned char* data, std::size_t size) {
        std::memset(data, 0, size);
        data[0] = static_cast<unsigned char>(++*draws);
        return *draws - 1 != failAt;
    };
}

TEST(KeystreamFill, EachSegmentIsItsOwnKeysStreamFromBlockZero) {
    for (const KeystreamCipher cipher : {KeystreamCipher::ChaCha20, KeystreamCipher::Aes256Ctr}) {
        if (cipher == KeystreamCipher::Aes256Ctr && !AesInstructionsAvailable()) continue;
        auto draws = std::make_shared<int>(0);
        RandomFill fill = MakeKeystreamFill(CountingSeed(draws), 4096, cipher);
        std::vector<unsigned char> data(4096 * 3 + 1000);
        ASSERT_TRUE(fill(data.data(), 1000) && fill(data.data() + 1000, data.size() - 1000) && *draws == 4);  // calls cut segments
        for (std::uint8_t s = 0; s < 4; ++s) {
            const std::uint8_t key[32] = {static_cast<std::uint8_t>(s + 1)}, zeros[16] = {};
            std::vector<unsigned char> expected(s < 3 ? 4096 : 1000);
            cipher == KeystreamCipher::Aes256Ctr ? Aes256Ctr(key, zeros).Keystream(expected.data(), expected.size())
                                                 : ChaCha20(key, zeros).Keystream(expected.data(), expected.size());
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data.begin() + s * 4096)) << "segment " << int(s);
        }
    }
    std::vector<unsigned char> data(8192);
    for (int failAt : {0, 1}) {  // the first key, the rekey after the first segment
        EXPECT_FALSE(MakeKeystreamFill(CountingSeed(std::make_shared<int>(0), failAt), 4096)(data.data(), data.size())) << failAt;
    }
    EXPECT_FALSE(MakeKeystreamFill(RandomFill{})(data.data(), data.size()));
}

// Nothing waits on the clock: a pipeline joins its thread when it ends, so the fills
// counted afterwards are all it ever made. (Failed fills: the pass writer's test.)
TEST(RandomChunkPipeline, HandsOutChunksInOrderAndFillsOnlyWhatWasAnnounced) {
    std::atomic<int> calls{0};
    const RandomFill fill = [&](unsigned char* data, std::size_t size) { return std::memset(data, ++calls, size), true; };
    {
        RandomChunkPipeline pipeline(fill, 4096);
        ASSERT_TRUE(pipeline.Start());
        unsigned char* previous = pipeline.Next(1000);  // held while the ring fills up behind it
        while (calls < kRandomPipelineDepth) ::SwitchToThread();
        EXPECT_TRUE(previous[0] == 1 && previous[4095] == 1) << "the chunk in use was refilled";
        for (int k = 2; k <= 4; ++k) {  // announcing fewer and fewer, the last none
            unsigned char* chunk = pipeline.Next(4 - k);
            ASSERT_NE(chunk, nullptr);
            EXPECT_TRUE(reinterpret_cast<std::uintptr_t>(chunk) % 4096 == 0 && chunk != previous && chunk[0] == k) << k;
            previous = chunk;
        }
    }
    EXPECT_EQ(calls, 4) << "only the announced chunks are made";
}

}  // namespace
}  // namespace morvane
