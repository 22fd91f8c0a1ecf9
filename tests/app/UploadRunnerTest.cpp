#include "AppStateTestAccess.h"
#include "UploadFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/preview/MIMETypeDetector.h"
#include "core/storage/MultipartPlan.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using tarn::test::FaultProxy;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace tarn {
namespace {

constexpr std::int64_t kPart = MultipartPlan::kMiB * AppConfig::defaultMultipartPartSizeMB;

std::vector<std::string> containing(const std::vector<std::string>& requests, const std::string& text) {
    std::vector<std::string> found;
    std::copy_if(requests.begin(), requests.end(), std::back_inserter(found),
                 [&](const std::string& request) { return request.find(text) != std::string::npos; });
    return found;
}

std::vector<int> partNumbers(const std::vector<UploadPart>& parts) {
    std::vector<int> numbers;
    for (const UploadPart& part : parts) numbers.push_back(part.number);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// Uploads through a fault proxy in front of the server, which counts and breaks
// requests.
class UploadRunnerTest : public test::UploadFixture {
protected:
    void SetUp() override {
        UploadFixture::SetUp();
        if (IsSkipped()) return;
        m_proxy = std::make_unique<FaultProxy>(m_server->endpoint);
        m_proxied = m_proxy->start();
    }
    void TearDown() override {
        if (m_proxy) m_proxy->releaseStalls();
        UploadFixture::TearDown();
        m_proxy.reset();
    }

    BucketConfig showProxiedBucket(const std::string& stem, const std::vector<std::string>& keys = {}) {
        return showNewBucket(stem, keys, "", m_proxied);
    }

    // A file of three parts whose second part fails once the other two are stored.
    // Returns the failed task. The second part is held at the proxy until the task
    // lists the other two, and then its connection is reset: no part of it reaches the
    // server, and however slow the machine, the part fails then and not before (a
    // first failure stops the parts still on their way).
    TransferTask failTheMiddlePart(const fs::path& file) {
        PartRetryPolicy retries;
        retries.maxAttempts = 1;
        // The held part makes no progress until it is let go; it must not give up first.
        retries.stallTimeout = 600.0;
        AppStateTestAccess::setPartRetryPolicy(m_app->transfers(), retries);
        m_proxy->addRule({"PUT", "partNumber=2&", FaultProxy::Action::StallThenReset, 1, 4096});
        m_app->uploadFiles({file}, UploadConflictMode::replace);
        EXPECT_TRUE(waitFor([&] { return m_proxy->waitForStalls(1, 0ms); }, 60s));
        EXPECT_TRUE(waitFor(
            [&] {
                const std::vector<TransferTask>& queued = m_app->transfers().tasks();
                return queued.size() == 1 && partNumbers(queued[0].uploadedParts) == std::vector<int>{1, 3};
            },
            120s));
        m_proxy->releaseStalls();
        EXPECT_TRUE(waitForFinishedTasks(1));
        return tasks().at(0);
    }

    // Fails the middle part of a new three-part upload, lets `abortIt` drop the
    // unfinished upload, retries, and checks that the file went up afresh as a new
    // upload of three parts. The requests of the retry; the dropped upload's ID in
    // m_abortedUpload.
    std::vector<std::string> retryAfterAbort(const std::string& stem,
                                             const std::function<void(const TransferTask& failed)>& abortIt) {
        showProxiedBucket(stem);
        const fs::path file = localFileOfSize("video.mov", 2 * kPart + 5 * MultipartPlan::kMiB);
        const TransferTask failed = failTheMiddlePart(file);
        EXPECT_TRUE(failed.multipart);
        if (!failed.multipart) return {};
        m_abortedUpload = failed.multipart->uploadId;
        abortIt(failed);

        const std::size_t start = countFromNow();
        m_app->transfers().retry(failed.id);
        EXPECT_TRUE(waitForFinishedTasks(1));
        const TransferTask& retried = tasks()[0];
        EXPECT_EQ(retried.state, TransferState::succeeded) << retried.errorText.value_or(QString()).toStdString();
        EXPECT_TRUE(retried.multipart && retried.multipart->uploadId != m_abortedUpload);
        const std::vector<std::string> requests = requestsSince(start);
        EXPECT_THAT(containing(requests, "?uploads"), SizeIs(1));
        EXPECT_THAT(containing(requests, "partNumber="), SizeIs(3));
        EXPECT_EQ(serverObject("video.mov"), test::readFile(file));
        return requests;
    }

    // Counts what goes to the server from now on.
    std::size_t countFromNow() const { return m_proxy->forwardedRequests().size(); }
    std::vector<std::string> requestsSince(std::size_t start) const {
        const std::vector<std::string> all = m_proxy->forwardedRequests();
        return {all.begin() + static_cast<std::ptrdiff_t>(start), all.end()};
    }

    std::unique_ptr<FaultProxy> m_proxy;
    std::string m_proxied;
    std::string m_abortedUpload;
};

// Exactly the part size is one request; one byte more goes up in parts, with the
// type of its extension.
TEST_F(UploadRunnerTest, OnlyAFileLargerThanThePartSizeGoesUpInParts) {
    showProxiedBucket("run-boundary");
    const fs::path exact = localFileOfSize("exact.bin", kPart);
    const fs::path larger = localFileOfSize("movie.mp4", kPart + 1);
    const std::size_t start = countFromNow();

    m_app->uploadFiles({exact, larger}, UploadConflictMode::replace);
    ASSERT_TRUE(waitForFinishedTasks(2));
    const std::vector<std::string> requests = requestsSince(start);
    EXPECT_THAT(containing(requests, "exact.bin"), ElementsAre("PUT /exact.bin"));
    EXPECT_THAT(containing(requests, "?uploads"), ElementsAre("POST /movie.mp4?uploads"));
    EXPECT_THAT(containing(requests, "partNumber="), SizeIs(2));

    const TransferTask& task = tasks()[1];
    EXPECT_EQ(task.state, TransferState::succeeded);
    ASSERT_TRUE(task.multipart);
    EXPECT_EQ(task.multipart->partSize, kPart);
    EXPECT_THAT(partNumbers(task.uploadedParts), ElementsAre(1, 2));
    EXPECT_EQ(task.bytesDone, kPart + 1);

    S3Client client;
    const S3Credentials credentials = test::credentialsOf(*m_server);
    const ObjectDetails movie = client.details(ObjectItem{"movie.mp4", kPart + 1}, m_serverBucket, credentials);
    EXPECT_EQ(movie.contentType, MIMETypeDetector::contentType("movie.mp4"));
    EXPECT_NE(movie.contentType, "application/octet-stream");
    const std::vector<ObjectItem> stored = client.listObjects(m_serverBucket, credentials, "");
    ASSERT_THAT(stored, SizeIs(2));
    EXPECT_EQ(stored[0].size, kPart);
    EXPECT_EQ(stored[1].size, kPart + 1);
}

// A large file of a folder goes in parts too (one request would be refused above
// 5 GiB); its session is the file's own and is gone once the file is stored.
TEST_F(UploadRunnerTest, ALargeFileOfAFolderGoesUpInPartsWithASessionOfItsOwn) {
    showProxiedBucket("run-folder-large");
    localFileOfSize("pack/large.bin", kPart + 1);
    localFile("pack/small.txt", "small");
    const std::size_t start = countFromNow();

    m_app->uploadFiles({m_local.path() / "pack"}, UploadConflictMode::replace);
    ASSERT_TRUE(waitForFinishedTasks(1));
    const std::vector<std::string> requests = requestsSince(start);
    EXPECT_THAT(containing(requests, "?uploads"), ElementsAre("POST /pack/large.bin?uploads"));
    EXPECT_THAT(containing(requests, "PUT /pack/small.txt"), SizeIs(1));
    EXPECT_EQ(tasks()[0].state, TransferState::succeeded);
    EXPECT_FALSE(tasks()[0].multipart);
    EXPECT_THAT(tasks()[0].uploadedParts, IsEmpty());
    EXPECT_THAT(serverKeys(), ElementsAre("pack/large.bin", "pack/small.txt"));
}

TEST_F(UploadRunnerTest, ARetryAfterAFailedPartSendsOnlyTheMissingPart) {
    showProxiedBucket("run-resume");
    const fs::path file = localFileOfSize("video.mov", 2 * kPart + 5 * MultipartPlan::kMiB);
    const TransferTask failed = failTheMiddlePart(file);
    ASSERT_EQ(failed.state, TransferState::failed);
    ASSERT_TRUE(failed.multipart);
    EXPECT_THAT(partNumbers(failed.uploadedParts), ElementsAre(1, 3));
    EXPECT_EQ(failed.errorText->contains(QStringLiteral("2")), true);
    const std::string uploadId = failed.multipart->uploadId;

    const std::size_t start = countFromNow();
    m_app->transfers().retry(failed.id);
    ASSERT_TRUE(waitForFinishedTasks(1));
    EXPECT_EQ(tasks()[0].state, TransferState::succeeded) << tasks()[0].errorText->toStdString();
    const std::vector<std::string> requests = requestsSince(start);
    EXPECT_THAT(containing(requests, "?uploads"), IsEmpty());
    const std::vector<std::string> parts = containing(requests, "partNumber=");
    ASSERT_THAT(parts, SizeIs(1));
    EXPECT_NE(parts[0].find("partNumber=2&uploadId=" + uploadId), std::string::npos) << parts[0];
    EXPECT_EQ(serverObject("video.mov"), test::readFile(file));
}

TEST_F(UploadRunnerTest, AFileChangedSinceTheFailureStartsOverAndTheOldUploadIsDropped) {
    showProxiedBucket("run-changed");
    const fs::path file = localFileOfSize("video.mov", 2 * kPart + 5 * MultipartPlan::kMiB);
    const TransferTask failed = failTheMiddlePart(file);
    ASSERT_TRUE(failed.multipart);
    const std::string oldUpload = failed.multipart->uploadId;
    fs::last_write_time(file, fs::last_write_time(file) + 10s);

    const std::size_t start = countFromNow();
    m_app->transfers().retry(failed.id);
    ASSERT_TRUE(waitForFinishedTasks(1));
    EXPECT_EQ(tasks()[0].state, TransferState::succeeded);
    ASSERT_TRUE(tasks()[0].multipart);
    EXPECT_NE(tasks()[0].multipart->uploadId, oldUpload);
    // The abort is sent beside the new upload, not awaited.
    ASSERT_TRUE(waitFor([&] { return !containing(requestsSince(start), "DELETE").empty(); }));
    const std::vector<std::string> requests = requestsSince(start);
    EXPECT_THAT(containing(requests, "DELETE"), ElementsAre("DELETE /video.mov?uploadId=" + oldUpload));
    EXPECT_THAT(containing(requests, "?uploads"), SizeIs(1));
    EXPECT_THAT(containing(requests, "partNumber="), SizeIs(3));
}

TEST_F(UploadRunnerTest, ASavedSessionWhoseFileIsGoneFailsAtOnceWithoutAHistoryEntry) {
    L10n::setLanguageCode(QStringLiteral("en"));
    showProxiedBucket("run-gone-session");
    const fs::path file = localFileOfSize("video.mov", 2 * kPart + 5 * MultipartPlan::kMiB);
    const TransferTask failed = failTheMiddlePart(file);
    const std::size_t entries = history().size();
    fs::remove(file);

    m_app->transfers().retry(failed.id);
    ASSERT_TRUE(waitForFinishedTasks(1));
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(tasks()[0].state, TransferState::failed);
    EXPECT_EQ(tasks()[0].errorText, QStringLiteral("Unable to read file"));
    EXPECT_THAT(history(), SizeIs(entries));
}

TEST_F(UploadRunnerTest, AMissingSourceFailsWithTheFilesName) {
    showProxiedBucket("run-missing");
    m_app->transfers().enqueueUploads({{m_local.path() / "gone.txt", false}}, "", UploadConflictMode::replace, {},
                                      m_app->selectedBucketID());
    ASSERT_TRUE(waitForFinishedTasks(1));
    const TransferTask& task = tasks()[0];
    EXPECT_EQ(task.state, TransferState::failed);
    ASSERT_TRUE(task.errorText);
    EXPECT_TRUE(task.errorText->contains(QStringLiteral("gone.txt"))) << task.errorText->toStdString();
    const std::vector<OperationHistoryEntry> entries = history();
    ASSERT_THAT(entries, SizeIs(1));
    EXPECT_EQ(entries[0].detail, "gone.txt");
    EXPECT_FALSE(entries[0].succeeded);
}

// One history entry per file: the key of a stored file, the local name of a failed one.
TEST_F(UploadRunnerTest, AFolderWithOneFailedFileRecordsEveryFileAndNamesTheFailure) {
    showProxiedBucket("run-history");
    localFile("trip/a.txt", "aaaa");
    localFile("trip/b.txt", "bb");
    localFile("trip/c.txt", "cccccc");
    m_proxy->addRule({"PUT", "/trip/b.txt", FaultProxy::Action::InternalError, FaultProxy::kAlways});

    m_app->uploadFiles({m_local.path() / "trip"}, UploadConflictMode::replace);
    ASSERT_TRUE(waitForFinishedTasks(1));
    const TransferTask& task = tasks()[0];
    EXPECT_EQ(task.state, TransferState::failed);
    EXPECT_EQ(task.unitsDone, 3);
    EXPECT_EQ(task.failedUnits, 1);
    EXPECT_EQ(task.bytesDone, 10);
    ASSERT_TRUE(task.errorText);
    // The count and the first failed file, then its reason.
    EXPECT_TRUE(task.errorText->startsWith(L10n::t(QStringLiteral("upload_failed_reason_one"), 1, "b.txt", "")))
        << task.errorText->toStdString();

    std::vector<std::pair<std::string, bool>> recorded;
    for (const OperationHistoryEntry& entry : history()) {
        EXPECT_EQ(entry.action, L10n::t(QStringLiteral("upload")).toStdString());
        recorded.emplace_back(entry.detail, entry.succeeded);
        EXPECT_EQ(entry.succeeded, entry.bytes.has_value() && entry.duration.has_value());
    }
    std::sort(recorded.begin(), recorded.end());
    EXPECT_THAT(recorded, ElementsAre(std::pair<std::string, bool>{"b.txt", false},
                                      std::pair<std::string, bool>{"trip/a.txt", true},
                                      std::pair<std::string, bool>{"trip/c.txt", true}));
    EXPECT_THAT(serverKeys(), ElementsAre("trip/a.txt", "trip/c.txt"));
}

// A sub-folder that cannot be opened fails the upload under its own name, with a
// text that says it is a folder. Root opens every folder, so this only runs for
// other users (the scanner's test covers root).
TEST_F(UploadRunnerTest, ASubFolderThatCannotBeOpenedFailsNamingTheFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens every folder";
    showProxiedBucket("run-locked-folder");
    localFile("trip/a.txt", "aaaa");
    localFile("trip/locked/b.txt", "bb");
    fs::permissions(m_local.path() / "trip" / "locked", fs::perms::none);
    m_app->uploadFiles({m_local.path() / "trip"}, UploadConflictMode::replace);
    const bool finished = waitForFinishedTasks(1);
    fs::permissions(m_local.path() / "trip" / "locked", fs::perms::owner_all);
    ASSERT_TRUE(finished);
    const TransferTask& task = tasks()[0];
    EXPECT_EQ(task.state, TransferState::failed);
    EXPECT_EQ(task.failedUnits, 1);
    EXPECT_EQ(task.errorText, L10n::t(QStringLiteral("upload_failed_reason"), 1, "locked",
                                      L10n::t(QStringLiteral("folder_unreadable"))));
    EXPECT_THAT(serverKeys(), ElementsAre("trip/a.txt"));
}

TEST_F(UploadRunnerTest, DismissingAnUploadMidFileLeavesNoTraceAndDropsItsParts) {
    if (!m_notifications.isServing()) GTEST_SKIP() << "no session bus; run scripts/test";
    showProxiedBucket("run-dismiss");
    m_proxy->addRule({"PUT", "partNumber=", FaultProxy::Action::Stall, FaultProxy::kAlways, 4096});
    PartRetryPolicy patient;
    patient.stallTimeout = 60;
    AppStateTestAccess::setPartRetryPolicy(m_app->transfers(), patient);

    m_app->uploadFiles({localFileOfSize("big.bin", kPart + 1)}, UploadConflictMode::replace);
    // The upload needs the event loop to get there.
    ASSERT_TRUE(waitFor([&] { return m_proxy->waitForStalls(1, 0ms); }));
    const std::vector<TransferTask>& queued = m_app->transfers().tasks();
    ASSERT_THAT(queued, SizeIs(1));
    ASSERT_TRUE(queued[0].multipart);
    m_app->transfers().dismiss(queued[0].id);
    EXPECT_THAT(m_app->transfers().tasks(), IsEmpty());
    ASSERT_TRUE(waitFor([&] { return !m_app->transfers().runningID(); }));

    S3Client client;
    const S3Credentials credentials = test::credentialsOf(*m_server);
    EXPECT_TRUE(waitFor([&] {
        return client.listMultipartUploads(m_serverBucket, credentials, std::nullopt, std::nullopt).uploads.empty();
    })) << "the unfinished upload was left on the server";
    QTest::qWait(300);
    EXPECT_THAT(history(), IsEmpty());
    EXPECT_THAT(m_notifications.received, IsEmpty());
    EXPECT_THAT(serverKeys(), IsEmpty());
}

// One notification per round of uploads, when the last of them ends.
TEST_F(UploadRunnerTest, ARoundOfUploadsEndsWithOneNotificationOfItsOutcome) {
    if (!m_notifications.isServing()) GTEST_SKIP() << "no session bus; run scripts/test";
    showProxiedBucket("run-round");
    const auto expectRound = [&](const char* body) {
        ASSERT_TRUE(waitFor([&] { return !m_notifications.received.isEmpty(); }));
        QTest::qWait(200);
        ASSERT_EQ(m_notifications.received.size(), 1);
        EXPECT_EQ(m_notifications.received[0].summary, L10n::t(QStringLiteral("upload")));
        EXPECT_EQ(m_notifications.received[0].body, L10n::t(QString::fromLatin1(body)));
        m_notifications.received.clear();
    };
    const fs::path good = localFile("good.txt", "g");
    const fs::path gone = m_local.path() / "gone.txt";

    m_app->transfers().enqueueUploads({{good, false}, {gone, false}}, "", UploadConflictMode::replace, {},
                                      m_app->selectedBucketID());
    ASSERT_TRUE(waitForFinishedTasks(2));
    expectRound("upload_partial_failed");

    m_app->transfers().enqueueUploads({{good, false}}, "", UploadConflictMode::replace, {}, m_app->selectedBucketID());
    ASSERT_TRUE(waitForFinishedTasks(3));
    expectRound("upload_all_success");

    m_app->transfers().enqueueUploads({{gone, false}}, "", UploadConflictMode::replace, {}, m_app->selectedBucketID());
    ASSERT_TRUE(waitForFinishedTasks(4));
    expectRound("upload_all_failed");
}


// The last upload of a round may end without running to its end: its bucket gone, its
// account without a secret, or dismissed while it runs. The round ends all the same,
// counting its bucket again. An upload that could not start for want of a secret is a
// failure of the round; one whose bucket the user removed, or that the user dismissed,
// is not counted.
TEST_F(UploadRunnerTest, ARoundEndsHoweverItsLastUploadEnds) {
    if (!m_notifications.isServing()) GTEST_SKIP() << "no session bus; run scripts/test";
    const BucketConfig shown = showProxiedBucket("run-round-end");
    StorageProfile keyless;
    keyless.id = Uuid::random();
    keyless.name = "No secret";
    keyless.endpoint = *Url::parse(m_proxied);
    keyless.region = m_server->region;
    keyless.accessKeyID = "AK-WITHOUT-SECRET";
    keyless.bucketNames = {m_serverBucket.bucketName};
    AppConfig config = m_app->config();
    config.profiles.push_back(keyless);
    m_app->setConfig(std::move(config));
    const Uuid keylessBucket = m_app->buckets(keyless).front().id;

    enum class Ending { bucketGone, noSecret, dismissedWhileRunning };
    const struct {
        Ending ending;
        const char* name;
        const char* told;
    } cases[] = {{Ending::bucketGone, "its bucket is gone", "upload_all_success"},
                 {Ending::noSecret, "its account has no secret", "upload_partial_failed"},
                 {Ending::dismissedWhileRunning, "it is dismissed while it runs", "upload_all_success"}};
    std::int64_t objects = 0;
    for (const auto& [ending, name, told] : cases) {
        SCOPED_TRACE(name);
        const std::string stem = std::to_string(static_cast<int>(ending));
        const fs::path first = localFile("first" + stem + ".txt", "1");
        const fs::path last = localFile("last" + stem + ".txt", "2");
        const std::size_t before = tasks().size();
        m_app->transfers().enqueueUploads({{first, false}}, "", UploadConflictMode::replace, {}, shown.id);
        if (ending == Ending::dismissedWhileRunning) {
            m_proxy->addRule({"PUT", "last" + stem, FaultProxy::Action::Stall, 1});
            m_app->transfers().enqueueUploads({{last, false}}, "", UploadConflictMode::replace, {}, shown.id);
            ASSERT_TRUE(waitFor([&] { return m_proxy->waitForStalls(1, 0ms); }));
            ASSERT_THAT(tasks(), SizeIs(before + 2));
            m_app->transfers().dismiss(tasks().back().id);
            m_proxy->releaseStalls();
        } else {
            const Uuid bucket = ending == Ending::noSecret ? keylessBucket : Uuid::random();
            m_app->transfers().enqueueUploads({{last, false}}, "", UploadConflictMode::replace, {}, bucket);
            ASSERT_TRUE(waitForFinishedTasks(before + 2));
        }
        ++objects;

        ASSERT_TRUE(waitFor([&] { return !m_notifications.received.isEmpty(); })) << "the round never ended";
        ASSERT_TRUE(waitFor([&] { return !m_app->transfers().runningID(); }));
        ASSERT_EQ(m_notifications.received.size(), 1);
        EXPECT_EQ(m_notifications.received[0].body, L10n::t(QString::fromLatin1(told)));
        m_notifications.received.clear();
        // The stalled upload may have arrived before it was dismissed; the count says so.
        EXPECT_TRUE(waitFor([&] {
            const std::optional<BucketUsage>& usage = m_app->bucketUsage();
            return usage && usage->objectCount == static_cast<std::int64_t>(serverKeys().size()) &&
                   usage->objectCount >= objects;
        })) << "the round's bucket was not counted again";
        objects = static_cast<std::int64_t>(serverKeys().size());
    }
}

// A name that is not valid UTF-8 is keyed with "%XX" for its bad bytes; a name that
// holds those characters literally maps to the same key. The file the walk meets
// first keeps it, the other is not sent and its failure names both; names that map
// alone keep the keys they have always had.
TEST_F(UploadRunnerTest, TwoFilesOfAFolderNeverBecomeOneObject) {
    L10n::setLanguageCode(QStringLiteral("en"));
    showProxiedBucket("run-clash");
    const std::string escaped = "latin1-%E9t%E9.txt";
    localFile(fs::path("mixed") / "latin1-\xE9t\xE9.txt", "legacy name");
    localFile(fs::path("mixed") / escaped, "literal name");
    localFile(fs::path("mixed") / "alone-\xFF.txt", "alone");
    localFile(fs::path("mixed") / "plain.txt", "plain");

    m_app->uploadFiles({m_local.path() / "mixed"}, UploadConflictMode::replace);
    ASSERT_TRUE(waitForFinishedTasks(1));
    L10n::setLanguageCode(QStringLiteral("zh"));
    const TransferTask& task = tasks()[0];
    EXPECT_EQ(task.state, TransferState::failed);
    EXPECT_EQ(task.failedUnits, 1);
    EXPECT_EQ(task.unitsDone, 4);
    EXPECT_THAT(serverKeys(), ElementsAre("mixed/alone-%FF.txt", "mixed/latin1-%E9t%E9.txt", "mixed/plain.txt"));
    const std::string kept = serverObject("mixed/" + escaped);
    ASSERT_TRUE(kept == "legacy name" || kept == "literal name") << kept;
    ASSERT_TRUE(task.errorText);
    const QString text = *task.errorText;
    // Both local files by their names, the legacy one as the file manager shows it.
    EXPECT_TRUE(text.contains(QStringLiteral("mixed/") + QString::fromStdString(escaped))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("mixed/latin1-") + QChar(0xFFFD))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("(mixed/latin1-%E9t%E9.txt)"))) << text.toStdString();

    // The history marks the file that was not sent as failed.
    int failures = 0;
    for (const OperationHistoryEntry& entry : history()) failures += entry.succeeded ? 0 : 1;
    EXPECT_EQ(failures, 1);
}

// A failed multipart upload whose leftover was aborted, in the unfinished-uploads
// sheet or by another program: the retry starts the file afresh rather than send its
// parts to an upload the server no longer has.
TEST_F(UploadRunnerTest, ARetryAfterItsUploadWasAbortedInTheSheetStartsAfresh) {
    const std::vector<std::string> requests = retryAfterAbort("run-aborted-sheet", [&](const TransferTask& failed) {
        m_app->openMultipartUploads();
        ASSERT_TRUE(waitFor([&] { return !m_app->isLoadingUploads(); }));
        ASSERT_THAT(m_app->multipartUploads(), SizeIs(1));
        EXPECT_EQ(m_app->multipartUploads()[0].uploadId, failed.multipart->uploadId);
        m_app->abort(m_app->multipartUploads());
        ASSERT_TRUE(waitFor([&] { return m_app->multipartUploads().empty() && !m_app->isLoading(); }));
        // The task forgets the session at once.
        const std::optional<std::size_t> row = m_app->transfers().index(failed.id);
        ASSERT_TRUE(row);
        EXPECT_FALSE(m_app->transfers().tasks()[*row].multipart);
        EXPECT_THAT(m_app->transfers().tasks()[*row].uploadedParts, IsEmpty());
    });
    EXPECT_THAT(containing(requests, m_abortedUpload), IsEmpty());
}

// Elsewhere the retry asks before it sends a part, and finds the upload gone.
TEST_F(UploadRunnerTest, ARetryWhoseUploadIsGoneStartsAfresh) {
    S3Client client;
    const std::vector<std::string> requests = retryAfterAbort("run-aborted-elsewhere", [&](const TransferTask& failed) {
        client.abortMultipartUpload("video.mov", failed.multipart->uploadId, m_serverBucket,
                                    test::credentialsOf(*m_server));
    });
    EXPECT_THAT(containing(requests, m_abortedUpload),
                ElementsAre("GET /video.mov?max-parts=1&uploadId=" + m_abortedUpload));
    EXPECT_TRUE(client.listMultipartUploads(m_serverBucket, test::credentialsOf(*m_server), std::nullopt, std::nullopt)
                    .uploads.empty());
}

// A source gone before its turn: a folder is called a folder, a file is named by its
// path, both in the interface language; the system's words go to the debug log only.
TEST_F(UploadRunnerTest, AGoneSourceReadsInTheUsersWordsWithItsDetailInTheLog) {
    const test::ScopedLogHome logHome;
    showProxiedBucket("run-gone-words");
    AppConfig withLog = m_app->config();
    withLog.debugLogging = true;
    m_app->setConfig(withLog);
    const fs::path folder = m_local.path() / "trip";
    const fs::path file = m_local.path() / "gone.txt";

    m_app->transfers().enqueueUploads({{folder, true}, {file, false}}, "", UploadConflictMode::replace, {},
                                      m_app->selectedBucketID());
    ASSERT_TRUE(waitForFinishedTasks(2));
    EXPECT_EQ(tasks()[0].state, TransferState::failed);
    EXPECT_EQ(tasks()[0].errorText,
              L10n::t(QStringLiteral("local_folder_not_found"), QString::fromStdString(folder.string())));
    EXPECT_EQ(tasks()[1].state, TransferState::failed);
    EXPECT_EQ(tasks()[1].errorText, L10n::t(QStringLiteral("local_not_found"), QString::fromStdString(file.string())));
    const std::string log = logHome.text();
    EXPECT_THAT(log, ::testing::HasSubstr("] upload 失败 — "));
    EXPECT_THAT(log, ::testing::HasSubstr("No such file or directory [" + file.string() + "]"));
}

TEST_F(UploadRunnerTest, AFolderSwappedForALinkDuringTheUploadSendsNothingFromOutsideTheChosenFolder) {
    localFile("up/sub/a.txt", "chosen a");
    localFile("up/sub/b.txt", "chosen b");
    localFile("private/a.txt", "PRIVATE a");
    localFile("private/b.txt", "PRIVATE b");
    const fs::path sub = m_local.path() / "up" / "sub";
    std::atomic<bool> swapped = false;
    test::LoopbackHttpServer server([&](const test::RecordedRequest& request) {
        if (request.target.find("list-type=2") != std::string::npos) {
            return test::LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                                    "<ListBucketResult><IsTruncated>false</IsTruncated>"
                                                    "</ListBucketResult>");
        }
        if (request.method == "PUT" && !swapped.exchange(true)) {
            // While the first file goes up, whoever can write into the folder swaps a
            // folder of it for a link to one the user did not choose.
            fs::rename(sub, m_local.path() / "sub-before");
            fs::create_directory_symlink(m_local.path() / "private", sub);
        }
        return test::LoopbackHttpServer::answer(200, {{"ETag", "\"e\""}}, "");
    });
    const BucketConfig bucket = addBucket(server.endpoint(), "swapped");
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());

    m_app->uploadFiles({m_local.path() / "up"}, UploadConflictMode::replace);
    ASSERT_TRUE(waitForFinishedTasks(1));
    ASSERT_TRUE(swapped);
    std::vector<std::string> sent;
    for (const test::RecordedRequest& request : server.requests()) {
        if (request.method == "PUT") sent.push_back(request.body);
    }
    ASSERT_THAT(sent, SizeIs(1));
    EXPECT_THAT(sent.front(), ::testing::StartsWith("chosen "));
    const TransferTask& task = tasks()[0];
    EXPECT_EQ(task.state, TransferState::failed);
    EXPECT_EQ(task.unitsDone, 2);
    EXPECT_EQ(task.failedUnits, 1);
}

}  // namespace
}  // namespace tarn
