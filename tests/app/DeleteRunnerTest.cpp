#include "TransferRunnerFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/storage/S3Error.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>

#include <algorithm>
#include <mutex>

using namespace std::chrono_literals;
using tarn::test::FaultProxy;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::ScriptedAnswer;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace tarn {
namespace {

ScriptedAnswer xmlAnswer(int status, const std::string& body) {
    return LoopbackHttpServer::answer(status, {{"Content-Type", "application/xml"}}, body);
}

std::vector<std::string> requestLines(const LoopbackHttpServer& server) {
    std::vector<std::string> lines;
    for (const RecordedRequest& request : server.requests()) lines.push_back(request.method + " " + request.target);
    return lines;
}

using DeleteRunnerTest = test::TransferRunnerFixture;

TEST_F(DeleteRunnerTest, DeletesEveryKeyUnderNestedFoldersInBatchesWithTheMarkersLast) {
    std::vector<std::string> keys{"top/", "top/a/", "top/a/b/", "top/c/", "loose.txt", "kept.txt"};
    for (int i = 0; i < 150; ++i) keys.push_back("top/a/k" + std::to_string(i));
    for (int i = 0; i < 150; ++i) keys.push_back("top/a/b/k" + std::to_string(i));
    for (int i = 0; i < 145; ++i) keys.push_back("top/c/k" + std::to_string(i));
    const BucketConfig made = test::createBucket(*m_server, "nested");
    test::putObjects(*m_server, made, keys);
    FaultProxy proxy(m_server->endpoint);
    const BucketConfig bucket = addBucket(proxy.start(), made.bucketName);

    // 445 objects below top/, its four markers and one selected object: 450 keys.
    const TransferTask ended = runQueued(deleteTask(bucket, {"loose.txt", "top/a/k3"}, {"top/"}));
    EXPECT_EQ(ended.state, TransferState::succeeded) << ended.errorText.value_or(QString()).toStdString();
    EXPECT_EQ(ended.unitsTotal, 450);
    EXPECT_EQ(ended.unitsDone, 450);
    std::vector<std::string> left;
    for (const ObjectItem& item : m_client.listObjects(made, test::credentialsOf(*m_server), "")) {
        left.push_back(item.key);
    }
    EXPECT_THAT(left, ElementsAre("kept.txt"));

    // Three batches (200, 200, 46), then the markers one by one, deepest first.
    std::vector<std::string> deletes;
    for (const std::string& line : proxy.forwardedRequests()) {
        if (line.starts_with("POST")) deletes.push_back("batch");
        if (line.starts_with("DELETE")) deletes.push_back(line.substr(line.find(' ') + 1));
    }
    ASSERT_EQ(deletes.size(), 7u);
    EXPECT_THAT(std::vector(deletes.begin(), deletes.begin() + 3), ElementsAre("batch", "batch", "batch"));
    EXPECT_EQ(deletes[3], "/top/a/b/");
    EXPECT_THAT(std::vector(deletes.begin() + 4, deletes.begin() + 6),
                ::testing::UnorderedElementsAre("/top/a/", "/top/c/"));
    EXPECT_EQ(deletes[6], "/top/");

    m_app->flushHistory();
    ASSERT_FALSE(m_app->config().history.empty());
    EXPECT_EQ(m_app->config().history.front().detail,
              L10n::t(QStringLiteral("transfer_delete_subtitle"), 450).toStdString());
}

TEST_F(DeleteRunnerTest, KeysTheServerRefusesFailTheTaskNamingThemAndKeepTheDeletedOnesCounted) {
    LoopbackHttpServer standIn([](const RecordedRequest& request) {
        if (request.method == "POST") {
            return xmlAnswer(200,
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DeleteResult>"
                             "<Deleted><Key>a.txt</Key></Deleted>"
                             "<Error><Key>b.txt</Key><Code>AccessDenied</Code><Message>Access Denied</Message></Error>"
                             "<Deleted><Key>c.txt</Key></Deleted></DeleteResult>");
        }
        return xmlAnswer(204, "");
    });
    const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-bucket");
    QSignalSpy bubbles(m_app.get(), &AppState::bubbleRequested);

    const TransferTask ended = runQueued(deleteTask(bucket, {"a.txt", "b.txt", "c.txt", "folder/"}, {}));
    EXPECT_EQ(ended.state, TransferState::failed);
    EXPECT_THAT(ended.errorText.value_or(QString()).toStdString(), HasSubstr("b.txt (AccessDenied)"));
    EXPECT_EQ(*ended.errorText, L10n::t(QStringLiteral("delete_objects_refused"), 1, 3,
                                        QStringLiteral("b.txt (AccessDenied)")));
    EXPECT_EQ(ended.unitsTotal, 4);
    EXPECT_EQ(ended.unitsDone, 2);
    // The marker stays: its folder may still hold what was refused.
    EXPECT_THAT(requestLines(standIn), ElementsAre("POST /stub-bucket?delete"));
    ASSERT_EQ(bubbles.count(), 1);
    EXPECT_EQ(bubbles.front().front().toString(), L10n::t(QStringLiteral("delete_failed")));
}

TEST_F(DeleteRunnerTest, AMarkerIsAskedForAgainOnlyAfter409Or403) {
    const struct Case {
        std::vector<int> answers;
        int requests;
        TransferState ending;
    } cases[] = {
        {{409, 403, 204}, 3, TransferState::succeeded},
        {{404}, 1, TransferState::failed},
        {{500}, 1, TransferState::failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.front());
        std::mutex lock;
        std::size_t next = 0;
        LoopbackHttpServer standIn([&](const RecordedRequest&) {
            const std::lock_guard guard(lock);
            const int status = c.answers[std::min(next++, c.answers.size() - 1)];
            return xmlAnswer(status, status == 204 ? "" : "<Error><Code>Busy</Code><Message>m</Message></Error>");
        });
        // Bucket IDs do not tell ports apart: each stand-in gets a bucket name of its own.
        const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-" + std::to_string(c.answers.front()));

        // A selected key ending in "/" is a marker, sent alone and retried.
        const TransferTask marker = runQueued(deleteTask(bucket, {"f/"}, {}), 10s);
        EXPECT_EQ(marker.state, c.ending);
        EXPECT_EQ(standIn.requests().size(), static_cast<std::size_t>(c.requests));
        if (c.ending == TransferState::failed) {
            EXPECT_THAT(marker.errorText.value_or(QString()).toStdString(), HasSubstr(std::to_string(c.answers[0])));
        }
    }
}

TEST_F(DeleteRunnerTest, DismissingTheTaskDuringABackOffEndsItsRun) {
    LoopbackHttpServer standIn([](const RecordedRequest&) {
        return xmlAnswer(409, "<Error><Code>Busy</Code><Message>m</Message></Error>");
    });
    const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-bucket");
    TransferCenter& queue = m_app->transfers();
    const TransferTask task = deleteTask(bucket, {"f/"}, {});
    queue.append(task);
    queue.pumpIfIdle();
    ASSERT_TRUE(waitFor([&] { return standIn.requests().size() == 2; }, 5s));

    queue.dismiss(task.id);
    EXPECT_TRUE(waitFor([&] { return !queue.runningID(); }, 300ms)) << "the back-off did not end";
    QTest::qWait(1000);
    EXPECT_EQ(standIn.requests().size(), 2u);
    EXPECT_THAT(queue.tasks(), IsEmpty());
}

TEST_F(DeleteRunnerTest, WithoutTheAccountsSecretDeletesAndDownloadsFailBeforeAnyRequest) {
    LoopbackHttpServer standIn([](const RecordedRequest&) { return xmlAnswer(500, ""); });
    StorageProfile profile;
    profile.id = Uuid::random();
    profile.endpoint = *Url::parse(standIn.endpoint());
    profile.region = m_server->region;
    profile.accessKeyID = "no-secret-stored";
    profile.bucketNames = {"stub-bucket"};
    AppConfig config = m_app->config();
    config.profiles.push_back(profile);
    m_app->setConfig(config);
    const BucketConfig bucket = m_app->buckets(profile).front();

    for (TransferTask task : {deleteTask(bucket, {"a.txt"}, {"f/"}),
                              downloadTask(bucket, "a.txt", m_local.path() / "a.txt", false, 1)}) {
        const TransferTask ended = runQueued(std::move(task));
        EXPECT_EQ(ended.state, TransferState::failed);
        EXPECT_EQ(*ended.errorText, L10n::t(QStringLiteral("s3_missing_secret")));
    }
    EXPECT_THAT(requestLines(standIn), IsEmpty());
}

TEST_F(DeleteRunnerTest, NothingToDeleteSucceedsAtOnce) {
    LoopbackHttpServer standIn([](const RecordedRequest&) { return xmlAnswer(500, ""); });
    const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-bucket");
    const TransferTask ended = runQueued(deleteTask(bucket, {}, {}));
    EXPECT_EQ(ended.state, TransferState::succeeded);
    EXPECT_EQ(ended.unitsTotal, 1);
    EXPECT_EQ(ended.unitsDone, 1);
    EXPECT_THAT(requestLines(standIn), IsEmpty());
}

// The delete counts its own bucket again, not the one on screen when it ends: the
// user may have moved on to another bucket while it waited.
TEST_F(DeleteRunnerTest, ADeleteCountsItsOwnBucketAgainWhicheverIsShown) {
    const BucketConfig madeA = test::createBucket(*m_server, "usage-a");
    test::putObjects(*m_server, madeA, {"x", "y"});
    const BucketConfig madeB = test::createBucket(*m_server, "usage-b");
    const std::vector<BucketConfig> buckets = addAccount(m_server->endpoint, {madeA.bucketName, madeB.bucketName});
    const BucketConfig& a = buckets[0];
    const BucketConfig& b = buckets[1];
    m_app->switchBucket(a.id, "");
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{2, 2}; }));
    m_app->switchBucket(b.id, "");
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{0, 0}; }));

    const TransferTask ended = runQueued(deleteTask(a, {"x"}, {}));
    ASSERT_EQ(ended.state, TransferState::succeeded) << ended.errorText.value_or(QString()).toStdString();
    m_app->switchBucket(a.id, "");
    EXPECT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{1, 1}; }))
        << "the figures of before the delete stayed";
}

// The shown folder is another bucket's: it is not listed again, so the user's
// selection in it stays.
TEST_F(DeleteRunnerTest, ADeleteInAnotherBucketLeavesTheShownFolderAndItsSelection) {
    const BucketConfig madeA = test::createBucket(*m_server, "elsewhere-a");
    test::putObjects(*m_server, madeA, {"x"});
    const BucketConfig madeB = test::createBucket(*m_server, "elsewhere-b");
    test::putObjects(*m_server, madeB, {"kept"});
    const std::vector<BucketConfig> buckets = addAccount(m_server->endpoint, {madeA.bucketName, madeB.bucketName});
    const BucketConfig& a = buckets[0];
    const BucketConfig& b = buckets[1];
    m_app->switchBucket(b.id, "");
    ASSERT_TRUE(waitFor([&] { return !m_app->isLoading() && m_app->objects().size() == 1; }));
    m_app->setSelectedObjectKeys({"kept"});

    const TransferTask ended = runQueued(deleteTask(a, {"x"}, {}));
    ASSERT_EQ(ended.state, TransferState::succeeded) << ended.errorText.value_or(QString()).toStdString();
    EXPECT_FALSE(m_app->isLoading()) << "the shown folder of another bucket was listed again";
    EXPECT_EQ(m_app->selectedObjectKeys(), KeySet{"kept"});
}

}  // namespace
}  // namespace tarn
