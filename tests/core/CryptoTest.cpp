#include "core/crypto/Crypto.h"
#include "core/crypto/Sha256Stream.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace tarn;

namespace {

std::string hex(std::span<const std::uint8_t> bytes) { return Crypto::hexLower(bytes); }

}  // namespace

// Published vectors (FIPS 180-2, RFC 1321, RFC 4231), each run twice and in
// alternation, since the digest and MAC contexts are reused from call to call.
TEST(Crypto, PublishedVectorsThroughReusedContexts) {
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(hex(Crypto::sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        EXPECT_EQ(hex(Crypto::md5("")), "d41d8cd98f00b204e9800998ecf8427e");
        EXPECT_EQ(hex(Crypto::hmacSha256("Jefe", "what do ya want for nothing?")),
                  "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
        EXPECT_EQ(hex(Crypto::sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    }
}

TEST(Crypto, EmptyKeyIsNotThePreviousKey) {
    EXPECT_EQ(hex(Crypto::hmacSha256("Jefe", "x")).size(), 64u);
    EXPECT_EQ(hex(Crypto::hmacSha256("", "")), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
}

TEST(Crypto, ThreadsDoNotShareContexts) {
    const std::string expected = hex(Crypto::hmacSha256("key", "The quick brown fox jumps over the lazy dog"));
    ASSERT_EQ(expected, "f7bc83f430538424b13298e6aa6fb143ef4d59a14946175997479dbc2d1a3cd8");
    std::vector<int> mismatches(8, 0);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 2000; ++i) {
                    const std::string key = "key" + std::to_string(t);  // interleave other keys
                    Crypto::hmacSha256(key, "noise");
                    Crypto::sha256(key);
                    if (hex(Crypto::hmacSha256("key", "The quick brown fox jumps over the lazy dog")) != expected) {
                        ++mismatches[t];
                    }
                }
            });
        }
    }
    for (int count : mismatches) EXPECT_EQ(count, 0);
}

TEST(Crypto, StreamOfPiecesHasTheDigestOfTheWholeAndStartsOverAfterwards) {
    // FIPS 180-2's two-block message, given in uneven pieces.
    const std::string message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const auto piece = [&](std::size_t from, std::size_t length) {
        return std::span(reinterpret_cast<const std::uint8_t*>(message.data()) + from, length);
    };
    Sha256Stream stream;
    stream.update(piece(0, 1));
    stream.update(piece(1, 0));
    stream.update(piece(1, 40));
    stream.update(piece(41, message.size() - 41));
    EXPECT_EQ(hex(stream.finish()), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(stream.finish()), hex(Crypto::sha256("")));
    stream.update(piece(0, 3));
    stream.reset();
    stream.update(piece(0, 3));
    EXPECT_EQ(hex(stream.finish()), hex(Crypto::sha256("abc")));
}
