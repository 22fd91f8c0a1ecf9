#include "TestFiles.h"

#include "core/storage/StagedFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(StagedFile, TakesTheTargetsNameOnlyWhenCommitted) {
    tarn::test::TemporaryFolder folder;
    const fs::path target = folder.path() / "notes.txt";
    tarn::test::writeFile(target, "old");
    {
        tarn::StagedFile file(target, tarn::StagedFile::Access::usual);
        file.write(std::string_view("half"));
        EXPECT_EQ(file.temporaryPath().parent_path(), folder.path());
        EXPECT_TRUE(fs::exists(file.temporaryPath()));
        EXPECT_EQ(tarn::test::readFile(target), "old");
    }
    // Dropped without a commit: nothing changed, nothing left behind.
    EXPECT_EQ(tarn::test::readFile(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

    const mode_t previous = ::umask(022);
    {
        tarn::StagedFile file(target, tarn::StagedFile::Access::usual);
        file.write(std::string_view("new"));
        EXPECT_EQ(file.size(), 3);
        file.commit();
    }
    {
        tarn::StagedFile file(folder.path() / "private", tarn::StagedFile::Access::ownerOnly);
        file.commit();
    }
    ::umask(previous);
    EXPECT_EQ(tarn::test::readFile(target), "new");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(folder.path() / "private").permissions(), fs::perms(0600));

    // A name longer than any temporary name could carry still works; a name that is
    // taken is not replaced by commitIfAbsent.
    const fs::path longName = folder.path() / std::string(250, 'x');
    for (const std::string_view bytes : {"first", "second"}) {
        tarn::StagedFile file(longName, tarn::StagedFile::Access::usual);
        file.write(bytes);
        EXPECT_EQ(file.commitIfAbsent(), bytes == "first");
    }
    EXPECT_EQ(tarn::test::readFile(longName), "first");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
}

