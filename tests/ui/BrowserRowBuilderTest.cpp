#include "ui/browser/BrowserRowBuilder.h"

#include "app/TestRecords.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tarn {
namespace {

using namespace std::chrono_literals;
using test::transferTask;

const TimePoint kStart = std::chrono::system_clock::now();

TransferTask upload(const std::string& directory, const std::string& title, TransferState state, TimePoint createdAt,
                    UploadConflictMode mode = UploadConflictMode::ask, bool isFolder = false)
{
    TransferTask task = transferTask({UploadSpec{"/home/me/" + title, directory, mode}}, state, std::nullopt, title,
                                     isFolder);
    task.createdAt = createdAt;
    if (state == TransferState::succeeded) {
        task.finishedAt = createdAt + 5s;
        task.completedAt = task.finishedAt;
        if (!isFolder) {
            task.succeededObjectKey = directory + title;
        }
    }
    return task;
}

TransferTask rename(const std::string& source, const std::string& destination, TimePoint createdAt,
                    bool isFolder = false, TransferState state = TransferState::running)
{
    TransferTask task = transferTask({RenameSpec{source, destination, isFolder}}, state, std::nullopt,
                                     destination, isFolder);
    task.createdAt = createdAt;
    return task;
}

// One folder's inputs as a test writes them; rows() builds and names the rows.
struct Folder {
    std::string prefix;
    std::vector<ObjectPrefix> prefixes;
    std::vector<ObjectItem> objects;
    std::vector<TransferTask> uploads;
    std::vector<TransferTask> renames;

    std::vector<std::string> rows() const
    {
        std::vector<const TransferTask*> uploadPointers;
        for (const TransferTask& task : uploads) {
            uploadPointers.push_back(&task);
        }
        std::vector<const TransferTask*> renamePointers;
        for (const TransferTask& task : renames) {
            renamePointers.push_back(&task);
        }
        const BrowserRowInputs inputs{prefix, prefixes, objects, uploadPointers, renamePointers};
        std::vector<std::string> keys;
        for (const BrowserRow& row : BrowserRowBuilder::build(inputs)) {
            keys.push_back(BrowserRowBuilder::key(row, inputs));
        }
        return keys;
    }
};

std::string placeholder(const TransferTask& task)
{
    return task.placeholderKey();
}

std::vector<ObjectItem> objectsNamed(std::initializer_list<const char*> keys)
{
    std::vector<ObjectItem> result;
    for (const char* key : keys) {
        result.push_back({key, 1, kStart});
    }
    return result;
}

TEST(BrowserRowBuilder, ListsParentFoldersAndObjectsWithoutMarkers)
{
    Folder root;
    EXPECT_TRUE(root.rows().empty()) << "an empty bucket's root has no row, not even the parent";

    Folder docs{"docs/", {{"docs/a/"}, {"docs/b/"}}, objectsNamed({"docs/", "docs/x.txt", "docs/sub/", "docs/y.txt"})};
    EXPECT_EQ(docs.rows(), (std::vector<std::string>{"..", "docs/a/", "docs/b/", "docs/x.txt", "docs/y.txt"}));
}

TEST(BrowserRowBuilder, UploadsComeFirstAndTheNewestOfOneKeyWins)
{
    Folder folder{"photos/", {{"photos/old/"}}, objectsNamed({"photos/a.jpg"})};
    folder.uploads.push_back(upload("photos/", "b.jpg", TransferState::succeeded, kStart));
    folder.uploads.push_back(upload("photos/", "b.jpg", TransferState::running, kStart + 10s));
    folder.uploads.push_back(upload("photos/", "c.jpg", TransferState::waiting, kStart + 20s));
    EXPECT_EQ(folder.rows(), (std::vector<std::string>{"..", placeholder(folder.uploads[1]),
                                                       placeholder(folder.uploads[2]), "photos/old/", "photos/a.jpg"}));

    // Equally new: the first in queue order stays.
    folder.uploads[1].createdAt = folder.uploads[0].createdAt;
    EXPECT_EQ(folder.rows()[1], placeholder(folder.uploads[0]));
}

TEST(BrowserRowBuilder, ReplacingUploadsHideWhatTheyOverwriteRenamingOnesDoNot)
{
    struct Case {
        const char* name;
        UploadConflictMode mode;
        bool isFolder;
        std::vector<std::string> expected;  // after ".." and the upload row
    };
    const std::vector<Case> cases{
        {"replace a file", UploadConflictMode::replace, false, {"d/pics/", "d/a.txt"}},
        {"rename a file", UploadConflictMode::rename, false, {"d/pics/", "d/a.txt", "d/b.txt"}},
        {"replace a folder", UploadConflictMode::replace, true, {"d/a.txt", "d/b.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder{"d/", {{"d/pics/"}}, objectsNamed({"d/a.txt", "d/b.txt"})};
        folder.uploads.push_back(
            upload("d/", c.isFolder ? "pics" : "b.txt", TransferState::running, kStart, c.mode, c.isFolder));
        std::vector<std::string> expected{"..", placeholder(folder.uploads[0])};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(folder.rows(), expected);
    }
}

TEST(BrowserRowBuilder, EntriesBeingRenamedShowAsTheirRenameTask)
{
    Folder folder{"", {{"old/"}, {"keep/"}}, objectsNamed({"a.txt", "b.txt"})};
    folder.renames.push_back(rename("a.txt", "c.txt", kStart));
    folder.renames.push_back(rename("old", "new", kStart, true));  // a folder rename compares with "/"
    folder.renames.push_back(rename("b.txt", "b/", kStart, true));  // a folder rename never takes a file
    EXPECT_EQ(folder.rows(), (std::vector<std::string>{placeholder(folder.renames[1]), "keep/",
                                                       placeholder(folder.renames[0]), "b.txt"}));

    // A second rename of the result takes the row over: the end of the chain shows.
    folder.renames.push_back(rename("c.txt", "d.txt", kStart + 1s));
    EXPECT_EQ(folder.rows()[2], placeholder(folder.renames[3]));
}

TEST(BrowserRowBuilder, AFinishedUploadShowsTheRenameQueuedAfterIt)
{
    Folder folder{"in/"};
    folder.uploads.push_back(upload("in/", "report.pdf", TransferState::succeeded, kStart));
    const TimePoint finished = *folder.uploads[0].finishedAt;

    folder.renames.push_back(rename("in/report.pdf", "in/final.pdf", finished - 1s));
    EXPECT_EQ(folder.rows(), (std::vector<std::string>{"..", placeholder(folder.uploads[0])}))
        << "a rename queued before the upload finished is about another object";

    folder.renames[0].createdAt = finished;
    EXPECT_EQ(folder.rows(), (std::vector<std::string>{"..", placeholder(folder.renames[0])}));

    // Still running: no rename is linked, whenever it was queued.
    folder.uploads[0].state = TransferState::running;
    EXPECT_EQ(folder.rows(), (std::vector<std::string>{"..", placeholder(folder.uploads[0])}));
}

TEST(BrowserRowBuilder, RenameChainsEndOnACycle)
{
    const TransferTask ab = rename("a", "b", kStart);
    const TransferTask ba = rename("b", "a", kStart + 1s);
    const TransferTask ac = rename("a", "c", kStart + 2s);
    const std::vector<const TransferTask*> renames{&ab, &ba, &ac};
    // a→b, b→a, then a→c: each task is visited once and the walk ends at the last.
    EXPECT_EQ(BrowserRowBuilder::terminalRename(ab, renames), &ac);
    const std::vector<const TransferTask*> cycle{&ab, &ba};
    EXPECT_EQ(BrowserRowBuilder::terminalRename(ab, cycle), &ba);

    EXPECT_EQ(BrowserRowBuilder::renameDestIdentity(rename("x", "y", kStart, true)), "y/");
    EXPECT_EQ(BrowserRowBuilder::renameDestIdentity(upload("d/", "f", TransferState::running, kStart, {}, true)),
              std::nullopt);
}

TEST(BrowserRowBuilder, AKeyIsShownOnceAtItsFirstPlace)
{
    Folder folder{"", {{"a/"}, {"a/"}}, objectsNamed({"x", "y", "x"})};
    EXPECT_EQ(folder.rows(), (std::vector<std::string>{"a/", "x", "y"}));

    // An upload renamed to b and b's own row being renamed end in the same task.
    Folder chain{"d/", {}, objectsNamed({"d/b"})};
    chain.uploads.push_back(upload("d/", "a", TransferState::succeeded, kStart));
    chain.renames.push_back(rename("d/a", "d/b", *chain.uploads[0].finishedAt));
    chain.renames.push_back(rename("d/b", "d/c", *chain.uploads[0].finishedAt + 1s));
    EXPECT_EQ(chain.rows(), (std::vector<std::string>{"..", placeholder(chain.renames[1])}));
}

TEST(BrowserRowBuilder, SignaturesIgnoreProgressAndFollowCompletion)
{
    TransferTask task = upload("", "a.bin", TransferState::running, kStart);
    const std::vector<const TransferTask*> uploads{&task};
    const BrowserRowInputs inputs{"", {}, {}, uploads, {}};
    const BrowserRow before = BrowserRowBuilder::build(inputs).front();
    task.bytesDone = 500;
    EXPECT_TRUE(BrowserRowBuilder::build(inputs).front().sameSignature(before));
    task.state = TransferState::succeeded;
    task.completedAt = kStart + 1s;
    EXPECT_FALSE(BrowserRowBuilder::build(inputs).front().sameSignature(before));
}

}  // namespace
}  // namespace tarn
