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

TEST(WriteBatcher, PassesALargePieceOnWholeWhenNothingIsHeld) {
    Recorder recorder;
    WriteBatcher batcher(4, recorder.sink());
    batcher.append(bytesOf("0123456789"));
    batcher.append(bytesOf("x"));
    batcher.append(bytesOf("yzabcdefg"));
    batcher.flush();
    // Held bytes always go first, so the file's bytes stay in order.
    EXPECT_THAT(recorder.writes, ElementsAre("0123456789", "xyza", "bcde", "fg"));
}

TEST(WriteBatcher, SinkFailurePassesToTheCaller) {
    WriteBatcher batcher(4, [](std::span<const std::uint8_t>) { throw std::runtime_error("disk full"); });
    EXPECT_NO_THROW(batcher.append(bytesOf("abc")));
    EXPECT_THROW(batcher.append(bytesOf("de")), std::runtime_error);
}
