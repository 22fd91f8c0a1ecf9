#include "app/AppStateTestAccess.h"
#include "ui/ContentFixture.h"
#include "ui/PreviewTestFiles.h"
#include "ui/UiTestSupport.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/inspector/InspectorView.h"
#include "ui/preview/ImagePreview.h"
#include "ui/preview/MediaPreview.h"
#include "ui/preview/PdfPreview.h"
#include "ui/preview/PreviewHost.h"
#include "ui/preview/TextPreview.h"
#include "ui/preview/WebPreview.h"
#include "ui/window/InspectorContainer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMediaPlayer>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace tarn {
namespace {

// The context menu in the window as the program builds it, with the inspector
// beside the table reacting to each selection.
class ContextMenuWindowTest : public test::ContentFixture {
protected:
    void SetUp() override
    {
        m_sample = test::sampleAccounts(false);
        useConfig(m_sample.config);
    }

    void TearDown() override
    {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
        settle();
    }

    ObjectBrowserView& browser() { return *qobject_cast<ObjectBrowserView*>(content().browser()); }
    InspectorView& inspector()
    {
        return *qobject_cast<InspectorView*>(content().inspectorContainer()->inspector());
    }

    // A right-click as the window system delivers it: the press, then the menu's event.
    void rightClick(const std::string& key)
    {
        const std::optional<int> row = browser().model()->findRow(key);
        ASSERT_TRUE(row.has_value()) << key;
        QWidget* viewport = browser().table()->viewport();
        const QPoint at = browser().table()->visualRect(browser().model()->index(*row, 0)).center();
        QTest::mousePress(viewport, Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
    }

    // Whether the state's preview of the selection has come to an end of its own.
    bool settledPreview()
    {
        const InlinePreviewState::Kind kind = state().inlinePreviewState().kind;
        return kind != InlinePreviewState::Kind::loading && kind != InlinePreviewState::Kind::downloading &&
               kind != InlinePreviewState::Kind::empty;
    }

    // Whether the inspector shows the ready view of `file` and the view has done what
    // it does in the background with it (read, decoded or opened it): showing what it
    // made is what could take the menu away.
    bool previewArrived(const QString& file)
    {
        PreviewHost* host = inspector().previews();
        QWidget* view = host->cachedPreview();
        if (view == nullptr || host->cachedPreviewURL() != QUrl::fromLocalFile(file) ||
            inspector().previewContent() != view || !view->isVisible()) {
            return false;
        }
        if (const auto* text = qobject_cast<TextPreview*>(view)) {
            return text->isLoaded();
        }
        if (const auto* page = qobject_cast<WebPreview*>(view)) {
            return page->isLoaded();
        }
        if (const auto* image = qobject_cast<ImagePreview*>(view)) {
            return image->isLoaded();
        }
        if (const auto* pdf = qobject_cast<PdfPreview*>(view)) {
            return pdf->isLoaded();
        }
        if (const auto* media = qobject_cast<MediaPreview*>(view)) {
            const QMediaPlayer::MediaStatus status = media->player()->mediaStatus();
            return status != QMediaPlayer::NoMedia && status != QMediaPlayer::LoadingMedia;
        }
        return true;  // a file's card loads nothing
    }

    test::SampleAccounts m_sample;
    test::PreviewTestFiles m_files;
};

TEST_F(ContextMenuWindowTest, TheMenuOfAnUnselectedFileStaysOpenWhileItsPreviewArrives)
{
    const QString text = m_files.write(QStringLiteral("todo.txt"), "buy milk\n");
    const QString page = m_files.write(QStringLiteral("notes.md"), "# Notes\n\nSome *text*.\n");
    const QString image = m_files.png(QStringLiteral("lake.png"), QSize(64, 48));
    const QString pdf = m_files.pdf(QStringLiteral("guide.pdf"), 1);
    const QString sound = m_files.wav(QStringLiteral("tone.wav"), 200);
    const QString other = m_files.write(QStringLiteral("disk.img"), QByteArray(64, '\0'));
    AppStateTestAccess::showListing(state(), m_sample.photos.id, m_sample.photos.id, "",
                                    {{"todo.txt", 9},
                                     {"notes.md", 24},
                                     {"lake.png", 300},
                                     {"guide.pdf", 900},
                                     {"tone.wav", 2000},
                                     {"disk.img", 64}},
                                    {{"2024/"}});
    settle();

    const struct {
        const char* key;
        QString file;
    } cases[] = {{"todo.txt", text}, {"notes.md", page}, {"lake.png", image}, {"guide.pdf", pdf},
                   {"tone.wav", sound}, {"disk.img", other}, {"2024/", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        state().setSelectedObjectKeys({});
        settle();
        rightClick(c.key);
        QMenu* menu = browser().contextMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(state().selectedObjectKeys(), KeySet{c.key});
        // The state has made what it can of the selection itself (here, without a
        // server, nothing): what comes next is not overtaken by it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return settledPreview(); }, 30000));
        // The selection's preview comes in while the menu is open (a ceiling, not a
        // pace: a loaded machine reads and decodes slowly).
        if (c.file.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return inspector().currentLayout() == InspectorView::Layout::folder; }));
        } else {
            AppStateTestAccess::setInlinePreviewState(state(),
                                                      InlinePreviewState::ready(c.key, QUrl::fromLocalFile(c.file)));
            ASSERT_TRUE(QTest::qWaitFor([&] { return previewArrived(c.file); }, 30000));
        }
        settle();
        EXPECT_NE(inspector().currentLayout(), InspectorView::Layout::empty);
        EXPECT_EQ(QApplication::activePopupWidget(), menu);
        ASSERT_NE(browser().contextMenu(), nullptr);
        EXPECT_TRUE(menu->isVisible());
        menu->close();
        settle();
    }
}

}  // namespace
}  // namespace tarn
