#include "AppStateFixture.h"
#include "AppStateTestAccess.h"
#include "TestRecords.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/BucketIdentity.h"

#include <gmock/gmock.h>

using tarn::test::AppStateFixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {

// Readable failures for the records compared below.
void PrintTo(const ObjectItem& item, std::ostream* out) { *out << "object " << item.key << " (" << item.size << ")"; }
void PrintTo(const ObjectPrefix& prefix, std::ostream* out) { *out << "folder " << prefix.prefix; }
void PrintTo(const PathItem& item, std::ostream* out) { *out << item.title.toStdString() << " -> " << item.prefix; }

namespace {

ObjectItem object(std::string key, std::int64_t size = 1) { return {std::move(key), size}; }

TransferTask task(TransferSpec spec, TransferState state, std::optional<Uuid> bucketID, std::string title = "t") {
    TransferTask result = test::transferTask(std::move(spec), state, bucketID, std::move(title));
    result.bytesTotal = 42;
    return result;
}

// One account with the buckets "media" (shown as "Media Library", with two CDN
// domains) and "logs", plus the state showing media/photos/.
class AppStateDerivedTest : public AppStateFixture {
protected:
    AppStateDerivedTest() {
        const test::WorkAccount account = test::workAccount();
        m_profile = account.profile;
        m_media = account.media;
        m_logs = account.logs;

        AppConfig config = m_state->config();
        config.profiles = {m_profile};
        BucketSettings settings;
        settings.displayName = "Media Library";
        settings.publicDomains = {{Uuid::random(), "https", "cdn.example.com", false},
                                  {Uuid::random(), "http", "second.example.com", true}};
        config.bucketSettings[m_media.toString()] = settings;
        m_state->setConfig(config);
    }

    void showMedia(std::optional<Uuid> listingBucket) {
        AppStateTestAccess::showListing(*m_state, m_media, listingBucket, "photos/",
                                        {object("photos/"), object("photos/a.jpg", 10), object("photos/b.jpg", 20),
                                         object("photos/old/")},
                                        {{"photos/2024/"}, {"photos/2025/"}});
    }

    void setTasks(std::vector<TransferTask> tasks) { AppStateTestAccess::setTasks(m_state->transfers(), std::move(tasks)); }

    StorageProfile m_profile;
    Uuid m_media;
    Uuid m_logs;
};

TEST_F(AppStateDerivedTest, BucketsComeFromTheProfileAndTheBucketSettings) {
    const std::vector<BucketConfig> buckets = m_state->buckets(m_profile);
    ASSERT_EQ(buckets.size(), 2u);
    EXPECT_EQ(buckets[0].id, m_media);
    EXPECT_EQ(buckets[0].displayName, "Media Library");
    EXPECT_EQ(buckets[0].bucketName, "media");
    EXPECT_EQ(buckets[0].endpoint, m_profile.endpoint);
    EXPECT_EQ(buckets[0].region, "eu-1");
    EXPECT_EQ(buckets[0].accessKeyID, "AKID");
    ASSERT_TRUE(buckets[0].publicBaseURL);
    EXPECT_EQ(buckets[0].publicBaseURL->absoluteString(), "https://cdn.example.com");
    EXPECT_EQ(buckets[0].publicDomains.size(), 2u);
    EXPECT_EQ(buckets[1].displayName, "logs");
    EXPECT_FALSE(buckets[1].publicBaseURL);
    EXPECT_EQ(m_state->allBuckets(), buckets);

    // An empty display name is used as it is; no domains give no base URL.
    AppConfig config = m_state->config();
    config.bucketSettings[m_media.toString()] = BucketSettings{std::string(), {}};
    m_state->setConfig(config);
    EXPECT_EQ(m_state->buckets(m_profile)[0].displayName, "");
    EXPECT_FALSE(m_state->buckets(m_profile)[0].publicBaseURL);
}

TEST_F(AppStateDerivedTest, TheSelectedBucketMustStillExist) {
    EXPECT_FALSE(m_state->selectedBucket());
    showMedia(m_media);
    ASSERT_TRUE(m_state->selectedBucket());
    EXPECT_EQ(m_state->selectedBucket()->bucketName, "media");

    AppConfig config = m_state->config();
    config.profiles.clear();
    m_state->setConfig(config);
    EXPECT_THAT(m_state->allBuckets(), IsEmpty());
    EXPECT_FALSE(m_state->selectedBucket());
}

TEST_F(AppStateDerivedTest, SelectionsAreEmptyWhileTheListingBelongsToAnotherBucket) {
    for (const std::optional<Uuid>& listing : {std::optional<Uuid>(m_logs), std::optional<Uuid>()}) {
        showMedia(listing);
        m_state->setSelectedObjectKey("photos/a.jpg");
        m_state->setSelectedObjectKeys({"photos/a.jpg", "photos/2024/"});
        EXPECT_THAT(m_state->selectedObjects(), IsEmpty());
        EXPECT_THAT(m_state->selectedPrefixes(), IsEmpty());
        EXPECT_FALSE(m_state->inspectorObject());
        EXPECT_FALSE(m_state->inspectorPrefix());
    }
    showMedia(m_media);
    EXPECT_THAT(m_state->selectedObjects(), ElementsAre(object("photos/a.jpg", 10)));
    EXPECT_THAT(m_state->selectedPrefixes(), ElementsAre(ObjectPrefix{"photos/2024/"}));
}

// Rows of a folder that came in many pages are found by key, in listing order,
// whether a few rows are selected or all of them; a first page that repeats a key
// gives every copy, as the listing holds them.
TEST_F(AppStateDerivedTest, SelectionsFindTheObjectsOfEveryPageInListingOrder) {
    const auto key = [](int i) { return "photos/k-" + std::to_string(10000 + i); };
    std::vector<ObjectItem> first;
    for (int i = 0; i < 1000; ++i) first.push_back(object(key(i), i));
    AppStateTestAccess::showListing(*m_state, m_media, m_media, "photos/", first);
    for (int page = 1; page < 20; ++page) {
        S3Listing next;
        for (int i = page * 1000 - 100; i < page * 1000 + 1000; ++i) {
            next.objects.push_back({key(i), -1, std::nullopt, std::nullopt, "etag-" + std::to_string(i)});
        }
        AppStateTestAccess::appendPage(*m_state, std::move(next));
    }
    ASSERT_EQ(m_state->objects().size(), 20000u);

    m_state->setSelectedObjectKeys({key(19999), key(3), key(10500), "photos/none", "upload:nothing"});
    const std::vector<ObjectItem> few = m_state->selectedObjects();
    ASSERT_EQ(few.size(), 3u);
    EXPECT_EQ(few[0], object(key(3), 3));
    EXPECT_EQ(few[1].key, key(10500));
    EXPECT_EQ(few[2].key, key(19999));
    EXPECT_EQ(m_state->knownETag(key(10500)), "etag-10500");
    EXPECT_EQ(m_state->knownETag(key(999)), std::nullopt) << "the first page's copy has none";

    KeySet all;
    for (const ObjectItem& item : m_state->objects()) all.insert(item.key);
    m_state->setSelectedObjectKeys(all);
    const std::vector<ObjectItem> every = m_state->selectedObjects();
    ASSERT_EQ(every.size(), 20000u);
    EXPECT_EQ(every.front().key, key(0));
    EXPECT_EQ(every.back().key, key(19999));

    AppStateTestAccess::showListing(*m_state, m_media, m_media, "photos/",
                                    {object("photos/a.jpg", 1), object("photos/b.jpg", 2), object("photos/a.jpg", 3)});
    m_state->setSelectedObjectKeys({"photos/a.jpg"});
    EXPECT_THAT(m_state->selectedObjects(), ElementsAre(object("photos/a.jpg", 1), object("photos/a.jpg", 3)));
}

TEST_F(AppStateDerivedTest, ASingleSelectionNamesAnObjectButNeverAFolder) {
    showMedia(m_media);
    m_state->setSelectedObjectKey("photos/b.jpg");
    EXPECT_THAT(m_state->selectedObjects(), ElementsAre(object("photos/b.jpg", 20)));
    EXPECT_EQ(m_state->inspectorObject(), object("photos/b.jpg", 20));

    m_state->setSelectedObjectKey("photos/2024/");
    EXPECT_THAT(m_state->selectedPrefixes(), IsEmpty());
    EXPECT_FALSE(m_state->inspectorPrefix());

    // One object and one folder: the inspector shows neither.
    m_state->setSelectedObjectKeys({"photos/a.jpg", "photos/2025/"});
    EXPECT_FALSE(m_state->inspectorObject());
    EXPECT_FALSE(m_state->inspectorPrefix());
    m_state->setSelectedObjectKeys({"photos/2025/"});
    EXPECT_EQ(m_state->inspectorPrefix(), ObjectPrefix{"photos/2025/"});
}

TEST_F(AppStateDerivedTest, SelectedRowsOfTheTransferQueueStandForTheirObjectsAndFolders) {
    showMedia(m_media);
    TransferTask uploaded = task({TransferSpec::Upload{"/tmp/c.jpg", "photos/", UploadConflictMode::rename}},
                                 TransferState::succeeded, m_media, "c.jpg");
    uploaded.succeededObjectKey = "photos/c 2.jpg";
    uploaded.completedAt = std::chrono::system_clock::now();
    const TransferTask stillUploading =
        task({TransferSpec::Upload{"/tmp/d.jpg", "photos/", UploadConflictMode::ask}}, TransferState::running, m_media);
    TransferTask uploadedElsewhere = uploaded;
    uploadedElsewhere.id = Uuid::random();
    uploadedElsewhere.bucketID = m_logs;
    TransferTask moving = task({TransferSpec::Rename{"photos/a.jpg", "archive/a.jpg", false}}, TransferState::waiting,
                               m_media, "a.jpg");
    moving.sourceETag = "\"etag-a\"";
    const TransferTask failedMove =
        task({TransferSpec::Rename{"photos/b.jpg", "archive/b.jpg", false}}, TransferState::failed, m_media);
    TransferTask uploadedFolder = task({TransferSpec::Upload{"/tmp/trip", "photos/", UploadConflictMode::ask}},
                                       TransferState::succeeded, m_media, "trip");
    uploadedFolder.isFolder = true;
    TransferTask movedFolder =
        task({TransferSpec::Rename{"photos/2024/", "archive/2024", true}}, TransferState::succeeded, m_media);
    movedFolder.isFolder = true;
    const std::vector<TransferTask> tasks = {uploaded, stillUploading, uploadedElsewhere, moving,
                                             failedMove, uploadedFolder, movedFolder};
    setTasks(tasks);
    KeySet keys = {"photos/a.jpg"};
    for (const TransferTask& t : tasks) keys.insert(t.placeholderKey());
    m_state->setSelectedObjectKeys(keys);

    const std::vector<ObjectItem> objects = m_state->selectedObjects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0], object("photos/a.jpg", 10));
    EXPECT_EQ(objects[1], (ObjectItem{"photos/c 2.jpg", 42, uploaded.completedAt, std::nullopt, std::nullopt}));
    EXPECT_EQ(objects[2], (ObjectItem{"archive/a.jpg", 42, std::nullopt, std::nullopt, "\"etag-a\""}));
    EXPECT_THAT(m_state->selectedPrefixes(), ElementsAre(ObjectPrefix{"photos/trip/"}, ObjectPrefix{"archive/2024/"}));
}

TEST_F(AppStateDerivedTest, FolderMarkersAreNeverShownAsObjects) {
    showMedia(m_media);
    EXPECT_THAT(m_state->displayedObjects(), ElementsAre(object("photos/a.jpg", 10), object("photos/b.jpg", 20)));
}

TEST_F(AppStateDerivedTest, TheSearchIsAPrefixInsideTheFolderTrimmedOfWhiteSpace) {
    AppStateTestAccess::setSuppressSearchReload(*m_state, true);
    const struct {
        const char* search;
        const char* effective;
    } cases[] = {
        {"", "a/"},
        {"   ", "a/"},
        {"\xE3\x80\x80\t\n", "a/"},  // ideographic space, tab, line feed
        {"  IMG_\n", "a/IMG_"},
        {"\xE3\x80\x80" "\xE7\x85\xA7\xE7\x89\x87 x\xC2\xA0", "a/\xE7\x85\xA7\xE7\x89\x87 x"},
    };
    for (const auto& c : cases) {
        m_state->setSearchText(c.search);
        EXPECT_EQ(m_state->effectivePrefix("a/"), c.effective) << c.search;
        EXPECT_EQ(m_state->isSearchingActive(), std::string(c.effective) != "a/") << c.search;
    }
    EXPECT_EQ(Whitespace::trimmed("\xE2\x80\xA8x\xE2\x80\x83"), "x");  // line separator, em space
    EXPECT_EQ(Whitespace::trimmed("\xFF x \xFF"), "\xFF x \xFF");      // broken bytes are kept
    // Within a line: every space and tab goes, line breaks stay.
    EXPECT_EQ(Whitespace::trimmedWithinLine("\xC2\xA0\t\xE3\x80\x80x \xE2\x80\x8A"), "x");
    EXPECT_EQ(Whitespace::trimmedWithinLine("\n x\xE2\x80\xA8"), "\n x\xE2\x80\xA8");
    EXPECT_EQ(Whitespace::trimmedWithinLine(" \r\n\x0B\x0C\xC2\x85 "), "\r\n\x0B\x0C\xC2\x85");
}

TEST_F(AppStateDerivedTest, TheDeleteMessageFollowsTheCountsOfFilesAndFolders) {
    showMedia(m_media);
    const struct {
        KeySet selection;
        QString message;
    } cases[] = {
        {{}, L10n::t(QStringLiteral("delete_file_message"))},
        {{"photos/a.jpg"}, L10n::t(QStringLiteral("delete_file_message"))},
        {{"photos/a.jpg", "photos/b.jpg"}, L10n::t(QStringLiteral("batch_delete_files_message"), 2)},
        {{"photos/2024/"}, L10n::t(QStringLiteral("delete_folder_message"))},
        {{"photos/2024/", "photos/2025/"}, L10n::t(QStringLiteral("batch_delete_folders_message"), 2)},
        // Either count of a mixed selection may be one, and is said so.
        {{"photos/2024/", "photos/a.jpg", "photos/b.jpg"},
         L10n::t(QStringLiteral("batch_delete_mixed_message_one_folder"), 3, 2, 1)},
        {{"photos/2024/", "photos/2025/", "photos/a.jpg"},
         L10n::t(QStringLiteral("batch_delete_mixed_message_one_file"), 3, 1, 2)},
        {{"photos/2024/", "photos/a.jpg"}, L10n::t(QStringLiteral("batch_delete_mixed_message_one_each"), 2, 1, 1)},
        {{"photos/2024/", "photos/2025/", "photos/a.jpg", "photos/b.jpg"},
         L10n::t(QStringLiteral("batch_delete_mixed_message"), 4, 2, 2)},
    };
    for (const auto& c : cases) {
        m_state->setSelectedObjectKeys(c.selection);
        EXPECT_EQ(m_state->deleteConfirmationMessage(), c.message) << c.message.toStdString();
    }
}

TEST_F(AppStateDerivedTest, FavouritesSkipWhatNoLongerExistsAndKeepTheirOrder) {
    const Uuid gone = Uuid::random();
    AppConfig config = m_state->config();
    config.favoriteBucketIDs = {m_logs, gone, m_media};
    config.favoriteDirectories = {{m_media, "media", "photos/"}, {gone, "gone", "x/"}, {m_logs, "logs", ""}};
    m_state->setConfig(config);

    const std::vector<BucketConfig> buckets = m_state->favoriteBuckets();
    ASSERT_EQ(buckets.size(), 2u);
    EXPECT_EQ(buckets[0].id, m_logs);
    EXPECT_EQ(buckets[1].id, m_media);
    const std::vector<FavoriteDirectoryItem> folders = m_state->favoriteDirectoryItems();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].id(), m_media.toString() + ":photos/");
    EXPECT_EQ(folders[0].bucket.displayName, "Media Library");
    EXPECT_EQ(folders[1].bucket.id, m_logs);
}

TEST_F(AppStateDerivedTest, TheBreadcrumbSplitsTheFolderIntoItsPieces) {
    EXPECT_THAT(m_state->pathItems(), ElementsAre(PathItem{L10n::t(QStringLiteral("root")), ""}));
    AppStateTestAccess::showListing(*m_state, m_media, m_media, "/a//b/", {});
    EXPECT_THAT(m_state->pathItems(),
                ElementsAre(PathItem{QStringLiteral("Media Library"), ""}, PathItem{QStringLiteral("a"), "a/"},
                            PathItem{QStringLiteral("b"), "a/b/"}));
    EXPECT_EQ(m_state->pathItems().front().id(), "root");
}

TEST_F(AppStateDerivedTest, ObjectNamesAreRelativeToTheCurrentFolder) {
    EXPECT_EQ(m_state->objectName("photos/a.jpg"), "photos/a.jpg");
    AppStateTestAccess::showListing(*m_state, m_media, m_media, "photos/", {});
    EXPECT_EQ(m_state->objectName("photos/a.jpg"), "a.jpg");
    EXPECT_EQ(m_state->objectName("photos/sub/"), "sub/");
    EXPECT_EQ(m_state->objectName("docs/b.txt"), "docs/b.txt");
}

}  // namespace
}  // namespace tarn
