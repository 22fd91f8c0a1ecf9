#include "AppStateTestAccess.h"
#include "InspectorFixture.h"

#include "app/text/L10n.h"
#include "core/LoopbackHttpServer.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {
namespace {

QString text(const char* key) { return L10n::t(QString::fromLatin1(key)); }

std::string uploadsPage(const std::vector<std::pair<std::string, std::string>>& uploads, bool truncated,
                        const std::string& nextKey, const std::string& nextUploadId) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListMultipartUploadsResult>"
                      "<Bucket>stub-bucket</Bucket><MaxUploads>1000</MaxUploads>";
    xml += std::string("<IsTruncated>") + (truncated ? "true" : "false") + "</IsTruncated>";
    if (!nextKey.empty()) xml += "<NextKeyMarker>" + nextKey + "</NextKeyMarker>";
    if (!nextUploadId.empty()) xml += "<NextUploadIdMarker>" + nextUploadId + "</NextUploadIdMarker>";
    for (const auto& [key, id] : uploads) {
        xml += "<Upload><Key>" + key + "</Key><UploadId>" + id +
               "</UploadId><Initiated>2024-05-01T00:00:00.000Z</Initiated><StorageClass>STANDARD</StorageClass></Upload>";
    }
    return xml + "</ListMultipartUploadsResult>";
}

class AppStateMultipartTest : public test::InspectorFixture {
protected:
    // Starts an upload of each key on the server; their IDs, in key order.
    std::vector<std::string> startUploads(const std::vector<std::string>& keys) {
        std::vector<std::string> ids;
        for (const std::string& key : keys) {
            ids.push_back(m_client.createMultipartUpload(key, m_made, test::credentialsOf(*m_server), std::nullopt));
        }
        return ids;
    }
    std::vector<std::string> listedIDs() const {
        std::vector<std::string> ids;
        for (const MultipartUpload& upload : m_app->multipartUploads()) ids.push_back(upload.uploadId);
        return ids;
    }
    std::vector<std::string> serverIDs() {
        std::vector<std::string> ids;
        const MultipartUploadListing page =
            m_client.listMultipartUploads(m_made, test::credentialsOf(*m_server), std::nullopt, std::nullopt);
        for (const MultipartUpload& upload : page.uploads) ids.push_back(upload.uploadId);
        return ids;
    }
    void openSheet() {
        m_app->openMultipartUploads();
        EXPECT_TRUE(m_app->showingTempFiles());
        ASSERT_TRUE(waitFor([&] { return !m_app->isLoadingUploads(); }));
    }
    const OperationHistoryEntry& lastHistory() {
        m_app->flushHistory();
        return m_app->config().history.front();
    }
};

TEST_F(AppStateMultipartTest, UnfinishedUploadsAreListedAndAborted) {
    openBucket("parts");
    openSheet();
    EXPECT_THAT(listedIDs(), IsEmpty());
    EXPECT_FALSE(m_app->hasMoreUploads());

    const std::vector<std::string> ids = startUploads({"a.bin", "b.bin", "c.bin"});
    m_app->reloadMultipartUploads();
    ASSERT_TRUE(waitFor([&] { return m_app->multipartUploads().size() == 3; }));
    EXPECT_EQ(listedIDs(), ids);
    EXPECT_FALSE(m_app->hasMoreUploads());

    // Nothing selected: nothing happens, not even a history entry.
    m_app->abortSelectedUploads();
    EXPECT_FALSE(m_app->isLoading());
    m_app->flushHistory();
    EXPECT_THAT(m_app->config().history, IsEmpty());

    m_app->setSelectedUploadIDs({ids[0], ids[2]});
    m_app->abortSelectedUploads();
    ASSERT_TRUE(waitFor([&] { return m_app->multipartUploads().size() == 1; }));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(listedIDs(), std::vector<std::string>{ids[1]});
    EXPECT_THAT(m_app->selectedUploadIDs(), IsEmpty());
    EXPECT_EQ(serverIDs(), std::vector<std::string>{ids[1]});
    EXPECT_EQ(lastHistory().action, text("abort_upload").toStdString());
    EXPECT_EQ(lastHistory().detail, L10n::t(QStringLiteral("abort_upload_count"), 2).toStdString());
    EXPECT_TRUE(lastHistory().succeeded);
    EXPECT_EQ(lastHistory().bucketName, m_made.bucketName);
}

TEST_F(AppStateMultipartTest, AFailedAbortLeavesWhatWasNotAbortedAndIsReported) {
    test::FaultProxy proxy(m_server->endpoint);
    const std::string endpoint = proxy.start();
    openBucket("abortfail", endpoint);
    const std::vector<std::string> ids = startUploads({"a.bin", "b.bin", "c.bin"});
    proxy.addRule({"DELETE", "uploadId=" + ids[1], test::FaultProxy::Action::InternalError,
                   test::FaultProxy::kAlways});
    openSheet();
    ASSERT_EQ(listedIDs(), ids);
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);

    m_app->setSelectedUploadIDs({ids.begin(), ids.end()});
    m_app->abortSelectedUploads();
    ASSERT_TRUE(waitFor([&] { return toasts.count() > 0; }));
    ASSERT_TRUE(waitUntilSettled());

    // The first was aborted; the second failed, so the third was not tried.
    EXPECT_EQ(listedIDs(), (std::vector<std::string>{ids[1], ids[2]}));
    EXPECT_EQ(m_app->selectedUploadIDs(), (KeySet{ids[1], ids[2]}));
    EXPECT_EQ(serverIDs(), (std::vector<std::string>{ids[1], ids[2]}));
    ASSERT_EQ(toasts.count(), 1);
    EXPECT_EQ(toasts.front().front().value<ToastMessage>().kind, ToastKind::error);
    EXPECT_EQ(lastHistory().detail, L10n::t(QStringLiteral("abort_upload_count"), 1).toStdString());
    EXPECT_FALSE(lastHistory().succeeded);
}

TEST_F(AppStateMultipartTest, FurtherPagesAreAppendedWithoutRepeatingAnUpload) {
    test::LoopbackHttpServer standIn([](const test::RecordedRequest& request) {
        std::string page;
        if (request.target.find("key-marker=b.bin") != std::string::npos) {
            // Repeats u2, and says more follow without saying where: paging ends.
            page = uploadsPage({{"b.bin", "u2"}, {"c.bin", "u3"}}, true, "", "");
        } else {
            page = uploadsPage({{"a.bin", "u1"}, {"b.bin", "u2"}}, true, "b.bin", "u2");
        }
        return test::LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, page);
    });
    const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-bucket");
    AppStateTestAccess::showListing(*m_app, bucket.id, bucket.id, "", {});

    openSheet();
    EXPECT_THAT(listedIDs(), ElementsAre("u1", "u2"));
    ASSERT_TRUE(m_app->hasMoreUploads());

    m_app->loadMoreMultipartUploads();
    ASSERT_TRUE(waitFor([&] { return !m_app->isLoadingUploads() && listedIDs().size() == 3; }));
    EXPECT_THAT(listedIDs(), ElementsAre("u1", "u2", "u3"));
    EXPECT_FALSE(m_app->hasMoreUploads());
    const std::vector<test::RecordedRequest> requests = standIn.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_THAT(requests.back().target, ::testing::HasSubstr("upload-id-marker=u2"));

    // A reload starts again from the first page.
    m_app->reloadMultipartUploads();
    ASSERT_TRUE(waitFor([&] { return !m_app->isLoadingUploads() && listedIDs().size() == 2; }));
    EXPECT_TRUE(m_app->hasMoreUploads());
}

}  // namespace
}  // namespace tarn
