#include "TestFiles.h"

#include "core/storage/StagedFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>

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

// A killed download or save cannot remove its temporary file; the next write into
// the folder removes those of our naming that are old or whose writer is gone, and
// nothing else.
TEST(StagedFile, NextWriteRemovesStaleTemporaryFilesOfItsOwnNaming) {
    tarn::test::TemporaryFolder folder;
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const auto onAnotherMachine = [](std::string name) {
        // ".name.tmp-PID-HOST-RANDOM": HOST is the 8 characters before "-RANDOM".
        const std::string host = name.substr(name.size() - 17, 8);
        return name.replace(name.size() - 17, 8, host == "00000000" ? "11111111" : "00000000");
    };
    using tarn::StagedFile;
    const std::string writerGone = StagedFile::temporaryName("a.bin", gone);
    const std::string oldButLive = StagedFile::temporaryName("b.bin", ::getpid());
    const std::string freshAndLive = StagedFile::temporaryName("c.bin", ::getpid());
    const std::string parentsFile = StagedFile::temporaryName("d.bin", ::getppid());
    const std::string goneElsewhere = onAnotherMachine(StagedFile::temporaryName("e.bin", gone));
    const std::string oldElsewhere = onAnotherMachine(StagedFile::temporaryName("f.bin", gone));
    const std::string notOurs[] = {".g.bin.tmp-1A2B3C4D", "h.bin", ".i.bin.tmp-12-ABCDEF01-abcdef01"};
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(25);
    for (const std::string& name : {writerGone, oldButLive, freshAndLive, parentsFile, goneElsewhere, oldElsewhere}) {
        tarn::test::writeFile(folder.path() / name, "partial");
    }
    for (const std::string& name : notOurs) tarn::test::writeFile(folder.path() / name, "someone else's");
    for (const std::string& name : {oldButLive, oldElsewhere, std::string(notOurs[0]), std::string(notOurs[1])}) {
        fs::last_write_time(folder.path() / name, longAgo);
    }
    // A link is never taken for a file of ours, whatever its name.
    const std::string linkName = StagedFile::temporaryName("j.bin", gone);
    fs::create_symlink(folder.path() / "h.bin", folder.path() / linkName);

    {
        StagedFile file(folder.path() / "new.bin", StagedFile::Access::usual);
        file.write(std::string_view("done"));
        file.commit();
    }

    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder.path())) left.insert(entry.path().filename().string());
    const std::set<std::string> expected = {freshAndLive, parentsFile, goneElsewhere, notOurs[0], notOurs[1],
                                            notOurs[2],   linkName,    "new.bin"};
    EXPECT_EQ(left, expected);
}
