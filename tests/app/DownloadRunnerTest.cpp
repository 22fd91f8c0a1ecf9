#include "TransferRunnerFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/storage/S3Error.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <random>

using namespace std::chrono_literals;
using tarn::test::FaultProxy;
using tarn::test::readFile;
using tarn::test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace tarn {
namespace {

namespace fs = std::filesystem;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xff);
    return bytes;
}

void setModified(const fs::path& file, std::chrono::system_clock::time_point when) {
    const auto since = when.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    const timespec times[2] = {{seconds.count(), 0}, {seconds.count(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

// The listed date of a key, as the browser would hand it over.
std::optional<TimePoint> listedDate(S3Client& client, const test::S3TestServer& server, const BucketConfig& bucket,
                                    const std::string& key) {
    for (const ObjectItem& item : client.listObjects(bucket, test::credentialsOf(server), key)) {
        if (item.key == key) return item.lastModified;
    }
    return std::nullopt;
}

class DownloadRunnerTest : public test::TransferRunnerFixture {
protected:
    // A bucket on the test server holding `keys`, as the state knows it.
    BucketConfig bucketWith(const std::string& stem, const std::vector<std::string>& keys,
                            const std::string& content = "x") {
        BucketConfig made = test::createBucket(*m_server, stem);
        test::putObjects(*m_server, made, keys, content);
        return addBucket(m_server->endpoint, made.bucketName);
    }
};

TEST_F(DownloadRunnerTest, AFolderDownloadKeepsTheTreeOfItsKeys) {
    const BucketConfig bucket =
        bucketWith("tree", {"pics/a.txt", "pics/2024/b.txt", "pics/2024/deep/c.txt", "pics/empty/", "other.txt"},
                   "12345");
    const fs::path destination = m_local.path() / "chosen" / "pics";

    const TransferTask ended = runQueued(downloadTask(bucket, "pics/", destination, true));
    EXPECT_EQ(ended.state, TransferState::succeeded) << ended.errorText.value_or(QString()).toStdString();
    EXPECT_THAT(entriesIn(m_local.path()),
                ElementsAre("chosen/pics/2024/b.txt", "chosen/pics/2024/deep/c.txt", "chosen/pics/a.txt"));
    EXPECT_EQ(readFile(destination / "2024/deep/c.txt"), "12345");
    // Markers make no folders of their own and count as nothing.
    EXPECT_FALSE(fs::exists(destination / "empty"));
    EXPECT_EQ(ended.unitsTotal, 3);
    EXPECT_EQ(ended.unitsDone, 3);
    EXPECT_EQ(ended.bytesTotal, 15);
    EXPECT_EQ(ended.bytesDone, 15);

    m_app->flushHistory();
    ASSERT_FALSE(m_app->config().history.empty());
    EXPECT_EQ(m_app->config().history.front().action, L10n::t(QStringLiteral("download")).toStdString());
    EXPECT_EQ(m_app->config().history.front().detail, "pics/");
    EXPECT_EQ(m_app->config().history.front().bytes, 15);
}

TEST_F(DownloadRunnerTest, HostileKeysNeverWriteOutsideTheChosenFolder) {
    const std::string longName = "dir/" + std::string(300, 'n');
    const struct Case {
        std::string key;        // stored on the server
        std::string remoteKey;  // what is downloaded
        bool isFolder;
        std::string destinationName;  // below the chosen folder, joined as text
        std::string plant;            // a link planted in the destination before the run
        std::vector<std::string> written;  // what the chosen folder holds afterwards
        std::string named;                 // the key the failure names; "" for a success
    } cases[] = {
        {"dir/../../x", "dir/", true, "dir", "", {}, "dir/../../x"},
        {"dir/..", "dir/", true, "dir", "", {}, "dir/.."},
        {longName, "dir/", true, "dir", "", {}, longName},
        {"dir/sub/x.txt", "dir/", true, "dir", "sub", {"dir/sub -> OUTSIDE"}, "dir/sub/x.txt"},
        {"dir/y.txt", "dir/", true, "dir", "y.txt", {"dir/y.txt -> OUTSIDE/kept.txt"}, "dir/y.txt"},
        // A folder whose own name is "..", and an object whose name is.
        {"a/../z.txt", "a/../", true, "..", "", {}, "a/../"},
        {"dir/..", "dir/..", false, "..", "", {}, "dir/.."},
        // Empty and "." pieces are dropped, and the file stays inside.
        {"dir//abs", "dir/", true, "dir", "", {"dir/abs"}, ""},
        {"dir/./a", "dir/", true, "dir", "", {"dir/a"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const BucketConfig bucket = bucketWith("hostile", {c.key});
        const test::TemporaryFolder local;
        const fs::path chosen = local.path() / "chosen";
        const fs::path outside = local.path() / "outside";
        fs::create_directories(chosen / "dir");
        fs::create_directories(outside);
        writeFile(outside / "kept.txt", "kept");
        if (!c.plant.empty()) {
            fs::create_symlink(c.plant == "sub" ? outside : outside / "kept.txt", chosen / "dir" / c.plant);
        }
        const fs::path destination(chosen.native() + "/" + c.destinationName);

        const TransferTask ended = runQueued(downloadTask(bucket, c.remoteKey, destination, c.isFolder, 1));
        std::vector<std::string> written;
        for (std::string entry : entriesIn(chosen)) {
            if (const auto at = entry.find(outside.string()); at != std::string::npos) {
                entry.replace(at, outside.string().size(), "OUTSIDE");
            }
            written.push_back(entry);
        }
        EXPECT_EQ(written, c.written);
        EXPECT_THAT(entriesIn(outside), ElementsAre("kept.txt"));
        EXPECT_EQ(readFile(outside / "kept.txt"), "kept");
        EXPECT_THAT(entriesIn(local.path()), ::testing::Contains("outside/kept.txt"));
        EXPECT_EQ(entriesIn(local.path()).size(), written.size() + 1) << "something was written beside the folder";
        if (!c.named.empty()) {
            EXPECT_EQ(ended.state, TransferState::failed);
            EXPECT_THAT(ended.errorText.value_or(QString()).toStdString(), HasSubstr("“" + c.named + "”"));
            EXPECT_EQ(ended.unitsDone, 0);
        } else {
            EXPECT_EQ(ended.state, TransferState::succeeded) << ended.errorText.value_or(QString()).toStdString();
        }
    }
}

TEST_F(DownloadRunnerTest, ADownloadThatFailsHalfWayLeavesTheOldFileByteForByte) {
    const BucketConfig made = test::createBucket(*m_server, "halfway");
    const std::string content = randomBytes(512 * 1024, 3);
    test::putObjects(*m_server, made, {"big.bin"}, content);
    FaultProxy proxy(m_server->endpoint);
    const BucketConfig bucket = addBucket(proxy.start(), made.bucketName);
    const std::size_t cut =
        proxy.addRule({"GET", "big.bin", FaultProxy::Action::CutAnswer, 1, content.size() / 2});
    const fs::path chosen = m_local.path() / "chosen";
    fs::create_directories(chosen);
    const std::string previous = randomBytes(1000, 4);
    writeFile(chosen / "big.bin", previous);
    QSignalSpy bubbles(m_app.get(), &AppState::bubbleRequested);

    TransferTask ended = runQueued(downloadTask(bucket, "big.bin", chosen / "big.bin", false,
                                                static_cast<std::int64_t>(content.size())));
    EXPECT_EQ(proxy.counts(cut).faulted, 1);
    EXPECT_EQ(ended.state, TransferState::failed);
    EXPECT_EQ(readFile(chosen / "big.bin"), previous);
    EXPECT_THAT(entriesIn(chosen), ElementsAre("big.bin")) << "no partial file is left behind";
    ASSERT_EQ(bubbles.count(), 1);
    EXPECT_EQ(bubbles.front().front().toString(), L10n::t(QStringLiteral("download_failed")));

    // The next attempt replaces it.
    m_app->transfers().retry(ended.id);
    ASSERT_TRUE(waitFor([&] { return isFinished(taskNow(ended.id)->state); }));
    ended = *taskNow(ended.id);
    EXPECT_EQ(ended.state, TransferState::succeeded);
    EXPECT_EQ(readFile(chosen / "big.bin"), content);
    EXPECT_EQ(ended.bytesDone, static_cast<std::int64_t>(content.size()));
}

TEST_F(DownloadRunnerTest, AFastDownloadChangesItsTaskAFewTimesASecondAndEndsAtItsSize) {
    // Each piece received used to reach the task, waking the main thread and every view
    // of the queue thousands of times a second.
    const BucketConfig made = test::createBucket(*m_server, "fast");
    const std::string content = randomBytes(32 * 1024 * 1024, 5);
    test::putObjects(*m_server, made, {"big.bin"}, content);
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    const fs::path chosen = m_local.path() / "chosen";
    fs::create_directories(chosen);
    QSignalSpy updates(&m_app->transfers(), &TransferCenter::taskUpdated);

    QElapsedTimer clock;
    clock.start();
    const TransferTask ended = runQueued(downloadTask(bucket, "big.bin", chosen / "big.bin", false,
                                                      static_cast<std::int64_t>(content.size())));
    const qint64 elapsed = clock.elapsed();
    ASSERT_EQ(ended.state, TransferState::succeeded);
    EXPECT_EQ(ended.bytesDone, static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(ended.speed, 0);
    // One change per interval while the bytes flow, and a few for starting and ending.
    EXPECT_LE(updates.count(), elapsed / TransferCenter::progressInterval.count() + 12) << elapsed << " ms";

    // Nothing late moves the finished task.
    QTest::qWait(static_cast<int>(3 * TransferCenter::progressInterval.count()));
    EXPECT_EQ(taskNow(ended.id)->bytesDone, static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(taskNow(ended.id)->speed, 0);
}

TEST_F(DownloadRunnerTest, AFolderWhereAFileShouldGoFailsNamingIt) {
    const BucketConfig bucket = bucketWith("inway", {"report.pdf", "docs/a.txt", "docs/b.txt"});
    const fs::path chosen = m_local.path() / "chosen";
    fs::create_directories(chosen / "report.pdf");
    writeFile(chosen / "report.pdf" / "mine.txt", "mine");
    fs::create_directories(chosen / "docs" / "b.txt");

    const TransferTask object = runQueued(downloadTask(bucket, "report.pdf", chosen / "report.pdf", false, 1));
    EXPECT_EQ(object.state, TransferState::failed);
    EXPECT_EQ(*object.errorText, L10n::t(QStringLiteral("refused_download_folder_in_way"),
                                         QString::fromStdString((chosen / "report.pdf").string())));
    EXPECT_EQ(readFile(chosen / "report.pdf" / "mine.txt"), "mine");

    const TransferTask folder = runQueued(downloadTask(bucket, "docs/", chosen / "docs", true));
    EXPECT_EQ(folder.state, TransferState::failed);
    EXPECT_THAT(folder.errorText->toStdString(), HasSubstr((chosen / "docs" / "b.txt").string()));
    EXPECT_EQ(folder.unitsDone, 1);
    EXPECT_THAT(entriesIn(chosen), ElementsAre("docs/a.txt", "report.pdf/mine.txt"));
}

TEST_F(DownloadRunnerTest, AFileOfTheSameSizeIsKeptOnlyWhenNotOlderThanTheObject) {
    const BucketConfig made = test::createBucket(*m_server, "samesize");
    test::putObjects(*m_server, made, {"single.txt", "docs/older.txt", "docs/newer.txt"}, "new!");
    FaultProxy proxy(m_server->endpoint);
    const BucketConfig bucket = addBucket(proxy.start(), made.bucketName);
    const std::size_t gets = proxy.addRule({"GET", ".txt", FaultProxy::Action::Forward, FaultProxy::kAlways});
    const fs::path chosen = m_local.path() / "chosen";
    fs::create_directories(chosen / "docs");
    const auto past = std::chrono::system_clock::now() - std::chrono::hours(24 * 365);
    const auto future = std::chrono::system_clock::now() + std::chrono::hours(1);
    for (const char* name : {"single.txt", "docs/older.txt", "docs/newer.txt"}) writeFile(chosen / name, "old!");
    setModified(chosen / "single.txt", past);
    setModified(chosen / "docs/older.txt", past);
    setModified(chosen / "docs/newer.txt", future);

    const std::optional<TimePoint> date = listedDate(m_client, *m_server, made, "single.txt");
    ASSERT_TRUE(date);
    const TransferTask object = runQueued(downloadTask(bucket, "single.txt", chosen / "single.txt", false, 4, date));
    EXPECT_EQ(object.state, TransferState::succeeded);
    EXPECT_EQ(readFile(chosen / "single.txt"), "new!");

    const TransferTask folder = runQueued(downloadTask(bucket, "docs/", chosen / "docs", true));
    EXPECT_EQ(folder.state, TransferState::succeeded);
    EXPECT_EQ(readFile(chosen / "docs/older.txt"), "new!");
    EXPECT_EQ(readFile(chosen / "docs/newer.txt"), "old!");
    EXPECT_EQ(folder.unitsDone, 2);
    EXPECT_EQ(folder.bytesDone, 8);
    // The kept file cost no request for its content.
    EXPECT_EQ(proxy.counts(gets).forwarded, 2);

    // Without a listed date nothing tells the file is the object's: it is fetched.
    writeFile(chosen / "single.txt", "old!");
    setModified(chosen / "single.txt", future);
    EXPECT_EQ(runQueued(downloadTask(bucket, "single.txt", chosen / "single.txt", false, 4)).state,
              TransferState::succeeded);
    EXPECT_EQ(readFile(chosen / "single.txt"), "new!");
}

TEST_F(DownloadRunnerTest, DismissingTheRunningDownloadStopsItQuietlyAndTheQueueGoesOn) {
    const BucketConfig made = test::createBucket(*m_server, "dismiss");
    test::putObjects(*m_server, made, {"held/a.txt", "held/b.txt", "next.txt"});
    FaultProxy proxy(m_server->endpoint);
    const BucketConfig bucket = addBucket(proxy.start(), made.bucketName);
    proxy.addRule({"GET", "held/a.txt", FaultProxy::Action::Stall});
    const fs::path chosen = m_local.path() / "chosen";
    QSignalSpy bubbles(m_app.get(), &AppState::bubbleRequested);
    TransferCenter& queue = m_app->transfers();

    const TransferTask held = downloadTask(bucket, "held/", chosen / "held", true);
    const TransferTask next = downloadTask(bucket, "next.txt", chosen / "next.txt", false, 1);
    queue.append(held);
    queue.pumpIfIdle();
    // The queue needs the event loop to get there.
    ASSERT_TRUE(waitFor([&] { return proxy.waitForStalls(1, 0ms); }, 10s));
    queue.append(next);
    queue.pumpIfIdle();

    queue.dismiss(held.id);
    EXPECT_FALSE(taskNow(held.id));
    ASSERT_TRUE(waitFor([&] { return taskNow(next.id) && isFinished(taskNow(next.id)->state); }, 10s))
        << "the held download did not stop";
    proxy.releaseStalls();
    EXPECT_EQ(taskNow(next.id)->state, TransferState::succeeded);
    EXPECT_THAT(entriesIn(chosen), ElementsAre("next.txt")) << "nothing of the dismissed folder was written";
    EXPECT_EQ(bubbles.count(), 0);
    m_app->flushHistory();
    ASSERT_EQ(m_app->config().history.size(), 1u);
    EXPECT_EQ(m_app->config().history.front().detail, "next.txt");
}

TEST_F(DownloadRunnerTest, ADragOutDownloadRunsBesideTheQueueForAnObjectAndAFolder) {
    const BucketConfig bucket = bucketWith("dragout", {"pics/a.jpg", "pics/sub/b.jpg"}, "jpeg");
    const fs::path drop = m_local.path() / "Desktop";
    fs::create_directories(drop);
    TransferCenter& queue = m_app->transfers();
    const S3Credentials credentials = test::credentialsOf(*m_server);
    QSignalSpy rows(&queue, &TransferCenter::tasksRearranged);

    QCoro::Task<> object =
        queue.runDragDownload("pics/a.jpg", drop / "a.jpg", false, "a.jpg", 4, bucket, credentials);
    // Added at once, already running, and never waiting in the queue.
    ASSERT_EQ(rows.count(), 1);
    const TransferTask started = queue.tasks().back();
    EXPECT_EQ(started.state, TransferState::running);
    EXPECT_TRUE(started.startedAt.has_value());
    EXPECT_EQ(started.subtitle, QStringLiteral("Desktop"));
    EXPECT_FALSE(started.bucketID.has_value());
    EXPECT_FALSE(queue.runningID().has_value());
    EXPECT_EQ(test::finishWithin(std::move(object)), true);
    EXPECT_EQ(readFile(drop / "a.jpg"), "jpeg");
    EXPECT_EQ(taskNow(started.id)->state, TransferState::succeeded);
    EXPECT_EQ(taskNow(started.id)->unitsDone, 1);

    QCoro::Task<> folder = queue.runDragDownload("pics/", drop / "pics", true, "pics", 0, bucket, credentials);
    EXPECT_EQ(test::finishWithin(std::move(folder)), true);
    EXPECT_THAT(entriesIn(drop), ElementsAre("a.jpg", "pics/a.jpg", "pics/sub/b.jpg"));
    const TransferTask folderTask = queue.tasks().back();
    EXPECT_EQ(folderTask.state, TransferState::succeeded);
    EXPECT_EQ(folderTask.unitsDone, 2);
    EXPECT_EQ(folderTask.bytesTotal, 8);

    m_app->flushHistory();
    ASSERT_GE(m_app->config().history.size(), 2u);
    EXPECT_EQ(m_app->config().history[0].detail, "pics/");
    EXPECT_EQ(m_app->config().history[1].detail, "pics/a.jpg");

    // A failure reaches the drop target and stays on the task.
    QCoro::Task<> missing = queue.runDragDownload("nothing.jpg", drop / "nothing.jpg", false, "nothing.jpg", 0, bucket,
                                                  credentials);
    EXPECT_THROW(test::finishWithin(std::move(missing)), S3Error);
    EXPECT_EQ(queue.tasks().back().state, TransferState::failed);
    EXPECT_THAT(queue.tasks().back().errorText->toStdString(), HasSubstr("404"));
    EXPECT_FALSE(fs::exists(drop / "nothing.jpg"));
}

}  // namespace
}  // namespace tarn
