// The random-pass keystream: published ChaCha20 known answers, the wide path against the
// reference block, rekeying, and the generator pipeline's order and failure handling.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "erase/keystream_aes_ctr.h"
#include "erase/keystream_chacha20.h"
#include "erase/keystream_pipeline.h"

namespace morvane {
namespace {

std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

TEST(ChaCha20, KnownAnswers) {
    struct Case {
        const char* name;
        std::string key;
        std::uint32_t counter;
        std::string nonce;
        std::string plaintext;  // empty: the keystream itself
        std::string expected;
    };
    const std::string rfcKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
    const std::string zeroKey(64, '0');
    const Case cases[] = {
        {"block function", rfcKey, 1, "000000090000004a00000000", "",
         "10f1e7e4d13b5915500fdd1fa32071c4c7d1f4c733c068030422aa9ac3d46c4e"
         "d2826446079faa0914c2d705d98b02a2b5129cd1de164eb9cbd083e8a2503c4e"},
        {"zero key, counter 0", zeroKey, 0, "000000000000000000000000", "",
         "76b8e0ada0f13d90405d6ae55386bd28bdd219b8a08ded1aa836efcc8b770dc7"
         "da41597c5157488d7724e03fb8d84a376a43b8f41518a11cc387b669b2ee6586"},
        {"zero key, counter 1", zeroKey, 1, "000000000000000000000000", "",
         "9f07e7be5551387a98ba977c732d080dcb0f29a048e3656912c6533e32ee7aed"
         "29b721769ce64e43d57133b074d839d531ed1f28510afb45ace10a1f4b794d6f"},
        {"sunscreen encryption", rfcKey, 1, "000000000000004a00000000",
         "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
         "future, sunscreen would be it.",
         "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0b"
         "f91b65c5524733ab8f593dabcd62b3571639d624e65152ab8f530c359f0861d8"
         "07ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
         "5af90bbf74a35be6b40b8eedf2785e42874d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto key = Hex(c.key);
        const auto nonce = Hex(c.nonce);
        const auto expected = Hex(c.expected);
        std::vector<std::uint8_t> stream(expected.size());
        ChaCha20 cipher(key.data(), nonce.data(), c.counter);
        cipher.Keystream(stream.data(), stream.size());
        if (!c.plaintext.empty()) {
            for (std::size_t i = 0; i < stream.size(); ++i) {
                stream[i] ^= static_cast<std::uint8_t>(c.plaintext[i]);
            }
        }
        EXPECT_EQ(stream, expected);
        if (c.plaintext.empty()) {
            std::uint8_t block[64];
            ChaCha20Block(key.data(), c.counter, nonce.data(), block);
            EXPECT_EQ(std::vector<std::uint8_t>(block, block + 64), expected);
        }
    }
}

TEST(ChaCha20, WideBlocksMatchTheReferenceAcrossCounterWrap) {
    const auto key = Hex("c0ffee00112233445566778899aabbccddeeff0123456789abcdef0f1e2d3c4b");
    const auto nonce = Hex("0102030405060708090a0b0c");
    for (std::uint32_t start : {0u, 5u, 0xFFFFFFF3u}) {
        SCOPED_TRACE(start);
        std::vector<std::uint8_t> stream(64 * 37 + 20);  // wide groups, single blocks, a tail
        ChaCha20 cipher(key.data(), nonce.data(), start);
        cipher.Keystream(stream.data(), 64 * 24);
        cipher.Keystream(stream.data() + 64 * 24, stream.size() - 64 * 24);
        EXPECT_EQ(cipher.counter(), start + 38);
        for (std::size_t b = 0; b < 38; ++b) {
            std::uint8_t block[64];
            ChaCha20Block(key.data(), start + static_cast<std::uint32_t>(b), nonce.data(), block);
            const std::size_t n = std::min<std::size_t>(64, stream.size() - 64 * b);
            ASSERT_TRUE(std::equal(block, block + n, stream.begin() + 64 * b)) << "block " << b;
        }
    }
}

// Seeds with a counter so each draw differs and draws can be counted.
std::vector<std::uint8_t> Hex(const char* text) {
    std::vector<std::uint8_t> bytes;
    for (const char* p = text; p[0] && p[1]; p += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(Aes256Ctr, KnownAnswers) {
    if (!AesInstructionsAvailable()) GTEST_SKIP() << "no AES instructions on this processor";
    struct Case {
        const char* key;
        const char* counter;
        const char* keystream;
    };
    const Case cases[] = {
        // NIST SP 800-38A F.5.5 (CTR-AES256): the four output blocks.
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
         "0bdf7df1591716335e9a8b15c860c5025a6e699d536119065433863c8f657b94"
         "1bc12c9c01610d5d0d8bd6a3378eca622956e1c8693536b1bee99c73a31576b6"},
        // FIPS-197 C.3: AES-256 of 00112233... as the counter block.
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
        // The counter carries from the low into the high 64 bits.
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "0001020304050607ffffffffffffffff",
         "b1013833f607a3258d3d3be88f80c38104228c9aba53e373a21c97ba6fe1887d"
         "5b2563b79bc120adf268b0b7efd06b2b"},
    };
    for (const Case& c : cases) {
        const auto key = Hex(c.key);
        const auto counter = Hex(c.counter);
        const auto expected = Hex(c.keystream);
        std::vector<std::uint8_t> out(expected.size());
        Aes256Ctr(key.data(), counter.data()).Keystream(out.data(), out.size());
        EXPECT_EQ(out, expected) << c.counter;
    }
}

TEST(Aes256Ctr, WideAndBlockwiseOutputAgree) {
    if (!AesInstructionsAvailable()) GTEST_SKIP() << "no AES instructions on this processor";
    std::uint8_t key[32];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
    // Counter blocks: the whole 128-bit counter wraps at once; the low half wraps after
    // a few hundred blocks (the 256-bit path hands over to the narrow one before it);
    // an ordinary start.
    const char* counters[] = {"ffffffffffffffffffffffffffffffff", "0001020304050607fffffffffffffed3",
                              "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff"};
    for (const char* hex : counters) {
        const auto counter = Hex(hex);
        Aes256Ctr single(key, counter.data());
        std::vector<std::uint8_t> blockwise(16 * 1003);
        for (std::size_t at = 0; at < blockwise.size(); at += 16) single.Keystream(blockwise.data() + at, 16);
        for (const bool allowWide : {true, false}) {
            std::vector<std::uint8_t> whole(blockwise.size());
            Aes256Ctr(key, counter.data(), allowWide).Keystream(whole.data(), whole.size());
            EXPECT_EQ(whole, blockwise) << hex << (allowWide ? " wide" : " narrow");
            // Two calls continue one stream; a partial block is cut and the next call
            // starts a fresh block.
            Aes256Ctr split(key, counter.data(), allowWide);
            std::vector<std::uint8_t> first(16 * 501 + 5);
            std::vector<std::uint8_t> second(16 * 300);
            split.Keystream(first.data(), first.size());
            split.Keystream(second.data(), second.size());
            EXPECT_TRUE(std::equal(first.begin(), first.end(), blockwise.begin())) << hex;
            EXPECT_TRUE(std::equal(second.begin(), second.end(), blockwise.begin() + 16 * 502)) << hex;
        }
    }
}

struct CountingSeed {
    std::shared_ptr<int> draws = std::make_shared<int>(0);
    int failAt = -1;
    RandomFill fill() {
        return [draws = draws, failAt = failAt](unsigned char* data, std::size_t size) {
            const int n = (*draws)++;
            if (n == failAt) return false;
            std::memset(data, 0, size);
            data[0] = static_cast<unsigned char>(n + 1);
            return true;
        };
    }
};

TEST(KeystreamFill, AesSegmentsAreTheirOwnKeysStreams) {
    if (!AesInstructionsAvailable()) GTEST_SKIP() << "no AES instructions on this processor";
    CountingSeed seed;
    const std::size_t segment = 4096;
    RandomFill fill = MakeKeystreamFill(seed.fill(), segment, KeystreamCipher::Aes256Ctr);
    std::vector<unsigned char> data(segment * 2);
    ASSERT_TRUE(fill(data.data(), data.size()));
    EXPECT_EQ(*seed.draws, 2);
    std::uint8_t key[32] = {2};
    std::uint8_t counter[16] = {};
    std::vector<unsigned char> expected(segment);
    Aes256Ctr(key, counter).Keystream(expected.data(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data.begin() + segment));
    EXPECT_FALSE(std::equal(data.begin(), data.begin() + 64, data.begin() + segment));
}

TEST(KeystreamFill, RekeysEverySegmentAndNeverRepeatsKeystream) {
    CountingSeed seed;
    const std::size_t segment = 4096;
    RandomFill fill = MakeKeystreamFill(seed.fill(), segment, KeystreamCipher::ChaCha20);
    std::vector<unsigned char> data(segment * 3 + 1000);
    ASSERT_TRUE(fill(data.data(), 1000));  // splits across segment boundaries
    ASSERT_TRUE(fill(data.data() + 1000, data.size() - 1000));
    EXPECT_EQ(*seed.draws, 4);
    for (std::size_t s = 0; s < 4; ++s) {
        for (std::size_t t = s + 1; t < 4; ++t) {
            EXPECT_FALSE(std::equal(data.begin() + static_cast<std::ptrdiff_t>(s * segment),
                                    data.begin() + static_cast<std::ptrdiff_t>(s * segment + 64),
                                    data.begin() + static_cast<std::ptrdiff_t>(t * segment)))
                << "segments " << s << " and " << t << " share keystream";
        }
    }

    // Segment 2 is exactly the keystream of the second key from block 0.
    std::uint8_t key[32] = {2};
    std::uint8_t nonce[12] = {};
    std::vector<unsigned char> expected(segment);
    ChaCha20(key, nonce).Keystream(expected.data(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data.begin() + segment));
}

TEST(KeystreamFill, FailedDrawFailsTheFill) {
    std::vector<unsigned char> data(8192);
    for (int failAt : {0, 1}) {  // the first key, the rekey after the first segment
        CountingSeed seed;
        seed.failAt = failAt;
        EXPECT_FALSE(MakeKeystreamFill(seed.fill(), 4096)(data.data(), data.size())) << failAt;
    }
    EXPECT_FALSE(MakeKeystreamFill(RandomFill{})(data.data(), data.size()));
}

TEST(RandomChunkPipeline, HandsOutChunksInOrderAndStopsOnFailure) {
    constexpr std::uint32_t kChunk = 64 * 1024;
    std::atomic<int> calls{0};
    RandomChunkPipeline pipeline(
        [&](unsigned char* data, std::size_t size) {
            const int n = calls++;
            if (n == 5) return false;
            std::memset(data, n + 1, size);
            return true;
        },
        kChunk);
    ASSERT_TRUE(pipeline.Start());
    unsigned char* previous = nullptr;
    for (int k = 0; k < 5; ++k) {
        unsigned char* chunk = pipeline.Next(100);
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(chunk) % 4096, 0u);
        EXPECT_NE(chunk, previous) << "the buffer being written must not be refilled";
        EXPECT_EQ(chunk[0], k + 1);
        EXPECT_EQ(chunk[kChunk - 1], k + 1);
        previous = chunk;
    }
    EXPECT_EQ(pipeline.Next(100), nullptr);
    EXPECT_EQ(pipeline.Next(100), nullptr);
}

TEST(RandomChunkPipeline, RunsAheadNoFurtherThanTheRingAndTheCallerAllow) {
    constexpr std::uint32_t kChunk = 4096;
    std::atomic<int> calls{0};
    RandomChunkPipeline pipeline(
        [&](unsigned char* data, std::size_t size) {
            std::memset(data, ++calls, size);
            return true;
        },
        kChunk);
    ASSERT_TRUE(pipeline.Start());
    // Holding chunk 1 while asking for many more: the ring fills up, chunk 1 stays intact.
    unsigned char* held = pipeline.Next(1000);
    ASSERT_NE(held, nullptr);
    ::Sleep(50);
    EXPECT_EQ(calls.load(), kRandomPipelineDepth);
    EXPECT_EQ(held[0], 1);
    EXPECT_EQ(held[kChunk - 1], 1);
    // Handing out chunks in order; at the end only what was announced is made.
    for (int k = 2; k <= 5; ++k) {
        unsigned char* chunk = pipeline.Next(k == 5 ? 0 : 6 - k - 1);
        ASSERT_NE(chunk, nullptr);
        EXPECT_EQ(chunk[0], k);
    }
    ::Sleep(50);
    EXPECT_EQ(calls.load(), 5);
}

TEST(RandomChunkPipeline, NoPrefetchWhenNoMoreIsNeededButAskingStillWorks) {
    std::atomic<int> calls{0};
    RandomChunkPipeline pipeline(
        [&](unsigned char* data, std::size_t size) {
            std::memset(data, ++calls, size);
            return true;
        },
        4096);
    ASSERT_TRUE(pipeline.Start());
    ASSERT_NE(pipeline.Next(0), nullptr);
    ::Sleep(20);
    EXPECT_EQ(calls.load(), 1);
    unsigned char* chunk = pipeline.Next(0);  // e.g. after a short write
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk[0], 2);
}

}  // namespace
}  // namespace morvane
