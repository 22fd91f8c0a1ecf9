#include "AppStateFixture.h"
#include "AppStateTestAccess.h"
#include "TestRecords.h"

#include "app/transfers/TransferCenter.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {
namespace {

std::vector<Uuid> idsOf(const std::vector<const TransferTask*>& tasks) {
    std::vector<Uuid> ids;
    for (const TransferTask* task : tasks) ids.push_back(task->id);
    return ids;
}

class TransferQueriesTest : public test::AppStateFixture {
protected:
    TransferCenter& transfers() { return m_state->transfers(); }
    void setTasks(std::vector<TransferTask> tasks) { AppStateTestAccess::setTasks(transfers(), std::move(tasks)); }

    static TransferTask task(TransferSpec spec, TransferState state, std::optional<Uuid> bucketID,
                             std::string title = "t") {
        return test::transferTask(std::move(spec), state, std::move(bucketID), std::move(title));
    }
    TransferTask uploadInto(std::string directory, TransferState state = TransferState::running) const {
        return task({UploadSpec{"/home/u/a.txt", std::move(directory), UploadConflictMode::ask}}, state, m_bucket,
                    "a.txt");
    }
    TransferTask move(std::string source, std::string destination, bool isFolder,
                      TransferState state = TransferState::running) const {
        return task({RenameSpec{std::move(source), std::move(destination), isFolder}}, state, m_bucket);
    }

    const Uuid m_bucket = Uuid::random();
};

TEST_F(TransferQueriesTest, AnEmptyQueueHasNothingActiveAndNoProgress) {
    EXPECT_THAT(transfers().uploadTasks("", m_bucket), IsEmpty());
    EXPECT_THAT(transfers().renameTasks("", std::nullopt), IsEmpty());
    EXPECT_FALSE(transfers().hasActive());
    EXPECT_FALSE(transfers().hasUnacknowledgedFailure());
    EXPECT_EQ(transfers().aggregateFraction(), 0);
}

// Folders are whole strings as given, every state counts, and the bucket must match,
// an absent one only an absent one.
TEST_F(TransferQueriesTest, UploadsAreFoundByTheirExactFolderAndBucket) {
    TransferTask unplaced = uploadInto("docs/");
    unplaced.bucketID.reset();
    const std::vector<TransferTask> tasks = {
        uploadInto("docs/", TransferState::waiting), uploadInto("docs/", TransferState::failed),
        uploadInto("docs"), uploadInto(""), uploadInto("Docs/"),
        task({DownloadSpec{"docs/a.txt", "/tmp/a.txt", false}}, TransferState::running, m_bucket), unplaced,
        move("docs/a.txt", "b.txt", false), uploadInto("docs/", TransferState::succeeded)};
    setTasks(tasks);

    EXPECT_THAT(idsOf(transfers().uploadTasks("docs/", m_bucket)), ElementsAre(tasks[0].id, tasks[1].id, tasks[8].id));
    EXPECT_THAT(idsOf(transfers().uploadTasks("", m_bucket)), ElementsAre(tasks[3].id));
    EXPECT_THAT(idsOf(transfers().uploadTasks("docs/", std::nullopt)), ElementsAre(unplaced.id));
    EXPECT_THAT(transfers().uploadTasks("docs/", Uuid::random()), IsEmpty());
}

// A move is shown in the folder it leaves; a folder's source is its parent's.
TEST_F(TransferQueriesTest, RenamesAreFoundInTheFolderTheyLeave) {
    const std::vector<TransferTask> tasks = {move("a/b.txt", "c/b.txt", false), move("a/sub/", "c/sub/", true),
                                             move("a/sub", "c/sub", true), move("top.txt", "a/top.txt", false),
                                             uploadInto("a/")};
    setTasks(tasks);
    EXPECT_THAT(idsOf(transfers().renameTasks("a/", m_bucket)), ElementsAre(tasks[0].id, tasks[1].id, tasks[2].id));
    EXPECT_THAT(transfers().renameTasks("c/", m_bucket), IsEmpty());
    EXPECT_THAT(idsOf(transfers().renameTasks("", m_bucket)), ElementsAre(tasks[3].id));
    EXPECT_THAT(transfers().renameTasks("a/", std::nullopt), IsEmpty());
}

// A listing retires the succeeded rows it already shows: those that finished at or
// before it started, in its folder and bucket. Nothing else leaves.
TEST_F(TransferQueriesTest, AListingRetiresOnlySucceededRowsItAlreadyShows) {
    const TimePoint listedAt = std::chrono::system_clock::now();
    auto finished = [&](TransferTask result, TimePoint at) {
        result.finishedAt = at;
        return result;
    };
    TransferTask otherBucket = finished(uploadInto("a/", TransferState::succeeded), listedAt);
    otherBucket.bucketID = Uuid::random();
    const std::vector<TransferTask> tasks = {
        finished(uploadInto("a/", TransferState::succeeded), listedAt - 1s),        // 0: retired
        finished(uploadInto("a/", TransferState::succeeded), listedAt),             // 1: equal counts: retired
        finished(uploadInto("a/", TransferState::succeeded), listedAt + 1s),        // 2: finished later: stays
        finished(uploadInto("a/", TransferState::failed), listedAt - 1s),           // 3: failed: stays
        uploadInto("a/", TransferState::succeeded),                                 // 4: no finish time: stays
        finished(move("a/b.txt", "c/b.txt", false, TransferState::succeeded), listedAt - 1s),  // 5: retired
        finished(task({DownloadSpec{"a/x", "/tmp/x", false}}, TransferState::succeeded, m_bucket),
                 listedAt - 1s),                                                    // 6: download: stays
        otherBucket,                                                                // 7: stays
        finished(uploadInto("b/", TransferState::succeeded), listedAt - 1s),        // 8: other folder: stays
        uploadInto("a/", TransferState::running),                                   // 9: stays
    };
    setTasks(tasks);
    QSignalSpy rearranged(&transfers(), &TransferCenter::tasksRearranged);

    transfers().removeSucceededUploads("c/", m_bucket, listedAt);
    EXPECT_EQ(transfers().tasks().size(), tasks.size());
    EXPECT_EQ(rearranged.count(), 0);

    transfers().removeSucceededUploads("a/", m_bucket, listedAt);
    std::vector<Uuid> left;
    for (const TransferTask& each : transfers().tasks()) left.push_back(each.id);
    EXPECT_THAT(left, ElementsAre(tasks[2].id, tasks[3].id, tasks[4].id, tasks[6].id, tasks[7].id, tasks[8].id,
                                  tasks[9].id));
    EXPECT_EQ(rearranged.count(), 1);

    // The next listing, started after the late one finished, retires it too.
    transfers().removeSucceededUploads("a/", m_bucket, listedAt + 2s);
    EXPECT_FALSE(transfers().index(tasks[2].id));
    EXPECT_EQ(transfers().index(tasks[9].id), 5u);
}

TEST_F(TransferQueriesTest, AggregateProgressWeighsEveryActiveTaskTheSame) {
    TransferTask fifth = uploadInto("", TransferState::running);
    fifth.bytesTotal = 1000;
    fifth.bytesDone = 200;
    TransferTask whole = uploadInto("", TransferState::waiting);
    whole.bytesTotal = 10;
    whole.bytesDone = 10;
    TransferTask done = uploadInto("", TransferState::succeeded);
    done.bytesTotal = 10;
    setTasks({fifth, whole, done});
    EXPECT_TRUE(transfers().hasActive());
    EXPECT_DOUBLE_EQ(transfers().aggregateFraction(), 0.6);

    setTasks({done});
    EXPECT_FALSE(transfers().hasActive());
    EXPECT_EQ(transfers().aggregateFraction(), 0);
}

// Acknowledged failures stay seen while their task stays in the set; a failure
// acknowledged away while its task ran again shows again.
TEST_F(TransferQueriesTest, AcknowledgedFailuresStaySeenUntilTheSetIsTakenAgain) {
    TransferTask failed = uploadInto("", TransferState::failed);
    setTasks({failed});
    EXPECT_TRUE(transfers().hasUnacknowledgedFailure());
    QSignalSpy changed(&transfers(), &TransferCenter::tasksChanged);
    transfers().acknowledgeFailures();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(transfers().hasUnacknowledgedFailure());

    // Retried and failed again without another acknowledgement: still seen.
    failed.state = TransferState::waiting;
    setTasks({failed});
    failed.state = TransferState::failed;
    setTasks({failed});
    EXPECT_FALSE(transfers().hasUnacknowledgedFailure());

    // Acknowledged while it was running: its next failure is new.
    failed.state = TransferState::running;
    setTasks({failed});
    transfers().acknowledgeFailures();
    failed.state = TransferState::failed;
    setTasks({failed});
    EXPECT_TRUE(transfers().hasUnacknowledgedFailure());
}

}  // namespace
}  // namespace tarn
