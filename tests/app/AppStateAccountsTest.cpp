#include "AccountsFixture.h"
#include "AppStateTestAccess.h"
#include "ScopedFileSizeLimit.h"

#include "app/text/L10n.h"
#include "core/config/BucketIdentity.h"
#include "core/config/KeychainSecretStore.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using tarn::test::finishWithin;
using tarn::test::readFile;
using tarn::test::writeFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace tarn {
namespace {

namespace fs = std::filesystem;

std::string accountOf(const std::string& endpoint, const std::string& region, const std::string& accessKeyID) {
    return KeychainSecretStore::accountSecretAccount(*Url::parse(endpoint), region, accessKeyID);
}

Uuid bucketID(const StorageProfile& profile, const std::string& name) {
    return BucketIdentity::deterministicID(profile.endpoint, profile.region, profile.accessKeyID, name);
}

std::vector<std::string> profileNames(const AppConfig& config) {
    std::vector<std::string> names;
    for (const StorageProfile& profile : config.profiles) names.push_back(profile.name);
    return names;
}

class AppStateAccountsTest : public test::AccountsFixture {
protected:
    void add(std::string name, std::vector<std::string> buckets, std::string endpoint, std::string region,
             std::string accessKeyID, std::string secret) {
        ASSERT_TRUE(finishWithin(m_state->addProfile(std::move(name), std::move(buckets), std::move(endpoint),
                                                     std::move(region), std::move(accessKeyID), std::move(secret))));
    }
};

TEST_F(AppStateAccountsTest, AddingAnAccountAgainMergesItsBuckets) {
    m_state->setShowingAddBucketEditor(true);
    add("Work", {"b", "a", "b"}, "https://s3.example.com", "r1", "AK1", "first");
    add("Ignored", {"c", "a"}, "https://s3.example.com", "r1", "AK1", "second");

    ASSERT_EQ(m_state->config().profiles.size(), 1u);
    const StorageProfile profile = m_state->config().profiles.front();
    EXPECT_EQ(profile.name, "Work") << "a merge keeps the profile's name";
    EXPECT_THAT(profile.bucketNames, ElementsAre("a", "b", "c"));
    EXPECT_EQ(reloaded().profiles, m_state->config().profiles);
    EXPECT_EQ(stored(accountOf("https://s3.example.com", "r1", "AK1")), "second");
    EXPECT_EQ(m_state->selectedBucketID(), bucketID(profile, "c")) << "the last of the new names";
    EXPECT_FALSE(m_state->showingAddBucketEditor());
    EXPECT_THAT(m_toasts, IsEmpty());
}

// The sheet that checked the keys was closed meanwhile and another is open: the
// account is added, the open sheet stays.
TEST_F(AppStateAccountsTest, AnAddForAClosedSheetLeavesTheOpenOne) {
    m_state->setShowingAddBucketEditor(true);
    ASSERT_TRUE(finishWithin(m_state->addProfile("Work", {"a"}, "https://s3.example.com", "r1", "AK1", "s", false)));
    ASSERT_EQ(m_state->config().profiles.size(), 1u);
    EXPECT_EQ(stored(accountOf("https://s3.example.com", "r1", "AK1")), "s");
    EXPECT_TRUE(m_state->showingAddBucketEditor());
}

// The host in other letters is the same account: one profile, and the secret lands
// where that profile's buckets look for it (the profile's own spelling).
TEST_F(AppStateAccountsTest, AHostInOtherLettersIsTheSameAccount) {
    add("Work", {"media"}, "https://S3.Example.com", "r1", "AK1", "old");
    add("", {"logs"}, "https://s3.example.com", "r1", "AK1", "new");

    ASSERT_EQ(m_state->config().profiles.size(), 1u);
    const StorageProfile profile = m_state->config().profiles.front();
    EXPECT_EQ(profile.endpoint.absoluteString(), "https://S3.Example.com");
    EXPECT_THAT(profile.bucketNames, ElementsAre("logs", "media"));
    EXPECT_EQ(stored(accountOf("https://S3.Example.com", "r1", "AK1")), "new");
    EXPECT_EQ(stored(accountOf("https://s3.example.com", "r1", "AK1")), std::nullopt)
        << "no item under a name no profile looks up";

    EXPECT_EQ(m_state->selectedBucketID(), bucketID(profile, "logs")) << "that profile's bucket is shown";
    const std::optional<BucketConfig> shown = m_state->selectedBucket();
    ASSERT_TRUE(shown);
    EXPECT_EQ(finishWithin(m_state->resolvedSecret(*shown)).value(), "new");
}

TEST_F(AppStateAccountsTest, OtherAccountsGetProfilesWithFreeNames) {
    add("", {"a"}, "https://s3.example.com", "r1", "AK1", "s");
    add("", {"a"}, "https://s3.example.com", "r2", "AK1", "s");
    add("Profile", {"a"}, "https://s3.example.com", "r1", "AK2", "s");
    add("Mine", {"a"}, "https://oss.example.net", "r1", "AK1", "s");
    add("Port", {"b"}, "https://s3.example.com:9000", "r1", "AK1", "s");
    EXPECT_THAT(profileNames(reloaded()), ElementsAre("Profile", "Profile (2)", "Profile (3)", "Mine"))
        << "the port is not part of the account";
    EXPECT_THAT(reloaded().profiles.front().bucketNames, ElementsAre("a", "b"));

    setProfiles({makeProfile("A", "https://h", "r", "k1", {}), makeProfile("A (2)", "https://h", "r", "k2", {})});
    EXPECT_EQ(m_state->uniqueProfileName("A"), "A (3)");
    EXPECT_EQ(m_state->uniqueProfileName("B"), "B");
    EXPECT_EQ(m_state->uniqueProfileName("a"), "a") << "names compare exactly";
}

TEST_F(AppStateAccountsTest, AnAddThatCannotStoreItsSecretChangesNothing) {
    add("Work", {}, "https://s3.example.com", "r1", "AK1", "s");
    add("Work", {"a"}, "", "r1", "AK1", "s");
    EXPECT_THAT(m_state->config().profiles, IsEmpty());
    // In the interface's language.
    EXPECT_THAT(m_toasts, ElementsAre(ToastMessage{L10n::t(QStringLiteral("s3_invalid_url")), ToastKind::error}));

    // A keyring that refuses the secret: the configuration stays as it was, the
    // sheet stays open to try again.
    class RefusingStore : public KeychainSecretStore {
    public:
        using KeychainSecretStore::KeychainSecretStore;
        void save(const std::string&, const std::string&) override {
            throw KeychainError(KeychainError::Kind::failed, "the collection is locked");
        }
        void save(const std::string&, const std::string&, const Origin&) override {
            throw KeychainError(KeychainError::Kind::failed, "the collection is locked");
        }
        using KeychainSecretStore::save;
    };
    RefusingStore refusing(m_secretStore.service());
    test::RecordingAppState state(m_configStore, refusing, m_client);
    std::vector<ToastMessage> toasts;
    QObject::connect(&state, &AppState::toastRequested, [&](const ToastMessage& toast) { toasts.push_back(toast); });
    state.setShowingAddBucketEditor(true);
    ASSERT_TRUE(finishWithin(state.addProfile("Work", {"a"}, "https://s3.example.com", "r1", "AK1", "s")));
    EXPECT_THAT(state.config().profiles, IsEmpty());
    EXPECT_FALSE(fs::exists(m_configStore.configURL()));
    EXPECT_TRUE(state.showingAddBucketEditor());
    ASSERT_EQ(toasts.size(), 1u);
    EXPECT_EQ(toasts.front().kind, ToastKind::error);
    EXPECT_THAT(toasts.front().text.toStdString(), ::testing::HasSubstr("the collection is locked"));
}

TEST_F(AppStateAccountsTest, RenamingKeepsNamesUniqueAndSaves) {
    const StorageProfile a = makeProfile("A", "https://h", "r", "k1", {});
    const StorageProfile b = makeProfile("B", "https://h", "r", "k2", {});
    setProfiles({a, b});
    QSignalSpy changes(m_state.get(), &AppState::configChanged);

    EXPECT_EQ(m_state->renameProfile(a.id, "  B\n"), "B (2)");
    EXPECT_THAT(profileNames(reloaded()), ElementsAre("B (2)", "B"));
    EXPECT_EQ(changes.count(), 1);

    EXPECT_EQ(m_state->renameProfile(b.id, " B "), "B") << "its own name: nothing to do";
    EXPECT_EQ(m_state->renameProfile(b.id, "   "), "B");
    EXPECT_EQ(m_state->renameProfile(Uuid::random(), "C"), "C");
    EXPECT_EQ(changes.count(), 1) << "none of these saved";
    EXPECT_THAT(profileNames(m_state->config()), ElementsAre("B (2)", "B"));
}

// The configuration folder's place taken by a file: the save fails (for root too),
// and the rename is undone.
TEST_F(AppStateAccountsTest, ARenameThatCannotBeSavedIsUndone) {
    const StorageProfile a = makeProfile("A", "https://h", "r", "k1", {});
    setProfiles({a});
    const fs::path folder = m_configStore.configURL().parent_path();
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    writeFile(folder, "not a folder");

    EXPECT_EQ(m_state->renameProfile(a.id, "New"), "A");
    EXPECT_THAT(profileNames(m_state->config()), ElementsAre("A"));
    ASSERT_EQ(m_toasts.size(), 1u);
    EXPECT_THAT(m_toasts.front().text.toStdString(),
                StartsWith(L10n::t(QStringLiteral("profile_rename_failed")).toStdString() + ": "));
    EXPECT_EQ(m_toasts.front().kind, ToastKind::error);
    EXPECT_EQ(readFile(folder), "not a folder");
}

// Two accounts; the first has a bucket with settings, a CDN token key, favourites, a
// private folder and is on screen.
class AppStateRemoveProfileTest : public test::AccountsFixture {
protected:
    AppStateRemoveProfileTest()
        : m_work(makeProfile("Work", "https://s3.example.com", "r1", "AK1", {"media", "logs"})),
          m_other(makeProfile("Other", "https://oss.example.net", "r2", "AK9", {"docs"})),
          m_media(bucketID(m_work, "media")), m_docs(bucketID(m_other, "docs")), m_domain(Uuid::random()) {}

    void SetUp() override {
        AccountsFixture::SetUp();
        if (IsSkipped()) return;
        AppConfig config = m_state->config();
        config.profiles = {m_work, m_other};
        config.bucketSettings[m_media.toString()] = {"Photos", {{m_domain, "https", "cdn.example.com", true}}};
        config.bucketSettings[m_docs.toString()] = {"Papers", {}};
        config.favoriteBucketIDs = {m_media, m_docs};
        config.recentBucketIDs = {m_docs, m_media};
        config.favoriteDirectories = {{m_media, "media", "a/"}, {m_docs, "docs", "b/"}};
        m_state->setConfig(config);
        m_state->saveConfig();
        m_secretStore.save("work-secret", workAccount());
        m_secretStore.save("other-secret", accountOf("https://oss.example.net", "r2", "AK9"));
        m_secretStore.save("token", cdnAccount());
        m_mediaFolder = m_state->privateFolder().previewCacheFolder(m_media);
        writeFile(m_mediaFolder / "cached.jpg", "jpeg");
        AppStateTestAccess::showListing(*m_state, m_media, m_media, "", {});
    }

    std::string workAccount() const { return accountOf("https://s3.example.com", "r1", "AK1"); }
    std::string cdnAccount() const { return KeychainSecretStore::cdnAccount(m_media, m_domain); }
    void remove(const Uuid& id) { ASSERT_TRUE(finishWithin(m_state->removeProfile(id))); }

    StorageProfile m_work;
    StorageProfile m_other;
    Uuid m_media;
    Uuid m_docs;
    Uuid m_domain;
    fs::path m_mediaFolder;
};

TEST_F(AppStateRemoveProfileTest, RemovingAnAccountTakesWhatOnlyItUsed) {
    const test::ScopedLogHome logHome;
    AppConfig withLog = m_state->config();
    withLog.debugLogging = true;
    m_state->setConfig(withLog);
    remove(m_work.id);

    const AppConfig config = reloaded();
    EXPECT_EQ(config, m_state->config());
    EXPECT_THAT(profileNames(config), ElementsAre("Other"));
    EXPECT_FALSE(config.bucketSettings.contains(m_media.toString()));
    EXPECT_TRUE(config.bucketSettings.contains(m_docs.toString()));
    EXPECT_THAT(config.favoriteBucketIDs, ElementsAre(m_docs));
    EXPECT_THAT(config.recentBucketIDs, ElementsAre(m_docs));
    EXPECT_EQ(config.favoriteDirectories, std::vector<FavoriteDirectory>({{m_docs, "docs", "b/"}}));

    EXPECT_EQ(stored(workAccount()), std::nullopt);
    EXPECT_EQ(stored(cdnAccount()), std::nullopt);
    EXPECT_EQ(stored(accountOf("https://oss.example.net", "r2", "AK9")), "other-secret");
    EXPECT_FALSE(fs::exists(m_mediaFolder.parent_path()));
    EXPECT_EQ(m_state->selectedBucketID(), m_docs) << "the first bucket left is opened";
    EXPECT_THAT(m_toasts, IsEmpty());
    const std::string log = logHome.text();
    for (const char* line : {"] removeProfile 开始 — name=Work host=s3.example.com region=r1 ak=AK1 buckets=2\n",
                             "] removeProfile 配置已落盘 — 清理孤儿桶 2 个\n", "] removeProfile 完成 — name=Work\n"}) {
        EXPECT_THAT(log, ::testing::HasSubstr(line));
    }

    remove(m_other.id);
    EXPECT_EQ(m_state->selectedBucketID(), std::nullopt) << "no bucket left";
}

// Another profile of the same account keeps the shared bucket alive.
TEST_F(AppStateRemoveProfileTest, ASharedAccountKeepsItsSecretAndSharedBuckets) {
    const StorageProfile twin = makeProfile("Twin", "https://s3.example.com", "r1", "AK1", {"media"});
    AppConfig config = m_state->config();
    config.profiles.push_back(twin);
    m_state->setConfig(config);

    remove(m_work.id);
    const AppConfig after = reloaded();
    EXPECT_THAT(profileNames(after), ElementsAre("Other", "Twin"));
    EXPECT_TRUE(after.bucketSettings.contains(m_media.toString()));
    EXPECT_THAT(after.favoriteBucketIDs, ElementsAre(m_media, m_docs));
    EXPECT_EQ(stored(workAccount()), "work-secret");
    EXPECT_EQ(stored(cdnAccount()), "token");
    EXPECT_TRUE(fs::exists(m_mediaFolder / "cached.jpg"));
    EXPECT_EQ(m_state->selectedBucketID(), m_media);
}

// A disk that is full: nothing of the account may go, in memory, on disk or in the
// keyring; once the disk has room the removal works.
TEST_F(AppStateRemoveProfileTest, ARemovalThatCannotBeSavedIsRolledBack) {
    const AppConfig before = m_state->config();
    const std::string fileBefore = readFile(m_configStore.configURL());
    {
        const test::ScopedFileSizeLimit fullDisk(64);
        remove(m_work.id);
    }
    EXPECT_EQ(m_state->config(), before);
    EXPECT_EQ(readFile(m_configStore.configURL()), fileBefore);
    EXPECT_EQ(stored(workAccount()), "work-secret");
    EXPECT_EQ(stored(cdnAccount()), "token");
    EXPECT_TRUE(fs::exists(m_mediaFolder / "cached.jpg"));
    EXPECT_EQ(m_state->selectedBucketID(), m_media);
    ASSERT_EQ(m_toasts.size(), 1u);
    EXPECT_THAT(m_toasts.front().text.toStdString(),
                StartsWith(L10n::t(QStringLiteral("profile_delete_failed")).toStdString() + ": "));

    remove(m_work.id);
    EXPECT_THAT(profileNames(reloaded()), ElementsAre("Other"));
    EXPECT_EQ(stored(workAccount()), std::nullopt);
}

// Whether the secret is still needed is decided when the keyring gets to the removal,
// against the accounts configured then: the account added again meanwhile, its secret
// stored behind a locked keyring before the removal's turn, keeps that secret. An
// account added and removed in the same run loses its secret all the same.
TEST_F(AppStateRemoveProfileTest, AnAccountAddedAgainBeforeTheRemovalsTurnKeepsItsNewSecret) {
    std::atomic<bool> open = false;
    QThreadPool& keyring = AppStateTestAccess::keyringThread(*m_state);
    keyring.start([&open] {
        while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    QCoro::Task<> adding =
        m_state->addProfile("Work again", {"media"}, "https://s3.example.com", "r1", "AK1", "the new secret", false);
    QCoro::Task<> removing = m_state->removeProfile(m_work.id);
    open = true;
    keyring.waitForDone();
    ASSERT_TRUE(finishWithin(std::move(adding)));
    ASSERT_TRUE(finishWithin(std::move(removing)));
    EXPECT_EQ(stored(workAccount()), "the new secret");
    const AppConfig config = reloaded();
    EXPECT_TRUE(std::any_of(config.profiles.begin(), config.profiles.end(),
                            [](const StorageProfile& profile) { return profile.accessKeyID == "AK1"; }));

    ASSERT_TRUE(finishWithin(m_state->addProfile("Brief", {"tmp"}, "https://brief.example.org", "r5", "AK5", "brief",
                                                 false)));
    const std::string briefAccount = accountOf("https://brief.example.org", "r5", "AK5");
    ASSERT_EQ(stored(briefAccount), "brief");
    const auto brief = std::find_if(m_state->config().profiles.begin(), m_state->config().profiles.end(),
                                    [](const StorageProfile& profile) { return profile.accessKeyID == "AK5"; });
    ASSERT_NE(brief, m_state->config().profiles.end());
    remove(brief->id);
    EXPECT_EQ(stored(briefAccount), std::nullopt);
}

TEST_F(AppStateRemoveProfileTest, AnUnknownAccountIsReported) {
    const Uuid unknown = Uuid::random();
    remove(unknown);
    EXPECT_THAT(profileNames(m_state->config()), ElementsAre("Work", "Other"));
    ASSERT_EQ(m_toasts.size(), 1u);
    EXPECT_EQ(m_toasts.front().text, L10n::t(QStringLiteral("profile_delete_failed")) +
                                         QStringLiteral(": not found (id=%1, profiles=2)")
                                             .arg(QString::fromStdString(unknown.toString())));
}

TEST_F(AppStateAccountsTest, SettingsHandOverToTheNextSheetAfterAPause) {
    const Uuid profile = Uuid::random();
    m_state->recordHistory(QStringLiteral("Upload"), QStringLiteral("a.txt"), "media", true);
    m_state->setShowingAppSettings(true);
    m_state->openHistoryFromSettings();
    EXPECT_FALSE(m_state->showingAppSettings());
    EXPECT_FALSE(m_state->showingHistory()) << "not while the settings close";
    EXPECT_EQ(reloaded().history.size(), 1u) << "the history sheet shows what was buffered";
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_state->showingHistory(); }, 5000));

    m_state->setShowingAppSettings(true);
    m_state->startEditingProfileFromSettings(profile);
    EXPECT_EQ(m_state->editingProfileID(), profile);
    EXPECT_FALSE(m_state->showingAppSettings());
    EXPECT_FALSE(m_state->showingAddBucketEditor());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_state->showingAddBucketEditor(); }, 5000));

    m_state->setShowingAddBucketEditor(false);
    m_state->startAddingProfileFromSettings();
    EXPECT_EQ(m_state->editingProfileID(), std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_state->showingAddBucketEditor(); }, 5000));
}

}  // namespace
}  // namespace tarn
