#include "app/text/L10n.h"
#include "ui/PreviewTestFiles.h"
#include "ui/preview/CircularProgressView.h"
#include "ui/preview/FileCardPreview.h"
#include "ui/preview/ImagePreview.h"
#include "ui/preview/MediaPreview.h"
#include "ui/preview/PdfPreview.h"
#include "ui/preview/PreviewHost.h"
#include "ui/preview/PreviewPlaceholder.h"
#include "ui/preview/TextPreview.h"
#include "ui/preview/WebPreview.h"

#include <QMediaPlayer>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

using test::PreviewTestFiles;

ObjectItem object(const std::string& key, std::int64_t size = 1024)
{
    ObjectItem item;
    item.key = key;
    item.size = size;
    return item;
}

std::optional<ObjectDetails> detailsWithType(const std::string& contentType)
{
    ObjectDetails details;
    details.contentType = contentType;
    return details;
}

class PreviewHostTest : public ::testing::Test {
protected:
    // What the pane does on each rebuild: a new card holding whatever the host gives.
    QWidget* rebuild(const ObjectItem& item, const InlinePreviewState& state,
                     const std::optional<ObjectDetails>& details = std::nullopt)
    {
        return place(m_host.preview(item, state, details));
    }

    QWidget* place(QWidget* view)
    {
        auto card = std::make_unique<QWidget>();
        (new QVBoxLayout(card.get()))->addWidget(view);
        m_card = std::move(card);  // the old card goes only once the view has moved
        return view;
    }

    PreviewTestFiles m_files;
    PreviewHost m_host{PreviewActions{}};
    std::unique_ptr<QWidget> m_card;
};

TEST_F(PreviewHostTest, StatesWithoutAReadyViewShowTextOrTheRing)
{
    L10n::setLanguageCode(QStringLiteral("en"));
    const ObjectItem item = object("docs/a.txt");
    const QString loading = L10n::t(QStringLiteral("preview_loading"));
    auto placeholderText = [&](const InlinePreviewState& state) {
        auto* placeholder = qobject_cast<PreviewPlaceholder*>(rebuild(item, state));
        return placeholder != nullptr ? placeholder->text() : QStringLiteral("(not a placeholder)");
    };
    EXPECT_EQ(placeholderText(InlinePreviewState::unsupported(QStringLiteral("Too large"))), QStringLiteral("Too large"));
    EXPECT_EQ(placeholderText(InlinePreviewState::failed(QStringLiteral("Access Denied"))), QStringLiteral("Access Denied"));
    EXPECT_EQ(placeholderText(InlinePreviewState::loading(item.key)), loading);
    EXPECT_EQ(placeholderText(InlinePreviewState::empty()), loading);
    EXPECT_EQ(placeholderText(InlinePreviewState::folder()), loading);
    // Another object's download or ready file is not this object's preview.
    EXPECT_EQ(placeholderText(InlinePreviewState::downloading("docs/b.txt")), loading);
    EXPECT_EQ(placeholderText(InlinePreviewState::ready("docs/b.txt", QUrl::fromLocalFile(m_files.path("b.txt")))),
              loading);
    EXPECT_EQ(m_host.cachedPreview(), nullptr);

    EXPECT_NE(qobject_cast<CircularProgressView*>(rebuild(item, InlinePreviewState::downloading(item.key))), nullptr);
    L10n::setLanguageCode(QStringLiteral("zh"));
}

TEST_F(PreviewHostTest, TheReadyViewFollowsTheChoice)
{
    const QUrl png = QUrl::fromLocalFile(m_files.png(QStringLiteral("a.png"), QSize(4, 4)));
    const QUrl text = QUrl::fromLocalFile(m_files.write(QStringLiteral("a.txt"), "text"));
    struct Case {
        std::string key;
        std::optional<ObjectDetails> details;
        QUrl url;
        const QMetaObject* view;
        int height;
    };
    const std::vector<Case> cases{
        {"x.bin", detailsWithType("Image/PNG"), png, &ImagePreview::staticMetaObject, 340},
        {"notes.md", std::nullopt, text, &WebPreview::staticMetaObject, 420},
        {"page.htm", std::nullopt, text, &WebPreview::staticMetaObject, 420},
        {"A.PDF", detailsWithType("application/octet-stream"), QUrl::fromLocalFile(m_files.pdf("a.pdf", 1)),
         &PdfPreview::staticMetaObject, 460},
        {"log.bin", detailsWithType("text/plain; charset=utf-8"), text, &TextPreview::staticMetaObject, 380},
        {"x.bin", std::nullopt, text, &FileCardPreview::staticMetaObject, 440},
        {"x.bin", detailsWithType("video/mp4; codecs=\"avc1\""), QUrl::fromLocalFile(test::mediaClipPath()),
         &MediaPreview::staticMetaObject, 260},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        // Each case is a new object, so a new URL for the host.
        QUrl url = c.url;
        url.setQuery(QString::fromStdString(c.key));
        QWidget* view = rebuild(object(c.key), InlinePreviewState::ready(c.key, url), c.details);
        EXPECT_EQ(view->metaObject(), c.view);
        EXPECT_EQ(view->minimumHeight(), c.height);
        EXPECT_EQ(view->maximumHeight(), c.height);
        EXPECT_EQ(m_host.cachedPreview(), view);
        EXPECT_EQ(m_host.cachedPreviewURL(), url);
    }
}

TEST_F(PreviewHostTest, TheSameUrlKeepsItsViewAndANewOneStopsTheOld)
{
    const ObjectItem video = object("clips/ball.webm");
    const QUrl first = QUrl::fromLocalFile(test::mediaClipPath());
    auto* player = qobject_cast<MediaPreview*>(rebuild(video, InlinePreviewState::ready(video.key, first)));
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->player()->mediaStatus() == QMediaPlayer::LoadedMedia; }, 10000));
    // Nothing plays before the user asks.
    EXPECT_EQ(player->player()->playbackState(), QMediaPlayer::StoppedState);
    player->player()->play();

    // Rebuilds for new details or a new state of the same ready file keep the view, and it plays on.
    for (int rebuilds = 0; rebuilds < 3; ++rebuilds) {
        EXPECT_EQ(rebuild(video, InlinePreviewState::ready(video.key, first), detailsWithType("video/webm")), player);
    }
    EXPECT_EQ(player->player()->playbackState(), QMediaPlayer::PlayingState);

    // Another URL: the old view is stopped at once and deleted later; the new one does not play.
    QPointer<MediaPreview> old = player;
    const QUrl second = QUrl::fromLocalFile(m_files.wav(QStringLiteral("tone.wav"), 1000));
    const ObjectItem sound = object("tone.wav");
    auto* next = qobject_cast<MediaPreview*>(m_host.preview(sound, InlinePreviewState::ready(sound.key, second), {}));
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, player);
    ASSERT_FALSE(old.isNull());
    EXPECT_EQ(old->player()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_TRUE(old->player()->source().isEmpty());
    EXPECT_EQ(next->player()->playbackState(), QMediaPlayer::StoppedState);
    place(next);
    EXPECT_TRUE(QTest::qWaitFor([&] { return old.isNull(); }, 2000));

    // The folder and empty layouts drop it too.
    m_host.dropCachedPreview();
    EXPECT_EQ(m_host.cachedPreview(), nullptr);
    EXPECT_TRUE(next->player()->source().isEmpty());
}

TEST_F(PreviewHostTest, AParkedViewOutlivesItsCard)
{
    const ObjectItem item = object("a.txt");
    const QUrl url = QUrl::fromLocalFile(m_files.write(QStringLiteral("a.txt"), "text"));
    QPointer<QWidget> view = rebuild(item, InlinePreviewState::ready(item.key, url));
    m_host.parkCachedPreview();
    m_card.reset();
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(rebuild(item, InlinePreviewState::ready(item.key, url)), view);
    EXPECT_EQ(view->parentWidget(), m_card.get());
}

}  // namespace
}  // namespace tarn
