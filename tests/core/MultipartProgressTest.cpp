#include "core/storage/MultipartProgress.h"

#include <gtest/gtest.h>

using tarn::MultipartProgress;

TEST(MultipartProgress, CountsFinishedPartsAndTheCurrentAttemptsInFlight) {
    MultipartProgress progress(100, 20);
    EXPECT_EQ(progress.bytes(), 20);

    progress.start(2, 1);
    progress.start(3, 1);
    progress.sent(2, 1, 10);
    progress.sent(3, 1, 5);
    EXPECT_EQ(progress.bytes(), 35);
    // A total that falls back (a resend) does not lower the count.
    progress.sent(2, 1, 4);
    EXPECT_EQ(progress.bytes(), 35);

    // Part 2 fails and starts over: a late report of the first attempt is ignored.
    progress.clear(2);
    progress.start(2, 2);
    progress.sent(2, 1, 30);
    EXPECT_EQ(progress.bytes(), 25);
    progress.sent(2, 2, 7);
    EXPECT_EQ(progress.bytes(), 32);
    // A part that is not in flight takes no report.
    progress.sent(9, 1, 50);
    EXPECT_EQ(progress.bytes(), 32);

    progress.complete(2, 40);
    progress.complete(3, 40);
    EXPECT_EQ(progress.bytes(), 100);

    progress.close();
    EXPECT_EQ(progress.bytes(), std::nullopt);
}

TEST(MultipartProgress, NeverShowsMoreThanTheFile) {
    MultipartProgress progress(50, 40);
    progress.start(5, 1);
    progress.sent(5, 1, 30);
    EXPECT_EQ(progress.bytes(), 50);
}
