#include "AppStateTestAccess.h"
#include "UploadFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/preview/PreviewCache.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QTest>

#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tarn::test::FaultProxy;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {
namespace {

class RenameMoveTest : public test::UploadFixture {
protected:
    void SetUp() override {
        UploadFixture::SetUp();
        if (IsSkipped()) return;
        QObject::connect(m_app.get(), &AppState::toastRequested,
                         [this](const ToastMessage& message) { m_toasts.push_back(message); });
    }

    static TransferTask renameTask(const BucketConfig& bucket, std::string source, std::string destination,
                                   bool isFolder) {
        TransferTask task;
        task.id = Uuid::random();
        task.title = destination;
        task.isFolder = isFolder;
        task.spec.value = RenameSpec{std::move(source), std::move(destination), isFolder};
        task.bucketID = bucket.id;
        return task;
    }

    // Queues the task as the state would and waits until it has ended.
    TransferTask runQueued(TransferTask task) {
        const std::size_t before = tasks().size();
        m_app->transfers().append(std::move(task));
        m_app->transfers().pumpIfIdle();
        EXPECT_TRUE(waitForFinishedTasks(before + 1));
        return tasks().back();
    }

    static ToastMessage errorToast(const char* key, const std::string& value) {
        return {L10n::t(QString::fromLatin1(key), QString::fromStdString(value)), ToastKind::error};
    }

    void putObject(const std::string& key, const std::string& content) {
        test::putObjects(*m_server, m_serverBucket, {key}, content);
    }

    std::vector<ToastMessage> m_toasts;
};

TEST_F(RenameMoveTest, ARenamedObjectIsOneObjectWithItsBytesTypeMetadataAndCachedPreview) {
    const BucketConfig bucket = showNewBucket("rn-object", {"docs/a.txt"}, "docs/");
    m_client.updateMetadata("docs/a.txt", {{"owner", "me"}}, "text/x-note", m_serverBucket,
                            test::credentialsOf(*m_server));
    // A preview cached under the old name is found under the new one.
    const std::optional<std::string> eTag = m_app->knownETag("docs/a.txt");
    ASSERT_TRUE(eTag.has_value());
    const fs::path cache = m_app->previewCacheFolder(bucket);
    std::ofstream(cache / PreviewCache::fileName("docs/a.txt", 3, std::nullopt, eTag)) << "preview";

    m_app->renameInPlace(" b.txt\n", "docs/a.txt", std::nullopt);
    ASSERT_EQ(tasks().size(), 1u);
    const TransferTask queued = tasks().front();
    EXPECT_EQ(*queued.spec.rename(), (RenameSpec{"docs/a.txt", "docs/b.txt", false}));
    EXPECT_EQ(queued.title, "b.txt");
    EXPECT_EQ(queued.subtitle, QStringLiteral("docs/b.txt"));
    EXPECT_EQ(queued.bytesTotal, 3);
    EXPECT_EQ(queued.sourceETag, eTag);
    EXPECT_EQ(m_app->selectedObjectKeys(), KeySet{queued.placeholderKey()});
    // The same file under the new name, made off the main thread.
    const fs::path renamedPreview = cache / PreviewCache::fileName("docs/b.txt", 3, std::nullopt, eTag);
    EXPECT_TRUE(waitFor([&] { return fs::exists(renamedPreview); }));
    EXPECT_TRUE(fs::equivalent(renamedPreview, cache / PreviewCache::fileName("docs/a.txt", 3, std::nullopt, eTag)));
    EXPECT_EQ(test::readFile(renamedPreview), "preview");

    ASSERT_TRUE(waitForFinishedTasks(1));
    EXPECT_EQ(tasks().front().state, TransferState::succeeded) << tasks().front().errorText.value_or(QString()).toStdString();
    EXPECT_THAT(serverKeys(), ElementsAre("docs/b.txt"));
    EXPECT_EQ(serverObject("docs/b.txt"), "old");
    const ObjectDetails details = m_client.details(ObjectItem{"docs/b.txt"}, m_serverBucket, test::credentialsOf(*m_server));
    EXPECT_EQ(details.contentType, "text/x-note");
    EXPECT_EQ(details.metadata, (std::map<std::string, std::string>{{"owner", "me"}}));
    ASSERT_FALSE(history().empty());
    EXPECT_EQ(history().back().detail, "docs/a.txt -> docs/b.txt");
}

TEST_F(RenameMoveTest, AnExistingDestinationIsNeverReplaced) {
    const BucketConfig bucket = showNewBucket("rn-taken", {"docs/a.txt", "docs/b.txt"}, "docs/");
    putObject("other/b.txt", "theirs");

    // Listed in the folder shown.
    m_app->renameInPlace("b.txt", "docs/a.txt", std::nullopt);
    // Not listed: the server is asked.
    m_app->setSelectedObjectKeys({"docs/a.txt"});
    m_app->moveSelectedObject("other/b.txt");
    ASSERT_TRUE(waitFor([&] { return m_toasts.size() == 2; }));
    EXPECT_THAT(m_toasts, ElementsAre(errorToast("rename_destination_exists", "docs/b.txt"),
                                      errorToast("rename_destination_exists", "other/b.txt")));
    EXPECT_THAT(tasks(), IsEmpty());

    // A task that reaches the runner all the same fails there.
    const TransferTask ended = runQueued(renameTask(bucket, "docs/a.txt", "other/b.txt", false));
    EXPECT_EQ(ended.state, TransferState::failed);
    EXPECT_EQ(ended.errorText, L10n::t(QStringLiteral("rename_destination_exists"), QStringLiteral("other/b.txt")));
    EXPECT_THAT(serverKeys(), ElementsAre("docs/a.txt", "docs/b.txt", "other/b.txt"));
    EXPECT_EQ(serverObject("other/b.txt"), "theirs");
}

TEST_F(RenameMoveTest, ASelectionMadeWhileTheServerIsAskedStaysSelected) {
    FaultProxy proxy(m_server->endpoint);
    const std::string proxied = proxy.start();
    showNewBucket("rn-select", {"docs/a.txt", "docs/b.txt"}, "docs/", proxied);
    // Only the selection counts here: the queue ends each rename at once, moving nothing.
    AppStateTestAccess::setRunner(m_app->transfers(), TransferKind::rename,
                                  [this](Uuid id, TransferTask, std::stop_token) -> QCoro::Task<> {
                                      m_app->transfers().finishFailed(id, QStringLiteral("not moved"));
                                      co_return;
                                  });
    // A search leaves the folder's listing incomplete: an in-place rename asks too.
    m_app->setSearchText("a");
    ASSERT_TRUE(waitFor([&] { return !m_app->isSearching() && m_app->objects().size() == 1; }));

    struct Case {
        const char* what;
        bool inPlace;
        bool userSelects;
    };
    int n = 0;
    for (const Case c : {Case{"move", false, true}, Case{"in place", true, true}, Case{"move", false, false},
                         Case{"in place", true, false}}) {
        SCOPED_TRACE(std::string(c.what) + (c.userSelects ? ", the user selects" : ""));
        const std::string destination = "new-" + std::to_string(n++) + ".txt";
        // The check of the destination (a ranged GET of the key) waits until the test
        // lets it go.
        proxy.addRule({"GET", destination, FaultProxy::Action::Stall, 1});
        m_app->setSelectedObjectKeys({"docs/a.txt"});
        const std::size_t before = tasks().size();
        if (c.inPlace) {
            m_app->renameInPlace(destination, "docs/a.txt", std::nullopt);
        } else {
            m_app->moveSelectedObject("other/" + destination);
        }
        ASSERT_TRUE(waitFor([&] { return proxy.waitForStalls(1, std::chrono::milliseconds(0)); }));
        if (c.userSelects) m_app->setSelectedObjectKeys({"docs/b.txt"});
        proxy.releaseStalls();
        ASSERT_TRUE(waitFor([&] { return tasks().size() == before + 1; }));
        if (c.userSelects) {
            EXPECT_EQ(m_app->selectedObjectKeys(), KeySet{"docs/b.txt"});
        } else if (c.inPlace) {
            EXPECT_EQ(m_app->selectedObjectKeys(), KeySet{tasks().back().placeholderKey()});
        } else {
            EXPECT_TRUE(m_app->selectedObjectKeys().empty());
        }
        ASSERT_TRUE(waitForFinishedTasks(before + 1));
    }
    EXPECT_THAT(m_toasts, IsEmpty());
}

TEST_F(RenameMoveTest, AnObjectMovedToAFolderGoesInsideItUnderItsOwnName) {
    showNewBucket("rn-into", {"a.txt", "x/"});
    m_app->setSelectedObjectKeys({"a.txt"});
    m_app->moveSelectedObject("x/");
    ASSERT_TRUE(waitForFinishedTasks(1));
    EXPECT_EQ(*tasks().front().spec.rename(), (RenameSpec{"a.txt", "x/a.txt", false}));
    EXPECT_EQ(tasks().front().state, TransferState::succeeded);
    EXPECT_THAT(serverKeys(), ElementsAre("x/", "x/a.txt"));
    EXPECT_EQ(serverObject("x/a.txt"), "old");
}

TEST_F(RenameMoveTest, DestinationsInsideTheFolderOrWithBadPiecesAreRefused) {
    const BucketConfig bucket = showNewBucket("rn-refuse", {"a/", "a/f.txt"});
    const struct Case {
        std::string destination;
        ToastMessage toast;
    } cases[] = {
        {"a/b", errorToast("move_into_itself", "a/")},
        {"a/b/c/", errorToast("move_into_itself", "a/")},
        {"x//y", errorToast("invalid_move_destination", "x//y")},
        {"/x", errorToast("invalid_move_destination", "/x")},
        {"x/../y", errorToast("invalid_move_destination", "x/../y")},
        {"./x", errorToast("invalid_move_destination", "./x")},
    };
    for (const Case& c : cases) {
        m_toasts.clear();
        m_app->setSelectedObjectKeys({"a/"});
        m_app->moveSelectedObject(c.destination);
        EXPECT_THAT(m_toasts, ElementsAre(c.toast)) << c.destination;
    }
    EXPECT_THAT(tasks(), IsEmpty());

    // The runner refuses such a task too, before any request.
    const TransferTask ended = runQueued(renameTask(bucket, "a/", "a/b/", true));
    EXPECT_EQ(ended.state, TransferState::failed);
    EXPECT_EQ(ended.errorText, errorToast("move_into_itself", "a/").text);
    EXPECT_THAT(serverKeys(), ElementsAre("a/", "a/f.txt"));
}

TEST_F(RenameMoveTest, AFolderOfNestedLevelsMovesWithMarkersWrittenTopDownAndDeletedBottomUp) {
    FaultProxy proxy(m_server->endpoint);
    const std::string proxied = proxy.start();
    showNewBucket("rn-tree",
                  {"top/", "top/a.txt", "top/sub/", "top/sub/b.txt", "top/sub/deep/", "top/sub/deep/c.txt",
                   "top/sub/deep/d.txt", "topper.txt"},
                  "", proxied);
    m_app->setSelectedObjectKeys({"top/"});
    m_app->moveSelectedObject("moved/top2");
    ASSERT_TRUE(waitForFinishedTasks(1));
    const TransferTask ended = tasks().front();
    EXPECT_EQ(*ended.spec.rename(), (RenameSpec{"top/", "moved/top2/", true}));
    EXPECT_EQ(ended.state, TransferState::succeeded) << ended.errorText.value_or(QString()).toStdString();
    EXPECT_EQ(ended.unitsTotal, 4);
    EXPECT_EQ(ended.unitsDone, 4);
    EXPECT_TRUE(ended.wroteDestinationMarker);
    EXPECT_THAT(serverKeys(), ElementsAre("moved/top2/", "moved/top2/a.txt", "moved/top2/sub/", "moved/top2/sub/b.txt",
                                          "moved/top2/sub/deep/", "moved/top2/sub/deep/c.txt",
                                          "moved/top2/sub/deep/d.txt", "topper.txt"));
    EXPECT_EQ(serverObject("moved/top2/sub/deep/d.txt"), "old");

    std::vector<std::string> markers;
    for (const std::string& line : proxy.forwardedRequests()) {
        if (line.ends_with("/") && (line.starts_with("PUT ") || line.starts_with("DELETE "))) markers.push_back(line);
    }
    EXPECT_THAT(markers, ElementsAre("PUT /moved/top2/", "PUT /moved/top2/sub/", "PUT /moved/top2/sub/deep/",
                                     "DELETE /top/sub/deep/", "DELETE /top/sub/", "DELETE /top/"));

    // Renamed in place onto a folder that exists: refused. Moved there all the same,
    // its marker is left alone, so dismissing could not take it for the move's own.
    putObject("moved/kept/", "");
    m_app->setSelectedObjectKeys({});
    m_app->renameInPlace("kept", "moved/top2/", std::nullopt);
    ASSERT_TRUE(waitFor([&] { return !m_toasts.empty(); }));
    EXPECT_THAT(m_toasts, ElementsAre(errorToast("rename_destination_exists", "moved/kept/")));
    const TransferTask again =
        runQueued(renameTask(m_app->selectedBucket().value(), "moved/top2/", "moved/kept/", true));
    EXPECT_EQ(again.state, TransferState::succeeded) << again.errorText.value_or(QString()).toStdString();
    EXPECT_FALSE(again.wroteDestinationMarker);
    EXPECT_THAT(serverKeys(), ElementsAre("moved/kept/", "moved/kept/a.txt", "moved/kept/sub/", "moved/kept/sub/b.txt",
                                          "moved/kept/sub/deep/", "moved/kept/sub/deep/c.txt",
                                          "moved/kept/sub/deep/d.txt", "topper.txt"));
}

TEST_F(RenameMoveTest, AFolderMoveWithOneCollidingObjectFailsAndLosesNothing) {
    const BucketConfig bucket =
        showNewBucket("rn-collide", {"src/1.txt", "src/sub/2.txt", "src/sub/3.txt", "dest/sub/2.txt"});
    putObject("dest/sub/2.txt", "theirs");

    // The state refuses a folder that exists; the runner refuses its colliding objects.
    m_app->setSelectedObjectKeys({"src/"});
    m_app->moveSelectedObject("dest");
    ASSERT_TRUE(waitFor([&] { return !m_toasts.empty(); }));
    EXPECT_THAT(m_toasts, ElementsAre(errorToast("rename_destination_exists", "dest/")));

    const TransferTask ended = runQueued(renameTask(bucket, "src/", "dest/", true));
    EXPECT_EQ(ended.state, TransferState::failed);
    EXPECT_EQ(ended.errorText, L10n::t(QStringLiteral("move_destinations_exist"), 1, QStringLiteral("dest/sub/2.txt")));
    EXPECT_EQ(ended.unitsDone, 0);
    EXPECT_THAT(serverKeys(), ElementsAre("dest/sub/2.txt", "src/1.txt", "src/sub/2.txt", "src/sub/3.txt"));
    EXPECT_EQ(serverObject("dest/sub/2.txt"), "theirs");
    EXPECT_EQ(serverObject("src/sub/2.txt"), "old");
}

TEST_F(RenameMoveTest, DismissingBetweenObjectsLeavesEachObjectAtItsSourceOrItsDestination) {
    std::vector<std::string> keys;
    for (int i = 0; i < 100; ++i) keys.push_back("many/k" + std::to_string(i));
    const BucketConfig bucket = showNewBucket("rn-dismiss", keys);
    TransferCenter& queue = m_app->transfers();
    const TransferTask task = renameTask(bucket, "many/", "moved/", true);
    queue.append(task);
    queue.pumpIfIdle();
    ASSERT_TRUE(waitFor([&] {
        const auto& now = queue.tasks();
        return !now.empty() && now.front().unitsDone >= 2;
    }));
    queue.dismiss(task.id);
    ASSERT_TRUE(waitFor([&] { return !queue.runningID(); }));
    QTest::qWait(300);

    const std::vector<std::string> left = serverKeys();
    int moved = 0;
    for (int i = 0; i < 100; ++i) {
        const std::string name = "k" + std::to_string(i);
        const bool atSource = std::binary_search(left.begin(), left.end(), "many/" + name);
        const bool atDestination = std::binary_search(left.begin(), left.end(), "moved/" + name);
        EXPECT_NE(atSource, atDestination) << name;
        moved += atDestination ? 1 : 0;
    }
    EXPECT_GE(moved, 2);
    EXPECT_LT(moved, 100) << "the move did not stop";
}

// Renames and moves are copies on this server: every object keeps its storage
// class; an archived one is refused with a text of its own and stays at its source.
TEST_F(RenameMoveTest, RenamesAndMovesKeepTheStorageClass) {
    L10n::setLanguageCode(QStringLiteral("en"));
    const BucketConfig bucket = showNewBucket("rn-class", {"plain.txt"});
    const S3Credentials credentials = test::credentialsOf(*m_server);
    for (const char* key : {"ia.txt", "box/one.txt", "box/sub/two.txt"}) {
        test::putObject(*m_server, m_serverBucket, key, key, {{"x-amz-storage-class", "STANDARD_IA"}});
    }
    test::putObject(*m_server, m_serverBucket, "cold.txt", "archived", {{"x-amz-storage-class", "GLACIER"}});

    EXPECT_EQ(runQueued(renameTask(bucket, "ia.txt", "renamed.txt", false)).state, TransferState::succeeded);
    EXPECT_EQ(runQueued(renameTask(bucket, "box/", "moved/", true)).state, TransferState::succeeded);
    const TransferTask cold = runQueued(renameTask(bucket, "cold.txt", "warm.txt", false));
    EXPECT_EQ(cold.state, TransferState::failed);
    EXPECT_EQ(cold.errorText, L10n::t(QStringLiteral("archived_object_not_copied"), QStringLiteral("cold.txt"),
                                      QStringLiteral("GLACIER")));
    EXPECT_EQ(cold.errorText, QStringLiteral("“cold.txt” is archived (GLACIER): it must be restored before it can be "
                                             "copied, so it was not renamed, moved or changed."));
    L10n::setLanguageCode(QStringLiteral("zh"));

    std::map<std::string, std::string> classes;
    for (const ObjectItem& item : m_client.listObjects(m_serverBucket, credentials, "")) {
        classes[item.key] = item.storageClass.value_or("?");
    }
    EXPECT_EQ(classes, (std::map<std::string, std::string>{{"cold.txt", "GLACIER"},
                                                           {"moved/", "STANDARD"},
                                                           {"moved/one.txt", "STANDARD_IA"},
                                                           {"moved/sub/", "STANDARD"},
                                                           {"moved/sub/two.txt", "STANDARD_IA"},
                                                           {"plain.txt", "STANDARD"},
                                                           {"renamed.txt", "STANDARD_IA"}}));
}

TEST_F(RenameMoveTest, AnObjectMoveFailureReadsAsItsCause) {
    const struct Case {
        int status;
        std::string body;
        QString text;
    } cases[] = {
        {404, "<Error><Code>NoSuchKey</Code><Message>gone</Message></Error>",
         L10n::t(QStringLiteral("rename_source_missing"), QStringLiteral("a.txt"))},
        {404, "", L10n::t(QStringLiteral("rename_source_missing"), QStringLiteral("a.txt"))},
        {400, "<Error><Code>InvalidArgument</Code><Message>Copy Source must exist</Message></Error>",
         L10n::t(QStringLiteral("rename_source_missing"), QStringLiteral("a.txt"))},
        {404, "<Error><Code>InvalidArgument</Code><Message>other</Message></Error>",
         L10n::t(QStringLiteral("request_failed_detail"), QStringLiteral("404 InvalidArgument"), QStringLiteral("other"))},
        {409, "<Error><Code>InvalidMoveDest</Code><Message>folder</Message></Error>",
         L10n::t(QStringLiteral("move_dest_is_folder"), QStringLiteral("d/b.txt"))},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        LoopbackHttpServer standIn([&](const RecordedRequest& request) {
            // The source is there (its head names no storage class), the destination
            // is free; the move itself fails as scripted.
            if (request.method == "HEAD") return LoopbackHttpServer::answer(200, {}, "");
            if (request.method != "PUT") return LoopbackHttpServer::answer(404, {}, "");
            return LoopbackHttpServer::answer(c.status, {{"Content-Type", "application/xml"}}, c.body);
        });
        // Bucket IDs do not tell ports apart: each stand-in gets a bucket name of its own.
        const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-" + std::to_string(n++));
        const TransferTask ended = runQueued(renameTask(bucket, "a.txt", "d/b.txt", false));
        EXPECT_EQ(ended.state, TransferState::failed);
        EXPECT_EQ(ended.errorText, c.text);
    }
}

}  // namespace
}  // namespace tarn
