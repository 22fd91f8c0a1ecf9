#include "AppStateFixture.h"
#include "AppStateTestAccess.h"
#include "TestRecords.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/BucketIdentity.h"
#include "core/config/KeychainSecretStore.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

#include <map>
#include <memory>

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {
namespace {

// A state that counts the reloads the queue asks of it.
class CountingAppState : public AppState {
public:
    using AppState::AppState;

    int refreshes = 0;
    int reloads = 0;

    void refreshAfterTransfers() override {
        ++refreshes;
        AppState::refreshAfterTransfers();
    }
    void reloadAfterMutation(std::optional<Uuid> changedBucketID) override {
        ++reloads;
        AppState::reloadAfterMutation(std::move(changedBucketID));
    }
};

// Runs that the test ends: each one waits until its gate opens, whatever stop is
// asked of it meanwhile, and then does what was scripted for it.
struct ScriptedRuns {
    enum class Ending { succeed, fail, succeedChangingListing, throwError };

    std::vector<Uuid> started;
    std::vector<Uuid> returned;
    int running = 0;
    int mostAtOnce = 0;
    std::map<Uuid, std::stop_source> gates;
    std::map<Uuid, bool> stopRequested;
    std::map<Uuid, bool> wroteAfterReturn;
    std::map<Uuid, Ending> endings;

    void open(const Uuid& id) { gates[id].request_stop(); }
    bool hasStarted(const Uuid& id) const { return std::find(started.begin(), started.end(), id) != started.end(); }
    bool hasReturned(const Uuid& id) const { return std::find(returned.begin(), returned.end(), id) != returned.end(); }
};

TransferCenter::Runner scriptedRunner(TransferCenter& center, std::shared_ptr<ScriptedRuns> runs) {
    return [&center, runs](Uuid id, TransferTask, std::stop_token stop) -> QCoro::Task<> {
        runs->started.push_back(id);
        runs->mostAtOnce = std::max(runs->mostAtOnce, ++runs->running);
        const std::stop_token opened = runs->gates[id].get_token();
        QCoro::Task<bool> wait = stoppableSleep(60s, opened);
        co_await wait;
        runs->stopRequested[id] = stop.stop_requested();
        --runs->running;
        const ScriptedRuns::Ending ending = runs->endings[id];
        if (ending == ScriptedRuns::Ending::throwError) {
            runs->returned.push_back(id);
            throw std::runtime_error("the runner broke");
        }
        if (ending == ScriptedRuns::Ending::fail) {
            center.finishFailed(id, QStringLiteral("scripted failure"));
        } else {
            if (ending == ScriptedRuns::Ending::succeedChangingListing) center.markListingStaleIfCurrent(id);
            runs->wroteAfterReturn[id] = center.updateTask(id, [](TransferTask& task) {
                task.state = TransferState::succeeded;
                task.finishedAt = std::chrono::system_clock::now();
            });
        }
        runs->returned.push_back(id);
    };
}

class TransferSchedulerTest : public test::AppStateFixture {
protected:
    TransferSchedulerTest() {
        AppConfig config = m_counting->config();
        config.profiles = {m_account.profile};
        m_counting->setConfig(config);
        for (TransferKind kind :
             {TransferKind::upload, TransferKind::download, TransferKind::deletion, TransferKind::rename}) {
            AppStateTestAccess::setRunner(transfers(), kind, scriptedRunner(transfers(), m_runs));
        }
    }

    ~TransferSchedulerTest() override {
        // Let every scripted run end while the queue still exists, also those that
        // the ending of another starts.
        const bool ended = QTest::qWaitFor(
            [&] {
                for (auto& [id, gate] : m_runs->gates) gate.request_stop();
                return m_runs->returned.size() == m_runs->started.size() && !transfers().runningID();
            },
            5000);
        EXPECT_TRUE(ended) << "a scripted run did not end";
        m_counting.reset();
    }

    TransferCenter& transfers() { return m_counting->transfers(); }

    static TransferTask task(TransferSpec spec, std::optional<Uuid> bucketID, std::string title = "t") {
        return test::transferTask(std::move(spec), TransferState::waiting, std::move(bucketID), std::move(title));
    }
    TransferTask upload(std::string title = "a.txt") const {
        return task({UploadSpec{"/home/u/" + title, "docs/", UploadConflictMode::replace}}, m_media, title);
    }

    // Appends each and starts the queue, as the producers do.
    std::vector<Uuid> enqueue(std::vector<TransferTask> tasks) {
        std::vector<Uuid> ids;
        for (TransferTask& each : tasks) {
            ids.push_back(each.id);
            transfers().append(std::move(each));
            transfers().pumpIfIdle();
        }
        return ids;
    }

    const TransferTask& taskOf(const Uuid& id) { return transfers().tasks().at(transfers().index(id).value()); }

    bool waitForStart(const Uuid& id) {
        return QTest::qWaitFor([&] { return m_runs->hasStarted(id); }, 5000);
    }
    bool waitUntilIdle() {
        return QTest::qWaitFor([&] { return !transfers().runningID(); }, 5000);
    }

    const test::WorkAccount m_account = test::workAccount();
    const Uuid m_media = m_account.media;
    const Uuid m_logs = m_account.logs;
    std::unique_ptr<CountingAppState> m_counting =
        std::make_unique<CountingAppState>(m_configStore, m_secretStore, m_client);
    std::shared_ptr<ScriptedRuns> m_runs = std::make_shared<ScriptedRuns>();
};

TEST_F(TransferSchedulerTest, TasksRunOneAtATimeInTheOrderTheyCame) {
    const std::vector<Uuid> ids = enqueue({upload("a"), upload("b"), upload("c")});
    ASSERT_TRUE(waitForStart(ids[0]));
    EXPECT_EQ(taskOf(ids[0]).state, TransferState::running);
    EXPECT_TRUE(taskOf(ids[0]).startedAt);
    EXPECT_EQ(taskOf(ids[1]).state, TransferState::waiting);
    EXPECT_EQ(transfers().runningID(), ids[0]);

    // Asking again while a task runs changes nothing, though tasks wait.
    transfers().pumpIfIdle();
    QTest::qWait(30);
    EXPECT_THAT(m_runs->started, ElementsAre(ids[0]));

    for (std::size_t i = 0; i < ids.size(); ++i) {
        m_runs->open(ids[i]);
        if (i + 1 < ids.size()) {
            ASSERT_TRUE(waitForStart(ids[i + 1])) << i;
        }
    }
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(m_runs->started, ids);
    EXPECT_EQ(m_runs->returned, ids);
    EXPECT_EQ(m_runs->mostAtOnce, 1);
    for (const Uuid& id : ids) EXPECT_EQ(taskOf(id).state, TransferState::succeeded);
    EXPECT_THAT(AppStateTestAccess::queue(transfers()), IsEmpty());
}

// The row goes at once; the next task waits for the dismissed run to return, and
// what that run still writes is dropped.
TEST_F(TransferSchedulerTest, DismissingTheRunningTaskStartsTheNextOnlyOnceItsRunReturned) {
    const std::vector<Uuid> ids = enqueue({upload("a"), upload("b")});
    ASSERT_TRUE(waitForStart(ids[0]));

    transfers().dismiss(ids[0]);
    EXPECT_FALSE(transfers().index(ids[0]));
    ASSERT_EQ(transfers().tasks().size(), 1u);
    QTest::qWait(50);
    EXPECT_FALSE(m_runs->hasStarted(ids[1]));
    EXPECT_EQ(transfers().runningID(), ids[0]);

    m_runs->open(ids[0]);
    ASSERT_TRUE(waitForStart(ids[1]));
    EXPECT_TRUE(m_runs->stopRequested[ids[0]]);
    EXPECT_FALSE(m_runs->wroteAfterReturn[ids[0]]);
    EXPECT_EQ(transfers().tasks().size(), 1u);
}

TEST_F(TransferSchedulerTest, DismissingAWaitingTaskLeavesTheRunningOneAlone) {
    const std::vector<Uuid> ids = enqueue({upload("a"), upload("b"), upload("c")});
    ASSERT_TRUE(waitForStart(ids[0]));

    transfers().dismiss(ids[1]);
    EXPECT_FALSE(transfers().index(ids[1]));
    EXPECT_THAT(AppStateTestAccess::queue(transfers()), ElementsAre(ids[2]));

    m_runs->open(ids[0]);
    ASSERT_TRUE(waitForStart(ids[2]));
    EXPECT_FALSE(m_runs->stopRequested[ids[0]]);
    EXPECT_THAT(m_runs->started, ElementsAre(ids[0], ids[2]));
}

TEST_F(TransferSchedulerTest, RetryQueuesATaskOnceAndRunsItAgain) {
    const std::vector<Uuid> ids = enqueue({upload("a"), upload("b")});
    m_runs->endings[ids[0]] = ScriptedRuns::Ending::fail;
    ASSERT_TRUE(waitForStart(ids[0]));

    // Still waiting in the queue: retrying it does not queue it again.
    transfers().retry(ids[1]);
    transfers().retry(ids[1]);
    EXPECT_THAT(AppStateTestAccess::queue(transfers()), ElementsAre(ids[1]));
    // Nor is the running task queued behind itself.
    transfers().retry(ids[0]);
    EXPECT_THAT(AppStateTestAccess::queue(transfers()), ElementsAre(ids[1]));

    m_runs->open(ids[0]);
    ASSERT_TRUE(waitForStart(ids[1]));
    EXPECT_EQ(taskOf(ids[0]).state, TransferState::failed);
    EXPECT_EQ(taskOf(ids[0]).errorText, QStringLiteral("scripted failure"));

    // A failed task retried twice while another runs is queued once.
    m_runs->endings[ids[0]] = ScriptedRuns::Ending::succeed;
    m_runs->gates.erase(ids[0]);
    transfers().retry(ids[0]);
    transfers().retry(ids[0]);
    EXPECT_EQ(taskOf(ids[0]).state, TransferState::waiting);
    EXPECT_FALSE(taskOf(ids[0]).errorText);
    EXPECT_FALSE(taskOf(ids[0]).finishedAt);
    EXPECT_THAT(AppStateTestAccess::queue(transfers()), ElementsAre(ids[0]));
    m_runs->open(ids[1]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_runs->started.size() == 3; }, 5000));
    m_runs->open(ids[0]);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_THAT(m_runs->started, ElementsAre(ids[0], ids[1], ids[0]));
    EXPECT_EQ(taskOf(ids[0]).state, TransferState::succeeded);
}

// A retried upload resumes its multipart session; a retried folder move keeps the
// count of keys it had moved, which a later dismissal relies on.
TEST_F(TransferSchedulerTest, RetryKeepsMultipartSessionsAndRenameCounters) {
    TransferTask blocker = upload("running");
    TransferTask resumable = upload("big.iso");
    resumable.state = TransferState::failed;
    resumable.errorText = QStringLiteral("Part 3 failed");
    resumable.unitsDone = 0;
    resumable.bytesTotal = 100;
    resumable.bytesDone = 60;
    resumable.speed = 5;
    resumable.finishedAt = std::chrono::system_clock::now();
    resumable.multipart = MultipartSession{};
    resumable.multipart->key = "docs/big.iso";
    resumable.multipart->uploadId = "upload-1";
    resumable.uploadedParts = {{1, "\"e1\""}, {2, "\"e2\""}};
    TransferTask move = task({RenameSpec{"a/", "b/a/", true}}, m_media, "a");
    move.isFolder = true;
    move.state = TransferState::failed;
    move.unitsTotal = 5;
    move.unitsDone = 3;
    move.wroteDestinationMarker = true;

    const Uuid running = enqueue({blocker})[0];
    ASSERT_TRUE(waitForStart(running));
    AppStateTestAccess::setTasks(transfers(), {taskOf(running), resumable, move});

    transfers().retry(resumable.id);
    transfers().retry(move.id);
    EXPECT_THAT(AppStateTestAccess::queue(transfers()), ElementsAre(resumable.id, move.id));

    const TransferTask& retried = taskOf(resumable.id);
    EXPECT_EQ(retried.state, TransferState::waiting);
    EXPECT_EQ(retried.multipart, resumable.multipart);
    EXPECT_EQ(retried.uploadedParts, resumable.uploadedParts);
    EXPECT_EQ(retried.bytesDone, 0);
    EXPECT_EQ(retried.speed, 0);
    EXPECT_EQ(retried.bytesTotal, 100);
    EXPECT_FALSE(retried.errorText);
    const TransferTask& movedAgain = taskOf(move.id);
    EXPECT_EQ(movedAgain.state, TransferState::waiting);
    EXPECT_EQ(movedAgain.unitsDone, 3);
    EXPECT_TRUE(movedAgain.wroteDestinationMarker);
}

TEST_F(TransferSchedulerTest, ClearFinishedKeepsTheActiveTasksInOrder) {
    std::vector<TransferTask> tasks;
    for (TransferState state : {TransferState::succeeded, TransferState::waiting, TransferState::failed,
                                TransferState::running, TransferState::cancelled, TransferState::waiting}) {
        tasks.push_back(upload());
        tasks.back().state = state;
    }
    AppStateTestAccess::setTasks(transfers(), tasks);
    QSignalSpy rearranged(&transfers(), &TransferCenter::tasksRearranged);

    transfers().clearFinished();
    std::vector<Uuid> left;
    for (const TransferTask& each : transfers().tasks()) left.push_back(each.id);
    EXPECT_THAT(left, ElementsAre(tasks[1].id, tasks[3].id, tasks[5].id));
    EXPECT_EQ(rearranged.count(), 1);
}

// Until a kind has its runner, its tasks fail with a clear text, unless their bucket
// is gone, which they say first, as every runner does.
TEST_F(TransferSchedulerTest, AKindWithoutRunnerOrARemovedBucketFailsTheTask) {
    AppStateTestAccess::setRunner(transfers(), TransferKind::upload, {});
    TransferTask removed = upload("orphan");
    removed.bucketID = Uuid::random();
    TransferTask noBucket = upload("unplaced");
    noBucket.bucketID.reset();
    const std::vector<Uuid> ids = enqueue({removed, noBucket, upload("kept")});
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(taskOf(ids[0]).state, TransferState::failed);
    EXPECT_EQ(taskOf(ids[0]).errorText, L10n::t(QStringLiteral("no_bucket")));
    EXPECT_EQ(taskOf(ids[1]).errorText, L10n::t(QStringLiteral("no_bucket")));
    EXPECT_EQ(taskOf(ids[2]).errorText, L10n::t(QStringLiteral("transfer_runner_missing")));
    EXPECT_TRUE(taskOf(ids[2]).finishedAt);
    EXPECT_THAT(m_runs->started, IsEmpty());
}

// The queue's own dispatch, not a scripted runner: whatever runner the upload kind
// has, a task whose bucket was removed reads "No bucket selected".
TEST_F(TransferSchedulerTest, ARemovedBucketFailsWithTheNoBucketText) {
    AppStateTestAccess::restoreRunner(transfers(), TransferKind::upload);
    L10n::setLanguageCode(QStringLiteral("en"));
    TransferTask orphan = upload("orphan");
    orphan.bucketID = Uuid::random();
    const Uuid id = enqueue({orphan})[0];
    const bool idle = waitUntilIdle();
    L10n::setLanguageCode(QStringLiteral("zh"));
    ASSERT_TRUE(idle);
    EXPECT_EQ(taskOf(id).state, TransferState::failed);
    EXPECT_EQ(taskOf(id).errorText, QStringLiteral("No bucket selected"));
}

// The user removed the bucket: its delete or download fails, but raises no alarm.
TEST_F(TransferSchedulerTest, ARemovedBucketsDeleteOrDownloadFailsWithoutABubble) {
    AppStateTestAccess::restoreRunner(transfers(), TransferKind::deletion);
    AppStateTestAccess::restoreRunner(transfers(), TransferKind::download);
    const Uuid gone = Uuid::random();
    QSignalSpy bubbles(m_counting.get(), &AppState::bubbleRequested);
    const std::vector<Uuid> ids =
        enqueue({task({DeleteSpec{{"a"}, {}}}, gone), task({DownloadSpec{"a", "/tmp/a", false}}, gone)});
    ASSERT_TRUE(waitUntilIdle());
    for (const Uuid& id : ids) {
        EXPECT_EQ(taskOf(id).state, TransferState::failed);
        EXPECT_EQ(taskOf(id).errorText, L10n::t(QStringLiteral("no_bucket")));
    }
    EXPECT_EQ(bubbles.count(), 0);
}

TEST_F(TransferSchedulerTest, ARunnerThatThrowsFailsItsTaskAndTheQueueGoesOn) {
    const std::vector<Uuid> ids = enqueue({upload("a"), upload("b")});
    m_runs->endings[ids[0]] = ScriptedRuns::Ending::throwError;
    m_runs->open(ids[0]);
    ASSERT_TRUE(waitForStart(ids[1]));
    EXPECT_EQ(taskOf(ids[0]).state, TransferState::failed);
    EXPECT_EQ(taskOf(ids[0]).errorText, QStringLiteral("the runner broke"));
}

TEST_F(TransferSchedulerTest, FailedDeletesAndDownloadsRaiseTheirBubble) {
    const struct {
        TransferSpec spec;
        const char* bubble;
    } cases[] = {
        {{DeleteSpec{{"a"}, {}}}, "delete_failed"},
        {{DownloadSpec{"a", "/tmp/a", false}}, "download_failed"},
        {{UploadSpec{"/tmp/a", "", UploadConflictMode::ask}}, nullptr},
        {{RenameSpec{"a", "b", false}}, nullptr},
    };
    for (const auto& c : cases) {
        TransferTask failing = task(c.spec, m_media);
        failing.state = TransferState::running;
        AppStateTestAccess::setTasks(transfers(), {failing});
        QSignalSpy bubbles(m_counting.get(), &AppState::bubbleRequested);
        transfers().finishFailed(failing.id, QStringLiteral("reason"));
        EXPECT_EQ(taskOf(failing.id).state, TransferState::failed);
        EXPECT_EQ(taskOf(failing.id).errorText, QStringLiteral("reason"));
        ASSERT_EQ(bubbles.count(), c.bubble ? 1 : 0) << static_cast<int>(failing.kind());
        if (c.bubble) {
            EXPECT_EQ(bubbles.at(0).at(0).toString(), L10n::t(QString::fromLatin1(c.bubble)));
        }
    }
}

// A task that changed the bucket on screen refreshes the listing once, when the
// queue has drained; tasks of another bucket do not.
TEST_F(TransferSchedulerTest, TheListingIsRefreshedOnceWhenTheQueueDrains) {
    AppStateTestAccess::showListing(*m_counting, m_media, m_media, "docs/", {});
    TransferTask elsewhere = upload("logs.txt");
    elsewhere.bucketID = m_logs;
    const std::vector<Uuid> ids = enqueue({upload("a"), upload("b"), elsewhere});
    for (const Uuid& id : ids) m_runs->endings[id] = ScriptedRuns::Ending::succeedChangingListing;
    for (const Uuid& id : ids) {
        ASSERT_TRUE(waitForStart(id));
        EXPECT_EQ(m_counting->refreshes, 0);
        m_runs->open(id);
    }
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(m_counting->refreshes, 1);
    transfers().pumpIfIdle();
    EXPECT_EQ(m_counting->refreshes, 1);

    TransferTask more = upload("more.txt");
    more.bucketID = m_logs;
    const Uuid other = enqueue({more})[0];
    m_runs->endings[other] = ScriptedRuns::Ending::succeedChangingListing;
    m_runs->open(other);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(m_counting->refreshes, 1);
}

TEST_F(TransferSchedulerTest, APositionIsRepairedAfterAnEarlierTaskLeft) {
    const std::vector<TransferTask> tasks = {upload("a"), upload("b"), upload("c")};
    AppStateTestAccess::setTasks(transfers(), tasks);
    EXPECT_EQ(transfers().index(tasks[2].id), 2u);
    EXPECT_EQ(AppStateTestAccess::indexCache(transfers()).at(tasks[2].id), 2u);

    transfers().dismiss(tasks[0].id);
    EXPECT_EQ(transfers().index(tasks[2].id), 1u);
    EXPECT_EQ(AppStateTestAccess::indexCache(transfers()).at(tasks[2].id), 1u);

    const Uuid unknown = Uuid::random();
    EXPECT_FALSE(transfers().index(unknown));
    EXPECT_FALSE(AppStateTestAccess::indexCache(transfers()).contains(unknown));
    EXPECT_FALSE(transfers().index(tasks[0].id));
    EXPECT_FALSE(AppStateTestAccess::indexCache(transfers()).contains(tasks[0].id));
}

TEST_F(TransferSchedulerTest, ChangesSayWhetherOneRowOrThePositionsChanged) {
    QSignalSpy changed(&transfers(), &TransferCenter::tasksChanged);
    QSignalSpy rearranged(&transfers(), &TransferCenter::tasksRearranged);
    QSignalSpy updated(&transfers(), &TransferCenter::taskUpdated);
    const TransferTask first = upload("a");
    const TransferTask second = upload("b");
    transfers().append(first);
    transfers().append(second);
    EXPECT_EQ(rearranged.count(), 2);

    EXPECT_TRUE(transfers().updateTask(second.id, [](TransferTask& task) { task.bytesDone = 10; }));
    ASSERT_EQ(updated.count(), 1);
    EXPECT_EQ(updated.at(0).at(0).toInt(), 1);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_FALSE(transfers().updateTask(Uuid::random(), [](TransferTask&) { FAIL(); }));
    EXPECT_EQ(changed.count(), 3);
}

// Dismissing a folder move: keys already moved stay and the listing is reloaded;
// with none moved, only a destination marker the move itself wrote is deleted, and
// a folder the user had there before is left alone.
class DismissedMoveTest : public TransferSchedulerTest {
protected:
    void SetUp() override {
        if (!test::hasTestKeyring()) GTEST_SKIP() << "TARN_TEST_KEYRING is not set; run scripts/test";
        const auto server = test::s3TestServer();
        if (!server) GTEST_SKIP() << "TARN_TEST_S3_ENDPOINT is not set; run scripts/test";
        m_server = *server;
        m_bucket = test::createBucket(m_server, "dismissed-move");
        StorageProfile profile;
        profile.id = Uuid::random();
        profile.name = "Test server";
        profile.endpoint = m_bucket.endpoint;
        profile.region = m_bucket.region;
        profile.accessKeyID = m_bucket.accessKeyID;
        profile.bucketNames = {m_bucket.bucketName};
        AppConfig config = m_counting->config();
        config.profiles.push_back(profile);
        m_counting->setConfig(config);
        m_bucket.id = BucketIdentity::deterministicID(profile.endpoint, profile.region, profile.accessKeyID,
                                                      m_bucket.bucketName);
        m_secretStore.save(m_server.secretKey, KeychainSecretStore::accountSecretAccount(m_bucket));
        m_savedSecret = true;
        test::putObjects(m_server, m_bucket, {"dest/", "src/a.txt"}, "");
    }
    void TearDown() override {
        if (m_savedSecret) m_secretStore.deleteSecret(KeychainSecretStore::accountSecretAccount(m_bucket));
    }

    TransferTask move(int unitsDone, bool wroteMarker) const {
        TransferTask result = task({RenameSpec{"src/", "dest", true}}, m_bucket.id, "dest");
        result.isFolder = true;
        result.unitsDone = unitsDone;
        result.wroteDestinationMarker = wroteMarker;
        return result;
    }
    bool markerExists() {
        const std::vector<ObjectItem> items = m_client.listObjects(m_bucket, test::credentialsOf(m_server), "dest/");
        return std::any_of(items.begin(), items.end(), [](const ObjectItem& item) { return item.key == "dest/"; });
    }

    test::S3TestServer m_server;
    BucketConfig m_bucket;
    bool m_savedSecret = false;
};

TEST_F(DismissedMoveTest, OnlyAMarkerTheMoveWroteIsDeleted) {
    const TransferTask moved = move(3, true);
    const TransferTask untouched = move(0, false);
    const TransferTask wrote = move(0, true);
    AppStateTestAccess::setTasks(transfers(), {moved, untouched, wrote});

    transfers().dismiss(moved.id);
    EXPECT_EQ(m_counting->reloads, 1);
    transfers().dismiss(untouched.id);
    QTest::qWait(200);
    EXPECT_EQ(m_counting->reloads, 1);
    EXPECT_TRUE(markerExists());

    transfers().dismiss(wrote.id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_counting->reloads == 2; }, 10000));
    EXPECT_FALSE(markerExists());
    EXPECT_TRUE(transfers().tasks().empty());
}

TEST_F(DismissedMoveTest, DismissingAnUploadAbortsItsMultipartUpload) {
    const S3Credentials credentials = test::credentialsOf(m_server);
    MultipartSession session;
    session.key = "docs/big.iso";
    session.uploadId = m_client.createMultipartUpload(session.key, m_bucket, credentials, std::nullopt);
    TransferTask big = task({UploadSpec{"/tmp/big.iso", "docs/", UploadConflictMode::replace}}, m_bucket.id, "big.iso");
    big.state = TransferState::failed;
    big.multipart = session;
    AppStateTestAccess::setTasks(transfers(), {big});

    transfers().dismiss(big.id);
    EXPECT_TRUE(transfers().tasks().empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_client.listMultipartUploads(m_bucket, credentials, std::nullopt, std::nullopt).uploads.empty(); },
                                10000));
}

}  // namespace
}  // namespace tarn
