#include "core/storage/FileTooLargeError.h"
#include "core/storage/MultipartPlan.h"

#include <gtest/gtest.h>

namespace MultipartPlan = tarn::MultipartPlan;

namespace {

constexpr std::int64_t MiB = 1024 * 1024;
constexpr std::int64_t GiB = 1024 * MiB;
constexpr std::int64_t TiB = 1024 * GiB;

}  // namespace

TEST(MultipartPlan, PartSizeGrowsInWholeMiBToStayWithinTenThousandParts) {
    struct Case {
        std::int64_t configuredMiB;
        std::int64_t fileSize;
        std::int64_t expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {10, 100 * MiB, 10 * MiB},
             // The settings never go below 10 MiB.
             {5, 100 * MiB, 10 * MiB},
             {0, 100 * MiB, 10 * MiB},
             {64, 100 * MiB, 64 * MiB},
             // Exactly 10,000 parts fit; one byte more needs the next whole MiB.
             {10, 10000 * 10 * MiB, 10 * MiB},
             {10, 10000 * 10 * MiB + 1, 11 * MiB},
             {10, 200 * GiB, 21 * MiB},
             // A configured size that is already large enough stays.
             {100, 200 * GiB, 100 * MiB},
             // The largest object: ⌈5 TiB / 10,000⌉ is 524.3 MiB.
             {10, 5 * TiB, 525 * MiB},
             // No part above 5 GiB, whatever the settings say.
             {8192, 100 * GiB, 5 * GiB},
         }) {
        const std::int64_t size = MultipartPlan::partSize(c.configuredMiB, c.fileSize);
        EXPECT_EQ(size, c.expected) << c.configuredMiB << " MiB for " << c.fileSize << " bytes";
        EXPECT_LE(MultipartPlan::partCount(c.fileSize, size), 10000) << c.fileSize;
    }
    EXPECT_EQ(MultipartPlan::fittedPartSize(5 * MiB, 17 * MiB), 5 * MiB);
    EXPECT_EQ(MultipartPlan::fittedPartSize(6 * GiB, 17 * MiB), 5 * GiB);
}

TEST(MultipartPlan, RefusesAFileLargerThanAnObjectMayBe) {
    EXPECT_NO_THROW(MultipartPlan::checkFileSize(5 * TiB));
    try {
        MultipartPlan::partSize(10, 5 * TiB + 1);
        FAIL() << "a file beyond 5 TiB was accepted";
    } catch (const tarn::FileTooLargeError& error) {
        EXPECT_EQ(error.fileSize(), 5 * TiB + 1);
        EXPECT_EQ(error.limit(), 5 * TiB);
        EXPECT_STREQ(error.what(), "The file is too large to upload (5.0 TB); one object holds at most 5 TB.");
    }
}

TEST(MultipartPlan, CountsPartsAndPartsInFlight) {
    EXPECT_EQ(MultipartPlan::partCount(0, 5 * MiB), 1);
    EXPECT_EQ(MultipartPlan::partCount(1, 5 * MiB), 1);
    EXPECT_EQ(MultipartPlan::partCount(15 * MiB, 5 * MiB), 3);
    EXPECT_EQ(MultipartPlan::partCount(15 * MiB + 1, 5 * MiB), 4);
    EXPECT_EQ(MultipartPlan::partCount(std::numeric_limits<std::int64_t>::max(), 1),
              std::numeric_limits<std::int64_t>::max());

    // As many parts as fit in 256 MiB, between 1 and 4.
    EXPECT_EQ(MultipartPlan::concurrency(10 * MiB), 4);
    EXPECT_EQ(MultipartPlan::concurrency(64 * MiB), 4);
    EXPECT_EQ(MultipartPlan::concurrency(100 * MiB), 2);
    EXPECT_EQ(MultipartPlan::concurrency(300 * MiB), 1);
    EXPECT_EQ(MultipartPlan::concurrency(5 * GiB), 1);
    EXPECT_EQ(MultipartPlan::concurrency(0), 4);
}
