#include "AppStateTestAccess.h"
#include "ServerAppStateFixture.h"

#include "app/text/L10n.h"
#include "core/LoopbackHttpServer.h"
#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>

using namespace std::chrono_literals;
using tarn::test::FaultProxy;
using tarn::test::LoopbackHttpServer;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace tarn {
namespace {

class AppStateSyncTest : public test::ServerAppStateFixture {
protected:
    // An account whose secret is not stored.
    StorageProfile addAccountWithoutSecret(const std::string& endpoint, std::vector<std::string> bucketNames) {
        StorageProfile profile{Uuid::random(), "No secret", *Url::parse(endpoint), m_server->region,
                               "no-secret-" + Uuid::random().toString(), std::move(bucketNames)};
        AppConfig config = m_app->config();
        config.profiles.push_back(profile);
        m_app->setConfig(std::move(config));
        return profile;
    }

    const StorageProfile& profile(std::size_t index) const { return m_app->config().profiles.at(index); }

    bool sync() { return test::finishWithin(m_app->syncAllBuckets(), 30s); }

    const std::vector<ToastMessage>& toasts() const { return m_toasts; }

    void SetUp() override {
        ServerAppStateFixture::SetUp();
        if (!m_app) return;
        QObject::connect(m_app.get(), &AppState::toastRequested,
                         [this](const ToastMessage& message) { m_toasts.push_back(message); });
    }

    std::vector<ToastMessage> m_toasts;
};

TEST_F(AppStateSyncTest, TheSyncAddsAndRemovesBucketsAndReselects) {
    const BucketConfig made = test::createBucket(*m_server, "sync-a");
    const BucketConfig alsoMade = test::createBucket(*m_server, "sync-b");
    const std::string gone = test::uniqueBucketName("sync-gone");
    const std::vector<BucketConfig> listed = addAccount(m_server->endpoint, {gone, made.bucketName});

    // An account without a secret is not asked; one whose listing fails keeps its list.
    FaultProxy unasked(m_server->endpoint);
    addAccountWithoutSecret(unasked.start(), {"kept-without-secret"});
    FaultProxy failing(m_server->endpoint);
    const std::string failingEndpoint = failing.start();
    const std::size_t refused = failing.addRule({"GET", "", FaultProxy::Action::InternalError, FaultProxy::kAlways});
    addAccount(failingEndpoint, {"kept-after-a-failure"});

    AppStateTestAccess::showListing(*m_app, listed.front().id, listed.front().id, "", {});
    ASSERT_TRUE(sync());

    const std::vector<std::string>& names = profile(0).bucketNames;
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_THAT(names, Contains(made.bucketName));
    EXPECT_THAT(names, Contains(alsoMade.bucketName));
    EXPECT_THAT(names, Not(Contains(gone)));
    EXPECT_THAT(profile(1).bucketNames, ElementsAre("kept-without-secret"));
    EXPECT_THAT(unasked.forwardedRequests(), IsEmpty());
    EXPECT_THAT(profile(2).bucketNames, ElementsAre("kept-after-a-failure"));
    EXPECT_GE(failing.counts(refused).faulted, 1);
    EXPECT_EQ(std::get<AppConfig>(m_configStore.loadRaw()).profiles, m_app->config().profiles);
    EXPECT_THAT(toasts(), IsEmpty());
    EXPECT_FALSE(m_app->isSyncingBuckets());

    // The selected bucket is gone: the first bucket opens at its root.
    const std::vector<BucketConfig> buckets = m_app->allBuckets();
    EXPECT_EQ(m_app->selectedBucketID(), buckets.front().id);
    EXPECT_EQ(m_app->currentPrefix(), "");
    ASSERT_TRUE(waitUntilSettled());

    // A selected bucket that is still there stays selected.
    const auto kept = std::find_if(buckets.begin(), buckets.end(),
                                   [&](const BucketConfig& bucket) { return bucket.bucketName == made.bucketName; });
    ASSERT_NE(kept, buckets.end());
    m_app->switchBucket(kept->id, "");
    ASSERT_TRUE(waitUntilSettled());
    QSignalSpy selection(m_app.get(), &AppState::selectedBucketIDChanged);
    ASSERT_TRUE(sync());
    EXPECT_EQ(selection.count(), 0);
    EXPECT_EQ(m_app->selectedBucketID(), kept->id);
}

// A stand-in that lists the same buckets every time, in an order of its own, so that
// what the sync saves depends on nothing else on the test server.
TEST_F(AppStateSyncTest, ListsAreSavedOnlyWhenTheyChange) {
    LoopbackHttpServer server([](const test::RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                          "<ListAllMyBucketsResult><Buckets>"
                                          "<Bucket><Name>b-two</Name></Bucket>"
                                          "<Bucket><Name>a-one</Name></Bucket>"
                                          "</Buckets></ListAllMyBucketsResult>");
    });
    const BucketConfig shown = addAccount(server.endpoint(), {"a-one", "b-two"}).front();
    // A bucket stays selected, so the sync has nothing to open.
    AppStateTestAccess::showListing(*m_app, shown.id, shown.id, "", {});
    QSignalSpy changed(m_app.get(), &AppState::configChanged);

    ASSERT_TRUE(sync());
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(changed.count(), 0) << "the same buckets in another order are no change";
    EXPECT_FALSE(std::filesystem::exists(m_configStore.configURL()));

    // A stored list out of order is written back sorted.
    AppConfig config = m_app->config();
    config.profiles.front().bucketNames = {"b-two", "a-one"};
    m_app->setConfig(config);
    changed.clear();
    ASSERT_TRUE(sync());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_THAT(profile(0).bucketNames, ElementsAre("a-one", "b-two"));
    EXPECT_THAT(std::get<AppConfig>(m_configStore.loadRaw()).profiles.front().bucketNames, ElementsAre("a-one", "b-two"));
}

TEST_F(AppStateSyncTest, ASyncRequestedWhileOneRunsReturnsAtOnce) {
    FaultProxy proxy(m_server->endpoint);
    const std::string endpoint = proxy.start();
    proxy.addRule({"GET", "", FaultProxy::Action::Stall});
    test::createBucket(*m_server, "sync-once");
    addAccount(endpoint, {});

    QCoro::Task<> running = m_app->syncAllBuckets();
    ASSERT_TRUE(proxy.waitForStalls(1, 10s));
    EXPECT_TRUE(m_app->isSyncingBuckets());
    EXPECT_TRUE(test::finishWithin(m_app->syncAllBuckets(), 2s)) << "the second request waited for the first";
    EXPECT_TRUE(m_app->isSyncingBuckets());

    proxy.releaseStalls();
    ASSERT_TRUE(test::finishWithin(std::move(running), 30s));
    EXPECT_FALSE(m_app->isSyncingBuckets());
    const std::vector<std::string> requests = proxy.forwardedRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "GET /"), 1) << "the second request listed too";
    EXPECT_THAT(profile(0).bucketNames, Not(IsEmpty()));
    ASSERT_TRUE(waitUntilSettled());
}

TEST_F(AppStateSyncTest, TheConnectionTestListsTheBucketAndSaysHowItWent) {
    const BucketConfig made = test::createBucket(*m_server, "sync-connect");
    test::putObjects(*m_server, made, {"a.txt", "docs/b.txt"});
    const BucketConfig reachable = addBucket(m_server->endpoint, made.bucketName);
    const BucketConfig missingBucket = addBucket(m_server->endpoint, test::uniqueBucketName("sync-missing"));
    FaultProxy unasked(m_server->endpoint);
    const StorageProfile withoutSecret = addAccountWithoutSecret(unasked.start(), {made.bucketName});
    const BucketConfig noSecret = m_app->buckets(withoutSecret).front();

    const auto outcome = test::finishWithin(m_app->testConnection(reachable), 30s);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->status, ConnectionTestOutcome::Status::succeeded);
    EXPECT_EQ(outcome->message, L10n::t(QStringLiteral("connection_ok")));

    const auto missing = test::finishWithin(m_app->testConnection(missingBucket), 30s);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, ConnectionTestOutcome::Status::failed);
    EXPECT_TRUE(missing->message.contains(QStringLiteral("404"))) << missing->message.toStdString();

    const auto secretless = test::finishWithin(m_app->testConnection(noSecret), 30s);
    ASSERT_TRUE(secretless);
    EXPECT_EQ(secretless->status, ConnectionTestOutcome::Status::missingSecret);
    EXPECT_EQ(secretless->message, L10n::t(QStringLiteral("s3_missing_secret")));
    EXPECT_THAT(unasked.forwardedRequests(), IsEmpty());

    EXPECT_THAT(toasts(), ElementsAre(ToastMessage{outcome->message, ToastKind::info},
                                      ToastMessage{missing->message, ToastKind::error},
                                      ToastMessage{secretless->message, ToastKind::error}));
    EXPECT_FALSE(m_app->isLoading());
    EXPECT_EQ(m_app->statusText(), L10n::t(QStringLiteral("status_ready")));
}

}  // namespace
}  // namespace tarn
