#include "AppStateTestAccess.h"
#include "ServerAppStateFixture.h"

#include "integration/FaultProxy.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

using namespace std::chrono_literals;
using tarn::test::FaultProxy;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace tarn {
namespace {

// Long enough for any wait these operations could schedule to have fired.
constexpr auto quiet = 700ms;

class AppStateListingTest : public test::ServerAppStateFixture {
protected:
    BucketConfig serverBucket(const std::string& stem, const std::vector<std::string>& keys) {
        const BucketConfig made = test::createBucket(*m_server, stem);
        if (!keys.empty()) test::putObjects(*m_server, made, keys);
        return made;
    }
};

TEST_F(AppStateListingTest, SwitchingAwayWhileAListingIsInFlightDropsItAndItsUsage) {
    const BucketConfig a = serverBucket("nav-a", {"only-in-a.txt"});
    const BucketConfig b = serverBucket("nav-b", {"only-in-b.txt", "b-folder/x.txt"});
    FaultProxy proxy(m_server->endpoint);
    const std::string proxied = proxy.start();
    const std::size_t held = proxy.addRule({"GET", "list-type=2", FaultProxy::Action::Stall});
    const BucketConfig slow = addBucket(proxied, a.bucketName);
    const BucketConfig fast = addBucket(m_server->endpoint, b.bucketName);

    m_app->switchBucket(slow.id, "");
    ASSERT_TRUE(proxy.waitForStalls(1, 10s));
    m_app->switchBucket(fast.id, "");
    ASSERT_TRUE(waitFor([&] { return m_app->bucketUsageCache().contains(fast.id); }));
    EXPECT_THAT(shownKeys(), ElementsAre("only-in-b.txt"));

    // A's answer arrives last and finds B on screen.
    proxy.releaseStalls();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(proxy.counts(held).forwarded, 1);
    QTest::qWait(quiet.count());
    EXPECT_EQ(m_app->selectedBucketID(), fast.id);
    EXPECT_THAT(shownKeys(), ElementsAre("only-in-b.txt"));
    EXPECT_THAT(shownPrefixes(), ElementsAre("b-folder/"));
    EXPECT_EQ(m_app->currentPrefix(), "");
    EXPECT_FALSE(m_app->bucketUsageCache().contains(slow.id)) << "A's usage was counted after the switch";
    EXPECT_EQ(proxy.forwardedRequests().size(), 1u) << "A's bucket was listed again for its usage";
    EXPECT_EQ(m_app->bucketUsage(), (BucketUsage{2, 2}));

    // A counted bucket shows its usage at once when it is shown again.
    m_app->switchBucket(std::nullopt, "");
    EXPECT_EQ(m_app->bucketUsage(), std::nullopt);
    m_app->switchBucket(fast.id, "");
    EXPECT_EQ(m_app->bucketUsage(), (BucketUsage{2, 2}));
    ASSERT_TRUE(waitUntilSettled());
}

TEST_F(AppStateListingTest, ReselectingTheShownBucketStartsAfreshButKeepsItsSheets) {
    const BucketConfig made = serverBucket("nav-same", {"a.txt", "docs/x.txt"});
    const BucketConfig otherMade = serverBucket("nav-other", {"docs/y.txt"});
    const BucketConfig shown = addBucket(m_server->endpoint, made.bucketName);
    const BucketConfig other = addBucket(m_server->endpoint, otherMade.bucketName);
    m_app->switchBucket(shown.id, "");
    ASSERT_TRUE(waitUntilSettled());
    ASSERT_THAT(shownKeys(), ElementsAre("a.txt"));

    m_app->setShowingNewFolder(true);
    m_app->setSelectedObjectKeys({"a.txt"});
    m_app->setSearchText("a");
    QSignalSpy searching(m_app.get(), &AppState::isSearchingChanged);
    m_app->switchBucket(shown.id, "");
    EXPECT_TRUE(m_app->showingNewFolder());
    EXPECT_THAT(m_app->selectedObjectKeys(), IsEmpty());
    EXPECT_EQ(m_app->searchText(), "");
    EXPECT_THAT(shownKeys(), IsEmpty()) << "the old listing stays until the new one arrives";
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_THAT(shownKeys(), ElementsAre("a.txt"));
    EXPECT_THAT(shownPrefixes(), ElementsAre("docs/"));
    EXPECT_THAT(m_app->config().recentBucketIDs, ElementsAre(shown.id));
    QTest::qWait(quiet.count());
    EXPECT_EQ(searching.count(), 0) << "the search typed before the switch still ran";

    // A favourite folder of another bucket: its sheets close, its folder shows at once.
    m_app->switchBucket(other.id, "docs/");
    EXPECT_FALSE(m_app->showingNewFolder());
    EXPECT_EQ(m_app->currentPrefix(), "docs/");
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_THAT(shownKeys(), ElementsAre("docs/y.txt"));
    EXPECT_THAT(m_app->config().recentBucketIDs, ElementsAre(other.id, shown.id));
}

TEST_F(AppStateListingTest, ANinthBucketPushesTheOldestOutOfTheRecentList) {
    std::vector<std::string> names;
    for (int i = 1; i <= 9; ++i) names.push_back("recent-" + std::to_string(i));
    const std::vector<BucketConfig> buckets = addAccount(m_server->endpoint, names);
    for (const BucketConfig& bucket : buckets) m_app->switchBucket(bucket.id, "");
    const std::vector<Uuid> newestFirst{buckets[8].id, buckets[7].id, buckets[6].id, buckets[5].id,
                                        buckets[4].id, buckets[3].id, buckets[2].id, buckets[1].id};
    EXPECT_EQ(m_app->config().recentBucketIDs, newestFirst);
    EXPECT_EQ(std::get<AppConfig>(m_configStore.loadRaw()).recentBucketIDs, newestFirst);

    // Shown again, a listed bucket moves to the front once.
    m_app->showBucket(buckets[4].id);
    const std::vector<Uuid> moved{buckets[4].id, buckets[8].id, buckets[7].id, buckets[6].id,
                                  buckets[5].id, buckets[3].id, buckets[2].id, buckets[1].id};
    EXPECT_EQ(m_app->config().recentBucketIDs, moved);
    ASSERT_TRUE(waitUntilSettled());

    // A list read from a file with the shown bucket first is put right all the same:
    // its duplicates go, it is cut to eight, and it is saved.
    struct Case {
        std::vector<Uuid> stored;
        std::vector<Uuid> expected;
    };
    const Uuid first = buckets[4].id;
    const std::vector<Case> cases{
        {{first, buckets[1].id, first}, {first, buckets[1].id}},
        {{first, buckets[8].id, buckets[7].id, buckets[6].id, buckets[5].id, buckets[3].id, buckets[2].id,
          buckets[1].id, buckets[0].id},
         moved},
    };
    for (const Case& c : cases) {
        AppConfig config = m_app->config();
        config.recentBucketIDs = c.stored;
        m_app->setConfig(config);
        m_app->showBucket(first);
        EXPECT_EQ(m_app->config().recentBucketIDs, c.expected);
        EXPECT_EQ(std::get<AppConfig>(m_configStore.loadRaw()).recentBucketIDs, c.expected);
        ASSERT_TRUE(waitUntilSettled());
    }
}

TEST_F(AppStateListingTest, ASearchListsTheFolderNarrowedToTheTrimmedText) {
    const BucketConfig made = serverBucket(
        "nav-search", {"docs/apple.txt", "docs/apricot.txt", "docs/banana.txt", "docs/ap-notes/1.txt", "apple.txt"});
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    m_app->switchBucket(bucket.id, "docs/");
    ASSERT_TRUE(waitUntilSettled());
    ASSERT_EQ(shownKeys().size(), 3u);

    m_app->setSearchText("  ap \n");
    ASSERT_TRUE(waitFor([&] { return m_app->isSearching(); }));
    ASSERT_TRUE(waitFor([&] { return !m_app->isSearching(); }));
    EXPECT_EQ(m_app->currentPrefix(), "docs/");
    EXPECT_THAT(shownKeys(), ElementsAre("docs/apple.txt", "docs/apricot.txt"));
    EXPECT_THAT(shownPrefixes(), ElementsAre("docs/ap-notes/"));
}

TEST_F(AppStateListingTest, TheNewestNavigationWinsOverALateListing) {
    const BucketConfig made = serverBucket("nav-newest", {"a/1.txt", "b/2.txt"});
    FaultProxy proxy(m_server->endpoint);
    const BucketConfig bucket = addBucket(proxy.start(), made.bucketName);
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());
    const std::size_t held = proxy.addRule({"GET", "prefix=a%2F", FaultProxy::Action::Stall});

    // a/ is opened and its listing held; then b/ is opened and shown.
    m_app->enterPrefix("a/");
    ASSERT_TRUE(proxy.waitForStalls(1, 10s));
    m_app->enterPrefix("b/");
    ASSERT_TRUE(waitFor([&] { return m_app->currentPrefix() == "b/"; }));
    proxy.releaseStalls();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(proxy.counts(held).forwarded, 1);
    EXPECT_EQ(m_app->currentPrefix(), "b/");
    EXPECT_THAT(shownKeys(), ElementsAre("b/2.txt"));
    EXPECT_THAT(AppStateTestAccess::backStack(*m_app), ElementsAre("", ""));

    // A reload while a folder opens lists that folder, not the one still shown.
    const std::size_t heldAgain = proxy.addRule({"GET", "prefix=a%2F", FaultProxy::Action::Stall});
    m_app->enterPrefix("a/");
    ASSERT_TRUE(proxy.waitForStalls(1, 10s));
    m_app->refreshDirectory();
    ASSERT_TRUE(waitFor([&] { return m_app->currentPrefix() == "a/"; }));
    proxy.releaseStalls();
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_EQ(proxy.counts(heldAgain).matched, 2);
    EXPECT_EQ(m_app->currentPrefix(), "a/");
    EXPECT_THAT(shownKeys(), ElementsAre("a/1.txt"));
}

TEST_F(AppStateListingTest, BackAndForwardRetraceTheFoldersSeen) {
    const BucketConfig made = serverBucket("nav-history", {"a/b/1.txt", "c/2.txt"});
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    const auto go = [&](const std::function<void()>& move) {
        move();
        return waitUntilSettled() ? m_app->currentPrefix() : std::string("(still loading)");
    };
    m_app->switchBucket(bucket.id, "");
    ASSERT_TRUE(waitUntilSettled());

    // Nothing to step back to: not even the selection changes.
    m_app->setSelectedObjectKeys({"a/"});
    m_app->goBack();
    m_app->goForward();
    m_app->goToParent();
    m_app->enterPrefix("");
    EXPECT_THAT(m_app->selectedObjectKeys(), ElementsAre("a/"));

    EXPECT_EQ(go([&] { m_app->enterPrefix("a/"); }), "a/");
    EXPECT_EQ(go([&] { m_app->enterPrefix("a/b/"); }), "a/b/");
    EXPECT_EQ(go([&] { m_app->goBack(); }), "a/");
    EXPECT_EQ(go([&] { m_app->goBack(); }), "");
    EXPECT_FALSE(m_app->canGoBack());
    EXPECT_THAT(AppStateTestAccess::forwardStack(*m_app), ElementsAre("a/b/", "a/"));
    EXPECT_EQ(go([&] { m_app->goForward(); }), "a/");

    // A new step forgets the way forward; the parent of a/b/ is a/, of a/ the root.
    EXPECT_EQ(go([&] { m_app->enterPrefix("c/"); }), "c/");
    EXPECT_FALSE(m_app->canGoForward());
    EXPECT_THAT(AppStateTestAccess::backStack(*m_app), ElementsAre("", "a/"));
    EXPECT_EQ(go([&] { m_app->goToParent(); }), "");
    EXPECT_EQ(go([&] { m_app->goBack(); }), "c/");

    // A move clears the selection and the search without searching.
    m_app->setSelectedObjectKeys({"c/2.txt"});
    m_app->setSearchText("2");
    QSignalSpy searching(m_app.get(), &AppState::isSearchingChanged);
    EXPECT_EQ(go([&] { m_app->goBack(); }), "a/");
    EXPECT_THAT(m_app->selectedObjectKeys(), IsEmpty());
    EXPECT_EQ(m_app->searchText(), "");
    QTest::qWait(quiet.count());
    EXPECT_EQ(searching.count(), 0);

    // A folder given without its final "/" still has a parent.
    m_app->switchBucket(bucket.id, "a/b");
    EXPECT_EQ(go([&] { m_app->goToParent(); }), "a/");
}

}  // namespace
}  // namespace tarn
