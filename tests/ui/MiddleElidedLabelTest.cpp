#include "ui/UiTestSupport.h"
#include "ui/inspector/MiddleElidedLabel.h"
#include "ui/window/EditCommandRouter.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarn {
namespace {

const QString kETag = QStringLiteral("\"9b2cf535f27731c974343645a3985328-12\"");

// A value cut in the middle still copies what it stands for: the hidden middle comes
// along with the "…" that replaces it, however the copy is asked for.
class MiddleElidedLabelTest : public ::testing::Test {
protected:
    MiddleElidedLabelTest()
        : m_label(kETag)
    {
        m_label.resize(QFontMetrics(m_label.font()).horizontalAdvance(kETag) / 2, 20);
        m_label.show();
        QApplication::setActiveWindow(&m_label);
        m_label.setFocus();
        QGuiApplication::clipboard()->clear();
    }

    ~MiddleElidedLabelTest() override { QGuiApplication::clipboard()->clear(); }

    // The shown text's position of its ellipsis.
    qsizetype cut() const { return m_label.text().indexOf(QChar(0x2026)); }

    static QString clipboard() { return QGuiApplication::clipboard()->text(); }

    MiddleElidedLabel m_label;
};

TEST_F(MiddleElidedLabelTest, CopyingTheSelectionCopiesTheWholeValueBehindIt)
{
    ASSERT_TRUE(m_label.isElided());
    ASSERT_GT(cut(), 0);
    const auto shown = static_cast<int>(m_label.text().size());
    const int ellipsis = static_cast<int>(cut());
    const int right = shown - ellipsis - 1;

    const struct {
        const char* what;
        int start;
        int length;
        QString copied;
    } cases[] = {
        {"all of it", 0, shown, kETag},
        {"the start", 0, 3, kETag.left(3)},
        {"the end", shown - 4, 4, kETag.right(4)},
        {"across the cut", ellipsis - 2, 4, kETag.mid(ellipsis - 2, kETag.size() - right - (ellipsis - 2) + 1)},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.what);
        m_label.setSelection(entry.start, entry.length);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&m_label, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard(), entry.copied);
    }

    // The Edit menu's Copy and Select All reach the label too.
    m_label.setSelection(0, 1);
    ASSERT_TRUE(EditCommandRouter::perform(EditCommandRouter::Command::selectAll, &m_label));
    QGuiApplication::clipboard()->clear();
    ASSERT_TRUE(EditCommandRouter::perform(EditCommandRouter::Command::copy, &m_label));
    EXPECT_EQ(clipboard(), kETag);
}

TEST_F(MiddleElidedLabelTest, TheContextMenuCopiesTheSelectionOrElseTheWholeValue)
{
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected);
        if (selected) {
            m_label.setSelection(0, 3);
        } else {
            m_label.setSelection(0, 0);
        }
        QGuiApplication::clipboard()->clear();
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            ASSERT_FALSE(menu->actions().isEmpty());
            menu->actions().front()->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), m_label.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&m_label, &event);
        EXPECT_EQ(clipboard(), selected ? kETag.left(3) : kETag);
    }
}

TEST_F(MiddleElidedLabelTest, SelectingWithTheMouseOffersTheWholeValueToAMiddleClick)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) {
        GTEST_SKIP() << "this platform has no selection to paste with a middle click";
    }
    const int y = m_label.height() / 2;
    QTest::mousePress(&m_label, Qt::LeftButton, {}, QPoint(1, y));
    QTest::mouseMove(&m_label, QPoint(m_label.width() - 1, y));
    QTest::mouseRelease(&m_label, Qt::LeftButton, {}, QPoint(m_label.width() - 1, y));
    ASSERT_TRUE(m_label.hasSelectedText());
    EXPECT_EQ(clipboard->text(QClipboard::Selection), kETag);
}

}  // namespace
}  // namespace tarn
