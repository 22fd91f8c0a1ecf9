#include "AppStateTestAccess.h"
#include "PastedCommand.h"
#include "ScriptedUiServices.h"
#include "ServerAppStateFixture.h"

#include "app/state/SecretToolCommand.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/LoopbackHttpServer.h"
#include "core/storage/CancelledError.h"
#include "core/storage/S3Error.h"
#include "core/config/KeychainError.h"
#include "integration/S3TestBuckets.h"

#include <QScopeGuard>
#include <QSignalSpy>

#include <gmock/gmock.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::ScriptedAnswer;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {
namespace {

// One listing page as a server sends it: objects, then folders ending in "/".
std::string pageXml(const std::vector<std::string>& entries, const std::optional<std::string>& nextToken) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ListBucketResult><Name>stub</Name>";
    for (const std::string& entry : entries) {
        xml += entry.ends_with('/') ? "<CommonPrefixes><Prefix>" + entry + "</Prefix></CommonPrefixes>"
                                    : "<Contents><Key>" + entry + "</Key><Size>1</Size></Contents>";
    }
    xml += nextToken ? "<IsTruncated>true</IsTruncated><NextContinuationToken>" + *nextToken + "</NextContinuationToken>"
                     : "<IsTruncated>false</IsTruncated>";
    return xml + "</ListBucketResult>";
}

ScriptedAnswer xmlAnswer(int status, const std::string& body) {
    return LoopbackHttpServer::answer(status, {{"Content-Type", "application/xml"}}, body);
}

const std::string accessDenied =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>AccessDenied</Code><Message>Access Denied</Message></Error>";

bool asksForANextPage(const RecordedRequest& request) {
    return request.target.find("continuation-token=") != std::string::npos;
}

// The first page of a folder: two objects and a folder, with more to come.
ScriptedAnswer firstPageOrRefusal(const RecordedRequest& request) {
    // The listing of the whole bucket behind the usage line is refused, so that
    // only the folder's pages reach the stand-in's other answers.
    if (request.target.find("delimiter=") == std::string::npos) return xmlAnswer(403, accessDenied);
    return xmlAnswer(200, pageXml({"f/a.txt", "f/b.txt", "f/sub/"}, "page-2"));
}

class AppStatePagingTest : public test::ServerAppStateFixture {
protected:
    // Opens the stand-in's folder "f/" and waits for its first page.
    void openStandIn(const LoopbackHttpServer& standIn) {
        const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-bucket");
        m_app->switchBucket(bucket.id, "f/");
        ASSERT_TRUE(waitUntilSettled());
        ASSERT_THAT(shownKeys(), ElementsAre("f/a.txt", "f/b.txt"));
        ASSERT_TRUE(m_app->hasMoreObjects());
    }
};

TEST_F(AppStatePagingTest, PagingThroughAFolderOf2500KeysReachesEveryKeyOnce) {
    std::vector<std::string> keys;
    char key[32];
    for (int i = 0; i < 2500; ++i) {
        std::snprintf(key, sizeof key, "many/key-%04d", i);
        keys.emplace_back(key);
    }
    const BucketConfig made = test::createBucket(*m_server, "paging");
    std::vector<std::string> all = keys;
    all.push_back("many/sub/inside.txt");
    test::putObjects(*m_server, made, all);
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);

    m_app->switchBucket(bucket.id, "many/");
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(m_app->objects().size(), 1000u);
    int pages = 1;
    while (m_app->hasMoreObjects() && pages < 10) {
        m_app->loadMoreObjects();
        EXPECT_TRUE(m_app->isLoadingMore());
        m_app->loadMoreObjects();  // while a page loads: nothing more
        ASSERT_TRUE(waitUntilSettled());
        ++pages;
    }
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(shownKeys(), keys) << "every key once, in the server's order";
    EXPECT_THAT(shownPrefixes(), ElementsAre("many/sub/"));
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsage().has_value(); }));
    EXPECT_EQ(m_app->bucketUsage(), (BucketUsage{2501, 2501}));
}

TEST_F(AppStatePagingTest, ARefusedNextPageEndsPagingSilently) {
    std::atomic<int> nextPageRequests = 0;
    LoopbackHttpServer standIn([&](const RecordedRequest& request) {
        if (!asksForANextPage(request)) return firstPageOrRefusal(request);
        ++nextPageRequests;
        return xmlAnswer(403, accessDenied);
    });
    openStandIn(standIn);
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);

    m_app->loadMoreObjects();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_FALSE(m_app->hasMoreObjects());
    EXPECT_THAT(shownKeys(), ElementsAre("f/a.txt", "f/b.txt"));
    QTest::qWait(2500);
    m_app->loadMoreObjects();
    EXPECT_FALSE(m_app->isLoadingMore());
    EXPECT_EQ(nextPageRequests, 1) << "a page the server refused was asked for again";
    EXPECT_EQ(toasts.count(), 0);
}

TEST_F(AppStatePagingTest, APageThatGotNoAnswerIsAskedForAgainAndMergedOnce) {
    std::atomic<int> nextPageRequests = 0;
    LoopbackHttpServer standIn([&](const RecordedRequest& request) {
        if (!asksForANextPage(request)) return firstPageOrRefusal(request);
        // The first attempt finds the connection closed without an answer.
        if (++nextPageRequests == 1) return ScriptedAnswer{"", std::nullopt, true};
        // Objects written meanwhile can show up again on a later page.
        return xmlAnswer(200, pageXml({"f/b.txt", "f/c.txt", "f/sub/", "f/tub/"}, std::nullopt));
    });
    openStandIn(standIn);
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);

    const auto start = std::chrono::steady_clock::now();
    m_app->loadMoreObjects();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1900ms) << "retried without its pause";
    EXPECT_EQ(nextPageRequests, 2);
    EXPECT_THAT(shownKeys(), ElementsAre("f/a.txt", "f/b.txt", "f/c.txt"));
    EXPECT_THAT(shownPrefixes(), ElementsAre("f/sub/", "f/tub/"));
    EXPECT_FALSE(m_app->hasMoreObjects());
    EXPECT_EQ(toasts.count(), 0);
}

TEST_F(AppStatePagingTest, ARefusedConnectionIsRetriedUntilTheBucketChanges) {
    std::atomic<int> attempts = 0;
    m_client.setLogger([&](std::string_view line) {
        if (line.starts_with("→ GET") && line.find("continuation-token=") != std::string_view::npos) ++attempts;
    });
    {
        LoopbackHttpServer standIn(firstPageOrRefusal);
        openStandIn(standIn);
    }
    // The stand-in is gone: its port refuses connections.
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);
    m_app->loadMoreObjects();
    ASSERT_TRUE(waitFor([&] { return attempts >= 2; }, 6s));
    EXPECT_TRUE(m_app->isLoadingMore());
    EXPECT_TRUE(m_app->hasMoreObjects());
    EXPECT_EQ(toasts.count(), 0);

    const BucketConfig other = addBucket(m_server->endpoint, test::createBucket(*m_server, "paging-other").bucketName);
    m_app->switchBucket(other.id, "");
    EXPECT_FALSE(m_app->isLoadingMore());
    const int attemptsAtSwitch = attempts;
    QTest::qWait(2500);
    EXPECT_EQ(attempts, attemptsAtSwitch) << "the retry went on after the switch";
    EXPECT_TRUE(waitUntilSettled());
    m_client.setLogger({});
}

TEST_F(AppStatePagingTest, UsageIsCountedOnceAndRecountedAfterAChange) {
    const BucketConfig made = test::createBucket(*m_server, "usage");
    test::putObjects(*m_server, made, {"a", "b/c"}, "12345");
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{2, 10}; }));

    test::putObjects(*m_server, made, {"d"}, "123");
    m_app->refreshDirectory();
    ASSERT_TRUE(waitUntilSettled());
    QTest::qWait(300);
    EXPECT_EQ(m_app->bucketUsage(), (BucketUsage{2, 10})) << "a plain reload counts nothing again";
    m_app->reloadAfterMutation();
    EXPECT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{3, 13}; }));

    // The maker's service keeps its own totals; its buckets show none here.
    BucketConfig maker = bucket;
    maker.id = Uuid::random();
    maker.endpoint = *Url::parse("https://s3.corvane.example");
    m_app->loadBucketUsage(maker);
    EXPECT_EQ(m_app->bucketUsage(), std::nullopt);
}

TEST_F(AppStatePagingTest, TheUsersRefreshCountsTheBucketAgain) {
    const BucketConfig made = test::createBucket(*m_server, "usage-refresh");
    test::putObjects(*m_server, made, {"a"}, "12345");
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{1, 5}; }));

    // Written by someone else: only the user's refresh can know.
    test::putObjects(*m_server, made, {"b", "c/d"}, "12");
    m_app->refresh();
    EXPECT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{3, 9}; }));
    EXPECT_TRUE(waitUntilSettled());
    EXPECT_EQ(m_app->bucketUsageCache().at(bucket.id), (BucketUsage{3, 9}));
}

// The whole-bucket listing behind the usage line of a stand-in bucket: its first
// page holds "a" (until the test deletes it) and "b", its second page "c". The folder
// listing shows the same objects.
class StandInUsage {
public:
    StandInUsage()
        : m_server([this](const RecordedRequest& request) { return answer(request); }) {}
    ~StandInUsage() { release(); }

    const LoopbackHttpServer& server() const { return m_server; }
    void deleteA() { m_deleted = true; }
    // The first request for the second page waits until this.
    void release() { m_released = true; }
    bool firstSecondPageIsWaiting() const { return m_secondPages >= 1; }

private:
    ScriptedAnswer answer(const RecordedRequest& request) {
        std::vector<std::string> first{"b"};
        if (!m_deleted) first.insert(first.begin(), "a");
        if (request.target.find("delimiter=") != std::string::npos) {
            first.push_back("c");
            return xmlAnswer(200, pageXml(first, std::nullopt));
        }
        if (!asksForANextPage(request)) return xmlAnswer(200, pageXml(first, "page-2"));
        if (++m_secondPages == 1) {
            // Bounded, so that a failed test cannot keep the stand-in from ending.
            const auto until = std::chrono::steady_clock::now() + 30s;
            while (!m_released && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
        }
        return xmlAnswer(200, pageXml({"c"}, std::nullopt));
    }

    std::atomic<bool> m_deleted = false;
    std::atomic<bool> m_released = false;
    std::atomic<int> m_secondPages = 0;
    LoopbackHttpServer m_server;
};

TEST_F(AppStatePagingTest, AChangeSupersedesACountThatBeganBeforeIt) {
    StandInUsage standIn;
    const BucketConfig bucket = addBucket(standIn.server().endpoint(), "stub-usage");
    m_app->switchBucket(bucket.id, "");
    // The count has listed "a" and "b" and waits for its second page.
    ASSERT_TRUE(waitFor([&] { return standIn.firstSecondPageIsWaiting(); }));

    standIn.deleteA();
    m_app->reloadAfterMutation();
    // Only a count that began after the delete may be shown and kept, whatever
    // becomes of the one before it.
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsage() == BucketUsage{2, 2}; }));
    standIn.release();
    EXPECT_TRUE(waitUntilSettled());
    QTest::qWait(200);
    EXPECT_EQ(m_app->bucketUsage(), (BucketUsage{2, 2}));
    EXPECT_EQ(m_app->bucketUsageCache().at(bucket.id), (BucketUsage{2, 2}));
}

TEST_F(AppStatePagingTest, ACountOfPagesThatNeverEndStopsWhenTheBucketIsLeft) {
    constexpr int heldPage = 40;
    std::atomic<int> countPages = 0;
    std::atomic<bool> left = false;
    LoopbackHttpServer standIn([&](const RecordedRequest& request) {
        if (request.target.find("delimiter=") != std::string::npos) return xmlAnswer(200, pageXml({"a"}, std::nullopt));
        // Every page names a next one: the count never ends by itself.
        const int page = ++countPages;
        std::vector<std::string> keys;
        for (int i = 0; i < 500; ++i) keys.push_back("p" + std::to_string(page) + "/k" + std::to_string(i));
        if (page == heldPage) {
            const auto until = std::chrono::steady_clock::now() + 30s;
            while (!left && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
        }
        return xmlAnswer(200, pageXml(keys, "token-" + std::to_string(page)));
    });
    const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-endless");
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitFor([&] { return countPages >= heldPage; }));
    EXPECT_EQ(m_app->bucketUsage(), std::nullopt);

    m_app->switchBucket(std::nullopt, "");
    left = true;
    QTest::qWait(300);
    EXPECT_EQ(countPages, heldPage) << "the count went on after the bucket was left";
    EXPECT_FALSE(m_app->bucketUsageCache().contains(bucket.id));
}

TEST_F(AppStatePagingTest, AContinuationTokenGivenAgainEndsTheCountAsAFailure) {
    std::atomic<int> countPages = 0;
    LoopbackHttpServer standIn([&](const RecordedRequest& request) {
        if (request.target.find("delimiter=") != std::string::npos) return xmlAnswer(200, pageXml({"a"}, std::nullopt));
        ++countPages;
        return xmlAnswer(200, pageXml({"a"}, "again"));
    });
    const BucketConfig bucket = addBucket(standIn.endpoint(), "stub-again");
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitFor([&] { return countPages >= 2; }));
    EXPECT_TRUE(waitUntilSettled());
    QTest::qWait(300);
    EXPECT_EQ(countPages, 2) << "the second page named itself as the next one";
    EXPECT_EQ(m_app->bucketUsage(), std::nullopt);

    // Ended, not stuck: a refresh counts again.
    m_app->refresh();
    EXPECT_TRUE(waitFor([&] { return countPages == 4; }));
    EXPECT_EQ(m_app->bucketUsage(), std::nullopt);
}

TEST_F(AppStatePagingTest, ARefreshAfterTransfersSelectsWhatTheSelectedRowStandsFor) {
    const BucketConfig made = test::createBucket(*m_server, "refresh");
    test::putObjects(*m_server, made, {"doc.txt", "docs/x.txt"}, "one");
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());

    TransferTask upload;
    upload.id = Uuid::random();
    upload.title = "new.txt";
    upload.spec.value = UploadSpec{"/tmp/new.txt", ""};
    upload.state = TransferState::succeeded;
    upload.succeededObjectKey = "new.txt";
    upload.completedAt = std::chrono::system_clock::now();
    upload.bucketID = bucket.id;
    AppStateTestAccess::setTasks(m_app->transfers(), {upload});
    test::putObjects(*m_server, made, {"new.txt"});

    struct Case {
        std::string selected;
        std::vector<std::string> selectedAfter;
    };
    const std::vector<Case> cases{
        {upload.placeholderKey(), {"new.txt"}},                // the row of a finished upload
        {"docs/", {"docs/"}},                                  // a folder
        {"upload:" + Uuid::random().toString(), {}},           // the row of a task dismissed since
        {"upload:not-a-task", {}},                             // not a row: kept as a key, not listed
    };
    for (const Case& c : cases) {
        m_app->setSelectedObjectKeys({c.selected});
        m_app->refreshAfterTransfers();
        ASSERT_TRUE(waitUntilSettled());
        EXPECT_EQ(std::vector<std::string>(m_app->selectedObjectKeys().begin(), m_app->selectedObjectKeys().end()),
                  c.selectedAfter)
            << c.selected;
    }

    // Deferred while a name is edited in place.
    m_app->setIsInlineRenaming(true);
    QSignalSpy loading(m_app.get(), &AppState::isLoadingChanged);
    m_app->refreshAfterTransfers();
    EXPECT_TRUE(m_app->refreshAfterTransfersPending());
    EXPECT_EQ(loading.count(), 0);
    m_app->setIsInlineRenaming(false);
    m_app->setRefreshAfterTransfersPending(false);

    // The inspected object is shown afresh only when the server's copy changed.
    const InlinePreviewState loadingDoc = InlinePreviewState::loading("doc.txt");
    m_app->setSelectedObjectKeys({"doc.txt"});
    m_app->refreshAfterTransfers();
    ASSERT_TRUE(waitUntilSettled());
    QTest::qWait(100);
    EXPECT_NE(m_app->inlinePreviewState(), loadingDoc);
    test::putObjects(*m_server, made, {"doc.txt"}, "two, longer");
    m_app->refreshAfterTransfers();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_TRUE(waitFor([&] { return m_app->inlinePreviewState() == loadingDoc; }));
}

// A keyring that cannot be reached at all: every read and every listing of it fails.
class UnreachableKeyring : public KeychainSecretStore {
public:
    using KeychainSecretStore::KeychainSecretStore;
    using KeychainSecretStore::secret;
    std::vector<std::string> allAccounts() const override { throw unreachable(); }
    std::optional<std::string> secret(const std::string&) const override { throw unreachable(); }
    std::optional<std::string> secret(const std::string&, const Origin&) const override { throw unreachable(); }

private:
    static KeychainError unreachable() { return {KeychainError::Kind::unavailable, "no Secret Service"}; }
};

// A bucket whose listing could not be made (no secret, no keyring) is never shown as
// an empty folder: the state says why, and what to do, until a listing succeeds; a
// keyring out of reach at start-up is told in the window.
TEST_F(AppStatePagingTest, AListingThatCouldNotBeMadeSaysWhyAndIsNoEmptyFolder) {
    const BucketConfig made = test::createBucket(*m_server, "not-listed");
    test::putObjects(*m_server, made, {"a.txt"});
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    const std::string account = KeychainSecretStore::accountSecretAccount(bucket);
    m_secretStore.deleteSecret(account);
    // An account the add-account sheet can take again.
    test::ScriptedUiServices ui;
    ui.hostsTheSheetAdds = {*bucket.endpoint.host()};
    m_app->setUiServices(&ui);
    const auto detach = qScopeGuard([&] { m_app->setUiServices(nullptr); });
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        L10n::setLanguageCode(QString::fromLatin1(language));
        m_app->switchBucket(std::nullopt, "");
        m_app->switchBucket(bucket.id, "");
        ASSERT_TRUE(waitFor([&] { return !m_app->listingFailure().isEmpty(); }));
        EXPECT_EQ(m_app->listingFailure(), L10n::t(QStringLiteral("listing_missing_secret")));
        EXPECT_TRUE(m_app->objects().empty());
    }
    m_secretStore.save(m_server->secretKey, account);
    m_app->refresh();
    ASSERT_TRUE(waitFor([&] { return m_app->listingFailure().isEmpty(); }));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_THAT(shownKeys(), ElementsAre("a.txt"));
    m_app->switchBucket(std::nullopt, "");
    EXPECT_TRUE(m_app->listingFailure().isEmpty()) << "the failure outlived its bucket";

    UnreachableKeyring keyring(m_secretStore.service(), std::chrono::seconds(5));
    AppState unreached(m_configStore, keyring, m_client);
    QSignalSpy toasts(&unreached, &AppState::toastRequested);
    ASSERT_TRUE(test::finishWithin(AppStateTestAccess::cleanUpKeyring(unreached)));
    ASSERT_EQ(toasts.count(), 1);
    EXPECT_EQ(toasts.front().front().value<ToastMessage>().text,
              L10n::t(QStringLiteral("keyring_unreachable_at_start"), L10n::t(QStringLiteral("keyring_unavailable"))));
    unreached.setConfig(m_app->config());
    unreached.switchBucket(bucket.id, "");
    EXPECT_TRUE(waitFor([&] {
        return unreached.listingFailure() ==
               L10n::t(QStringLiteral("listing_keyring_failed"), L10n::t(QStringLiteral("keyring_unavailable")));
    }));
    L10n::setLanguageCode(QStringLiteral("zh"));
}

// A bucket of an account the add-account sheet cannot take (a server outside its
// providers) and whose secret is missing says how else to store the secret: the
// secret-tool command the import gives for the account, after the text. Pasted into a
// terminal, it stores the secret, and the bucket lists after a refresh. An account of
// the sheet's providers is told to add the account again.
TEST_F(AppStatePagingTest, AMissingSecretOfAnAccountOutsideTheProvidersIsToldTheCommandThatStoresIt) {
    const BucketConfig made = test::createBucket(*m_server, "no-provider");
    test::putObjects(*m_server, made, {"a.txt"});
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    const std::string account = KeychainSecretStore::accountSecretAccount(bucket);
    m_secretStore.deleteSecret(account);
    test::ScriptedUiServices ui;
    m_app->setUiServices(&ui);
    const auto detach = qScopeGuard([&] {
        m_app->setUiServices(nullptr);
        L10n::setLanguageCode(QStringLiteral("zh"));
    });
    ASSERT_EQ(m_app->config().profiles.size(), 1u);
    const QString command =
        QString::fromStdString(secretToolCommand(m_secretStore.service(), m_app->config().profiles.front()));
    std::vector<QString> shownIn;  // one a language
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        L10n::setLanguageCode(QString::fromLatin1(language));
        ui.hostsTheSheetAdds.clear();
        m_app->switchBucket(std::nullopt, "");
        m_app->switchBucket(bucket.id, "");
        ASSERT_TRUE(waitFor([&] { return !m_app->listingFailure().isEmpty(); }));
        EXPECT_EQ(m_app->listingFailure(),
                  L10n::t(QStringLiteral("listing_missing_secret_keyring")) + QStringLiteral("\n\n") + command);
        EXPECT_TRUE(m_app->objects().empty());
        shownIn.push_back(m_app->listingFailure());

        ui.hostsTheSheetAdds = {*bucket.endpoint.host()};
        m_app->switchBucket(std::nullopt, "");
        m_app->switchBucket(bucket.id, "");
        ASSERT_TRUE(waitFor([&] { return !m_app->listingFailure().isEmpty(); }));
        EXPECT_EQ(m_app->listingFailure(), L10n::t(QStringLiteral("listing_missing_secret")));
    }
    ASSERT_EQ(shownIn.size(), 2u);
    EXPECT_NE(shownIn.front(), shownIn.back()) << "the text is the same in both languages";

    ui.hostsTheSheetAdds.clear();
    m_app->refresh();
    ASSERT_TRUE(waitFor([&] { return m_app->listingFailure().endsWith(command); }));
    const QString shown = m_app->listingFailure();
    std::string printed;
    ASSERT_TRUE(test::runPasted(shown.section(QStringLiteral("\n\n"), 1).toStdString(), m_server->secretKey, &printed))
        << printed;
    m_app->refresh();
    ASSERT_TRUE(waitFor([&] { return m_app->listingFailure().isEmpty(); }));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_THAT(shownKeys(), ElementsAre("a.txt"));
}

// A folder that cannot be opened leaves the user in the one on screen, which listed
// well: its rows stay, and no failure is told where they are.
TEST_F(AppStatePagingTest, AFolderThatCouldNotBeOpenedLeavesTheShownOneUnmarked) {
    const BucketConfig made = test::createBucket(*m_server, "open-fails");
    test::putObjects(*m_server, made, {"b.txt", "docs/a.txt"});
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());
    ASSERT_THAT(shownKeys(), ElementsAre("b.txt"));

    m_secretStore.deleteSecret(KeychainSecretStore::accountSecretAccount(bucket));
    QSignalSpy toasts(m_app.get(), &AppState::toastRequested);
    m_app->enterPrefix("docs/");
    ASSERT_TRUE(waitFor([&] { return toasts.count() > 0; }));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(m_app->currentPrefix(), "");
    EXPECT_THAT(shownKeys(), ElementsAre("b.txt"));
    EXPECT_TRUE(m_app->listingFailure().isEmpty()) << m_app->listingFailure().toStdString();
}

// ---- Without a server ----

class AppStateRunnerTest : public test::AppStateFixture {
protected:
    static std::function<QCoro::Task<>()> sleeping(std::chrono::milliseconds duration) {
        return [duration]() -> QCoro::Task<> { co_await stoppableSleep(duration, {}); };
    }
};

TEST_F(AppStateRunnerTest, TheStateStaysBusyUntilItsLastOperationEnds) {
    const QString ready = L10n::t(QStringLiteral("status_ready"));
    startDetached(m_state->run(QStringLiteral("first"), sleeping(200ms)));
    startDetached(m_state->run(QStringLiteral("second"), sleeping(800ms)));
    EXPECT_EQ(m_state->statusText(), QStringLiteral("second"));
    EXPECT_TRUE(m_state->isLoading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_state->statusText() == ready; }, 5000));
    EXPECT_TRUE(m_state->isLoading()) << "the second operation still runs";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_state->isLoading(); }, 5000));
    EXPECT_EQ(m_state->statusText(), ready);
}

TEST_F(AppStateRunnerTest, AFailureBecomesOneErrorToastAndACancellationNone) {
    QSignalSpy toasts(m_state.get(), &AppState::toastRequested);
    std::function<QCoro::Task<>()> failing = []() -> QCoro::Task<> {
        co_await stoppableSleep(10ms, {});
        throw S3Error::missingSecret();
    };
    std::function<QCoro::Task<>()> cancelled = []() -> QCoro::Task<> {
        co_await stoppableSleep(10ms, {});
        throw CancelledError();
    };
    EXPECT_TRUE(test::finishWithin(m_state->run(QStringLiteral("failing"), failing)));
    EXPECT_TRUE(test::finishWithin(m_state->run(QStringLiteral("cancelled"), cancelled)));
    ASSERT_EQ(toasts.count(), 1);
    const auto toast = toasts.front().front().value<ToastMessage>();
    EXPECT_EQ(toast.kind, ToastKind::error);
    EXPECT_EQ(toast.text, L10n::t(QStringLiteral("s3_missing_secret")));
    EXPECT_FALSE(m_state->isLoading());
    EXPECT_EQ(m_state->statusText(), L10n::t(QStringLiteral("status_ready")));
}

// What an operation throws reaches the user as the transfer queue words it, in the
// interface's language: never the system's own text of a full disk, nor English
// storage or keyring texts in the Chinese interface.
TEST_F(AppStateRunnerTest, FailuresAreToldInTheInterfacesLanguage) {
    const auto fullDisk = [] {
        return std::make_exception_ptr(std::filesystem::filesystem_error(
            "cannot write", std::filesystem::path("/tmp/open/report.pdf"), std::make_error_code(std::errc::no_space_on_device)));
    };
    const struct {
        const char* name;
        std::function<std::exception_ptr()> error;
        std::function<QString()> expected;
    } cases[] = {
        {"a full disk", fullDisk,
         [] { return L10n::t(QStringLiteral("local_no_space"), QStringLiteral("/tmp/open/report.pdf")); }},
        {"a missing secret", [] { return std::make_exception_ptr(S3Error::missingSecret()); },
         [] { return L10n::t(QStringLiteral("s3_missing_secret")); }},
        {"a refused request",
         [] {
             return std::make_exception_ptr(
                 S3Error::requestFailed(403, "<Error><Code>AccessDenied</Code><Message>Denied</Message></Error>"));
         },
         [] { return L10n::t(QStringLiteral("request_failed_detail"), "403 AccessDenied", "Denied"); }},
        {"an absent keyring",
         [] { return std::make_exception_ptr(KeychainError(KeychainError::Kind::unavailable, "no such name")); },
         [] { return L10n::t(QStringLiteral("keyring_unavailable")); }},
    };
    QSignalSpy toasts(m_state.get(), &AppState::toastRequested);
    for (const char* language : {"zh", "en"}) {
        L10n::setLanguageCode(QString::fromLatin1(language));
        for (const auto& [name, error, expected] : cases) {
            SCOPED_TRACE(std::string(language) + ": " + name);
            toasts.clear();
            std::function<QCoro::Task<>()> failing = [error]() -> QCoro::Task<> {
                co_await stoppableSleep(1ms, {});
                std::rethrow_exception(error());
            };
            ASSERT_TRUE(test::finishWithin(m_state->run(QStringLiteral("failing"), failing)));
            ASSERT_EQ(toasts.count(), 1);
            const auto toast = toasts.front().front().value<ToastMessage>();
            EXPECT_EQ(toast.kind, ToastKind::error);
            EXPECT_EQ(toast.text, expected());
        }
    }
    L10n::setLanguageCode(QStringLiteral("zh"));
    // Both tables say it their own way.
    EXPECT_NE(L10n::t(QStringLiteral("s3_missing_secret")), QStringLiteral("Missing access secret."));
}

TEST_F(AppStateRunnerTest, TheInspectorFollowsTheSelection) {
    const Uuid bucket = Uuid::random();
    AppStateTestAccess::showListing(*m_state, bucket, bucket, "", {{"a.txt", 1}, {"b.txt", 2}}, {{"docs/"}});
    const auto inspect = [&](KeySet selection) {
        m_state->setSelectedObjectKeys(std::move(selection));
        EXPECT_TRUE(test::finishWithin(m_state->refreshInspector()));
        return m_state->inlinePreviewState();
    };
    EXPECT_EQ(inspect({}), InlinePreviewState::empty());
    EXPECT_EQ(inspect({"docs/"}), InlinePreviewState::folder());
    EXPECT_EQ(inspect({"a.txt", "docs/"}), InlinePreviewState::empty());
    std::vector<InlinePreviewState> states;
    const QMetaObject::Connection recording =
        QObject::connect(m_state.get(), &AppState::inlinePreviewStateChanged, m_state.get(),
                         [&] { states.push_back(m_state->inlinePreviewState()); });
    // An object is loading at once; with no account for the bucket nothing can be fetched.
    EXPECT_EQ(inspect({"a.txt"}), InlinePreviewState::empty());
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), InlinePreviewState::loading("a.txt"));

    // With the preview pane hidden another object leaves the inspector as it was.
    AppStateTestAccess::setShowingPreview(*m_state, false);
    states.clear();
    EXPECT_EQ(inspect({"b.txt"}), InlinePreviewState::empty());
    EXPECT_TRUE(states.empty());
    QObject::disconnect(recording);
}

}  // namespace
}  // namespace tarn
