#include "core/text/UnicodeNumeric.h"

#include <gtest/gtest.h>

namespace UnicodeNumeric = tarn::UnicodeNumeric;

TEST(UnicodeNumeric, NumbersOfEveryScriptAndNothingElse) {
    for (const char32_t c : {U'0', U'9', U'²', U'½', U'٣', U'५', U'Ⅻ', U'①', U'０', U'９', U'〇', U'一', U'万', U'𝟠'}) {
        EXPECT_TRUE(UnicodeNumeric::isNumeric(c)) << static_cast<std::uint32_t>(c);
    }
    for (const char32_t c : {U'/', U':', U'a', U'.', U' ', U'中', U'Ａ', char32_t{0}, char32_t{0x10FFFF}}) {
        EXPECT_FALSE(UnicodeNumeric::isNumeric(c)) << static_cast<std::uint32_t>(c);
    }
}
