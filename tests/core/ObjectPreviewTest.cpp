#include "core/preview/ObjectPreview.h"

#include <gtest/gtest.h>

#include <optional>

namespace ObjectPreview = tarn::ObjectPreview;

namespace {

// A key with the content type it was stored with (none: infer it from the name).
struct TypedKey {
    const char* key;
    std::optional<std::string_view> contentType;
    bool expected;
};

}  // namespace

TEST(ObjectPreview, FileNameAndExtensionFollowPathRules) {
    struct Case {
        const char* key;
        const char* name;
        const char* extension;
    };
    const Case cases[] = {
        {"photos/IMG_1.JPG", "IMG_1.JPG", "jpg"},
        {"x.JpEg", "x.JpEg", "jpeg"},
        {"a/b/archive.tar.GZ", "archive.tar.GZ", "gz"},
        {"README", "README", ""},
        {"photos/2024/", "2024", ""},      // a folder key names the folder
        {"a//b.png//", "b.png", "png"},    // every trailing "/" is ignored
        {"dir.v2/file", "file", ""},       // a dot in a parent folder does not count
        {"file.", "file.", ""},
        {".env", ".env", ""},              // leading dots hide, they do not extend
        {"conf/..md", "..md", ""},
        {".hidden.txt", ".hidden.txt", "txt"},
        {"..", "..", ""},
        {"/", "/", ""},
        {"///", "/", ""},
        {"", "", ""},
        {"notes/draft v2.Markdown", "draft v2.Markdown", "markdown"},
        {"ünïcode/фото.PNG", "фото.PNG", "png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ObjectPreview::fileName(c.key), c.name) << c.key;
        EXPECT_EQ(ObjectPreview::fileExtension(c.key), c.extension) << c.key;
    }
}

TEST(ObjectPreview, ExtensionSets) {
    EXPECT_EQ(ObjectPreview::inlineImagePreviewExtensions().size(), 8u);
    EXPECT_EQ(ObjectPreview::inlineTextPreviewExtensions().size(), 25u);
    EXPECT_EQ(ObjectPreview::inlineMediaPreviewExtensions().size(), 7u);
    // Disjoint sets plus pdf.
    EXPECT_EQ(ObjectPreview::inlinePreviewExtensions().size(), 8u + 25u + 7u + 1u);
    EXPECT_EQ(ObjectPreview::glintSpecialExtensions().size(), 2u);
    EXPECT_EQ(ObjectPreview::textApplicationTypes().size(), 22u);
}

TEST(ObjectPreview, ClassifiesByExtension) {
    struct Case {
        const char* key;
        bool inlinePreview, image, text, media, markdown, html;
        const char* symbol;
    };
    const Case cases[] = {
        {"photos/IMG_1.JPG", true, true, false, false, false, false, "photo"},
        {"a/b.webp", true, true, false, false, false, false, "photo"},
        {"notes.markdown", true, false, true, false, true, false, "doc"},  // no "doc.text" for markdown
        {"notes.MD", true, false, true, false, true, false, "doc.text"},
        {"site/index.html", true, false, true, false, false, true, "doc.text"},
        {"site/index.htm", true, false, true, false, false, true, "doc"},  // nor for htm
        {"src/main.hpp", true, false, true, false, false, false, "doc.text"},
        {"config.yml", true, false, true, false, false, false, "doc.text"},
        {"paper.PDF", true, false, false, false, false, false, "doc.richtext"},
        {"clip.MOV", true, false, false, true, false, false, "film"},
        {"song.flac", true, false, false, true, false, false, "waveform"},
        {"backup.tar.gz", false, false, false, false, false, false, "archivebox"},
        {"x.7z", false, false, false, false, false, false, "archivebox"},
        {"logo.svg", false, false, false, false, false, false, "doc"},
        {"scene.glintlive", false, false, false, false, false, false, "doc"},
        {"README", false, false, false, false, false, false, "doc"},
        {".md", false, false, false, false, false, false, "doc"},
        {"photos.jpg/", true, true, false, false, false, false, "photo"},  // path rules, not kind
        {"", false, false, false, false, false, false, "doc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ObjectPreview::supportsInlinePreview(c.key), c.inlinePreview);
        EXPECT_EQ(ObjectPreview::isInlineImagePreview(c.key), c.image);
        EXPECT_EQ(ObjectPreview::isInlineTextPreview(c.key), c.text);
        EXPECT_EQ(ObjectPreview::isInlineMediaPreview(c.key), c.media);
        EXPECT_EQ(ObjectPreview::isMarkdownPreview(c.key), c.markdown);
        EXPECT_EQ(ObjectPreview::isHTMLPreview(c.key), c.html);
        EXPECT_EQ(ObjectPreview::isRenderablePreview(c.key), c.markdown || c.html);
        EXPECT_EQ(ObjectPreview::previewSystemImage(c.key), c.symbol);
    }
}

TEST(ObjectPreview, InferredContentTypeComesFromTheRegisteredList) {
    const std::pair<const char*, const char*> cases[] = {
        {"photos/IMG_1.JPG", "image/jpeg"},
        {"data/report.json", "application/json"},
        {"site/index.HTM", "text/html"},
        {"logo.svg", "image/svg+xml"},
        {"backup.tar.gz", "application/gzip"},
        {"README", "application/octet-stream"},
        {"photos/", "application/octet-stream"},
        {"scene.glintlive", "application/octet-stream"},
        {"x.not-a-known-extension", "application/octet-stream"},
        {".json", "application/octet-stream"},
    };
    for (const auto& [key, type] : cases) EXPECT_EQ(ObjectPreview::inferredContentType(key), type) << key;

    EXPECT_TRUE(ObjectPreview::isImageContentType("logo.SVG"));
    EXPECT_TRUE(ObjectPreview::isImageContentType("IMG_2.heic"));
    EXPECT_FALSE(ObjectPreview::isImageContentType("paper.pdf"));
    EXPECT_FALSE(ObjectPreview::isImageContentType("README"));
}

TEST(ObjectPreview, ProbablyTextByStoredOrInferredType) {
    const TypedKey cases[] = {
        {"blob", "Text/Plain; charset=utf-8", true},
        {"blob", "application/json", true},
        {"blob", "APPLICATION/X-YAML;charset=utf-8", true},
        {"blob", "application/x-www-form-urlencoded", true},
        {"blob", ";;text/csv", true},                          // empty pieces are skipped
        {"blob", "application/json ; charset=utf-8", true},    // header whitespace around the type
        {"blob", "\tapplication/xml", true},
        {"blob", "application/jsonp", false},
        {"blob", "application/json-patch+json", false},
        {"blob", "textual/plain", false},
        {"blob", "image/png", false},
        {"blob", "", false},
        {"blob", ";", false},
        {"notes.txt", "application/octet-stream", false},     // the stored type wins over the name
        {"photo.jpg", "text/plain", true},
        {"notes.txt", std::nullopt, true},                     // inferred text/plain
        {"run.sh", std::nullopt, true},                        // inferred application/x-sh
        {"photo.jpg", std::nullopt, false},
        {"README", std::nullopt, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ObjectPreview::isProbablyText(c.key, c.contentType), c.expected)
            << c.key << " " << c.contentType.value_or("(none)");
    }
}

TEST(ObjectPreview, MainTypeDropsParametersCaseAndWhitespace) {
    EXPECT_EQ(ObjectPreview::mainType("Video/MP4; codecs=\"avc1.42E01E\""), "video/mp4");
    EXPECT_EQ(ObjectPreview::mainType(";;text/csv"), "text/csv");
    EXPECT_EQ(ObjectPreview::mainType(" image/png ;q=1"), "image/png");
    EXPECT_EQ(ObjectPreview::mainType(" ;image/png"), "");
    EXPECT_EQ(ObjectPreview::mainType(";;"), "");
    EXPECT_EQ(ObjectPreview::mainType(""), "");
}

TEST(ObjectPreview, GlintRenderableOnlyForItsZipContainers) {
    const TypedKey cases[] = {
        {"a.glintlive", "application/zip; charset=binary", true},
        {"a/b.GLINTMOTION", "Application/X-Zip-Compressed", true},
        {"a.glintlive", "image/jpeg", false},
        {"a.glintlive", "image/jpeg; name=x.zip", false},  // only the main type counts
        {"a.glintlive", std::nullopt, false},              // inferred application/octet-stream
        {"a.zip", "application/zip", false},
        {"glintlive", "application/zip", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ObjectPreview::isGlintRenderable(c.key, c.contentType), c.expected)
            << c.key << " " << c.contentType.value_or("(none)");
    }
}
