#include "core/storage/UniqueKeyResolver.h"

#include <gtest/gtest.h>

using namespace tarn;

TEST(UniqueKeyResolver, NumbersTheNameBeforeTheLastExtension) {
    struct Case {
        const char* key;
        std::unordered_set<std::string> taken;
        const char* expected;
    };
    const Case cases[] = {
        {"photo.jpg", {}, "photo.jpg"},
        {"photo.jpg", {"photo 2.jpg"}, "photo.jpg"},  // only the key itself decides
        {"photo.jpg", {"photo.jpg"}, "photo 2.jpg"},
        {"photo.jpg", {"photo.jpg", "photo 2.jpg"}, "photo 3.jpg"},
        {"a/b.tar.gz", {"a/b.tar.gz"}, "a/b.tar 2.gz"},
        {"README", {"README"}, "README 2"},
        {"docs/README", {"docs/README", "docs/README 2", "docs/README 3"}, "docs/README 4"},
        {".env", {".env"}, ".env 2"},  // a hidden name has no extension
        {"dir/.config.json", {"dir/.config.json"}, "dir/.config 2.json"},
        {"file.", {"file."}, "file. 2"},
        {"v1.2/notes", {"v1.2/notes"}, "v1.2/notes 2"},  // a dot in the folder is no extension
        {"照片/图.png", {"照片/图.png"}, "照片/图 2.png"},
    };
    for (const auto& c : cases) EXPECT_EQ(UniqueKeyResolver::availableKey(c.key, c.taken), c.expected) << c.key;
}

// Whatever the key looks like, the new key is in the same folder as the taken one:
// an upload must never land somewhere the conflict check did not look.
TEST(UniqueKeyResolver, StaysInTheKeysOwnFolder) {
    const std::pair<const char*, const char*> cases[] = {
        {"./x.txt", "./x 2.txt"},
        {"/x.txt", "/x 2.txt"},
        {"a//x.txt", "a//x 2.txt"},
        {"a/./x.txt", "a/./x 2.txt"},
        {"docs/", "docs 2/"},  // a folder key stays a folder key
        {"a/b//", "a/b 2//"},
    };
    for (const auto& [key, expected] : cases) {
        EXPECT_EQ(UniqueKeyResolver::availableKey(key, {key}), expected) << key;
    }
}

TEST(UniqueKeyResolver, SkipsEveryTakenNumber) {
    std::unordered_set<std::string> taken = {"big.bin"};
    for (int n = 2; n <= 500; ++n) taken.insert("big " + std::to_string(n) + ".bin");
    EXPECT_EQ(UniqueKeyResolver::availableKey("big.bin", taken), "big 501.bin");
}
