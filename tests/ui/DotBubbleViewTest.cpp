#include "ui/UiTestSupport.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/DotBubbleView.h"
#include "ui/views/TintedBlurView.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

// The browser's status dot, as far as a bubble cares: a small brand-green circle.
class Dot : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(TarnTheme::brand());
        painter.drawEllipse(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5));
    }
};

// A window with a status bar along its bottom and the dot in it.
class DotBubbleViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(520, 220);
        auto* statusBar = new TintedBlurView(0.6, m_window.get());
        statusBar->setGeometry(0, 176, 520, 44);
        m_dot = new Dot(statusBar);
        m_dot->setGeometry(60, 15, 14, 14);
        m_window->show();
    }

    QList<DotBubbleView*> bubbles(QWidget* host) const
    {
        return host->findChildren<DotBubbleView*>(QString(), Qt::FindDirectChildrenOnly);
    }

    std::unique_ptr<QWidget> m_window;
    QWidget* m_dot = nullptr;
};

TEST_F(DotBubbleViewTest, ASecondBubbleReplacesTheFirstAtOnce)
{
    DotBubbleView::show(QStringLiteral("first"), m_dot, m_window.get());
    DotBubbleView* second = DotBubbleView::show(QStringLiteral("second"), m_dot, m_window.get());
    const QList<DotBubbleView*> shown = bubbles(m_window.get());
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first(), second);
    EXPECT_EQ(second->text(), QStringLiteral("second"));
    // The first one's end, later, leaves the second alone.
    EXPECT_TRUE(QTest::qWaitFor([&] { return bubbles(m_window.get()).isEmpty(); }, 4000));
}

TEST_F(DotBubbleViewTest, SitsCentredAboveTheAnchor)
{
    DotBubbleView* bubble = DotBubbleView::show(QStringLiteral("3 uploads finished"), m_dot, m_window.get());
    const QPoint dotTopCentre = m_dot->mapTo(m_window.get(), QPoint(m_dot->width() / 2, 0));
    EXPECT_EQ(bubble->geometry().bottom() + 1, dotTopCentre.y() - 6);
    EXPECT_NEAR(bubble->geometry().center().x(), dotTopCentre.x(), 1);
    test::saveGrab(m_window.get());
}

TEST_F(DotBubbleViewTest, StaysInsideTheWindowBesideAnEdge)
{
    m_dot->move(0, 15);
    DotBubbleView* bubble = DotBubbleView::show(QStringLiteral("上传已全部完成"), m_dot, m_window.get());
    EXPECT_GE(bubble->x(), 0);
    EXPECT_LE(bubble->geometry().right(), m_window->width());
    test::saveGrab(m_window.get());
}

// The browser's dot sits just right of the sidebar's divider: its bubble stays in the
// browser's pane rather than straddling the divider.
TEST_F(DotBubbleViewTest, StaysInsideThePaneOfItsDot)
{
    auto* pane = new QWidget(m_window.get());
    pane->setGeometry(180, 0, 340, 220);
    auto* bar = new TintedBlurView(0.6, pane);
    bar->setGeometry(0, 176, 340, 44);
    auto* dot = new Dot(bar);
    dot->setGeometry(16, 15, 14, 14);
    pane->show();
    DotBubbleView* bubble = DotBubbleView::show(QStringLiteral("Downloading 12 items"), dot, pane);
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->parentWidget(), m_window.get());
    EXPECT_GE(bubble->x(), pane->x());
    EXPECT_LE(bubble->geometry().right(), pane->geometry().right());
    EXPECT_LT(bubble->geometry().bottom(), dot->mapTo(m_window.get(), QPoint(0, 0)).y());
    test::saveGrab(m_window.get());
}

TEST_F(DotBubbleViewTest, AnAnchorInNoWindowUsesTheFallback)
{
    QWidget lonely;
    lonely.resize(14, 14);
    DotBubbleView* bubble = DotBubbleView::show(QStringLiteral("hello"), &lonely, m_window.get());
    EXPECT_EQ(bubble->parentWidget(), m_window.get());
    EXPECT_EQ(bubbles(m_window.get()).size(), 1);
}

}  // namespace
}  // namespace tarn
