#include "ui/UiTestSupport.h"
#include "ui/browser/BrowserHeader.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/GlassSearchField.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"

#include "app/ServerAppStateFixture.h"
#include "app/TestRecords.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "integration/S3TestBuckets.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

using namespace std::chrono_literals;

// The browser over a real state listing a bucket of the S3 test server.
class BrowserServerTest : public test::ServerAppStateFixture {
protected:
    void TearDown() override
    {
        m_browser.reset();
        L10n::setLanguageCode(QStringLiteral("zh"));
        ServerAppStateFixture::TearDown();
    }

    // A bucket laid out like a user's: folders, files of several sizes, one deeper level.
    BucketConfig photoBucket()
    {
        const BucketConfig made = test::createBucket(*m_server, "browser");
        test::putObjects(*m_server, made, {"photos/2024/", "photos/raw/a.cr3", "photos/exports/a.jpg"});
        test::putObjects(*m_server, made, {"photos/beach.jpg", "photos/harbour at dusk.jpg"},
                         std::string(2'400'000, 'p'));
        test::putObjects(*m_server, made, {"photos/notes.md", "photos/readme.txt"}, std::string(1800, 't'));
        test::putObjects(*m_server, made, {"photos/panorama-2024-08-17-sunrise-over-the-old-harbour.tiff"},
                         std::string(9'100'000, 'i'));
        test::putObjects(*m_server, made, {"photos/report.pdf", "photos/receipts.csv"}, std::string(52'000, 'r'));
        return addBucket(m_server->endpoint, made.bucketName);
    }

    ObjectBrowserView& makeBrowser(const char* language)
    {
        L10n::setLanguageCode(QString::fromLatin1(language));
        m_browser = std::make_unique<ObjectBrowserView>(*m_app);
        m_browser->resize(920, 560);
        m_browser->show();
        QApplication::setActiveWindow(m_browser.get());
        return *m_browser;
    }

    void open(const BucketConfig& bucket, const std::string& folder)
    {
        m_app->switchBucket(bucket.id, folder);
        ASSERT_TRUE(waitUntilSettled());
        // The rows follow on the next turn of the event loop.
        ASSERT_TRUE(waitFor([&] { return !m_browser->placeholderLabel()->isVisible() || m_app->objects().empty(); }));
        QTest::qWait(50);
    }

    std::vector<std::string> rowKeys() const
    {
        std::vector<std::string> keys;
        for (int row = 0; row < m_browser->model()->rowCount(); ++row) {
            keys.push_back(m_browser->rowKey(row));
        }
        return keys;
    }

    // A running upload into the folder, as the queue shows it before its runner starts.
    Uuid addRunningUpload(const BucketConfig& bucket, const std::string& folder)
    {
        TransferTask task = test::transferTask({UploadSpec{"/home/me/holiday.mov", folder, UploadConflictMode::ask}},
                                               TransferState::running, bucket.id, "holiday.mov");
        task.bytesTotal = 734'003'200;
        task.bytesDone = 301'000'000;
        const Uuid id = task.id;
        m_app->transfers().append(std::move(task));
        QTest::qWait(ObjectBrowserView::rowsThrottleMilliseconds + 50);
        return id;
    }

    std::unique_ptr<ObjectBrowserView> m_browser;
};

TEST_F(BrowserServerTest, RealFolderInChineseAndEnglish)
{
    const BucketConfig bucket = photoBucket();
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        makeBrowser(language);
        open(bucket, "photos/");
        EXPECT_EQ(rowKeys(), (std::vector<std::string>{"..", "photos/2024/", "photos/exports/", "photos/raw/",
                                                        "photos/beach.jpg", "photos/harbour at dusk.jpg",
                                                        "photos/notes.md",
                                                        "photos/panorama-2024-08-17-sunrise-over-the-old-harbour.tiff",
                                                        "photos/readme.txt", "photos/receipts.csv",
                                                        "photos/report.pdf"}));
        const Uuid upload = addRunningUpload(bucket, "photos/");
        m_app->setSelectedObjectKeys({"photos/beach.jpg"});
        m_browser->table()->setFocus();
        QTest::qWait(50);
        test::saveGrab(m_browser.get(), QString::fromLatin1(language));
        m_app->transfers().dismiss(upload);
        m_browser.reset();
    }
}

TEST_F(BrowserServerTest, ASearchTypesThroughTheDebounceToAFilteredListing)
{
    const BucketConfig bucket = photoBucket();
    makeBrowser("en");
    open(bucket, "photos/");
    const std::size_t listed = m_app->objects().size();

    GlassSearchField* field = m_browser->header()->searchField();
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("re"));
    EXPECT_EQ(m_app->searchText(), "re");
    EXPECT_EQ(m_app->objects().size(), listed) << "nothing is listed before the pause";
    ASSERT_TRUE(waitFor([&] { return m_app->isSearching(); }));
    EXPECT_EQ(field->width(), BrowserHeader::expandedSearchWidth);
    test::saveGrab(m_browser.get(), QStringLiteral("searching"));

    ASSERT_TRUE(waitFor([&] { return !m_app->isSearching() && !m_app->isLoading(); }));
    ASSERT_TRUE(waitFor([&] { return m_browser->model()->rowCount() == 4; }));
    EXPECT_EQ(rowKeys(), (std::vector<std::string>{"..", "photos/readme.txt", "photos/receipts.csv",
                                                    "photos/report.pdf"}));
    EXPECT_EQ(field->text(), QStringLiteral("re"));
    test::saveGrab(m_browser.get(), QStringLiteral("results"));
}

TEST_F(BrowserServerTest, EmptyBucket)
{
    const BucketConfig made = test::createBucket(*m_server, "browser-empty");
    const BucketConfig bucket = addBucket(m_server->endpoint, made.bucketName);
    makeBrowser("en");
    open(bucket, "");
    EXPECT_EQ(m_browser->model()->rowCount(), 0);
    EXPECT_TRUE(m_browser->placeholderLabel()->isVisible());
    EXPECT_EQ(m_browser->placeholderLabel()->text(), QStringLiteral("No objects"));
    test::saveGrab(m_browser.get());
}

}  // namespace
}  // namespace tarn
