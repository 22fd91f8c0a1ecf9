#include "core/preview/PreviewCache.h"

#include <gtest/gtest.h>

using namespace std::chrono;
using tarn::TimePoint;
namespace PreviewCache = tarn::PreviewCache;

// Expected digests: SHA-256 of key + "\n" + version text, computed outside the project.
TEST(PreviewCache, EveryFormOfOneETagNamesTheSameFile) {
    const std::string expected = "29ec2b0dfc7d6d01573f848d28b51960b6b6376131b90a454d7707c4deefea96.jpg";
    for (const char* eTag : {"abc-123", "\"abc-123\"", "W/\"abc-123\"", "  \"abc-123\"\t", "\tW/\"abc-123\" ",
                             "\"\"abc-123\"\""}) {
        EXPECT_EQ(PreviewCache::normalizedETag(std::string(eTag)), "abc-123") << eTag;
        // Size and date play no part once there is a tag.
        EXPECT_EQ(PreviewCache::fileName("photos/IMG 1.JPG", 999, TimePoint(milliseconds(5)), std::string(eTag)), expected)
            << eTag;
    }
    EXPECT_EQ(PreviewCache::normalizedETag(std::nullopt), "");
    // A line break is not trimmed: it is no header whitespace and the tag stays distinct.
    EXPECT_EQ(PreviewCache::normalizedETag(std::string("\"abc\"\n")), "abc\"\n");
}

TEST(PreviewCache, WithoutATagSizeAndModificationSecondName) {
    const TimePoint modified = TimePoint(milliseconds(1714552200'250));  // 2024-05-01T08:30:00.250Z
    const std::string base = "017fdf98d8c4269e6b1607412b8fce7bca3ac87890fc7fb1ead429b3041c6506";
    EXPECT_EQ(PreviewCache::fileName("docs/readme", 1234, modified, std::nullopt), base);
    // An empty or quotes-only tag is no tag.
    for (const char* eTag : {"", "  ", "\"\"", "W/\"\""}) {
        EXPECT_EQ(PreviewCache::fileName("docs/readme", 1234, modified, std::string(eTag)), base) << eTag;
    }
    // Within the same second with the same size: the same file.
    EXPECT_EQ(PreviewCache::fileName("docs/readme", 1234, modified + milliseconds(700), std::nullopt), base);
    EXPECT_EQ(PreviewCache::fileName("docs/readme", 1234, modified + milliseconds(750), std::nullopt),
              "a6c94576b316dc1e2e812ffe3400c7e751f9088fb7ebbba2144dc04a709bedd2");
    EXPECT_EQ(PreviewCache::fileName("docs/readme", 1235, modified, std::nullopt),
              "702ef2ce5ff84370c0856c3a949d3f5e55f58093926c84e41cd43cc6651c5eab");
}

TEST(PreviewCache, SecondsBefore1970RoundDownAndAMissingDateIsADash) {
    // Half a second before 1970 is second -1 ("meta:0:-1"), not 0.
    EXPECT_EQ(PreviewCache::fileName("old.bin", 0, TimePoint(milliseconds(-500)), std::nullopt),
              "7becc07af2690df9a8ea82d5a6c1ec0e985fe9d9e416f34d637ea73a406827aa.bin");
    EXPECT_NE(PreviewCache::fileName("old.bin", 0, TimePoint(milliseconds(-500)), std::nullopt),
              PreviewCache::fileName("old.bin", 0, TimePoint(milliseconds(500)), std::nullopt));
    EXPECT_EQ(PreviewCache::fileName("old.bin", 5, std::nullopt, std::nullopt),
              "585f8866b83e6a5353eb54f22323613e302f1539ac0b14c479f8cd130b6d3edb.bin");
}

TEST(PreviewCache, KeepsOnlyShortPlainExtensions) {
    struct Case {
        const char* key;
        const char* suffix;  // "" for a bare digest
    };
    const Case cases[] = {
        {"photo.JPG", ".jpg"},
        {"a/b/archive.tar.gz", ".gz"},
        {"clip.MP4", ".mp4"},
        {"x.abcdefghijklmnop", ".abcdefghijklmnop"},  // 16 characters
        {"x.abcdefghijklmnopq", ""},                  // 17
        {"x.jpég", ""},
        {"x.tar-gz", ""},
        {"x.j pg", ""},
        {"file.", ""},
        {".env", ""},
        {"conf/..md", ""},
        {"dir.v2/file", ""},
        {"noextension", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string name = PreviewCache::fileName(c.key, 1, std::nullopt, std::string("t"));
        const std::string expectedSuffix = c.suffix;
        EXPECT_EQ(name.size(), 64 + expectedSuffix.size()) << c.key;
        EXPECT_EQ(name.substr(64), expectedSuffix) << c.key;
        EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), 64 < name.size() ? 64u : std::string::npos) << c.key;
    }
}

TEST(PreviewCache, TheWholeKeyEntersTheName) {
    const auto tag = std::optional<std::string>("same");
    EXPECT_NE(PreviewCache::fileName("2023/report.pdf", 10, std::nullopt, tag),
              PreviewCache::fileName("2024/report.pdf", 10, std::nullopt, tag));
}
