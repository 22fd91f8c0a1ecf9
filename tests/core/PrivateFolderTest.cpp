#include "core/files/PrivateFolder.h"
#include "core/files/PrivateFolderError.h"

#include "ScopedEnv.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace tarn;
using tarn::test::ScopedEnv;
using tarn::test::TemporaryFolder;
using tarn::test::writeFile;
namespace fs = std::filesystem;

namespace {

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

const Uuid bucket = *Uuid::parse("6F1C2B0E-7D0A-4A57-9C43-1B0F2E3D4C5B");

}  // namespace

TEST(PrivateFolder, LivesInTheCacheFolderAndIgnoresARelativeSetting) {
    {
        ScopedEnv cache("XDG_CACHE_HOME", "/somewhere/cache");
        EXPECT_EQ(PrivateFolder::forCurrentUser().root(), fs::path("/somewhere/cache/TarnManager"));
    }
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv cache("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(PrivateFolder::forCurrentUser().root(), fs::path("/home/someone/.cache/TarnManager"));
}

TEST(PrivateFolder, MakesEveryFolderPrivateWhateverTheUmask) {
    TemporaryFolder temporary;
    const mode_t oldMask = ::umask(0777);  // would leave new folders without any access
    const PrivateFolder folder(temporary.path() / "cache" / "TarnManager");
    fs::path preview;
    EXPECT_NO_THROW(preview = folder.previewCacheFolder(bucket));
    ::umask(oldMask);

    EXPECT_EQ(preview, folder.root() / bucket.toString() / "_preview");
    EXPECT_EQ(modeOf(temporary.path() / "cache"), 0700u);
    EXPECT_EQ(modeOf(folder.root()), 0700u);
    EXPECT_EQ(modeOf(folder.root() / bucket.toString()), 0700u);
    EXPECT_EQ(modeOf(preview), 0700u);
    EXPECT_EQ(folder.pasteFolder(), folder.root() / "paste");
    EXPECT_EQ(folder.dragOutFolder(), folder.root() / "drag-out");
    EXPECT_EQ(folder.openedObjectsFolder(bucket), folder.root() / bucket.toString());
}

// Each case spoils the root or a folder below it in one way; every accessor must
// refuse before anything is written there.
TEST(PrivateFolder, RefusesAFolderThatIsNotPrivate) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& root, const fs::path& elsewhere)> spoil;
        PrivateFolderError::Reason reason;
        bool foreignOwner = false;
    };
    const std::vector<Case> cases = {
        {"open to others", [](const fs::path& root, const fs::path&) { fs::create_directory(root); ::chmod(root.c_str(), 0755); },
         PrivateFolderError::Reason::accessibleToOthers},
        {"group-writable", [](const fs::path& root, const fs::path&) { fs::create_directory(root); ::chmod(root.c_str(), 0770); },
         PrivateFolderError::Reason::accessibleToOthers},
        {"link to another folder", [](const fs::path& root, const fs::path& elsewhere) { fs::create_directory_symlink(elsewhere, root); },
         PrivateFolderError::Reason::symbolicLink},
        {"file", [](const fs::path& root, const fs::path&) { writeFile(root, "x"); },
         PrivateFolderError::Reason::notADirectory},
        {"link below the root",
         [](const fs::path& root, const fs::path& elsewhere) {
             fs::create_directory(root);
             ::chmod(root.c_str(), 0700);
             fs::create_directory_symlink(elsewhere, root / "paste");
         },
         PrivateFolderError::Reason::symbolicLink},
        {"someone else's", [](const fs::path&, const fs::path&) {}, PrivateFolderError::Reason::wrongOwner, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temporary;
        const fs::path root = temporary.path() / "TarnManager";
        const fs::path elsewhere = temporary.path() / "elsewhere";
        fs::create_directory(elsewhere);
        ::chmod(elsewhere.c_str(), 0700);
        c.spoil(root, elsewhere);
        const PrivateFolder folder(root, c.foreignOwner ? ::geteuid() + 1 : ::geteuid());
        try {
            folder.pasteFolder();
            ADD_FAILURE() << "the folder was accepted";
        } catch (const PrivateFolderError& error) {
            EXPECT_EQ(error.reason(), c.reason);
            EXPECT_NE(std::string(error.what()).find(error.path().string()), std::string::npos);
        }
        EXPECT_TRUE(fs::is_empty(elsewhere));
        EXPECT_FALSE(fs::exists(fs::symlink_status(root / "paste" / "x")));
    }
}

TEST(PrivateFolder, RemovesOneBucketWithoutFollowingLinks) {
    TemporaryFolder temporary;
    const PrivateFolder folder(temporary.path() / "TarnManager");
    const Uuid other = *Uuid::parse("00000000-0000-4000-8000-000000000001");
    const fs::path keep = temporary.path() / "keep";
    fs::create_directory(keep);
    writeFile(keep / "precious.txt", "data");
    writeFile(folder.previewCacheFolder(bucket) / "a.png", "png");
    fs::create_directory_symlink(keep, folder.openedObjectsFolder(bucket) / "link");
    writeFile(folder.openedObjectsFolder(other) / "b.txt", "b");

    EXPECT_TRUE(folder.removeBucketFolders(bucket));

    EXPECT_FALSE(fs::exists(folder.root() / bucket.toString()));
    EXPECT_TRUE(fs::exists(keep / "precious.txt"));
    EXPECT_TRUE(fs::exists(folder.root() / other.toString() / "b.txt"));
    EXPECT_TRUE(PrivateFolder(temporary.path() / "never-made").removeBucketFolders(bucket));
}

TEST(PrivateFolder, RemovesNothingThroughARootThatIsNotPrivate) {
    TemporaryFolder temporary;
    const fs::path target = temporary.path() / "target";
    writeFile((fs::create_directories(target / bucket.toString()), target / bucket.toString() / "x"), "x");
    fs::create_directory_symlink(target, temporary.path() / "TarnManager");

    EXPECT_FALSE(PrivateFolder(temporary.path() / "TarnManager").removeBucketFolders(bucket));
    EXPECT_TRUE(fs::exists(target / bucket.toString() / "x"));
}
