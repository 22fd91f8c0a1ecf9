#include "AppStateFixture.h"
#include "AppStateTestAccess.h"

#include "app/text/L10n.h"
#include "core/config/BucketIdentity.h"
#include "integration/S3TestBuckets.h"

#include <QSignalSpy>

#include <gmock/gmock.h>

#include <filesystem>

using tarn::test::AppStateFixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {

void PrintTo(const FavoriteDirectory& favorite, std::ostream* out) {
    *out << favorite.bucketName << " " << favorite.bucketID.toString() << " " << favorite.prefix;
}

namespace {

// One account with the buckets "media" and "logs"; every change is checked in memory
// and in what a fresh read of the configuration file finds.
class AppStatePreferencesTest : public AppStateFixture {
protected:
    AppStatePreferencesTest() : m_saves(m_state.get(), &AppState::configChanged) {
        StorageProfile profile{Uuid::random(), "Work", *Url::parse("https://s3.example.com"), "eu-1", "AKID",
                               {"media", "logs"}};
        m_media = BucketIdentity::deterministicID(profile.endpoint, "eu-1", "AKID", "media");
        m_logs = BucketIdentity::deterministicID(profile.endpoint, "eu-1", "AKID", "logs");
        AppConfig config = m_state->config();
        config.profiles = {profile};
        m_state->setConfig(config);
        m_saves.clear();
    }
    // The text tables are shared by the whole process.
    ~AppStatePreferencesTest() override { L10n::setLanguageCode(QStringLiteral("zh")); }

    AppConfig reloaded() const { return std::get<AppConfig>(ConfigStore(m_configStore.configURL()).loadRaw()); }
    bool configFileExists() const { return std::filesystem::exists(m_configStore.configURL()); }
    void select(const Uuid& bucket) { AppStateTestAccess::showListing(*m_state, bucket, bucket, "", {}); }
    FavoriteDirectory favorite(const Uuid& bucket, std::string prefix) const {
        return {bucket, bucket == m_media ? "media" : "logs", std::move(prefix)};
    }
    void setFavoriteDirectories(std::vector<FavoriteDirectory> favorites) {
        AppConfig config = m_state->config();
        config.favoriteDirectories = std::move(favorites);
        m_state->setConfig(config);
        m_saves.clear();
    }

    Uuid m_media;
    Uuid m_logs;
    QSignalSpy m_saves;
};

TEST_F(AppStatePreferencesTest, FavouriteBucketsToggleNewestFirstAndPersist) {
    m_state->toggleFavoriteBucket(m_media);
    m_state->toggleFavoriteBucket(m_logs);
    EXPECT_THAT(m_state->config().favoriteBucketIDs, ElementsAre(m_logs, m_media));
    EXPECT_THAT(reloaded().favoriteBucketIDs, ElementsAre(m_logs, m_media));

    m_state->toggleFavoriteBucket(m_media);
    EXPECT_THAT(reloaded().favoriteBucketIDs, ElementsAre(m_logs));
    m_state->toggleFavoriteBucket(m_media);
    EXPECT_THAT(reloaded().favoriteBucketIDs, ElementsAre(m_media, m_logs)) << "toggled on last, so first";
    EXPECT_EQ(m_saves.count(), 4);

    // A list that somehow holds a bucket twice loses every mention of it.
    AppConfig config = m_state->config();
    config.favoriteBucketIDs = {m_media, m_logs, m_media};
    m_state->setConfig(config);
    m_state->toggleFavoriteBucket(m_media);
    EXPECT_THAT(reloaded().favoriteBucketIDs, ElementsAre(m_logs));
}

TEST_F(AppStatePreferencesTest, FavouriteFoldersBelongToTheSelectedBucket) {
    // No bucket selected, or the bucket's root: nothing changes and nothing is saved.
    m_state->toggleFavoriteDirectory("photos/");
    select(m_media);
    m_state->toggleFavoriteDirectory("");
    EXPECT_EQ(m_saves.count(), 0);
    EXPECT_FALSE(configFileExists());
    EXPECT_THAT(m_state->config().favoriteDirectories, IsEmpty());

    m_state->toggleFavoriteDirectory("photos/");
    m_state->toggleFavoriteDirectory("docs/");
    select(m_logs);
    m_state->toggleFavoriteDirectory("photos/");
    EXPECT_THAT(reloaded().favoriteDirectories,
                ElementsAre(favorite(m_logs, "photos/"), favorite(m_media, "docs/"), favorite(m_media, "photos/")))
        << "the same prefix in another bucket is another favourite";

    m_state->toggleFavoriteDirectory("photos/");
    m_state->toggleFavoriteDirectory("Docs/");
    EXPECT_THAT(reloaded().favoriteDirectories,
                ElementsAre(favorite(m_logs, "Docs/"), favorite(m_media, "docs/"), favorite(m_media, "photos/")))
        << "prefixes compare exactly";
    EXPECT_EQ(m_saves.count(), 5);
}

TEST_F(AppStatePreferencesTest, ToggleRemovesOneDuplicateAndRemoveRemovesThemAll) {
    const FavoriteDirectory photos = favorite(m_media, "photos/");
    FavoriteDirectory renamed = photos;
    renamed.bucketName = "media (old name)";
    setFavoriteDirectories({photos, favorite(m_logs, "photos/"), renamed});

    select(m_media);
    m_state->toggleFavoriteDirectory("photos/");
    EXPECT_THAT(reloaded().favoriteDirectories, ElementsAre(favorite(m_logs, "photos/"), renamed));

    setFavoriteDirectories({photos, favorite(m_logs, "photos/"), renamed});
    m_state->removeFavoriteDirectory({photos, *m_state->selectedBucket()});
    EXPECT_THAT(reloaded().favoriteDirectories, ElementsAre(favorite(m_logs, "photos/")))
        << "the stored bucket name plays no part";

    // Saved even when there was nothing to remove.
    std::filesystem::remove(m_configStore.configURL());
    m_state->removeFavoriteDirectory({photos, *m_state->selectedBucket()});
    EXPECT_TRUE(configFileExists());
    EXPECT_EQ(m_saves.count(), 2);
}

TEST_F(AppStatePreferencesTest, TheLanguageSwitchesBeforeTheSaveNotifiesEveryTimeAndPersists) {
    QSignalSpy notifications(m_state.get(), &AppState::languageCodeChanged);
    QStringList textsSeenBySave;
    QObject::connect(m_state.get(), &AppState::configChanged, m_state.get(),
                     [&] { textsSeenBySave << L10n::t(QStringLiteral("cancel")); });

    m_state->setLanguage("en");
    m_state->setLanguage("en");
    EXPECT_EQ(notifications.count(), 2);
    EXPECT_EQ(m_state->languageCode(), "en");
    EXPECT_EQ(L10n::languageCode(), QStringLiteral("en"));
    EXPECT_EQ(textsSeenBySave, QStringList({QStringLiteral("Cancel"), QStringLiteral("Cancel")}));
    EXPECT_EQ(reloaded().languageCode, "en");

    m_state->setLanguage("zh");
    EXPECT_EQ(notifications.count(), 3);
    EXPECT_TRUE(L10n::isChinese());
    EXPECT_EQ(reloaded().languageCode, "zh");
}

TEST_F(AppStatePreferencesTest, DebugLoggingAttachesAndDetachesTheFileLogger) {
    TARN_REQUIRE_S3_SERVER(server);
    const test::ScopedLogHome home;
    const Url endpoint = *Url::parse(server.endpoint);
    const S3Credentials credentials = test::credentialsOf(server);

    m_state->setDebugLogging(true);
    EXPECT_TRUE(m_client.logger());
    EXPECT_TRUE(reloaded().debugLogging);
    const std::string before = home.text();
    m_client.listBuckets(endpoint, server.region, credentials);
    const std::string during = home.text();
    ASSERT_GT(during.size(), before.size());
    EXPECT_NE(during.find("GET", before.size()), std::string::npos) << during.substr(before.size());

    m_state->setDebugLogging(false);
    EXPECT_FALSE(m_client.logger());
    EXPECT_FALSE(reloaded().debugLogging);
    m_client.listBuckets(endpoint, server.region, credentials);
    EXPECT_EQ(home.text(), during) << "a request after the switch was turned off reached the log";
    EXPECT_EQ(m_saves.count(), 2);
}

TEST_F(AppStatePreferencesTest, TransferSettingsAreHeldToTheirRangesAndSaved) {
    constexpr std::int64_t mib = 1048576;
    const struct {
        std::int64_t given;
        std::int64_t previewLimitBytes;
        std::int64_t partSizeMB;
    } cases[] = {
        {-5, 1 * mib, 10},       {0, 1 * mib, 10},         {1, 1 * mib, 10},      {12, 12 * mib, 10},
        {15, 15 * mib, 15},      {17, 17 * mib, 15},       {1024, 1024 * mib, 1020}, {2048, 2048 * mib, 1020},
        {5000, 2048 * mib, 1020},
    };
    for (const auto& c : cases) {
        m_state->setPreviewSizeLimitMB(c.given);
        m_state->setMultipartPartSizeMB(c.given);
        const AppConfig stored = reloaded();
        EXPECT_EQ(stored.previewSizeLimitBytes, c.previewLimitBytes) << "given " << c.given;
        EXPECT_EQ(stored.multipartPartSizeMB, c.partSizeMB) << "given " << c.given;
        EXPECT_EQ(stored, m_state->config());
    }
    EXPECT_EQ(m_saves.count(), 2 * static_cast<int>(std::size(cases))) << "one publication per change";
}

TEST_F(AppStatePreferencesTest, ClosingAllSheetsHidesEachAndDropsTheParkedUploadOnly) {
    using Setter = void (AppState::*)(bool);
    using Getter = bool (AppState::*)() const;
    const std::vector<std::pair<Setter, Getter>> sheets = {
        {&AppState::setShowingAppSettings, &AppState::showingAppSettings},
        {&AppState::setShowingBucketEditor, &AppState::showingBucketEditor},
        {&AppState::setShowingAddBucketEditor, &AppState::showingAddBucketEditor},
        {&AppState::setShowingDeleteConfirm, &AppState::showingDeleteConfirm},
        {&AppState::setShowingNewFolder, &AppState::showingNewFolder},
        {&AppState::setShowingRenameMove, &AppState::showingRenameMove},
        {&AppState::setShowingShareSheet, &AppState::showingShareSheet},
        {&AppState::setShowingEditMetadata, &AppState::showingEditMetadata},
        {&AppState::setShowingHistory, &AppState::showingHistory},
        {&AppState::setShowingTempFiles, &AppState::showingTempFiles},
        {&AppState::setShowingUploadConflict, &AppState::showingUploadConflict},
        {&AppState::setShowingAbortConfirm, &AppState::showingAbortConfirm},
    };
    for (const auto& [set, get] : sheets) (m_state.get()->*set)(true);
    select(m_media);
    m_state->setSelectedObjectKey("photos/cat.jpg");
    m_state->setMoveDestinationKey("pets/cat.jpg");
    m_state->setMetadataDraft({MetadataPair{Uuid::random(), "owner", "ann"}});
    AppStateTestAccess::parkUpload(*m_state, {"/tmp/a.txt"}, "docs/", {"docs/a.txt"}, m_media);
    QSignalSpy uploads(m_state.get(), &AppState::pendingUploadURLsChanged);

    m_state->closeAllSheets();
    for (std::size_t i = 0; i < sheets.size(); ++i) EXPECT_FALSE((m_state.get()->*sheets[i].second)()) << "sheet " << i;
    EXPECT_EQ(uploads.count(), 1);
    EXPECT_THAT(m_state->pendingUploadURLs(), IsEmpty());
    EXPECT_EQ(m_state->pendingUploadDirectory(), "");
    EXPECT_THAT(m_state->pendingUploadExistingKeys(), IsEmpty());
    EXPECT_EQ(m_state->pendingUploadBucketID(), std::nullopt);

    EXPECT_EQ(m_state->selectedBucketID(), m_media);
    EXPECT_EQ(m_state->selectedObjectKey(), "photos/cat.jpg");
    EXPECT_EQ(m_state->moveDestinationKey(), "pets/cat.jpg");
    EXPECT_EQ(m_state->metadataDraft().size(), 1u);
    EXPECT_EQ(m_saves.count(), 0);
}

}  // namespace
}  // namespace tarn
