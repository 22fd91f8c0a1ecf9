#include "core/storage/PrefixNavigator.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

struct KeyCase {
    const char* name;
    const char* directory;
    const char* key;
};

}  // namespace

TEST(PrefixNavigator, Parent) {
    const std::pair<const char*, const char*> cases[] = {
        {"a/b/c/", "a/b/"},
        {"a/b/c", "a/b/"},
        {"a/", ""},
        {"a", ""},
        {"", ""},
        {"/", ""},
        {"///", ""},
        {"a//b/", "a/"},
        {"/a/b/", "a/"},
        {"a//b//c//", "a/b/"},  // empty segments are not folders
        {"文件/照片/", "文件/"},
        {"a b/c d/", "a b/"},
    };
    for (const auto& [prefix, parent] : cases) EXPECT_EQ(PrefixNavigator::parent(prefix), parent) << prefix;
}

TEST(PrefixNavigator, FolderKey) {
    const KeyCase cases[] = {
        {"/new/", "docs", "docs/new/"},
        {"/new/", "", "new/"},
        {"new", "docs/", "docs/new/"},
        {"//a/b//", "x/", "x/a/b/"},  // inner slashes stay
        {"new", "/", "/new/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrefixNavigator::folderKey(c.name, c.directory), c.key) << c.name << " in " << c.directory;
    }
}

TEST(PrefixNavigator, ChildObjectKey) {
    const KeyCase cases[] = {
        {"x.txt", "docs/", "docs/x.txt"},
        {"x.txt", "docs", "docs/x.txt"},
        {"x.txt", "", "x.txt"},
        {"sub/dir/x.txt", "docs/", "docs/sub/dir/x.txt"},  // relative paths of folder uploads pass through
        {"/x.txt", "docs/", "docs//x.txt"},  // the name is not trimmed
        {"报告 1.pdf", "年/", "年/报告 1.pdf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrefixNavigator::childObjectKey(c.name, c.directory), c.key) << c.name << " in " << c.directory;
    }
}
