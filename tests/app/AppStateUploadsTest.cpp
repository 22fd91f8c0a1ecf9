#include "AppStateTestAccess.h"
#include "UploadFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "integration/FaultProxy.h"

#include <gmock/gmock.h>

#include <QTest>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;
using tarn::test::FaultProxy;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace tarn {
namespace {

class AppStateUploadsTest : public test::UploadFixture {
protected:
    void SetUp() override {
        UploadFixture::SetUp();
        if (IsSkipped()) return;
        QObject::connect(m_app.get(), &AppState::toastRequested,
                         [this](const ToastMessage& message) { m_toasts.push_back(message); });
    }

    std::vector<ToastMessage> m_toasts;
};

TEST_F(AppStateUploadsTest, AskWithOneExistingKeyParksTheWholeUploadUntilTheUserChooses) {
    const BucketConfig bucket = showNewBucket("up-ask", {"docs/b.txt"}, "docs/");
    const std::vector<fs::path> files = {localFile("a.txt", "a"), localFile("b.txt", "new b"), localFile("c.txt", "c")};

    m_app->uploadFiles(files, UploadConflictMode::ask);
    ASSERT_TRUE(waitFor([&] { return m_app->showingUploadConflict(); }));
    EXPECT_THAT(tasks(), IsEmpty());
    EXPECT_EQ(m_app->pendingUploadURLs(), files);
    EXPECT_EQ(m_app->pendingUploadDirectory(), "docs/");
    EXPECT_TRUE(m_app->pendingUploadExistingKeys().contains("docs/b.txt"));
    EXPECT_EQ(m_app->pendingUploadBucketID(), bucket.id);

    // The sheet's "skip" hands the parked upload over as it stands.
    const std::vector<fs::path> urls = m_app->pendingUploadURLs();
    const std::string directory = m_app->pendingUploadDirectory();
    const KeySet keys = m_app->pendingUploadExistingKeys();
    const std::optional<Uuid> bucketID = m_app->pendingUploadBucketID();
    m_app->clearPendingUpload();
    m_app->setShowingUploadConflict(false);
    EXPECT_THAT(m_app->pendingUploadURLs(), IsEmpty());
    m_app->enqueueUploads(urls, directory, UploadConflictMode::skip, keys, bucketID);

    ASSERT_TRUE(waitForFinishedTasks(2));
    EXPECT_THAT(serverKeys(), ElementsAre("docs/a.txt", "docs/b.txt", "docs/c.txt"));
    EXPECT_EQ(serverObject("docs/b.txt"), "old");
    EXPECT_EQ(serverObject("docs/c.txt"), "c");
    EXPECT_FALSE(m_app->showingUploadConflict());
}

TEST_F(AppStateUploadsTest, SkipWithEveryKeyTakenQueuesNothingAndSaysHowManyWereSkipped) {
    showNewBucket("up-skip", {"a.txt", "b.txt"});
    m_app->uploadFiles({localFile("a.txt", "x"), localFile("b.txt", "y")}, UploadConflictMode::skip);
    ASSERT_TRUE(waitFor([&] { return !m_toasts.empty(); }));
    EXPECT_THAT(m_toasts, ElementsAre(ToastMessage{L10n::t(QStringLiteral("upload_skipped_count"), 2), ToastKind::info}));
    EXPECT_THAT(tasks(), IsEmpty());
    EXPECT_EQ(serverObject("a.txt"), "old");
}

// Under replace nothing is looked up first: the first request is the upload itself.
TEST_F(AppStateUploadsTest, ReplaceSendsTheFilesWithoutListingFirst) {
    FaultProxy proxy(m_server->endpoint);
    const std::string proxied = proxy.start();
    showNewBucket("up-replace", {"a.txt"}, "", proxied);
    const std::size_t before = proxy.forwardedRequests().size();

    m_app->uploadFiles({localFile("a.txt", "replaced")}, UploadConflictMode::replace);
    ASSERT_TRUE(waitForFinishedTasks(1));
    const std::vector<std::string> requests = proxy.forwardedRequests();
    ASSERT_GT(requests.size(), before);
    EXPECT_TRUE(requests[before].starts_with("PUT ")) << requests[before];
    EXPECT_EQ(serverObject("a.txt"), "replaced");
}

TEST_F(AppStateUploadsTest, RenameWritesUnderTheFirstFreeNumberedName) {
    showNewBucket("up-rename", {"docs/notes.txt", "docs/notes 3.txt"}, "docs/");
    m_app->uploadFiles({localFile("notes.txt", "mine")}, UploadConflictMode::rename);
    ASSERT_TRUE(waitForFinishedTasks(1));
    EXPECT_THAT(serverKeys(), ElementsAre("docs/notes 2.txt", "docs/notes 3.txt", "docs/notes.txt"));
    EXPECT_EQ(serverObject("docs/notes 2.txt"), "mine");
    EXPECT_EQ(serverObject("docs/notes.txt"), "old");
    EXPECT_EQ(tasks()[0].succeededObjectKey, "docs/notes 2.txt");
}

// A folder as users drop it: hidden files and folders stay home, and a link is not
// followed out of the tree.
TEST_F(AppStateUploadsTest, TheFolderChooserUploadsTheTreeWithoutHiddenFilesOrLinks) {
    showNewBucket("up-folder", {}, "docs/");
    const fs::path photos = m_local.path() / "photos";
    localFile("photos/a.jpg", "aa");
    localFile("photos/2024/x.jpg", "xxx");
    localFile("photos/.hidden.txt", "h");
    localFile("photos/.cache/z.jpg", "z");
    fs::create_directories(photos / "empty");
    fs::create_symlink(localFile("outside.txt", "outside"), photos / "link.txt");

    // The files chooser, cancelled, does nothing; then the folder chooser.
    m_app->upload(UploadChooser::files);
    ASSERT_TRUE(waitFor([&] { return m_ui.fileChoicesShown.size() == 1; }));
    EXPECT_TRUE(m_ui.fileChoicesShown[0].multiple);
    m_ui.folderChoices.push_back(photos);
    m_app->upload(UploadChooser::folder);

    ASSERT_TRUE(waitForFinishedTasks(1));
    EXPECT_THAT(m_ui.folderChoicesShown, SizeIs(1));
    const TransferTask& task = tasks()[0];
    EXPECT_EQ(task.state, TransferState::succeeded);
    EXPECT_EQ(task.title, "photos");
    EXPECT_EQ(task.subtitle, QStringLiteral("docs/"));
    EXPECT_TRUE(task.isFolder);
    EXPECT_EQ(task.unitsTotal, 2);
    EXPECT_EQ(task.bytesTotal, 5);
    EXPECT_THAT(serverKeys(), ElementsAre("docs/photos/2024/x.jpg", "docs/photos/a.jpg"));
}

TEST_F(AppStateUploadsTest, TwoQuickPastesUploadTwoDifferentFiles) {
    showNewBucket("up-paste");
    m_ui.clipboardContents.text = QStringLiteral("first");
    m_app->pasteFromClipboard();
    m_ui.clipboardContents.text = QStringLiteral("second");
    m_app->pasteFromClipboard();

    ASSERT_TRUE(waitForFinishedTasks(2));
    const std::vector<std::string> keys = serverKeys();
    ASSERT_THAT(keys, SizeIs(2));
    std::set<std::string> contents;
    const std::string prefix = (L10n::t(QStringLiteral("clipboard_file")) + QLatin1Char(' ')).toStdString();
    for (const std::string& key : keys) {
        EXPECT_TRUE(key.starts_with(prefix) && key.ends_with(".txt")) << key;
        contents.insert(serverObject(key));
    }
    EXPECT_EQ(contents, (std::set<std::string>{"first", "second"}));
}

TEST_F(AppStateUploadsTest, PasteTakesFilesThenAnImageInItsBestFormatThenTextAndElseBeeps) {
    showNewBucket("up-paste-kinds", {"a.txt"});

    // Nothing usable: an empty text is nothing either.
    m_ui.clipboardContents.text = QString();
    m_app->pasteFromClipboard();
    EXPECT_EQ(m_ui.beeps, 1);

    // Several image formats: PNG comes first, whatever the order offered.
    UiServices::ClipboardContents image;
    image.images = {{QStringLiteral("image/tiff"), "TIFF bytes"}, {QStringLiteral("image/png"), "PNG bytes"}};
    image.text = QStringLiteral("ignored");
    m_app->paste(image);
    ASSERT_TRUE(waitForFinishedTasks(1));
    ASSERT_TRUE(tasks()[0].succeededObjectKey);
    EXPECT_TRUE(tasks()[0].succeededObjectKey->ends_with(".png"));
    EXPECT_EQ(serverObject(*tasks()[0].succeededObjectKey), "PNG bytes");

    // Only spaces is still text.
    UiServices::ClipboardContents spaces;
    spaces.text = QStringLiteral("   ");
    m_app->paste(spaces);
    ASSERT_TRUE(waitForFinishedTasks(2));
    ASSERT_TRUE(tasks()[1].succeededObjectKey);
    EXPECT_EQ(serverObject(*tasks()[1].succeededObjectKey), "   ");

    // Copied files go up as files, asking about a name in use.
    UiServices::ClipboardContents files;
    files.files = {localFile("a.txt", "new")};
    files.text = QStringLiteral("a.txt");
    m_app->paste(files);
    ASSERT_TRUE(waitFor([&] { return m_app->showingUploadConflict(); }));
    EXPECT_EQ(m_app->pendingUploadURLs(), files.files);
    EXPECT_EQ(m_ui.beeps, 1);
}

TEST_F(AppStateUploadsTest, UploadsJoinTheQueueInTheOrderTheyWereHandedOver) {
    showNewBucket("up-order", {"taken.txt"});
    // Only the order of the tasks counts here: each ends at once.
    AppStateTestAccess::setRunner(m_app->transfers(), TransferKind::upload,
                                  [this](Uuid id, TransferTask, std::stop_token) -> QCoro::Task<> {
                                      m_app->transfers().finishFailed(id, QStringLiteral("not sent"));
                                      co_return;
                                  });
    // A folder whose look takes a while (its keys probed, 3,000 files walked), then a
    // drop that comes to nothing, then one small file that needs no look at all.
    for (int i = 0; i < 3000; ++i) localFile("many/f" + std::to_string(i) + ".txt", "x");
    m_app->uploadFiles({m_local.path() / "many"}, UploadConflictMode::ask);
    m_app->uploadFiles({localFile("taken.txt", "mine")}, UploadConflictMode::skip);
    m_app->uploadFiles({localFile("small.txt", "small")}, UploadConflictMode::replace);

    ASSERT_TRUE(waitForFinishedTasks(2));
    EXPECT_EQ(tasks()[0].title, "many");
    EXPECT_EQ(tasks()[1].title, "small.txt");
    EXPECT_THAT(m_toasts, ElementsAre(ToastMessage{L10n::t(QStringLiteral("upload_skipped_count"), 1), ToastKind::info}));
}

// An upload that ends while another handed over is still being looked at does not end
// the round, whether it succeeded or failed: the round tells of both once the second
// has run, and counts the bucket again.
TEST_F(AppStateUploadsTest, ARoundOfUploadsLastsUntilEveryUploadHandedOverHasRun) {
    if (!m_notifications.isServing()) GTEST_SKIP() << "no session bus; run scripts/test";
    const struct {
        bool firstFails;
        const char* body;
        BucketUsage usage;
    } cases[] = {{false, "upload_all_success", {2, 2}}, {true, "upload_partial_failed", {1, 1}}};
    for (const auto& [firstFails, body, usage] : cases) {
        SCOPED_TRACE(firstFails ? "the first fails" : "the first succeeds");
        FaultProxy proxy(m_server->endpoint);
        const std::string proxied = proxy.start();
        showNewBucket(firstFails ? "up-round-fail" : "up-round", {}, "", proxied);
        m_notifications.received.clear();
        const std::size_t before = tasks().size();
        // The second upload's look at the bucket (the keys under its folder) waits for the test.
        proxy.addRule({"GET", "prefix=second", FaultProxy::Action::Stall, 1});
        if (firstFails) proxy.addRule({"PUT", "first.txt", FaultProxy::Action::InternalError, FaultProxy::kAlways});

        m_app->uploadFiles({localFile("first.txt", "1")}, UploadConflictMode::replace);
        localFile("second/s.txt", "2");
        m_app->uploadFiles({m_local.path() / "second"}, UploadConflictMode::ask);
        // The event loop runs meanwhile: the uploads need it.
        ASSERT_TRUE(waitFor([&] { return proxy.waitForStalls(1, std::chrono::milliseconds(0)); }));
        ASSERT_TRUE(waitFor([&] { return tasks().size() == before + 1 && isFinished(tasks().back().state); }));
        ASSERT_EQ(tasks().back().state, firstFails ? TransferState::failed : TransferState::succeeded);
        QTest::qWait(200);
        EXPECT_THAT(m_notifications.received, IsEmpty()) << "the round ended while an upload was still being looked at";

        proxy.releaseStalls();
        ASSERT_TRUE(waitForFinishedTasks(before + 2));
        ASSERT_TRUE(waitFor([&] { return !m_notifications.received.isEmpty(); }));
        QTest::qWait(200);
        ASSERT_EQ(m_notifications.received.size(), 1);
        EXPECT_EQ(m_notifications.received[0].body, L10n::t(QString::fromLatin1(body)));
        // The round's end counts the bucket again.
        EXPECT_TRUE(waitFor([&] { return m_app->bucketUsage() == usage; }));
    }
}

TEST_F(AppStateUploadsTest, ADropOfFilesAsksAboutNamesInUseAndADropOfNothingIsRefused) {
    EXPECT_FALSE(m_app->handleDrop({localFile("a.txt", "a")})) << "accepted without a bucket";
    showNewBucket("up-drop", {"a.txt"});
    EXPECT_FALSE(m_app->handleDrop({}));
    EXPECT_TRUE(m_app->handleDrop({localFile("a.txt", "a"), localFile("b.txt", "b")}));
    ASSERT_TRUE(waitFor([&] { return m_app->showingUploadConflict(); }));
    EXPECT_THAT(m_app->pendingUploadURLs(), SizeIs(2));
    EXPECT_THAT(tasks(), IsEmpty());
}

}  // namespace
}  // namespace tarn
