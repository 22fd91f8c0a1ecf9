#include "AppStateFixture.h"
#include "FinishWithin.h"
#include "TransferRunnerFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/storage/DownloadOverrunError.h"
#include "core/storage/ListingOutsidePrefixError.h"
#include "core/text/ByteFormatter.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

#include <functional>

using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using ::testing::Each;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A server that ignores "prefix": every listing names the whole bucket, so a folder of
// one object seems to hold all eight, the contract among them. Anything else it is
// asked (a delete, a copy, a download) it grants, as a real server would.
class PrefixIgnoringServer {
public:
    PrefixIgnoringServer()
        : m_server([](const RecordedRequest& request) {
              if (request.method == "GET" && request.target.find("list-type=2") != std::string::npos) {
                  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult>";
                  for (const char* key : {"a.txt", "b.txt", "docs/c.txt", "docs/d.txt", "important/",
                                          "important/contract.txt", "tmp/", "tmp/x.txt"}) {
                      xml += std::string("<Contents><Key>") + key + "</Key><Size>4</Size></Contents>";
                  }
                  xml += "<IsTruncated>false</IsTruncated></ListBucketResult>";
                  return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, xml);
              }
              if (request.method == "POST") {
                  return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                                    "<DeleteResult></DeleteResult>");
              }
              if (request.method == "GET" || request.method == "HEAD") {
                  return LoopbackHttpServer::answer(200, {{"ETag", "\"e\""}}, "data");
              }
              return LoopbackHttpServer::answer(request.method == "DELETE" ? 204 : 200, {}, "");
          }) {}

    std::string endpoint() const { return m_server.endpoint(); }

    // Every request but the listings: what changed something or fetched an object.
    std::vector<std::string> otherRequests() const {
        std::vector<std::string> lines;
        for (const RecordedRequest& request : m_server.requests()) {
            if (request.method == "GET" && request.target.find("list-type=2") != std::string::npos) continue;
            lines.push_back(request.method + " " + request.target);
        }
        return lines;
    }
    std::vector<std::string> listings() const {
        std::vector<std::string> lines;
        for (const RecordedRequest& request : m_server.requests()) {
            if (request.target.find("list-type=2") != std::string::npos) lines.push_back(request.target);
        }
        return lines;
    }

private:
    LoopbackHttpServer m_server;
};

using HostileListingTest = test::TransferRunnerFixture;

TEST_F(HostileListingTest, AFolderTaskGivenKeysOutsideItsFolderChangesAndFetchesNothing) {
    const QString refused = L10n::t(QStringLiteral("listing_outside_prefix"), QStringLiteral("tmp/"),
                                    QStringLiteral("a.txt"));
    struct Case {
        const char* name;
        std::function<TransferTask(const BucketConfig&)> task;
    };
    const fs::path downloads = m_local.path() / "downloads";
    fs::create_directories(downloads);
    const std::vector<Case> cases{
        {"delete", [](const BucketConfig& bucket) { return deleteTask(bucket, {}, {"tmp/"}); }},
        {"rename",
         [](const BucketConfig& bucket) {
             TransferTask task;
             task.id = Uuid::random();
             task.title = "old/";
             task.isFolder = true;
             task.spec.value = RenameSpec{"tmp/", "old/", true};
             task.bucketID = bucket.id;
             return task;
         }},
        {"download", [&](const BucketConfig& bucket) { return downloadTask(bucket, "tmp/", downloads / "tmp", true); }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrefixIgnoringServer server;
        // Bucket IDs do not tell ports apart: each stand-in gets a bucket name of its own.
        const BucketConfig bucket = addBucket(server.endpoint(), "hostile-" + std::to_string(n++));
        const TransferTask ended = runQueued(c.task(bucket));
        EXPECT_EQ(ended.state, TransferState::failed);
        EXPECT_EQ(ended.errorText.value_or(QString()), refused);
        EXPECT_THAT(server.listings(), Each(::testing::HasSubstr("prefix=tmp%2F")));
        EXPECT_THAT(server.otherRequests(), IsEmpty());
        EXPECT_THAT(entriesIn(downloads), IsEmpty());
        EXPECT_FALSE(fs::exists(downloads / "tmp"));
    }

    // A folder dragged out of the window, beside the queue.
    PrefixIgnoringServer server;
    const BucketConfig bucket = addBucket(server.endpoint(), "hostile-drag");
    const fs::path drop = m_local.path() / "drop";
    fs::create_directories(drop);
    QCoro::Task<> dragged = m_app->transfers().runDragDownload("tmp/", drop / "tmp", true, "tmp", 0, bucket,
                                                               test::credentialsOf(*m_server));
    EXPECT_THROW(test::finishWithin(std::move(dragged)), ListingOutsidePrefixError);
    EXPECT_EQ(m_app->transfers().tasks().back().errorText.value_or(QString()), refused);
    EXPECT_THAT(server.otherRequests(), IsEmpty());
    EXPECT_THAT(entriesIn(drop), IsEmpty());
}

// A server that names every folder it lists as its own sub-folder ("f/" inside "f/"),
// and otherwise grants what it is asked.
class SelfNamingServer {
public:
    SelfNamingServer()
        : m_server([](const RecordedRequest& request) {
              if (request.method == "GET" && request.target.find("list-type=2") != std::string::npos) {
                  const bool levels = request.target.find("delimiter=") != std::string::npos;
                  std::string xml = "<ListBucketResult>";
                  if (request.target.find("prefix=f%2F") != std::string::npos) {
                      xml += "<Contents><Key>f/a.txt</Key><Size>4</Size></Contents>";
                      if (levels) xml += "<CommonPrefixes><Prefix>f/</Prefix></CommonPrefixes>";
                  }
                  xml += "<IsTruncated>false</IsTruncated></ListBucketResult>";
                  return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, xml);
              }
              if (request.method == "PUT") {
                  return LoopbackHttpServer::answer(
                      200, {}, "<CopyObjectResult><ETag>\"e\"</ETag></CopyObjectResult>");
              }
              return LoopbackHttpServer::answer(request.method == "DELETE" ? 204 : 200, {}, "");
          }) {}

    std::string endpoint() const { return m_server.endpoint(); }
    std::size_t requestCount() const { return m_server.requests().size(); }

private:
    LoopbackHttpServer m_server;
};

TEST_F(HostileListingTest, AFolderMoveEndsWhenTheListingNamesTheFolderAsItsOwnSubFolder) {
    SelfNamingServer server;
    const BucketConfig bucket = addBucket(server.endpoint(), "self-naming");
    TransferTask task;
    task.id = Uuid::random();
    task.title = "g/";
    task.isFolder = true;
    task.spec.value = RenameSpec{"f/", "g/", true};
    task.bucketID = bucket.id;
    const TransferTask ended = runQueued(task);
    EXPECT_EQ(ended.state, TransferState::failed);
    EXPECT_EQ(ended.errorText.value_or(QString()),
              L10n::t(QStringLiteral("listing_folder_not_below"), QStringLiteral("f/"), QStringLiteral("f/")));
    // The two counting listings, the destination's marker and one level's listing.
    EXPECT_LE(server.requestCount(), 4u);
}

// A server that lists one object of 10 bytes ("docs/tiny.txt", also as the only file
// of "docs/") and, asked for it, sends a megabyte, or a body that never ends.
class OverrunningServer {
public:
    explicit OverrunningServer(bool endless)
        : m_server([endless](const RecordedRequest& request) {
              if (request.target.find("list-type=2") != std::string::npos) {
                  return LoopbackHttpServer::answer(
                      200, {{"Content-Type", "application/xml"}},
                      "<ListBucketResult><Contents><Key>docs/tiny.txt</Key><Size>10</Size><ETag>\"t\"</ETag>"
                      "</Contents><IsTruncated>false</IsTruncated></ListBucketResult>");
              }
              if (request.method == "HEAD" || request.target.find("docs/tiny.txt") == std::string::npos) {
                  return LoopbackHttpServer::answer(200, {{"Content-Type", "text/plain"}}, "");
              }
              const std::string megabyte(1 << 20, 'x');
              if (!endless) {
                  return test::ScriptedAnswer{"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" +
                                                  megabyte,
                                              std::nullopt, true};
              }
              const std::string bytes = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
                                        "100000\r\n" + megabyte + "\r\n";
              return test::ScriptedAnswer{bytes, bytes.size()};
          }) {}

    std::string endpoint() const { return m_server.endpoint(); }

private:
    LoopbackHttpServer m_server;
};

TEST_F(HostileListingTest, EveryDownloadStopsAtTheSizeTheObjectWasListedWith) {
    const QString overrun = L10n::t(QStringLiteral("download_overrun"), QStringLiteral("docs/tiny.txt"),
                                    QString::fromStdString(ByteFormatter::string(10)));
    int n = 0;
    for (const bool endless : {false, true}) {
        SCOPED_TRACE(endless ? "a body without end" : "a megabyte");
        OverrunningServer server(endless);
        const BucketConfig bucket = addBucket(server.endpoint(), "overrun-" + std::to_string(n++));
        const fs::path chosen = m_local.path() / ("chosen-" + std::to_string(n));
        fs::create_directories(chosen);

        // Queued, as the download command makes them: the object, and the folder.
        const TransferTask object = runQueued(downloadTask(bucket, "docs/tiny.txt", chosen / "tiny.txt", false, 10));
        EXPECT_EQ(object.state, TransferState::failed);
        EXPECT_EQ(object.errorText.value_or(QString()), overrun);
        const TransferTask folder = runQueued(downloadTask(bucket, "docs/", chosen / "docs", true));
        EXPECT_EQ(folder.state, TransferState::failed);
        EXPECT_EQ(folder.errorText.value_or(QString()), overrun);
        // Dragged out of the window.
        const fs::path drop = m_local.path() / ("drop-" + std::to_string(n));
        fs::create_directories(drop);
        QCoro::Task<> dragged = m_app->transfers().runDragDownload("docs/tiny.txt", drop / "tiny.txt", false,
                                                                   "tiny.txt", 10, bucket, test::credentialsOf(*m_server));
        EXPECT_THROW(test::finishWithin(std::move(dragged)), DownloadOverrunError);
        EXPECT_THAT(entriesIn(chosen), IsEmpty());
        EXPECT_THAT(entriesIn(drop), IsEmpty());

        // Previewed, and opened.
        m_app->switchBucket(bucket.id, "docs/");
        ASSERT_TRUE(waitUntilSettled());
        m_app->setSelectedObjectKeys({"docs/tiny.txt"});
        ASSERT_TRUE(test::finishWithin(m_app->refreshInspector()));
        EXPECT_EQ(m_app->inlinePreviewState().kind, InlinePreviewState::Kind::failed);
        EXPECT_EQ(m_app->inlinePreviewState().text, overrun);
        EXPECT_THAT(entriesIn(m_app->previewCacheFolder(bucket)), IsEmpty());
        QSignalSpy toasts(m_app.get(), &AppState::toastRequested);
        ASSERT_TRUE(test::finishWithin(m_app->openSelectedObject()));
        EXPECT_EQ(toasts.count(), 1);
        const fs::path opened = m_app->privateFolder().openedObjectsFolder(bucket.id);
        EXPECT_THAT(entriesIn(opened), IsEmpty());
    }
}


TEST_F(HostileListingTest, ARefusalWithoutACodeKeepsTheSignatureItEchoesOutOfLogAndWords) {
    const test::ScopedLogHome logHome;
    AppConfig withLog = m_app->config();
    withLog.debugLogging = true;
    m_app->setConfig(withLog);
    // A gateway's refusal: no <Code>, but the echoes of the signature S3 sends.
    const std::string signature(64, 'f');
    const std::string stringToSign = "AWS4-HMAC-SHA256\n20240501T000000Z\n20240501/us-east-1/s3/aws4_request\n" +
                                     std::string(64, 'c');
    const std::string body = "<Refused><StringToSign>" + stringToSign + "</StringToSign><SignatureProvided>" +
                             signature + "</SignatureProvided></Refused>";
    LoopbackHttpServer server([&](const RecordedRequest&) {
        return LoopbackHttpServer::answer(403, {{"Content-Type", "application/xml"}}, body);
    });
    const BucketConfig bucket = addBucket(server.endpoint(), "echoing");
    const fs::path chosen = m_local.path() / "echo";
    fs::create_directories(chosen);

    const TransferTask download = runQueued(downloadTask(bucket, "docs/", chosen / "docs", true));
    EXPECT_EQ(download.state, TransferState::failed);
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());
    ASSERT_GE(toasts.count(), 1);

    const std::string secretPart = signature.substr(0, 16);
    const std::string signedPart(16, 'c');
    std::vector<std::string> words{download.errorText.value_or(QString()).toStdString()};
    for (const QList<QVariant>& toast : toasts) words.push_back(toast.at(0).value<ToastMessage>().text.toStdString());
    words.push_back(logHome.text());
    ASSERT_THAT(logHome.text(), ::testing::HasSubstr("403"));
    for (const std::string& text : words) {
        EXPECT_EQ(text.find(secretPart), std::string::npos) << text;
        EXPECT_EQ(text.find(signedPart), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace tarn
