#include "core/storage/StorageModels.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tarn;

TEST(StorageModels, PrefixDisplayName) {
    const std::pair<const char*, const char*> cases[] = {
        {"photos/2024/", "2024"}, {"a//b/", "b"}, {"top", "top"}, {"/", "/"}, {"", ""}, {"//x//", "x"}, {"///", "///"},
    };
    for (const auto& [prefix, name] : cases) EXPECT_EQ(ObjectPrefix{prefix}.displayName(), name) << prefix;
}

TEST(StorageModels, IdentityIsNotEquality) {
    const ObjectItem a{"k", 1};
    const ObjectItem b{"k", 2};
    EXPECT_EQ(a.id(), b.id());
    EXPECT_NE(a, b);
    EXPECT_NE((S3Credentials{"id", "one"}), (S3Credentials{"id", "two"}));
}

TEST(StorageModels, UsageOfObjects) {
    EXPECT_EQ(BucketUsage::of({}), (BucketUsage{0, 0}));
    EXPECT_EQ(BucketUsage::of({ObjectItem{"a", 5}, ObjectItem{"b", 7}}), (BucketUsage{2, 12}));
    // Sizes a hostile listing reports hold the total at its bound instead of wrapping.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(BucketUsage::of({ObjectItem{"a", kMax}, ObjectItem{"b", 7}}), (BucketUsage{2, kMax}));
    EXPECT_EQ(BucketUsage::of({ObjectItem{"a", kMin}, ObjectItem{"b", -1}}), (BucketUsage{2, kMin}));
}
