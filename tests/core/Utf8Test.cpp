#include "core/text/LogText.h"
#include "core/text/Utf8.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {
const std::string kMark = "\xEF\xBF\xBD";
}

TEST(Utf8, ValidityAndRepair) {
    struct Case {
        std::string bytes;
        std::string repaired;
    };
    const Case cases[] = {
        {"", ""},
        {"plain ascii", "plain ascii"},
        {"日本語 ü 😀", "日本語 ü 😀"},
        {"\xE6\x97", kMark},                                  // a character cut after two of its three bytes
        {"a\xF0\x9F\x98", "a" + kMark},                       // four-byte character cut short
        {"\xFF" "b", kMark + "b"},                            // never a UTF-8 byte
        {"\x80\x80", kMark + kMark},                          // stray continuation bytes
        {"\xC0\xAF", kMark + kMark},                          // overlong "/"
        {"\xED\xA0\x80", kMark + kMark + kMark},              // surrogate
        {"\xF4\x90\x80\x80", kMark + kMark + kMark + kMark},  // above U+10FFFF
        {"\xE6\x97" "x", kMark + "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8::isValid(c.bytes), c.bytes == c.repaired) << c.bytes;
        EXPECT_EQ(Utf8::repaired(c.bytes), c.repaired) << c.bytes;
    }
}

TEST(Utf8, CodePointsOnlyOfWellFormedText) {
    EXPECT_EQ(Utf8::codePoints("a中𝟠"), (std::vector<char32_t>{U'a', U'中', U'𝟠'}));
    EXPECT_EQ(Utf8::codePoints(""), std::vector<char32_t>{});
    for (const char* bad : {"\xC0\xB1", "\xE0\x80\xB1", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\x80",
                            "\xFF"}) {
        EXPECT_FALSE(Utf8::codePoints(bad)) << bad;
    }
}

TEST(LogText, CutsOnlyBeyondTheLimit) {
    EXPECT_EQ(LogText::truncated("abcd", 4), "abcd");
    EXPECT_EQ(LogText::truncated("", 0), "");
    // Invalid text within the limit stays as it is; the caller decides what to show.
    EXPECT_EQ(LogText::truncated("\xFF", 4), "\xFF");
    EXPECT_EQ(LogText::truncated("abcde", 4), "abcd…（已截断，共 5 bytes）");
    // "語" is three bytes; a cut after its first byte shows one replacement mark.
    EXPECT_EQ(LogText::truncated("abc語", 4), "abc" + kMark + "…（已截断，共 6 bytes）");
}
