#include "core/storage/FileTooLargeError.h"
#include "core/storage/MultipartPlan.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using tarn::MultipartPlan;

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
        const MultipartPlan plan = MultipartPlan::forSettings(c.fileSize, c.configuredMiB);
        EXPECT_EQ(plan.partSize, c.expected) << c.configuredMiB << " MiB for " << c.fileSize << " bytes";
        EXPECT_EQ(plan.partCount, MultipartPlan::countParts(c.fileSize, plan.partSize)) << c.fileSize;
        EXPECT_LE(plan.partCount, 10000) << c.fileSize;
    }
    EXPECT_EQ(MultipartPlan::fittedPartSize(5 * MiB, 17 * MiB), 5 * MiB);
    EXPECT_EQ(MultipartPlan::fittedPartSize(6 * GiB, 17 * MiB), 5 * GiB);
}

TEST(MultipartPlan, KeepsThePartsInFlightWithinTheMemoryBudget) {
    struct Case {
        std::int64_t configuredMiB;
        std::int64_t fileSize;
        int concurrency;
    };
    for (const Case& c : std::initializer_list<Case>{
             {10, 100 * MiB, 4},
             {64, 100 * MiB, 4},
             {65, 1 * GiB, 3},
             {100, 1 * GiB, 2},
             {300, 1 * GiB, 1},
             // Parts enlarged for a large file hold as much as the settings allow:
             // 4 × 105 MiB would not fit, 2 do.
             {10, 1 * TiB, 2},
             // One part larger than the budget still goes, alone.
             {10, 5 * TiB, 1},
             {8192, 100 * GiB, 1},
         }) {
        const MultipartPlan plan = MultipartPlan::forSettings(c.fileSize, c.configuredMiB);
        EXPECT_EQ(plan.concurrency, c.concurrency) << c.configuredMiB << " MiB for " << c.fileSize << " bytes";
        EXPECT_TRUE(plan.concurrency * plan.partSize <= 256 * MiB || plan.concurrency == 1) << c.fileSize;
    }

    // A caller's own concurrency and budget: lowered to fit, never below one.
    EXPECT_EQ(MultipartPlan::make(100 * MiB, 10 * MiB, 8).concurrency, 8);
    EXPECT_EQ(MultipartPlan::make(100 * MiB, 10 * MiB, 8, 30 * MiB).concurrency, 3);
    EXPECT_EQ(MultipartPlan::make(100 * MiB, 10 * MiB, 8, 0).concurrency, 1);
    EXPECT_EQ(MultipartPlan::make(100 * MiB, 10 * MiB, 0).concurrency, 1);
    EXPECT_EQ(MultipartPlan::make(1 * TiB, 10 * MiB, 4), (MultipartPlan{105 * MiB, 9987, 2}));
}

TEST(MultipartPlan, AFittedPlanIsTheSameWhenAnUploadResumesWithIt) {
    // A session keeps the fitted part size; planning again from it must cut the file
    // into the same parts, or the stored parts would not fit the new ones.
    for (const std::int64_t fileSize : {std::int64_t{0}, 11 * MiB, 200 * GiB, 1 * TiB, 5 * TiB}) {
        const MultipartPlan first = MultipartPlan::forSettings(fileSize, 10);
        EXPECT_EQ(MultipartPlan::make(fileSize, first.partSize, MultipartPlan::kMaxConcurrency), first) << fileSize;
    }
}

TEST(MultipartPlan, RefusesAFileLargerThanAnObjectMayBeAndSizesThatAreNoSizes) {
    EXPECT_NO_THROW(MultipartPlan::checkFileSize(5 * TiB));
    try {
        MultipartPlan::forSettings(5 * TiB + 1, 10);
        FAIL() << "a file beyond 5 TiB was accepted";
    } catch (const tarn::FileTooLargeError& error) {
        EXPECT_EQ(error.fileSize(), 5 * TiB + 1);
        EXPECT_EQ(error.limit(), 5 * TiB);
        EXPECT_STREQ(error.what(), "The file is too large to upload (5.0 TB); one object holds at most 5 TB.");
    }
    EXPECT_THROW(MultipartPlan::make(100, 0, 4), std::invalid_argument);
    EXPECT_THROW(MultipartPlan::make(-1, 10 * MiB, 4), std::invalid_argument);
}

TEST(MultipartPlan, CountsParts) {
    EXPECT_EQ(MultipartPlan::countParts(0, 5 * MiB), 1);
    EXPECT_EQ(MultipartPlan::countParts(1, 5 * MiB), 1);
    EXPECT_EQ(MultipartPlan::countParts(15 * MiB, 5 * MiB), 3);
    EXPECT_EQ(MultipartPlan::countParts(15 * MiB + 1, 5 * MiB), 4);
    EXPECT_EQ(MultipartPlan::countParts(std::numeric_limits<std::int64_t>::max(), 1),
              std::numeric_limits<std::int64_t>::max());
}
