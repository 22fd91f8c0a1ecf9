#include "AppStateFixture.h"
#include "AppStateTestAccess.h"
#include "TestRecords.h"

#include "app/transfers/TransferCenter.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>

#include <gmock/gmock.h>

#include <algorithm>

using tarn::test::AppStateFixture;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace tarn {
namespace {

TransferTask upload(std::string directory, std::string title, TransferState state, std::optional<Uuid> bucketID,
                    bool isFolder = false) {
    TransferSpec spec{TransferSpec::Upload{"/tmp/" + title, std::move(directory), UploadConflictMode::ask}};
    return test::transferTask(std::move(spec), state, bucketID, std::move(title), isFolder);
}

TransferTask rename(std::string source, std::string destination, bool isFolder, TransferState state,
                    std::optional<Uuid> bucketID) {
    return test::transferTask({TransferSpec::Rename{std::move(source), std::move(destination), isFolder}}, state, bucketID);
}

std::vector<std::string> sorted(const KeySet& keys) {
    std::vector<std::string> result(keys.begin(), keys.end());
    std::sort(result.begin(), result.end());
    return result;
}

// The bucket "media" selected and listed at docs/; the queue belongs to the test.
class ExistingKeysTest : public AppStateFixture {
protected:
    ExistingKeysTest() { showListing(m_media); }

    void showListing(std::optional<Uuid> listingBucket) {
        AppStateTestAccess::showListing(*m_state, m_media, listingBucket, "docs/",
                                        {{"docs/"}, {"docs/a.txt", 1}, {"docs/old/x.txt", 2}, {"docs/old/y/z.txt", 3}});
    }

    // Every key taken, after checking that each is also found one by one.
    KeySet keysWith(std::vector<TransferTask> tasks) {
        AppStateTestAccess::setTasks(m_state->transfers(), std::move(tasks));
        const TakenKeys taken = m_state->existingKeysForUploadConflict("docs/");
        KeySet keys = taken.toSet();
        for (const std::string& key : keys) EXPECT_TRUE(taken.contains(key)) << key;
        return keys;
    }

    Uuid m_media = Uuid::random();
    Uuid m_other = Uuid::random();
};

TEST_F(ExistingKeysTest, SucceededUploadsOfTheSelectedBucketJoinTheListing) {
    TransferTask renamedOnUpload = upload("docs/", "b.txt", TransferState::succeeded, m_media);
    renamedOnUpload.succeededObjectKey = "docs/b 2.txt";

    const KeySet keys = keysWith({
        upload("docs/", "new.txt", TransferState::succeeded, m_media),
        renamedOnUpload,
        upload("docs/", "trip", TransferState::succeeded, m_media, true),
        upload("docs", "loose.txt", TransferState::succeeded, m_media),   // target given without its "/"
        upload("", "top.txt", TransferState::succeeded, m_media),
        upload("docs/", "waiting.txt", TransferState::waiting, m_media),
        upload("docs/", "running.txt", TransferState::running, m_media),
        upload("docs/", "failed.txt", TransferState::failed, m_media),
        upload("docs/", "elsewhere.txt", TransferState::succeeded, m_other),
        upload("docs/", "nobucket.txt", TransferState::succeeded, std::nullopt),
    });
    EXPECT_THAT(sorted(keys), ElementsAre("docs/", "docs/a.txt", "docs/b 2.txt", "docs/loose.txt", "docs/new.txt",
                                          "docs/old/x.txt", "docs/old/y/z.txt", "docs/trip/", "top.txt"));
}

TEST_F(ExistingKeysTest, RenamesThatHaveNotFailedMoveTheirKeys) {
    const KeySet keys = keysWith({
        rename("docs/a.txt", "docs/renamed.txt", false, TransferState::waiting, m_media),
        // A move still running started after every finished task, so it also moves
        // what an upload listed after it has written.
        rename("docs/old", "archive/old", true, TransferState::running, m_media),
        upload("docs/old/", "fresh.txt", TransferState::succeeded, m_media),
        rename("docs/", "never/", true, TransferState::failed, m_media),
        rename("docs/", "never/", true, TransferState::cancelled, m_media),
        rename("docs/", "never/", true, TransferState::succeeded, m_other),
    });
    EXPECT_THAT(sorted(keys), ElementsAre("archive/old/", "docs/", "docs/renamed.txt"));
}

TEST_F(ExistingKeysTest, FinishedTasksApplyInTheOrderTheyFinished) {
    const TimePoint start = std::chrono::system_clock::now();
    const auto at = [start](int seconds) { return start + std::chrono::seconds(seconds); };

    // Moved away at 1, then a new docs/a.txt uploaded at 2: both keys exist.
    TransferTask movedAway = rename("docs/a.txt", "docs/b.txt", false, TransferState::succeeded, m_media);
    movedAway.completedAt = at(1);
    TransferTask uploadedAgain = upload("docs/", "a.txt", TransferState::succeeded, m_media);
    uploadedAgain.completedAt = at(2);
    // The folder moved at 3, then a file uploaded into docs/old/ at 4: the file stays.
    TransferTask intoOld = upload("docs/old/", "late.txt", TransferState::succeeded, m_media);
    intoOld.completedAt = at(4);
    TransferTask oldMoved = rename("docs/old/", "archive/", true, TransferState::succeeded, m_media);
    oldMoved.completedAt = at(3);

    EXPECT_THAT(sorted(keysWith({uploadedAgain, intoOld, movedAway, oldMoved})),
                ElementsAre("archive/", "docs/", "docs/a.txt", "docs/b.txt", "docs/old/late.txt"));
}

TEST_F(ExistingKeysTest, AFailedMoveNoLongerCountsOnTheNextCall) {
    TransferTask move = rename("docs/a.txt", "docs/b.txt", false, TransferState::waiting, m_media);
    EXPECT_THAT(sorted(keysWith({move})), ElementsAre("docs/", "docs/b.txt", "docs/old/x.txt", "docs/old/y/z.txt"));
    move.state = TransferState::failed;
    EXPECT_THAT(sorted(keysWith({move})), ElementsAre("docs/", "docs/a.txt", "docs/old/x.txt", "docs/old/y/z.txt"));
}

TEST_F(ExistingKeysTest, KeysGoneSinceTheListingAreNotTakenAndFoldersAreFoundByTheirKeys) {
    AppStateTestAccess::setTasks(m_state->transfers(),
                                 {rename("docs/old", "archive/old", true, TransferState::succeeded, m_media),
                                  rename("docs/a.txt", "docs/b.txt", false, TransferState::waiting, m_media)});
    const TakenKeys taken = m_state->existingKeysForUploadConflict("docs/");
    const struct {
        const char* key;
        bool contains;
        bool containsUnder;
    } cases[] = {
        {"docs/a.txt", false, false},      // moved away
        {"docs/b.txt", true, true},        // moved there
        {"docs/old/x.txt", false, false},  // its folder moved away
        {"docs/old/", false, false},
        {"archive/old/", true, true},
        {"archive/", false, true},
        {"docs/", true, true},
        {"nothing/", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(taken.contains(c.key), c.contains) << c.key;
        EXPECT_EQ(taken.containsUnder(c.key), c.containsUnder) << c.key;
    }
}

// A drop of many files into a large folder asks once per upload task: the listed
// keys are gathered once per listing and shared, not copied for every task.
TEST_F(ExistingKeysTest, TheListedKeysAreGatheredOncePerListing) {
    const std::shared_ptr<const KeySet> first = AppStateTestAccess::listedKeys(*m_state);
    EXPECT_EQ(AppStateTestAccess::listedKeys(*m_state), first);
    const TakenKeys held = m_state->existingKeysForUploadConflict("docs/");

    // A further page: those who asked before keep what they were given.
    AppStateTestAccess::appendPage(*m_state, S3Listing{{{"docs/c.txt", 4}}, {}, false, std::nullopt});
    const std::shared_ptr<const KeySet> paged = AppStateTestAccess::listedKeys(*m_state);
    EXPECT_TRUE(paged->contains("docs/c.txt"));
    EXPECT_FALSE(held.contains("docs/c.txt"));
    EXPECT_TRUE(m_state->existingKeysForUploadConflict("docs/").contains("docs/c.txt"));
    EXPECT_EQ(AppStateTestAccess::listedKeys(*m_state), paged);

    // Another listing.
    AppStateTestAccess::showListing(*m_state, m_media, m_media, "docs/", {{"docs/z.txt", 1}});
    EXPECT_EQ(*AppStateTestAccess::listedKeys(*m_state), KeySet{"docs/z.txt"});
}

TEST_F(ExistingKeysTest, AListingOfAnotherBucketSaysNothingAboutTheSelectedOne) {
    showListing(m_other);
    EXPECT_THAT(keysWith({upload("docs/", "new.txt", TransferState::succeeded, m_media)}),
                UnorderedElementsAre("docs/new.txt"));
}

TEST_F(ExistingKeysTest, TwoAbsentBucketsAreTheSame) {
    AppStateTestAccess::showListing(*m_state, std::nullopt, std::nullopt, "", {{"x"}});
    EXPECT_THAT(keysWith({upload("", "y", TransferState::succeeded, std::nullopt),
                          upload("", "z", TransferState::succeeded, m_media)}),
                UnorderedElementsAre("x", "y"));
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes;
}

QImage sampleImage() {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 120, 200));
    image.setPixelColor(2, 1, QColor(250, 20, 30));
    return image;
}

TEST(ClipboardImageData, TheFirstNonEmptyPreferredTypeWinsAsItCame) {
    const struct {
        std::vector<std::pair<const char*, QByteArray>> formats;
        QByteArray expectedData;
        std::string expectedExtension;
    } cases[] = {
        {{{"image/tiff", "TIFF"}, {"image/png", "PNG"}}, "PNG", "png"},
        {{{"image/jpeg", "JPEG"}}, "JPEG", "jpg"},
        {{{"image/png", ""}, {"image/jpeg", "JPEG"}}, "JPEG", "jpg"},  // an empty entry counts as absent
        {{{"image/gif", "GIF"}, {"image/heic", "HEIC"}}, "HEIC", "heic"},
        {{{"image/webp", "WEBP"}, {"image/gif", "GIF"}, {"image/tiff", "TIFF"}}, "GIF", "gif"},
        {{{"image/tiff", "TIFF"}, {"image/webp", "WEBP"}, {"text/plain", "hello"}}, "WEBP", "webp"},
        {{{"image/tiff", "TIFF"}}, "TIFF", "tiff"},
    };
    for (const auto& c : cases) {
        QMimeData mimeData;
        for (const auto& [type, data] : c.formats) mimeData.setData(QString::fromLatin1(type), data);
        const std::optional<ClipboardImage> image = AppState::clipboardImageData(mimeData);
        ASSERT_TRUE(image.has_value()) << c.expectedExtension;
        EXPECT_EQ(image->data, c.expectedData);
        EXPECT_EQ(image->fileExtension, c.expectedExtension);
    }
}

TEST(ClipboardImageData, AnyOtherImageBecomesPng) {
    const QImage original = sampleImage();
    QMimeData imageOnly;
    imageOnly.setImageData(original);
    QMimeData bitmap;
    bitmap.setData("image/bmp", encoded(original, "BMP"));

    for (const QMimeData* mimeData : {&imageOnly, &bitmap}) {
        const std::optional<ClipboardImage> image = AppState::clipboardImageData(*mimeData);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->fileExtension, "png");
        const QImage decoded = QImage::fromData(image->data, "PNG");
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.size(), original.size());
        EXPECT_EQ(decoded.pixelColor(2, 1), QColor(250, 20, 30));
    }
}

TEST(ClipboardImageData, NoImageGivesNone) {
    QMimeData text;
    text.setText("just words");
    EXPECT_FALSE(AppState::clipboardImageData(text).has_value());

    QMimeData broken;
    broken.setData("image/bmp", "not an image at all");
    broken.setData("image/png", "");
    EXPECT_FALSE(AppState::clipboardImageData(broken).has_value());

    EXPECT_FALSE(AppState::clipboardImageData(QMimeData()).has_value());
}

}  // namespace
}  // namespace tarn
