#include "core/preview/PreviewProbe.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

using tarn::test::TemporaryFolder;
using tarn::test::writeFile;
namespace PreviewProbe = tarn::PreviewProbe;

TEST(PreviewProbe, JudgesBytes) {
    struct Case {
        std::string bytes;
        bool text;
    };
    const Case cases[] = {
        {"", true},
        {"hello\r\n\tworld\n", true},
        {"naïve 日本語 😀", true},
        {std::string("text\0more", 9), false},
        {std::string(1, '\0'), false},
        {"\xC3", true},                                 // a cut character: every byte counts as text
        // Not UTF-8 (the 0xFF), so the share of text bytes decides.
        {std::string(16, 'a') + "\xFF\x01\x02\x1B", false},  // exactly 85 % is not enough
        {std::string(17, 'a') + "\xFF\x01\x02", true},       // 90 %
        {"\x01\x02\x03\xFF", false},
        {"\x01\x02\x03\x04", true},  // control bytes alone are still valid UTF-8
        {std::string(8192, '\xE9'), true},             // Latin-1, not UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(PreviewProbe::looksLikeText(c.bytes), c.text) << c.bytes.size();
}

TEST(PreviewProbe, LatinOneFileWithFewControlBytesIsText) {
    TemporaryFolder folder;
    std::string latin1;
    for (int i = 0; latin1.size() < PreviewProbe::sniffLength; ++i) latin1 += i % 10 == 0 ? "\x07" : "caf\xE9 ";
    latin1.resize(PreviewProbe::sniffLength);
    writeFile(folder.path() / "latin1.txt", latin1);
    EXPECT_TRUE(PreviewProbe::isLikelyTextFile(folder.path() / "latin1.txt"));
}

TEST(PreviewProbe, SniffsSmallFiles) {
    TemporaryFolder folder;
    const auto& dir = folder.path();
    writeFile(dir / "empty", "");
    writeFile(dir / "notes.txt", "Grüße aus Zürich\nline two\n");
    writeFile(dir / "image.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    EXPECT_TRUE(PreviewProbe::isLikelyTextFile(dir / "empty"));
    EXPECT_TRUE(PreviewProbe::isLikelyTextFile(dir / "notes.txt"));
    EXPECT_FALSE(PreviewProbe::isLikelyTextFile(dir / "image.png"));
}

TEST(PreviewProbe, WhatIsNoReadableFileIsNotText) {
    TemporaryFolder folder;
    const auto& dir = folder.path();
    EXPECT_FALSE(PreviewProbe::isLikelyTextFile(dir / "missing"));
    EXPECT_FALSE(PreviewProbe::isLikelyTextFile(dir));
    // A pipe without a writer would block a plain open or read.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(PreviewProbe::isLikelyTextFile(dir / "pipe"));
}

TEST(PreviewProbe, ReadsOnlyTheFirstBytes) {
    TemporaryFolder folder;
    const auto& dir = folder.path();
    const std::string text(PreviewProbe::sniffLength, 'a');

    // A zero byte just past the prefix is never seen; one inside it is.
    writeFile(dir / "after", text + std::string(1, '\0'));
    EXPECT_TRUE(PreviewProbe::isLikelyTextFile(dir / "after"));
    writeFile(dir / "inside", text.substr(1) + std::string(1, '\0'));
    EXPECT_FALSE(PreviewProbe::isLikelyTextFile(dir / "inside"));

    // Several gigabytes of zeros behind a text prefix: a probe that read on would
    // find them (and take seconds); a sparse file costs no disk.
    const auto huge = dir / "huge.log";
    writeFile(huge, text);
    ASSERT_EQ(::truncate(huge.c_str(), 8LL << 30), 0);
    EXPECT_TRUE(PreviewProbe::isLikelyTextFile(huge));
}
