#include "core/storage/WriteBatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using tarn::WriteBatcher;
using testing::ElementsAre;

namespace {

// The pieces a sink was handed, as texts.
struct Recorder {
    std::vector<std::string> writes;

    WriteBatcher::Sink sink() {
        return [this](std::span<const std::uint8_t> bytes) { writes.emplace_back(bytes.begin(), bytes.end()); };
    }
};

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

TEST(WriteBatcher, HandsOnFullBatchesInOrderAndTheRestOnFlush) {
    Recorder recorder;
    WriteBatcher batcher(4, recorder.sink());
    for (const std::string piece : {"ab", "c", "defgh", "", "ij"}) batcher.append(bytesOf(piece));
    EXPECT_THAT(recorder.writes, ElementsAre("abcd", "efgh"));
    EXPECT_EQ(batcher.size(), 10);

    batcher.flush();
    batcher.flush();  // nothing more is held
    EXPECT_THAT(recorder.writes, ElementsAre("abcd", "efgh", "ij"));
    EXPECT_EQ(batcher.size(), 10);
}

TEST(WriteBatcher, HandsOnTheWholeBatchesOfALargePieceFromThePieceItself) {
    std::vector<std::string> writes;
    std::vector<bool> fromPiece;
    const std::string first = "0123456789";
    const std::string third = "yzabcdefg";
    WriteBatcher batcher(4, [&](std::span<const std::uint8_t> bytes) {
        writes.emplace_back(bytes.begin(), bytes.end());
        const auto* data = reinterpret_cast<const char*>(bytes.data());
        const auto within = [data](const std::string& piece) {
            return data >= piece.data() && data < piece.data() + piece.size();
        };
        fromPiece.push_back(within(first) || within(third));
    });
    batcher.append(bytesOf(first));
    batcher.append(bytesOf("x"));
    batcher.append(bytesOf(third));
    batcher.flush();
    // Held bytes always go first, so the file's bytes stay in order; no write is
    // larger than a batch.
    EXPECT_THAT(writes, ElementsAre("0123", "4567", "89xy", "zabc", "defg"));
    EXPECT_THAT(fromPiece, ElementsAre(true, true, false, true, true));
    EXPECT_EQ(batcher.size(), 20);
}

TEST(WriteBatcher, SinkFailurePassesToTheCaller) {
    WriteBatcher batcher(4, [](std::span<const std::uint8_t>) { throw std::runtime_error("disk full"); });
    EXPECT_NO_THROW(batcher.append(bytesOf("abc")));
    EXPECT_THROW(batcher.append(bytesOf("de")), std::runtime_error);
}
