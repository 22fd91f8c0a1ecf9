#include "core/values/Uuid.h"

#include <gtest/gtest.h>

#include <set>

using tarn::Uuid;

TEST(Uuid, ParsesEitherCaseAndPrintsUpperCase) {
    const auto lower = Uuid::parse("0f8e7a52-3b1c-4d2e-9f00-aabbccddeeff");
    const auto upper = Uuid::parse("0F8E7A52-3B1C-4D2E-9F00-AABBCCDDEEFF");
    ASSERT_TRUE(lower && upper);
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(lower->toString(), "0F8E7A52-3B1C-4D2E-9F00-AABBCCDDEEFF");
}

TEST(Uuid, RejectsOtherForms) {
    for (const char* text : {"", "0F8E7A523B1C4D2E9F00AABBCCDDEEFF", "{0F8E7A52-3B1C-4D2E-9F00-AABBCCDDEEFF}",
                             "0F8E7A52-3B1C-4D2E-9F00-AABBCCDDEEF", "0F8E7A52-3B1C-4D2E-9F00-AABBCCDDEEFG",
                             "0F8E7A52+3B1C-4D2E-9F00-AABBCCDDEEFF", " 0F8E7A52-3B1C-4D2E-9F00-AABBCCDDEEF"}) {
        EXPECT_FALSE(Uuid::parse(text)) << text;
    }
}

TEST(Uuid, RandomIsVersion4AndDistinct) {
    std::set<Uuid> seen;
    for (int i = 0; i < 100; ++i) {
        const Uuid uuid = Uuid::random();
        const std::string text = uuid.toString();
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        EXPECT_EQ(Uuid::parse(text), uuid);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 100u);
}
