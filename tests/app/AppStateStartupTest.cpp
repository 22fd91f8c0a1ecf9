#include "AppStateFixture.h"
#include "AppStateTestAccess.h"

#include "core/config/KeychainError.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
namespace fs = std::filesystem;

namespace tarn {
namespace {

using Clock = std::chrono::steady_clock;

// The bucket "media" of the account s3.example.com / r1 / AK1, as the fixtures name it.
const std::string kMediaID = "199BB4BB-8FC9-5428-B4A5-C03AE0B69309";

std::string legacyBucket(int number) { return "11111111-0000-4000-8000-00000000000" + std::to_string(number); }
std::string domain(int number) { return "DDDDDDDD-0000-4000-8000-0000000000" + std::string(number < 10 ? "0" : "") + std::to_string(number); }
std::string cdn(const std::string& bucketID, const std::string& domainID) { return bucketID + ":cdn:" + domainID; }

// The keyring as start-up sees it, watched: each call is recorded with whether it ran on
// the main thread; chosen items cannot be read and the listing can be refused, as a
// keyring that times out does; the predecessor's items come from a service of the
// test's own.
class WatchedKeyring : public KeychainSecretStore {
public:
    struct Call {
        std::string what;
        bool onMainThread = false;
    };

    WatchedKeyring(std::string service, std::string predecessor)
        : KeychainSecretStore(std::move(service)), m_predecessor(std::move(predecessor)) {}

    using KeychainSecretStore::deleteSecret;
    using KeychainSecretStore::save;
    using KeychainSecretStore::secret;

    void migrateLegacyKeychainIfNeeded() override {
        record("move start");
        moveItemsFrom(m_predecessor);
        record("move end");
    }
    std::vector<std::string> allAccounts() const override {
        record("list");
        if (cannotList) throw KeychainError(KeychainError::Kind::timedOut, "no answer");
        return KeychainSecretStore::allAccounts();
    }
    std::optional<std::string> secret(const std::string& account) const override {
        record("read " + account);
        if (unreadable.contains(account)) throw KeychainError(KeychainError::Kind::timedOut, "no answer");
        return KeychainSecretStore::secret(account);
    }
    std::optional<std::string> secret(const std::string& account, const Origin& origin) const override {
        record("read " + account);
        if (unreadable.contains(account)) throw KeychainError(KeychainError::Kind::timedOut, "no answer");
        return KeychainSecretStore::secret(account, origin);
    }
    void save(const std::string& secret, const std::string& account) override {
        record("save " + account);
        KeychainSecretStore::save(secret, account);
    }
    void save(const std::string& secret, const std::string& account, const Origin& origin) override {
        record("save " + account);
        KeychainSecretStore::save(secret, account, origin);
    }
    void deleteSecret(const std::string& account) override {
        record("delete " + account);
        KeychainSecretStore::deleteSecret(account);
    }

    std::vector<Call> calls() const {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::string> callsStartingWith(const std::string& what) const {
        std::vector<std::string> found;
        for (const Call& call : calls()) {
            if (call.what.starts_with(what)) found.push_back(call.what.substr(what.size()));
        }
        return found;
    }
    // Every item of the service with its secret, read past the watch.
    std::map<std::string, std::string> items() const {
        std::map<std::string, std::string> found;
        for (const std::string& account : KeychainSecretStore::allAccounts()) {
            found[account] = KeychainSecretStore::secret(account).value_or("(not text)");
        }
        return found;
    }
    void put(const std::map<std::string, std::string>& items) {
        for (const auto& [account, secret] : items) KeychainSecretStore::save(secret, account);
    }
    const std::string& predecessor() const { return m_predecessor; }

    // Set before start-up; read by its work on the pool.
    std::set<std::string> unreadable;
    bool cannotList = false;

private:
    void record(std::string what) const {
        const bool onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        const std::lock_guard lock(m_mutex);
        m_calls.push_back({std::move(what), onMainThread});
    }

    std::string m_predecessor;
    mutable std::mutex m_mutex;
    mutable std::vector<Call> m_calls;
};

// A state whose bucket sync only records when it ran (start-up must not reach the
// fixtures' made-up servers); a sync can be made to take a while.
class StartupState : public test::RecordingAppState {
public:
    struct Syncs {
        std::vector<Clock::time_point> starts;
        std::vector<Clock::time_point> ends;
    };

    using RecordingAppState::RecordingAppState;

    QCoro::Task<> syncAllBuckets() override {
        const std::shared_ptr<Syncs> record = syncs;
        record->starts.push_back(Clock::now());
        // Like a real sync, touch nothing of the state once it has waited.
        if (syncTakes.count() > 0) co_await stoppableSleep(syncTakes, {});
        record->ends.push_back(Clock::now());
    }

    std::shared_ptr<Syncs> syncs = std::make_shared<Syncs>();
    std::chrono::milliseconds syncTakes{0};
};

class AppStateStartupTest : public test::AppStateFixture {
protected:
    AppStateStartupTest()
        : m_keyring("app.TarnManager.test." + Uuid::random().toString(),
                    "app.TarnDesk.test." + Uuid::random().toString()) {
        m_startup = makeState();
    }

    ~AppStateStartupTest() override {
        m_startup.reset();
        if (!test::hasTestKeyring()) return;
        for (const std::string& service : {m_keyring.service(), m_keyring.predecessor()}) {
            KeychainSecretStore store(service);
            for (const std::string& account : store.allAccounts()) store.deleteSecret(account);
        }
    }

    void SetUp() override {
        if (!test::hasTestKeyring()) GTEST_SKIP() << "TARN_TEST_KEYRING is not set; run scripts/test";
    }

    std::unique_ptr<StartupState> makeState() {
        auto state = std::make_unique<StartupState>(m_configStore, m_keyring, m_client);
        QObject::connect(state.get(), &AppState::toastRequested,
                         [this](const ToastMessage& message) { m_toasts.push_back(message); });
        return state;
    }

    const fs::path& configFile() const { return m_configStore.configURL(); }
    void writeConfig(const std::string& bytes) {
        fs::create_directories(configFile().parent_path());
        test::writeFile(configFile(), bytes);
    }
    static std::string fixture(const std::string& name) { return test::readTestData("config/" + name); }
    // The saved file, with the fresh random IDs of migrated profiles blanked out.
    json savedConfig() const {
        json saved = json::parse(test::readFile(configFile()));
        for (json& profile : saved["profiles"]) {
            EXPECT_TRUE(Uuid::parse(profile["id"].get<std::string>())) << profile["id"];
        }
        return saved;
    }
    static json withoutProfileIDs(json config) {
        for (json& profile : config["profiles"]) profile["id"] = "(generated)";
        return config;
    }
    // The migrated configuration once start-up has opened the first bucket, which
    // puts it in front of the recent buckets.
    static json openedFirst(json config, const std::vector<BucketConfig>& buckets) {
        json& recent = config["recentBucketIDs"];
        recent.insert(recent.begin(), buckets.front().id.toString());
        return config;
    }
    std::vector<std::string> configFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(configFile().parent_path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    bool start(StartupState& state) { return test::finishWithin(state.loadIfNeeded(), 30s); }

    WatchedKeyring m_keyring;
    std::unique_ptr<StartupState> m_startup;
    std::vector<ToastMessage> m_toasts;
};

TEST_F(AppStateStartupTest, ALegacyFileStartsAsSchemaTwoWithItsSecretsOnTheAccounts) {
    const std::string original = fixture("legacy.json");
    writeConfig(original);
    m_keyring.put({
        // "archive" spells its host in lower case; its profile (Work) spells it
        // "S3.Example.com", and that is the item the account's buckets read.
        {legacyBucket(3), "archive-secret"},
        {legacyBucket(4), "media-copy-secret"},  // the account is filled already by then
        {"s3acct|s3.example.com|r1|AK2", "backups-account"},
        {legacyBucket(2), "backups-old"},  // never over an account's own secret
        {legacyBucket(5), "logs-secret"},
        {cdn(legacyBucket(1), domain(1)), "cdn-one"},
        {cdn(legacyBucket(4), domain(3)), "cdn-three"},
        {"s3acct|gone.example.com|r9|AK9", "stale account"},
        {cdn("77777777-0000-4000-8000-000000000007", domain(99)), "stale cdn key"},
    });
    KeychainSecretStore(m_keyring.predecessor()).save("from the predecessor", cdn(kMediaID, domain(42)));

    ASSERT_TRUE(start(*m_startup));

    // Opening the first bucket made it the most recent one.
    const std::vector<BucketConfig> buckets = m_startup->allBuckets();
    ASSERT_FALSE(buckets.empty());
    EXPECT_EQ(withoutProfileIDs(savedConfig()), openedFirst(json::parse(fixture("legacy.expected.json")), buckets));
    EXPECT_EQ(test::readFile(m_configStore.legacyBackupURL()), original);
    EXPECT_EQ(m_keyring.items(), (std::map<std::string, std::string>{
                                     {"s3acct|S3.Example.com|r1|AK1", "archive-secret"},
                                     {"s3acct|s3.example.com|r1|AK2", "backups-account"},
                                     {"s3acct|oss.example.net|r2|AK3", "logs-secret"},
                                     {cdn(kMediaID, domain(1)), "cdn-one"},
                                     {cdn(kMediaID, domain(3)), "cdn-three"},
                                     {cdn(kMediaID, domain(42)), "from the predecessor"},
                                 }));
    EXPECT_THAT(KeychainSecretStore(m_keyring.predecessor()).allAccounts(), IsEmpty());
    EXPECT_THAT(m_keyring.callsStartingWith("save s3acct|s3.example.com|r1|AK2"), IsEmpty());

    // The predecessor's items are moved before anything is read, and nothing of the
    // keyring runs on the main thread.
    const std::vector<WatchedKeyring::Call> calls = m_keyring.calls();
    ASSERT_THAT(calls, SizeIs(::testing::Gt(2u)));
    EXPECT_EQ(calls[0].what, "move start");
    const auto moved = std::find_if(calls.begin(), calls.end(),
                                    [](const WatchedKeyring::Call& call) { return call.what == "move end"; });
    ASSERT_NE(moved, calls.end());
    // The move stores what it moves through the same store; start-up's own calls come after it.
    for (auto call = calls.begin(); call != moved; ++call) EXPECT_FALSE(call->what.starts_with("read ")) << call->what;
    for (const WatchedKeyring::Call& call : calls) EXPECT_FALSE(call.onMainThread) << call.what;

    // Then the language, the log, the first bucket of the first profile, the sync.
    EXPECT_EQ(m_startup->languageCode(), "en");
    EXPECT_TRUE(static_cast<bool>(m_client.logger())) << "debug logging is on in the file";
    EXPECT_EQ(buckets.front().bucketName, "archive");
    EXPECT_EQ(m_startup->selectedBucketID(), buckets.front().id);
    ASSERT_THAT(m_startup->record->listings, SizeIs(1u));
    EXPECT_EQ(m_startup->record->listings[0].prefix, "");
    EXPECT_THAT(m_startup->syncs->starts, SizeIs(1u));
    EXPECT_THAT(m_toasts, IsEmpty());

    // Once per process.
    ASSERT_TRUE(start(*m_startup));
    EXPECT_EQ(m_keyring.calls().size(), calls.size());
    EXPECT_THAT(m_startup->syncs->starts, SizeIs(1u));
    m_client.setLogger({});
}

TEST_F(AppStateStartupTest, ASchemaOneFileIsUpgradedAndItsCDNKeysFollowTheNewBucketIDs) {
    writeConfig(fixture("schema1.json"));
    m_keyring.put({
        {"s3acct|S3.Example.com|r1|AK1", "main"},
        {"s3acct|s3.example.com|r1|AK2", "other"},
        {cdn("AB2141D7-C0D4-5B0A-96AE-59782F1EB751", domain(11)), "shared-key"},
        {"22222222-0000-4000-8000-000000000001", "a per-bucket secret nothing reads"},
    });

    ASSERT_TRUE(start(*m_startup));

    const std::vector<BucketConfig> buckets = m_startup->allBuckets();
    ASSERT_FALSE(buckets.empty());
    EXPECT_EQ(savedConfig(), openedFirst(json::parse(fixture("schema1.expected.json")), buckets));
    EXPECT_FALSE(fs::exists(m_configStore.legacyBackupURL()));
    EXPECT_EQ(m_keyring.items(), (std::map<std::string, std::string>{
                                     {"s3acct|S3.Example.com|r1|AK1", "main"},
                                     {"s3acct|s3.example.com|r1|AK2", "other"},
                                     {cdn("E0A850C1-145B-5C77-A74D-80478BFAF419", domain(11)), "shared-key"},
                                 }));
    EXPECT_EQ(m_startup->languageCode(), "zh");
    EXPECT_EQ(m_startup->selectedBucketID(), buckets.front().id);
}

TEST_F(AppStateStartupTest, ASchemaTwoFileIsNotRewrittenAndOnlyStaleItemsGo) {
    const std::string original = fixture("schema2.json");
    writeConfig(original);
    const std::string anyDomain = cdn(kMediaID, Uuid::random().toString());
    m_keyring.put({
        {"s3acct|s3.example.com|r1|AK1", "main"},
        {anyDomain, "a key of a configured bucket, whatever its domain"},
        {cdn("77777777-0000-4000-8000-000000000007", domain(21)), "a key of a bucket that is gone"},
        {"s3acct|S3.EXAMPLE.COM|r1|AK1", "another spelling no profile uses"},
        {"33333333-0000-4000-8000-000000000001", "per-bucket"},
        {"::cdn:", "no bucket"},
    });

    ASSERT_TRUE(start(*m_startup));

    EXPECT_EQ(test::readFile(configFile()), original);
    EXPECT_THAT(configFolder(), ElementsAre("config.json"));
    EXPECT_EQ(m_keyring.items(), (std::map<std::string, std::string>{
                                     {"s3acct|s3.example.com|r1|AK1", "main"},
                                     {anyDomain, "a key of a configured bucket, whatever its domain"},
                                 }));
    EXPECT_THAT(m_keyring.callsStartingWith("save "), IsEmpty());
    EXPECT_EQ(m_startup->languageCode(), "en");
    EXPECT_FALSE(static_cast<bool>(m_client.logger())) << "debug logging is off in the file";
    EXPECT_EQ(m_startup->selectedBucketID(), Uuid::parse(kMediaID));
    EXPECT_THAT(m_startup->syncs->starts, SizeIs(1u));
}

// An item that could not be read may hold the only copy of a secret: start-up neither
// overwrites it nor deletes it, nor the old item whose secret could not be copied.
TEST_F(AppStateStartupTest, ItemsThatCouldNotBeReadAreNeitherOverwrittenNorDeleted) {
    writeConfig(fixture("legacy.json"));
    const std::string logsAccount = "s3acct|oss.example.net|r2|AK3";
    m_keyring.put({
        {logsAccount, "logs-account"},
        {legacyBucket(5), "logs-old"},
        {cdn(legacyBucket(1), domain(1)), "cdn-one"},
        {legacyBucket(3), "archive-secret"},
    });
    m_keyring.unreadable = {logsAccount, cdn(legacyBucket(1), domain(1))};

    ASSERT_TRUE(start(*m_startup));

    EXPECT_EQ(m_keyring.items(), (std::map<std::string, std::string>{
                                     {"s3acct|S3.Example.com|r1|AK1", "archive-secret"},
                                     {logsAccount, "logs-account"},
                                     {legacyBucket(5), "logs-old"},
                                     {cdn(legacyBucket(1), domain(1)), "cdn-one"},
                                 }));
    EXPECT_THAT(m_keyring.callsStartingWith("save " + logsAccount), IsEmpty());
    EXPECT_EQ(json::parse(test::readFile(configFile()))["schemaVersion"], 2);
}

TEST_F(AppStateStartupTest, AKeyringThatCannotListIsNotCleaned) {
    writeConfig(fixture("schema2.json"));
    const std::map<std::string, std::string> items{
        {"s3acct|s3.example.com|r1|AK1", "main"},
        {"s3acct|gone.example.com|r9|AK9", "stale"},
        {"33333333-0000-4000-8000-000000000001", "per-bucket"},
    };
    m_keyring.put(items);
    m_keyring.cannotList = true;

    ASSERT_TRUE(start(*m_startup));

    EXPECT_EQ(m_keyring.items(), items);
    EXPECT_THAT(m_keyring.callsStartingWith("delete "), IsEmpty());
    EXPECT_EQ(m_startup->selectedBucketID(), Uuid::parse(kMediaID)) << "start-up goes on";
    EXPECT_THAT(m_startup->syncs->starts, SizeIs(1u));
}

// The user adds an account again under an old account name while start-up cleans the
// keyring: the secret just stored stays, whether its store or the clean-up goes first.
TEST_F(AppStateStartupTest, AnAccountAddedAgainDuringTheCleanUpKeepsItsNewSecret) {
    const std::string account = "s3acct|again.example.com|r3|AK3";
    for (const bool addedFirst : {false, true}) {
        SCOPED_TRACE(addedFirst ? "added first" : "clean-up first");
        m_keyring.put({{account, "the old secret"}});
        std::unique_ptr<StartupState> state = makeState();
        // Both wait behind whatever holds the keyring's thread.
        std::atomic<bool> open = false;
        QThreadPool& keyring = AppStateTestAccess::keyringThread(*state);
        keyring.start([&open] {
            while (!open) std::this_thread::sleep_for(1ms);
        });
        std::optional<QCoro::Task<>> adding;
        const auto add = [&] {
            adding.emplace(state->addProfile("Again", {"box"}, "https://again.example.com", "r3", "AK3", "the new secret",
                                             false));
        };
        if (addedFirst) add();
        QCoro::Task<> cleaning = AppStateTestAccess::cleanUpKeyring(*state);
        if (!addedFirst) add();
        // Whatever either does meanwhile on other threads is done; then the keyring's
        // queue runs to its end before the main thread hears of any of it.
        AppStateTestAccess::workers(*state).waitForDone();
        open = true;
        keyring.waitForDone();
        ASSERT_TRUE(test::finishWithin(std::move(*adding), 30s));
        ASSERT_TRUE(test::finishWithin(std::move(cleaning), 30s));
        AppStateTestAccess::workers(*state).waitForDone();

        const std::map<std::string, std::string> items = m_keyring.items();
        EXPECT_EQ(items.contains(account) ? items.at(account) : "(deleted)", "the new secret");
        ASSERT_THAT(state->config().profiles, SizeIs(1u));
        EXPECT_EQ(state->config().profiles[0].accessKeyID, "AK3");
        state.reset();
        m_keyring.deleteSecret(account);
    }
}

TEST_F(AppStateStartupTest, AnUnreadableFileIsKeptAsideAndSurvivesLaterSaves) {
    const std::string broken = fixture("schema2.json").substr(0, 200);
    writeConfig(broken);
    m_keyring.put({{"s3acct|s3.example.com|r1|AK1", "main"}});
    const std::string languageBefore = m_startup->languageCode();

    ASSERT_TRUE(start(*m_startup));

    const auto copies = [&] {
        std::vector<fs::path> found;
        for (const std::string& name : configFolder()) {
            if (name.starts_with("config.json.unreadable-")) found.push_back(configFile().parent_path() / name);
        }
        return found;
    };
    ASSERT_THAT(copies(), SizeIs(1u));
    const fs::path copy = copies().front();
    EXPECT_EQ(test::readFile(copy), broken);
    ASSERT_THAT(m_toasts, SizeIs(1u));
    EXPECT_EQ(m_toasts[0].kind, ToastKind::error);
    EXPECT_TRUE(m_toasts[0].text.contains(QString::fromStdString(copy.string()))) << m_toasts[0].text.toStdString();

    // Start-up ends there: defaults, no keyring call, no bucket, no sync, no language.
    EXPECT_EQ(m_startup->config(), ConfigStore::defaultConfig());
    EXPECT_THAT(m_keyring.calls(), IsEmpty());
    EXPECT_EQ(m_keyring.items().size(), 1u);
    EXPECT_EQ(m_startup->selectedBucketID(), std::nullopt);
    EXPECT_THAT(m_startup->record->listings, IsEmpty());
    EXPECT_THAT(m_startup->syncs->starts, IsEmpty());
    EXPECT_EQ(m_startup->languageCode(), languageBefore);
    ASSERT_TRUE(start(*m_startup));
    EXPECT_THAT(m_toasts, SizeIs(1u)) << "a failed start is not tried again";

    // Saves replace the file with the defaults; the copy keeps the user's accounts.
    m_startup->setPreviewSizeLimitMB(8);
    m_startup->recordHistory(QStringLiteral("Upload"), QStringLiteral("a.txt"), "media", true);
    m_startup->flushHistory();
    const auto saved = m_configStore.loadRaw();
    ASSERT_TRUE(std::holds_alternative<AppConfig>(saved));
    EXPECT_THAT(std::get<AppConfig>(saved).history, SizeIs(1u));
    EXPECT_EQ(test::readFile(copy), broken);

    // The next start with the same broken file names the copy it already has.
    writeConfig(broken);
    m_toasts.clear();
    m_startup = makeState();
    ASSERT_TRUE(start(*m_startup));
    EXPECT_THAT(copies(), ElementsAre(copy));
    ASSERT_THAT(m_toasts, SizeIs(1u));
    EXPECT_TRUE(m_toasts[0].text.contains(QString::fromStdString(copy.string())));
}

TEST_F(AppStateStartupTest, TheSyncTimerWaitsItsIntervalAfterEachSyncHasEnded) {
    constexpr auto interval = 150ms;
    constexpr auto takes = 100ms;
    // Timers are precise to the millisecond, and a round may start that much early.
    constexpr auto slack = 3ms;
    AppStateTestAccess::setSyncInterval(*m_startup, interval);
    m_startup->syncTakes = takes;
    const StartupState::Syncs& syncs = *m_startup->syncs;
    const auto expectSpacedFrom = [&](std::size_t first) {
        for (std::size_t i = first; i + 1 < syncs.starts.size() && i < syncs.ends.size(); ++i) {
            EXPECT_GE(syncs.starts[i + 1] - syncs.ends[i], interval - slack) << "round " << i;
            EXPECT_GE(syncs.starts[i + 1] - syncs.starts[i], takes + interval - slack) << "round " << i;
        }
    };

    m_startup->startSyncTimer();
    EXPECT_THAT(syncs.starts, SizeIs(1u)) << "the first sync starts at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return syncs.ends.size() >= 3; }, 5000));
    expectSpacedFrom(0);

    // Restarted while it sleeps: a sync at once, and from then on one timer, not two.
    const std::size_t restartedAt = syncs.starts.size();
    m_startup->startSyncTimer();
    EXPECT_THAT(syncs.starts, SizeIs(restartedAt + 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return syncs.ends.size() >= restartedAt + 3; }, 5000));
    expectSpacedFrom(restartedAt);
    EXPECT_LE(syncs.starts.size(), syncs.ends.size() + 1) << "two syncs ran at once";
}

}  // namespace
}  // namespace tarn
