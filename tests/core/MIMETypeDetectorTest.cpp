#include "core/preview/MIMETypeDetector.h"
#include "core/preview/MIMETypeOverlay.h"
#include "core/preview/MIMETypeTable.h"
#include "core/preview/ObjectPreview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace MIMETypeDetector = tarn::MIMETypeDetector;
namespace MIMETypeOverlay = tarn::MIMETypeOverlay;
namespace MIMETypeTable = tarn::MIMETypeTable;
namespace ObjectPreview = tarn::ObjectPreview;

namespace {

std::optional<std::string_view> find(std::span<const MIMETypeTable::Entry> entries, std::string_view extension) {
    const auto found = std::ranges::find(entries, extension, &MIMETypeTable::Entry::extension);
    if (found == entries.end()) return std::nullopt;
    return found->type;
}

// Lookups lower-case the extension and take the first match, so a list must hold
// each extension once, lower-case, without a dot.
void expectWellFormed(std::span<const MIMETypeTable::Entry> entries) {
    EXPECT_TRUE(std::ranges::is_sorted(entries, {}, &MIMETypeTable::Entry::extension));
    EXPECT_EQ(std::ranges::adjacent_find(entries, {}, &MIMETypeTable::Entry::extension), entries.end());
    for (const auto& entry : entries) {
        SCOPED_TRACE(std::string(entry.extension));
        EXPECT_FALSE(entry.extension.empty());
        EXPECT_EQ(entry.extension.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ./ "), std::string_view::npos);
        const std::size_t slash = entry.type.find('/');
        EXPECT_TRUE(slash != std::string_view::npos && slash > 0 && slash + 1 < entry.type.size());
    }
}

}  // namespace

TEST(MIMETypeDetector, ContentTypeOfLocalFiles) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/me/Pictures/IMG_1.JPG", "image/jpeg"},
        {"/home/me/site/script.js", "text/javascript"},
        {"/home/me/data.json", "application/json"},
        {"/home/me/logo.svg", "image/svg+xml"},
        {"/home/me/anim.WebP", "image/webp"},
        {"/home/me/notes.md", "text/markdown"},
        {"/home/me/table.csv", "text/csv"},
        {"/home/me/clip.mp4", "video/mp4"},
        {"/home/me/backup.tar.gz", "application/gzip"},
        {"relative/paper.pdf", "application/pdf"},
        {"/home/me/README", "application/octet-stream"},
        {"/home/me/.bashrc", "application/octet-stream"},
        {"/home/me/dir.d/file", "application/octet-stream"},
        {"/home/me/file.", "application/octet-stream"},
        {"/home/me/x.not-a-known-extension", "application/octet-stream"},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(MIMETypeDetector::contentType(path), type) << path;
}

TEST(MIMETypeDetector, RegisteredTypesAreLookedUpByLowerCaseExtension) {
    EXPECT_EQ(MIMETypeDetector::registeredType("png"), "image/png");
    EXPECT_EQ(MIMETypeDetector::registeredType("PNG"), std::nullopt);
    EXPECT_EQ(MIMETypeDetector::registeredType(""), std::nullopt);
    EXPECT_EQ(MIMETypeDetector::registeredType(".png"), std::nullopt);
    EXPECT_EQ(MIMETypeDetector::registeredType("glintlive"), std::nullopt);
}

TEST(MIMETypeDetector, CompiledListIsWellFormed) {
    const auto entries = MIMETypeTable::entries();
    ASSERT_GT(entries.size(), 1000u);
    expectWellFormed(entries);
    for (const auto& entry : entries) {
        if (find(MIMETypeOverlay::entries(), entry.extension)) continue;
        EXPECT_EQ(MIMETypeDetector::registeredType(entry.extension), entry.type) << entry.extension;
    }
}

// The overlay exists to make files text that the generated list does not: each of
// its entries must be a text type and must change what the list alone would give.
TEST(MIMETypeDetector, OverlayCorrectsTheCompiledListWithTextTypes) {
    const auto overlay = MIMETypeOverlay::entries();
    expectWellFormed(overlay);
    for (const auto& entry : overlay) {
        SCOPED_TRACE(std::string(entry.extension));
        EXPECT_NE(find(MIMETypeTable::entries(), entry.extension), entry.type) << "repeats the compiled list";
        EXPECT_EQ(MIMETypeDetector::registeredType(entry.extension), entry.type);
        EXPECT_TRUE(ObjectPreview::isProbablyText("blob", entry.type)) << entry.type;
    }
}

// Whatever the inspector offers to preview as text must also be stored as text, or
// a browser opening the object's link downloads what it could show.
TEST(MIMETypeDetector, TextPreviewFilesUploadWithATextType) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/me/build.log", "text/plain"},
        {"/home/me/ci.yml", "application/yaml"},
        {"/home/me/ci.YAML", "application/yaml"},
        {"/home/me/App.swift", "text/x-swift"},
        {"/home/me/Main.kt", "text/x-kotlin"},
        {"/home/me/main.go", "text/x-go"},
        {"/home/me/lib.rs", "text/x-rust"},
        {"/home/me/Cargo.toml", "application/toml"},
        {"/home/me/index.php", "application/x-httpd-php"},
        {"/home/me/run.sh", "application/x-sh"},
        {"/home/me/app.py", "text/x-python"},
        // Shared with video streams and translation files: left as the list has it.
        {"/home/me/app.ts", "text/vnd.trolltech.linguist"},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(MIMETypeDetector::contentType(path), type) << path;

    for (const std::string_view extension : ObjectPreview::inlineTextPreviewExtensions()) {
        const std::string key = "src/file." + std::string(extension);
        SCOPED_TRACE(key);
        EXPECT_TRUE(ObjectPreview::isProbablyText(key)) << ObjectPreview::inferredContentType(key);
        const std::string uploaded = MIMETypeDetector::contentType(key);
        EXPECT_TRUE(ObjectPreview::isProbablyText("blob", uploaded)) << uploaded;
        EXPECT_EQ(ObjectPreview::inferredContentType(key), uploaded);
    }
}
