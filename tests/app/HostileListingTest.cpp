#include "FinishWithin.h"
#include "TransferRunnerFixture.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/storage/ListingOutsidePrefixError.h"
#include "integration/S3TestBuckets.h"

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

}  // namespace
}  // namespace tarn
