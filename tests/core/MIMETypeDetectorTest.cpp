#include "core/config/MIMETypeDetector.h"
#include "core/config/MIMETypeTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace MIMETypeDetector = tarn::MIMETypeDetector;
namespace MIMETypeTable = tarn::MIMETypeTable;

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

// Lookups lower-case the extension and take the first match, so the compiled list
// must hold each extension once, lower-case, without a dot.
TEST(MIMETypeDetector, CompiledListIsWellFormed) {
    const auto entries = MIMETypeTable::entries();
    ASSERT_GT(entries.size(), 1000u);
    EXPECT_TRUE(std::ranges::is_sorted(entries, {}, &MIMETypeTable::Entry::extension));
    EXPECT_EQ(std::ranges::adjacent_find(entries, {}, &MIMETypeTable::Entry::extension), entries.end());
    for (const auto& entry : entries) {
        SCOPED_TRACE(std::string(entry.extension));
        EXPECT_FALSE(entry.extension.empty());
        EXPECT_EQ(entry.extension.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ./ "), std::string_view::npos);
        const std::size_t slash = entry.type.find('/');
        EXPECT_TRUE(slash != std::string_view::npos && slash > 0 && slash + 1 < entry.type.size());
        EXPECT_EQ(MIMETypeDetector::registeredType(entry.extension), entry.type);
    }
}
