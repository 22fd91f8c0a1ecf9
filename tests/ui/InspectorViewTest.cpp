#include "app/AppStateTestAccess.h"
#include "app/ScriptedUiServices.h"
#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "core/values/Uuid.h"
#include "ui/icons/MingCute.h"
#include "ui/inspector/ActionTile.h"
#include "ui/inspector/InspectorView.h"
#include "ui/inspector/MiddleElidedLabel.h"
#include "ui/preview/CircularProgressView.h"
#include "ui/preview/MediaPreview.h"
#include "ui/preview/PreviewHost.h"
#include "ui/preview/PreviewPlaceholder.h"
#include "ui/preview/TextPreview.h"
#include "ui/PreviewTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/views/OverlayScrollView.h"
#include "ui/window/InspectorContainer.h"
#include "ui/WindowFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMediaPlayer>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

using test::PreviewTestFiles;
using test::settle;

ObjectItem object(const std::string& key, std::int64_t size = 2048)
{
    ObjectItem item;
    item.key = key;
    item.size = size;
    return item;
}

// The pane as the window holds it: in the inspector's container, at its first width,
// over a state of the test's own whose inspector fields the test publishes itself.
class InspectorViewTest : public ::testing::Test {
protected:
    InspectorViewTest()
        : m_configStore(std::filesystem::path(m_folder.filePath(QStringLiteral("config.json")).toStdString()))
        , m_secretStore("app.TarnManager.test." + Uuid::random().toString())
        , m_state(std::make_unique<AppState>(m_configStore, m_secretStore, m_client))
    {
        L10n::setLanguageCode(QStringLiteral("en"));
        m_state->setUiServices(&m_ui);
        AppStateTestAccess::showListing(*m_state, std::nullopt, std::nullopt, "docs/",
                                        {object("docs/notes.txt"), object("docs/clip.webm", 40'000),
                                         object("docs/report.pdf")},
                                        {ObjectPrefix{"docs/2024/"}, ObjectPrefix{"docs/drafts/"}});
        build();
    }

    ~InspectorViewTest() override
    {
        m_container.reset();
        settle();
        m_state->setUiServices(nullptr);
        L10n::setLanguageCode(QStringLiteral("zh"));
    }

    void build()
    {
        m_container.reset();
        m_view = new InspectorView(*m_state);
        m_container = std::make_unique<InspectorContainer>(m_view);
        m_container->resize(InspectorContainer::initialWidth, 820);
        m_container->show();
        settle();
    }

    // Selects keys and publishes what the state's refresh would for them.
    void select(KeySet keys, InlinePreviewState preview = {}, std::optional<ObjectDetails> details = std::nullopt)
    {
        m_state->setSelectedObjectKeys(std::move(keys));
        AppStateTestAccess::setObjectDetails(*m_state, std::move(details));
        AppStateTestAccess::setInlinePreviewState(*m_state, std::move(preview));
        settle();
    }

    template <class Widget>
    QList<Widget*> shown() const
    {
        QList<Widget*> result;
        for (Widget* widget : m_view->findChildren<Widget*>()) {
            if (widget->isVisibleTo(m_view)) {
                result.append(widget);
            }
        }
        return result;
    }

    QStringList shownTexts() const
    {
        QStringList texts;
        for (QLabel* label : shown<QLabel>()) {
            auto* elided = qobject_cast<MiddleElidedLabel*>(label);
            texts.append(elided != nullptr ? elided->fullText() : label->text());
        }
        return texts;
    }

    QPushButton* button(const QString& title) const
    {
        for (QPushButton* candidate : shown<QPushButton>()) {
            if (candidate->text().trimmed() == title) {
                return candidate;
            }
        }
        return nullptr;
    }

    ActionTile* tile(const QString& title) const
    {
        for (ActionTile* candidate : m_view->actionTiles()) {
            if (candidate->text() == title && candidate->isVisibleTo(m_view)) {
                return candidate;
            }
        }
        return nullptr;
    }

    QTemporaryDir m_folder;
    ConfigStore m_configStore;
    KeychainSecretStore m_secretStore;
    S3Client m_client;
    std::unique_ptr<AppState> m_state;
    test::ScriptedUiServices m_ui;
    std::unique_ptr<InspectorContainer> m_container;
    InspectorView* m_view = nullptr;
    PreviewTestFiles m_files;
};

TEST_F(InspectorViewTest, NothingOrSeveralSelectedShowTheHint)
{
    EXPECT_EQ(m_view->currentLayout(), InspectorView::Layout::empty);
    ASSERT_NE(m_view->emptyBox(), nullptr);
    EXPECT_TRUE(m_view->emptyBox()->isVisible());
    EXPECT_FALSE(m_view->scrollView()->isVisible());
    EXPECT_TRUE(shownTexts().contains(QStringLiteral("Nothing selected")));
    // The box stays within the pane, centred.
    const QRect box = m_view->emptyBox()->geometry();
    EXPECT_LE(box.width(), m_view->width() - 48);
    EXPECT_NEAR(box.center().x(), m_view->rect().center().x(), 1);
    EXPECT_NEAR(box.center().y(), m_view->rect().center().y(), 1);
    test::saveGrab(m_container.get());

    select({"docs/notes.txt", "docs/report.pdf"});
    EXPECT_EQ(m_view->currentLayout(), InspectorView::Layout::empty);
    select({"docs/notes.txt", "docs/2024/"});
    EXPECT_EQ(m_view->currentLayout(), InspectorView::Layout::empty);
    EXPECT_TRUE(m_view->actionTiles().isEmpty());
}

TEST_F(InspectorViewTest, AFolderShowsTheTilesAndItsNameAndKind)
{
    select({"docs/2024/"}, InlinePreviewState::folder());
    EXPECT_EQ(m_view->currentLayout(), InspectorView::Layout::folder);
    EXPECT_EQ(m_view->emptyBox(), nullptr);
    EXPECT_TRUE(m_view->scrollView()->isVisible());
    EXPECT_EQ(m_view->previewContent(), nullptr);
    const QStringList texts = shownTexts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Details")));
    EXPECT_TRUE(texts.contains(QStringLiteral("docs/2024/")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Folder")));
    EXPECT_FALSE(texts.contains(QStringLiteral("Preview")));
    EXPECT_FALSE(texts.contains(QStringLiteral("Share")));
    EXPECT_EQ(button(QStringLiteral("Edit Metadata")), nullptr);
    ASSERT_EQ(m_view->actionTiles().size(), 4);
    EXPECT_EQ(tile(QStringLiteral("Open"))->iconName(), QStringLiteral("folder"));
    EXPECT_TRUE(tile(QStringLiteral("Delete"))->isDestructive());
    test::saveGrab(m_container.get());

    // "Open" goes into the folder selected when it is pressed.
    tile(QStringLiteral("Open"))->click();
    EXPECT_EQ(AppStateTestAccess::backStack(*m_state).size(), 1U);
    // With the selection changed under it (no rebuild yet), it does nothing.
    ActionTile* open = tile(QStringLiteral("Open"));
    m_state->setSelectedObjectKeys({"docs/notes.txt", "docs/drafts/"});
    open->click();
    EXPECT_EQ(AppStateTestAccess::backStack(*m_state).size(), 1U);
}

TEST_F(InspectorViewTest, AnObjectShowsItsPreviewTilesDetailsAndShareLink)
{
    ObjectDetails details;
    details.contentType = "text/plain; charset=utf-8";
    details.eTag = "\"9b2cf535f27731c974343645a3985328\"";
    details.metadata = {{"uploaded-by", "tarn"}, {"camera", "X100V"}};
    const QString path = m_files.write(QStringLiteral("notes.txt"), "Shopping list\n- tea\n- rice\n");
    select({"docs/notes.txt"}, InlinePreviewState::ready("docs/notes.txt", QUrl::fromLocalFile(path)), details);
    EXPECT_EQ(m_view->currentLayout(), InspectorView::Layout::object);
    auto* text = qobject_cast<TextPreview*>(m_view->previewContent());
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([text] { return text->isLoaded(); }, 5000));
    const QStringList texts = shownTexts();
    for (const char* expected : {"Preview", "Details", "Share", "docs/notes.txt", "Object", "text/plain; charset=utf-8",
                                 "2 KB", "STANDARD", "\"9b2cf535f27731c974343645a3985328\"", "camera", "X100V",
                                 "uploaded-by"}) {
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
    }
    // Metadata in the order of its keys.
    EXPECT_LT(texts.indexOf(QStringLiteral("camera")), texts.indexOf(QStringLiteral("uploaded-by")));
    EXPECT_EQ(tile(QStringLiteral("Open"))->iconName(), QStringLiteral("arrow.up.right.square"));
    ASSERT_NE(button(QStringLiteral("Edit Metadata")), nullptr);
    ASSERT_NE(button(QStringLiteral("Create Share Link")), nullptr);
    // Nothing reaches past the pane's right edge.
    for (QWidget* widget : shown<QWidget>()) {
        const QRect inPane(widget->mapTo(m_view, QPoint(0, 0)), widget->size());
        EXPECT_LE(inPane.right(), m_view->width()) << widget->metaObject()->className();
    }
    // The pane paints nothing of its own: the container's surface shows around the cards.
    const QImage image = m_container->grab().toImage();
    EXPECT_TRUE(test::sameColor(image.pixelColor(4, image.height() - 4), m_container->surfaceColor(), 2));
    test::saveGrab(m_container.get());

    // The sheets open through the state's flags.
    tile(QStringLiteral("Delete"))->click();
    EXPECT_TRUE(m_state->showingDeleteConfirm());
    button(QStringLiteral("Create Share Link"))->click();
    EXPECT_TRUE(m_state->showingShareSheet());
}

TEST_F(InspectorViewTest, TheNameRowCopiesTheWholeKey)
{
    select({"docs/notes.txt"}, InlinePreviewState::loading("docs/notes.txt"));
    QPushButton* copy = nullptr;
    for (QPushButton* candidate : shown<QPushButton>()) {
        if (candidate->text().isEmpty() && candidate->accessibleName() == QStringLiteral("Name")) {
            copy = candidate;
        }
    }
    ASSERT_NE(copy, nullptr);
    QApplication::clipboard()->clear();
    copy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("docs/notes.txt"));
    EXPECT_EQ(m_state->statusText(), QStringLiteral("Copied"));
}

TEST_F(InspectorViewTest, TheShareLinkWithoutASelectedObjectDoesNothing)
{
    select({"docs/notes.txt"}, InlinePreviewState::loading("docs/notes.txt"));
    QPushButton* share = button(QStringLiteral("Create Share Link"));
    ASSERT_NE(share, nullptr);
    m_state->setSelectedObjectKeys({});
    share->click();
    EXPECT_FALSE(m_state->showingShareSheet());
}

TEST_F(InspectorViewTest, ThePreviewCardFollowsThePreviewState)
{
    const ObjectItem notes = object("docs/notes.txt");
    const QString loading = QStringLiteral("Loading preview...");
    auto placeholderText = [this] {
        auto* placeholder = qobject_cast<PreviewPlaceholder*>(m_view->previewContent());
        return placeholder != nullptr ? placeholder->text() : QStringLiteral("(no placeholder)");
    };
    select({notes.key}, InlinePreviewState::loading(notes.key));
    EXPECT_EQ(placeholderText(), loading);
    select({notes.key}, InlinePreviewState::failed(QStringLiteral("Access Denied")));
    EXPECT_EQ(placeholderText(), QStringLiteral("Access Denied"));
    // Another object's download is not this one's.
    select({notes.key}, InlinePreviewState::downloading("docs/report.pdf"));
    EXPECT_EQ(placeholderText(), loading);

    // The ring follows the download without rebuilding the pane.
    AppStateTestAccess::setPreviewDownloadFraction(*m_state, 0.25);
    select({notes.key}, InlinePreviewState::downloading(notes.key));
    auto* ring = qobject_cast<CircularProgressView*>(m_view->previewContent());
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->text(), QStringLiteral("25%"));
    AppStateTestAccess::setPreviewDownloadFraction(*m_state, 0.456);
    settle();
    EXPECT_EQ(m_view->previewContent(), ring);
    EXPECT_EQ(ring->text(), QStringLiteral("45%"));
    test::saveGrab(m_container.get());
}

TEST_F(InspectorViewTest, APlayingPreviewSurvivesRebuildsAndStopsWhenTheSelectionMovesOn)
{
    const ObjectItem clip = object("docs/clip.webm", 40'000);
    const QUrl url = QUrl::fromLocalFile(test::mediaClipPath());
    select({clip.key}, InlinePreviewState::ready(clip.key, url));
    auto* media = qobject_cast<MediaPreview*>(m_view->previewContent());
    ASSERT_NE(media, nullptr);
    EXPECT_EQ(media->height(), 260);
    ASSERT_TRUE(QTest::qWaitFor([media] { return media->player()->mediaStatus() == QMediaPlayer::LoadedMedia; }, 10000));
    EXPECT_EQ(media->player()->playbackState(), QMediaPlayer::StoppedState);
    media->player()->play();
    ASSERT_TRUE(QTest::qWaitFor([media] { return media->player()->position() > 0; }, 5000));

    // The details arrive: the pane is built anew around the same player, which plays on.
    ObjectDetails details;
    details.contentType = "video/webm";
    QPointer<MediaPreview> kept = media;
    AppStateTestAccess::setObjectDetails(*m_state, details);
    settle();
    ASSERT_FALSE(kept.isNull());
    EXPECT_EQ(m_view->previewContent(), media);
    EXPECT_TRUE(media->isVisible());
    EXPECT_EQ(media->player()->playbackState(), QMediaPlayer::PlayingState);
    const qint64 before = media->player()->position();
    ASSERT_TRUE(QTest::qWaitFor([&] { return media->player()->position() > before; }, 5000));

    // Another object selected: the player stops at once, before its own preview is ready.
    QPointer<MediaPreview> old = media;
    select({"docs/report.pdf"}, InlinePreviewState::loading("docs/report.pdf"));
    EXPECT_TRUE(old.isNull() || old->player()->playbackState() == QMediaPlayer::StoppedState);
    EXPECT_EQ(m_view->previews()->cachedPreview(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return old.isNull(); }, 2000));
}

TEST_F(InspectorViewTest, HidingThePaneStopsThePlayerAndShowingItBuildsAgain)
{
    const ObjectItem clip = object("docs/clip.webm", 40'000);
    const QUrl url = QUrl::fromLocalFile(test::mediaClipPath());
    select({clip.key}, InlinePreviewState::ready(clip.key, url));
    QPointer<MediaPreview> media = qobject_cast<MediaPreview*>(m_view->previewContent());
    ASSERT_FALSE(media.isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return media->player()->mediaStatus() == QMediaPlayer::LoadedMedia; }, 10000));
    media->player()->play();

    AppStateTestAccess::setShowingPreview(*m_state, false);
    ASSERT_FALSE(media.isNull());
    EXPECT_EQ(media->player()->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_TRUE(media->player()->source().isEmpty());
    EXPECT_EQ(m_view->previews()->cachedPreview(), nullptr);
    // Changes while hidden build nothing.
    AppStateTestAccess::setObjectDetails(*m_state, ObjectDetails{});
    settle();
    EXPECT_TRUE(media.isNull());
    EXPECT_EQ(m_view->previews()->cachedPreview(), nullptr);

    AppStateTestAccess::setShowingPreview(*m_state, true);
    auto* again = qobject_cast<MediaPreview*>(m_view->previewContent());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->player()->playbackState(), QMediaPlayer::StoppedState);
}

TEST_F(InspectorViewTest, ANewSelectionStartsAtTheTopAndTheSameOneKeepsItsPlace)
{
    // A pane short enough that one object's details scroll.
    m_container->resize(InspectorContainer::initialWidth, 360);
    settle();
    ObjectDetails details;
    for (int i = 0; i < 12; ++i) {
        details.metadata.emplace("key-" + std::to_string(i), "value");
    }
    QScrollBar* bar = m_view->scrollView()->verticalScrollBar();
    auto scrolledToTheEnd = [&] {
        bar->setValue(bar->maximum());
        settle();
        return bar->value();
    };

    select({"docs/notes.txt"}, InlinePreviewState::loading("docs/notes.txt"), details);
    ASSERT_GT(scrolledToTheEnd(), 0);
    // The same object again (its preview or details arrive): the pane stays put.
    const int kept = bar->value();
    select({"docs/notes.txt"}, InlinePreviewState::unsupported(QStringLiteral("No preview")), details);
    EXPECT_EQ(bar->value(), kept);

    const struct {
        const char* what;
        KeySet keys;
        InlinePreviewState preview;
    } moves[] = {
        {"another object", {"docs/report.pdf"}, InlinePreviewState::loading("docs/report.pdf")},
        {"a folder", {"docs/2024/"}, InlinePreviewState::folder()},
        {"another folder", {"docs/drafts/"}, InlinePreviewState::folder()},
        {"an object again", {"docs/notes.txt"}, InlinePreviewState::loading("docs/notes.txt")},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.what);
        // Scrolled down as far as the pane goes (a folder's pane may not scroll at all).
        scrolledToTheEnd();
        select(move.keys, move.preview, details);
        EXPECT_EQ(bar->value(), 0);
    }
    test::saveGrab(m_container.get());
}

TEST_F(InspectorViewTest, EveryTileTitleIsSetAtOneSizeAndALongOneWrapsOrIsCut)
{
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        L10n::setLanguageCode(QString::fromLatin1(language));
        build();
        select({"docs/notes.txt"}, InlinePreviewState::loading("docs/notes.txt"));
        const QList<ActionTile*> tiles = m_view->actionTiles();
        ASSERT_EQ(tiles.size(), 4);
        for (ActionTile* tile : tiles) {
            EXPECT_EQ(tile->font().pixelSize(), 10) << tile->text().toStdString();
        }
        ActionTile* renameMove = tile(L10n::t(QStringLiteral("rename_move")));
        ASSERT_NE(renameMove, nullptr);
        const QFontMetrics metrics(renameMove->font());
        // Wide, narrow and far too narrow: the lines always fit the tile, across and
        // down, and say the whole title unless an ellipsis ends them.
        for (const int width : {renameMove->width(), 56, 40, 20}) {
            SCOPED_TRACE(width);
            const QStringList lines = renameMove->titleLines(width);
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_LE(lines.size(), 2);
            // Under the icon and its spacing.
            EXPECT_LE(static_cast<int>(lines.size()) * metrics.height() + MingCute::iconSize(15).height() + 3,
                      ActionTile::tileHeight);
            for (const QString& line : lines) {
                EXPECT_LE(metrics.horizontalAdvance(line), width - 4) << line.toStdString();
            }
            QString said = lines.join(QString());
            said.remove(QLatin1Char(' '));
            QString title = renameMove->text();
            title.remove(QLatin1Char(' '));
            if (!lines.last().endsWith(QChar(0x2026))) {
                EXPECT_EQ(said, title);
            }
        }
        EXPECT_EQ(renameMove->titleLines(56).size(), 2);
        EXPECT_TRUE(renameMove->titleLines(20).last().endsWith(QChar(0x2026)));
        // One wrapped title leaves every icon of the row on one line, clear of the top.
        const int wraps = static_cast<int>(renameMove->titleLines(renameMove->width()).size());
        for (ActionTile* other : tiles) {
            EXPECT_EQ(other->iconRect().top(), renameMove->iconRect().top())
                << other->text().toStdString() << " beside a title of " << wraps << " lines";
            EXPECT_GE(other->iconRect().top(), 3) << other->text().toStdString();
        }
        test::saveGrab(m_container.get(), QString::fromLatin1(language));
    }
}

TEST_F(InspectorViewTest, TheChineseAndEnglishPanesFitTheirTexts)
{
    ObjectDetails details;
    details.contentType = "image/png";
    details.eTag = "\"5d41402abc4b2a76b9719d911017c592\"";
    details.metadata = {{"author", "王小明"}, {"project", "设计稿 2024 年度总结 / 第三季度 / 最终版"}};
    ObjectItem photo = object("designs/2024/年度总结/封面-最终版-已确认-高分辨率导出版本.png", 5 * 1024 * 1024);
    photo.lastModified = TimePoint(std::chrono::seconds(1'780'000'000));
    AppStateTestAccess::showListing(*m_state, std::nullopt, std::nullopt, "designs/2024/年度总结/", {photo});
    const QString png = m_files.png(QStringLiteral("cover.png"), QSize(1600, 900));
    for (const char* language : {"zh", "en"}) {
        L10n::setLanguageCode(QString::fromLatin1(language));
        build();
        select({photo.key}, InlinePreviewState::ready(photo.key, QUrl::fromLocalFile(png)), details);
        // A long key is cut in the middle: its start and its extension stay.
        for (MiddleElidedLabel* label : shown<MiddleElidedLabel>()) {
            if (label->fullText() == QString::fromStdString(photo.key)) {
                EXPECT_TRUE(label->isElided());
                EXPECT_TRUE(label->text().startsWith(QStringLiteral("designs/")));
                EXPECT_TRUE(label->text().endsWith(QStringLiteral(".png")));
            }
        }
        QTest::qWait(200);
        test::saveGrab(m_container.get(), QString::fromLatin1(language));
    }
}

}  // namespace
}  // namespace tarn
