#include "app/transfers/UploadScanner.h"

#include "ScopedOpenFileLimit.h"

#include "core/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {

void PrintTo(const UploadItem& item, std::ostream* out) { *out << item.key << " <- " << item.fileURL; }

namespace {

using test::TemporaryFolder;
using test::readFile;
using test::writeFile;

// The items by key, so that the walk's own order does not matter.
std::map<std::string, fs::path> byKey(const std::vector<UploadItem>& items) {
    std::map<std::string, fs::path> result;
    for (const UploadItem& item : items) EXPECT_TRUE(result.emplace(item.key, item.fileURL).second) << "twice: " << item.key;
    return result;
}

std::vector<std::string> keysOf(const std::vector<UploadItem>& items) {
    std::vector<std::string> keys;
    for (const UploadItem& item : items) keys.push_back(item.key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

// A folder "photos" with what users really drop: nested files, dot-files and a
// dot-folder, links to a file and to a folder outside it, a FIFO, a file nobody may
// read, empty folders. Every file holds its own relative path, so a test can check
// that each key comes with the right local file.
class UploadScannerTest : public ::testing::Test {
protected:
    UploadScannerTest() : m_photos(m_root.path() / "photos") {
        fs::create_directories(m_photos / "2024" / "deep");
        fs::create_directories(m_photos / ".cache");
        fs::create_directories(m_photos / "empty" / "nested-empty");
        fs::create_directories(m_root.path() / "outside");
        for (const char* file : {"a.jpg", "2024/x.jpg", "2024/deep/y.txt", "locked.txt", ".hidden.txt", "2024/.DS_Store",
                                 ".cache/z.jpg"}) {
            writeFile(m_photos / file, file);
        }
        writeFile(m_root.path() / "outside" / "secret.txt", "outside");
        writeFile(m_root.path() / "outside.txt", "outside");
        fs::create_symlink(m_root.path() / "outside.txt", m_photos / "link-to-file.txt");
        fs::create_directory_symlink(m_root.path() / "outside", m_photos / "link-to-folder");
        fs::create_symlink("nowhere", m_photos / "2024" / "dangling.jpg");
        EXPECT_EQ(::mkfifo((m_photos / "2024" / "pipe").c_str(), 0600), 0);
        // Root reads it anyway; either way it must be listed, so that the queue
        // reports it when it cannot be sent instead of dropping it unseen.
        fs::permissions(m_photos / "locked.txt", fs::perms::none);
    }

    TemporaryFolder m_root;
    fs::path m_photos;
};

TEST_F(UploadScannerTest, AFolderGivesItsVisibleRegularFilesUnderItsOwnName) {
    const std::map<std::string, fs::path> items = byKey(UploadScanner::folderItems(m_photos, "docs/"));

    EXPECT_THAT(items, ElementsAre(std::pair<const std::string, fs::path>("docs/photos/2024/deep/y.txt", m_photos / "2024/deep/y.txt"),
                                   std::pair<const std::string, fs::path>("docs/photos/2024/x.jpg", m_photos / "2024/x.jpg"),
                                   std::pair<const std::string, fs::path>("docs/photos/a.jpg", m_photos / "a.jpg"),
                                   std::pair<const std::string, fs::path>("docs/photos/locked.txt", m_photos / "locked.txt")));
    for (const auto& [key, path] : items) {
        if (key != "docs/photos/locked.txt") {
            EXPECT_EQ(readFile(path), key.substr(std::string("docs/photos/").size()));
        }
    }
}

TEST_F(UploadScannerTest, KeysJoinTheTargetFolderAndTheFolderNameHowEverTheyAreWritten) {
    const struct {
        fs::path folder;
        std::string directory;
        std::string expectedKey;
    } cases[] = {
        {m_photos, "", "photos/a.jpg"},
        {m_photos, "docs", "docs/photos/a.jpg"},
        {m_photos, "docs/", "docs/photos/a.jpg"},
        {m_photos / "", "a/b/", "a/b/photos/a.jpg"},       // a closing "/" on the folder
        {m_photos / ".", "", "photos/a.jpg"},
        {m_photos / "2024" / "..", "", "photos/a.jpg"},
    };
    for (const auto& c : cases) {
        const std::map<std::string, fs::path> items = byKey(UploadScanner::folderItems(c.folder, c.directory));
        EXPECT_EQ(items.count(c.expectedKey), 1u) << c.folder << " into " << c.directory;
        EXPECT_EQ(items.size(), 4u) << c.folder;
    }
}

TEST_F(UploadScannerTest, AHandedPathStandsForAFolderOneFileOrNothing) {
    const fs::path missing = m_root.path() / "gone.txt";
    const struct {
        fs::path url;
        std::vector<std::string> expectedKeys;
    } cases[] = {
        {m_photos / "a.jpg", {"up/a.jpg"}},
        {m_photos / ".hidden.txt", {"up/.hidden.txt"}},  // handed directly, a hidden file goes up
        {m_photos / "locked.txt", {"up/locked.txt"}},
        {missing, {"up/gone.txt"}},                      // sending it will fail with its name
        {m_photos / "2024", {"up/2024/deep/y.txt", "up/2024/x.jpg"}},
        {m_photos / "link-to-file.txt", {}},
        {m_photos / "link-to-folder", {}},
        {m_photos / "2024" / "pipe", {}},
        {m_photos / "empty", {}},
        {m_photos / ".cache", {"up/.cache/z.jpg"}},       // a hidden folder handed directly is walked
    };
    for (const auto& c : cases) EXPECT_EQ(keysOf(UploadScanner::items(c.url, "up/")), c.expectedKeys) << c.url;

    const std::vector<UploadItem> file = UploadScanner::items(m_photos / "a.jpg", "");
    EXPECT_THAT(file, ElementsAre(UploadItem{m_photos / "a.jpg", "a.jpg"}));
}

TEST_F(UploadScannerTest, AFolderThatCannotBeWalkedGivesNothing) {
    EXPECT_THAT(UploadScanner::folderItems(m_root.path() / "missing", ""), IsEmpty());
    EXPECT_THAT(UploadScanner::folderItems(m_photos / "link-to-folder", ""), IsEmpty());
    EXPECT_THAT(UploadScanner::folderItems(m_photos / "a.jpg", ""), IsEmpty());
    fs::create_directories(m_root.path() / "dots" / ".git");
    writeFile(m_root.path() / "dots" / ".env", "x");
    writeFile(m_root.path() / "dots" / ".git" / "HEAD", "x");
    EXPECT_THAT(UploadScanner::folderItems(m_root.path() / "dots", ""), IsEmpty());
}

TEST_F(UploadScannerTest, ADeepTreeIsWalkedToTheBottom) {
    fs::path folder = m_root.path() / "deep";
    std::string key = "deep/";
    for (int level = 0; level < 64; ++level) {
        folder /= "d" + std::to_string(level);
        key += "d" + std::to_string(level) + "/";
    }
    fs::create_directories(folder);
    writeFile(folder / "bottom.txt", "b");
    EXPECT_THAT(keysOf(UploadScanner::folderItems(m_root.path() / "deep", "")), ElementsAre(key + "bottom.txt"));
}

// Linux names are bytes; an archive from another system can hold names in a legacy
// encoding. Object keys must be UTF-8: each stray byte is spelt "%XX", so the file
// still arrives, and two such names cannot collapse into one key and overwrite each
// other as they would with a replacement character.
TEST_F(UploadScannerTest, NamesThatAreNotUtf8KeepTheirFilesUnderEscapedKeys) {
    // GBK names, as a Windows archive unpacked here leaves them ("\xD5\xD5\xC6\xAC" is 照片).
    const fs::path folder = m_root.path() / "\xB9\xE9";
    fs::create_directories(folder / "\xD5\xD5\xC6\xAC");
    writeFile(folder / "\xD5\xD5\xC6\xAC" / "caf\xE9.txt", "latin-1");
    writeFile(folder / "caf\xE8.txt", "other");
    writeFile(folder / "图.jpg", "utf-8");

    const std::map<std::string, fs::path> items = byKey(UploadScanner::folderItems(folder, "d/"));
    ASSERT_EQ(items.size(), 3u);
    // Legacy bytes that happen to form a valid sequence (C6 AC) stay as they are.
    EXPECT_EQ(readFile(items.at("d/%B9%E9/%D5%D5\xC6\xAC/caf%E9.txt")), "latin-1");
    EXPECT_EQ(readFile(items.at("d/%B9%E9/caf%E8.txt")), "other");
    EXPECT_EQ(readFile(items.at("d/%B9%E9/图.jpg")), "utf-8");

    EXPECT_THAT(keysOf(UploadScanner::items(folder / "caf\xE8.txt", "")), ElementsAre("caf%E8.txt"));
}

TEST(UploadScannerKeyName, OnlyIllFormedBytesAreEscaped) {
    const struct {
        std::string name, expected;
    } cases[] = {
        {"plain.txt", "plain.txt"},
        {"50%.txt", "50%.txt"},                    // valid names are never touched
        {"照片 é.jpg", "照片 é.jpg"},
        {"\xC3", "%C3"},                           // a character cut at the end
        {"\xC3/x", "%C3/x"},
        {"\xE6\x97" "a", "%E6%97a"},
        {"\xC0\xAF", "%C0%AF"},                    // an overlong "/" stays two bytes, not a slash
        {"\xED\xA0\x80", "%ED%A0%80"},             // a surrogate
        {"\xFF\xC3\xA9", "%FF\xC3\xA9"},           // a stray byte before a valid é
    };
    for (const auto& c : cases) EXPECT_EQ(UploadScanner::keyName(c.name), c.expected) << c.name;
}

TEST_F(UploadScannerTest, TotalBytesCountsWhatCanBeSizedAndZeroForTheRest) {
    writeFile(m_root.path() / "big.bin", std::string(70'000, 'x'));
    const std::vector<UploadItem> items = {
        {m_root.path() / "big.bin", "big.bin"},
        {m_photos / "a.jpg", "a.jpg"},              // 5 bytes
        {m_root.path() / "gone", "gone"},
        {m_photos / "2024", "2024"},                // a folder listed because it could not be opened
        {m_photos / "link-to-file.txt", "link"},    // replaced by a link since the scan
    };
    EXPECT_EQ(UploadScanner::totalBytes(items), 70'005);
    EXPECT_EQ(UploadScanner::totalBytes({}), 0);
}

// A sub-folder the user may not open must not vanish from the upload unseen: it is
// listed as a folder, and the queue fails it with its name. Root opens every folder,
// so this only runs for other users.
TEST_F(UploadScannerTest, ASubFolderThatCannotBeOpenedIsListedToFailLater) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every folder";
    fs::permissions(m_photos / "2024", fs::perms::none);
    const std::vector<UploadItem> scanned = UploadScanner::folderItems(m_photos, "");
    fs::permissions(m_photos / "2024", fs::perms::owner_all);
    const std::map<std::string, fs::path> items = byKey(scanned);
    EXPECT_EQ(items.count("photos/2024/"), 1u);
    EXPECT_EQ(items.at("photos/2024/"), m_photos / "2024");
    EXPECT_EQ(items.size(), 3u);
    for (const UploadItem& item : scanned) EXPECT_EQ(item.isUnreadableFolder, item.key == "photos/2024/") << item.key;
}

// Out of file descriptors, no sub-folder opens, for root too: each is listed as a
// folder the upload could not open, never as a file.
TEST_F(UploadScannerTest, SubFoldersThatCannotBeOpenedAreListedAsFolders) {
    std::vector<UploadItem> scanned;
    {
        // The handed folder itself opens; nothing more does.
        const test::ScopedOpenFileLimit limit(1);
        scanned = UploadScanner::folderItems(m_photos, "docs/");
    }
    std::vector<std::string> folders;
    for (const UploadItem& item : scanned) {
        if (item.isUnreadableFolder) folders.push_back(item.key);
    }
    std::sort(folders.begin(), folders.end());
    EXPECT_THAT(folders, ElementsAre("docs/photos/2024/", "docs/photos/empty/"));
    EXPECT_THAT(keysOf(scanned), ElementsAre("docs/photos/2024/", "docs/photos/a.jpg", "docs/photos/empty/",
                                             "docs/photos/locked.txt"));
    EXPECT_EQ(UploadScanner::totalBytes(scanned), 5 + 10);  // "a.jpg" and "locked.txt" hold their names
}

}  // namespace
}  // namespace tarn
