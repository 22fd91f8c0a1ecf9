#include "ui/preview/PreviewChoice.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace tarn {
namespace {

struct ChoiceCase {
    const char* key;
    std::optional<std::string> storedType;  // the details' content type, if any
    PreviewKind kind;
};

std::ostream& operator<<(std::ostream& out, const ChoiceCase& c)
{
    return out << c.key << " / " << c.storedType.value_or("(no details)");
}

class PreviewChoiceTable : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(PreviewChoiceTable, ChoosesTheFirstMatchingView)
{
    const ChoiceCase& c = GetParam();
    EXPECT_EQ(PreviewChoice::kind(c.key, c.storedType), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreviewChoiceTable,
    ::testing::Values(
        // Media: by extension first, whatever the stored type says; else by an audio or video type.
        ChoiceCase{"films/holiday.mp4", std::nullopt, PreviewKind::media},
        ChoiceCase{"Song.MP3", std::nullopt, PreviewKind::media},
        ChoiceCase{"movie.mov", std::string("text/plain"), PreviewKind::media},
        ChoiceCase{"x.bin", std::string("video/mp4; codecs=\"avc1.42E01E, mp4a.40.2\""), PreviewKind::media},
        ChoiceCase{"x.bin", std::string("Audio/MPEG"), PreviewKind::media},
        // Pages: Markdown or HTML by name, before any type.
        ChoiceCase{"docs/notes.md", std::nullopt, PreviewKind::markdown},
        ChoiceCase{"README.markdown", std::string("application/octet-stream"), PreviewKind::markdown},
        ChoiceCase{"site/index.htm", std::nullopt, PreviewKind::html},
        ChoiceCase{"page.HTML", std::string("text/plain"), PreviewKind::html},
        // Images: the image service's formats, an image type (any case), an image extension.
        ChoiceCase{"shot.glintlive", std::string("application/zip"), PreviewKind::image},
        ChoiceCase{"x.bin", std::string("Image/PNG"), PreviewKind::image},
        ChoiceCase{"notes.txt", std::string("image/png"), PreviewKind::image},
        ChoiceCase{"photo.heic", std::nullopt, PreviewKind::image},
        ChoiceCase{"scan.TIFF", std::string("application/octet-stream"), PreviewKind::image},
        // PDF by type, or by the extension in any case.
        ChoiceCase{"x.bin", std::string("application/pdf"), PreviewKind::pdf},
        ChoiceCase{"A.PDF", std::string("application/octet-stream"), PreviewKind::pdf},
        // Text by type, by extension, or by a text-like stored type.
        ChoiceCase{"x.bin", std::string("text/csv"), PreviewKind::text},
        ChoiceCase{"config.json", std::nullopt, PreviewKind::text},
        ChoiceCase{"main.cpp", std::string("application/octet-stream"), PreviewKind::text},
        ChoiceCase{"x.bin", std::string("application/x-yaml; charset=utf-8"), PreviewKind::text},
        ChoiceCase{"script.sh", std::nullopt, PreviewKind::text},
        // Anything else: the file card.
        ChoiceCase{"x.bin", std::nullopt, PreviewKind::file},
        ChoiceCase{"backup.zip", std::nullopt, PreviewKind::file},
        ChoiceCase{"shot.glintlive", std::nullopt, PreviewKind::file},
        ChoiceCase{"no-extension", std::string("application/octet-stream"), PreviewKind::file},
        ChoiceCase{"x.bin", std::string(";;"), PreviewKind::file}));

TEST(PreviewChoice, TheTypeLosesItsParametersAndCase)
{
    EXPECT_EQ(PreviewChoice::mimeType("x.bin", std::string(" Video/MP4 ; codecs=avc1")), "video/mp4");
    EXPECT_EQ(PreviewChoice::mimeType("x.bin", std::string(";text/plain")), "text/plain");
    EXPECT_EQ(PreviewChoice::mimeType("x.bin", std::string(";;")), "");
    EXPECT_EQ(PreviewChoice::mimeType("x.bin", std::string("")), "");
    // Without a stored type, the one the extension implies.
    EXPECT_EQ(PreviewChoice::mimeType("photo.JPG", std::nullopt), "image/jpeg");
    EXPECT_EQ(PreviewChoice::mimeType("x.bin", std::nullopt), "application/octet-stream");
}

TEST(PreviewChoice, EachViewHasItsHeight)
{
    EXPECT_EQ(PreviewChoice::height(PreviewKind::media), 260);
    EXPECT_EQ(PreviewChoice::height(PreviewKind::markdown), 420);
    EXPECT_EQ(PreviewChoice::height(PreviewKind::html), 420);
    EXPECT_EQ(PreviewChoice::height(PreviewKind::image), 340);
    EXPECT_EQ(PreviewChoice::height(PreviewKind::pdf), 460);
    EXPECT_EQ(PreviewChoice::height(PreviewKind::text), 380);
    EXPECT_EQ(PreviewChoice::height(PreviewKind::file), 440);
}

}  // namespace
}  // namespace tarn
