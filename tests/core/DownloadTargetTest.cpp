#include "TestFiles.h"

#include "core/storage/DownloadTarget.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;
using tarn::DownloadTarget;
using testing::HasSubstr;

namespace {

// The message of the std::invalid_argument that `call` throws; empty when it throws none.
template <typename Call>
std::string refusal(Call call) {
    try {
        call();
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return {};
}

}  // namespace

TEST(DownloadTarget, PlacesKeysBelowTheFolderOnly) {
    const fs::path folder = "/home/ann/Downloads";
    const std::pair<std::string, fs::path> placed[] = {
        {"report.pdf", folder / "report.pdf"},
        {"docs/2024/report.pdf", folder / "docs" / "2024" / "report.pdf"},
        {"a//b", folder / "a" / "b"},
        {"..hidden/...", folder / "..hidden" / "..."},
        {"ünï code/日本.txt", folder / "ünï code" / "日本.txt"},
        {std::string(255, 'n') + "/" + std::string(255, 'm'), folder / std::string(255, 'n') / std::string(255, 'm')},
    };
    for (const auto& [relative, expected] : placed) {
        const DownloadTarget target = DownloadTarget::inFolder(folder, relative);
        EXPECT_EQ(target.path(), expected);
        EXPECT_EQ(target.fileName(), expected.filename());
    }

    const std::string refused[] = {"",
                                   "/etc/passwd",
                                   "..",
                                   ".",
                                   "../x",
                                   "a/../../x",
                                   "a/..",
                                   "a/./b",
                                   "a/",
                                   std::string("a\0b", 3),
                                   std::string(256, 'n'),
                                   "docs/" + std::string(256, 'n') + "/x"};
    for (const std::string& relative : refused) {
        EXPECT_THROW(DownloadTarget::inFolder(folder, relative), std::invalid_argument) << relative;
    }
    EXPECT_EQ(refusal([&] { DownloadTarget::inFolder(folder, "../x"); }),
              "\"../x\" cannot be saved in the folder: it would lead out of the folder.");
    EXPECT_THAT(refusal([&] { DownloadTarget::inFolder(folder, "a/" + std::string(300, 'n')); }),
                HasSubstr("a name in it is longer than 255 bytes"));

    // Every piece may be as long as a name may be, yet the whole must still be a path.
    std::string deep;
    for (int i = 0; i < 20; ++i) deep += std::string(250, 'd') + "/";
    EXPECT_THAT(refusal([&] { DownloadTarget::inFolder(folder, deep + "x"); }),
                HasSubstr("its path would be longer than 4095 bytes"));
}

TEST(DownloadTarget, AFileTheUserPlacedIsTakenAsItIsButMustFit) {
    EXPECT_EQ(DownloadTarget::file("/home/ann/report.pdf").path(), "/home/ann/report.pdf");
    EXPECT_EQ(DownloadTarget::file("report.pdf").path(), "report.pdf");
    EXPECT_THAT(refusal([] { DownloadTarget::file("/home/ann/"); }), HasSubstr("it has no file name"));
    EXPECT_THAT(refusal([] { DownloadTarget::file("/home/ann/" + std::string(256, 'n')); }),
                HasSubstr("its name is longer than 255 bytes"));
    EXPECT_THAT(refusal([] { DownloadTarget::file("/" + std::string(4095, 'p') + "/x"); }),
                HasSubstr("its path is longer than 4095 bytes"));
}

// A link planted in the chosen folder must not carry a download out of it, whether
// it points beside the folder or anywhere at all.
TEST(DownloadTarget, LinksBelowTheChosenFolderAreRefusedNotFollowed) {
    tarn::test::TemporaryFolder root;
    const fs::path chosen = root.path() / "chosen";
    const fs::path elsewhere = root.path() / "elsewhere";
    fs::create_directories(chosen / "real");
    fs::create_directories(elsewhere);
    fs::create_directory_symlink("../elsewhere", chosen / "docs");
    fs::create_directory_symlink(elsewhere, chosen / "real" / "absolute");
    fs::create_symlink(elsewhere / "notes.txt", chosen / "real" / "notes.txt");
    tarn::test::writeFile(chosen / "plain", "a file");

    const struct {
        const char* relative;
        const char* reason;
    } cases[] = {
        {"docs/notes.txt", "\"docs\" is a symbolic link, which is not followed"},
        {"docs/new/deeper/notes.txt", "\"docs\" is a symbolic link, which is not followed"},
        {"real/absolute/notes.txt", "\"real/absolute\" is a symbolic link, which is not followed"},
        {"real/notes.txt", "it is a symbolic link, which is not followed"},
        {"plain/notes.txt", "\"plain\" is a file, not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.relative);
        const DownloadTarget target = DownloadTarget::inFolder(chosen, c.relative);
        const std::string expected =
            "\"" + std::string(c.relative) + "\" cannot be saved in the folder: " + c.reason + ".";
        EXPECT_EQ(refusal([&] { target.checkExistingPieces(); }), expected);
        EXPECT_EQ(refusal([&] { target.openParentFolder(); }), expected);
    }
    EXPECT_TRUE(fs::is_empty(elsewhere));

    // The user's own path to the chosen folder may run through links.
    fs::create_directory_symlink(chosen, root.path() / "shortcut");
    const DownloadTarget throughShortcut = DownloadTarget::inFolder(root.path() / "shortcut", "real/new/x.txt");
    EXPECT_NO_THROW(throughShortcut.checkExistingPieces());
    EXPECT_NO_THROW(throughShortcut.openParentFolder());
    EXPECT_TRUE(fs::is_directory(chosen / "real" / "new"));

    // A file the user placed replaces a link there, as any file there.
    EXPECT_NO_THROW(DownloadTarget::file(chosen / "real" / "notes.txt").openParentFolder());
}

TEST(DownloadTarget, CreatesMissingFoldersOnlyWhenOpening) {
    tarn::test::TemporaryFolder root;
    const fs::path chosen = root.path() / "not yet" / "there";
    const DownloadTarget target = DownloadTarget::inFolder(chosen, "a/b/c.txt");
    target.checkExistingPieces();
    EXPECT_TRUE(fs::is_empty(root.path()));

    const tarn::FileDescriptor folder = target.openParentFolder();
    EXPECT_GE(folder.get(), 0);
    EXPECT_TRUE(fs::is_directory(chosen / "a" / "b"));
    EXPECT_FALSE(fs::exists(chosen / "a" / "b" / "c.txt"));
    // Opening again finds what is there.
    EXPECT_GE(target.openParentFolder().get(), 0);
}
