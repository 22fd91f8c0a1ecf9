#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"

#include "app/AppStateTestAccess.h"
#include "app/state/AppState.h"
#include "ui/inspector/ActionTile.h"
#include "ui/inspector/InspectorView.h"
#include "ui/window/InspectorContainer.h"
#include "ui/window/MainWindow.h"
#include "ui/window/SeparatorSplitter.h"
#include "ui/window/SeparatorSplitterHandle.h"
#include "ui/window/TripleSplitView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tarn {
namespace {

using test::settle;

class TripleSplitViewTest : public test::WindowFixture {
protected:
    void SetUp() override { launch(); }

    AppState& state() { return m_delegate->state(); }
    TripleSplitView& split() { return *m_delegate->content(); }
    SeparatorSplitter& splitter() { return *split().splitter(); }
    int sidebarWidth() { return split().sidebar()->width(); }
    int browserWidth() { return split().browser()->width(); }
    int inspectorWidth() { return split().inspectorContainer()->width(); }
    int splitWidth() { return splitter().width(); }

    // A drag of a divider with the mouse, from its middle to where it would leave
    // the pane right of it `rightWidth` pixels wide.
    void dragDivider(int divider, int rightWidth)
    {
        QSplitterHandle* handle = splitter().handle(divider + 1);
        const QPoint grab(handle->width() / 2, handle->height() / 2);
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, grab);
        const int handleLeft = splitWidth() - splitter().handleWidth() - rightWidth;
        const QPoint target = splitter().mapToGlobal(QPoint(handleLeft + grab.x(), grab.y()));
        QMouseEvent move(QEvent::MouseMove, handle->mapFromGlobal(target), target, Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, handle->mapFromGlobal(target));
    }

    void showInspector(bool showing)
    {
        AppStateTestAccess::setShowingPreview(state(), showing);
    }
};

TEST_F(TripleSplitViewTest, PlacesTheSidebarAndTheInspectorAtTheirWidthsAndTheBrowserBetween)
{
    EXPECT_EQ(sidebarWidth(), TripleSplitView::sidebarInitialWidth);
    EXPECT_EQ(inspectorWidth(), InspectorContainer::initialWidth);
    EXPECT_EQ(sidebarWidth() + browserWidth() + inspectorWidth() + 2 * splitter().handleWidth(), splitWidth());
    EXPECT_EQ(split().sidebar()->minimumWidth(), 220);
    EXPECT_EQ(split().sidebar()->maximumWidth(), 300);
    EXPECT_EQ(split().browser()->minimumWidth(), 300);
    EXPECT_EQ(split().inspectorContainer()->maximumWidth(), 440);

    // A wider window widens the browser alone.
    m_delegate->window()->resize(1400, 800);
    settle();
    EXPECT_EQ(sidebarWidth(), TripleSplitView::sidebarInitialWidth);
    EXPECT_EQ(inspectorWidth(), InspectorContainer::initialWidth);
    EXPECT_EQ(split().inspectorContainer()->currentWidth(), InspectorContainer::initialWidth);
}

TEST_F(TripleSplitViewTest, ADragOfTheInspectorsDividerStaysWithinItsLimitsAndIsKept)
{
    const struct {
        int leave;
        int expected;
    } cases[] = {{100, 280}, {600, 440}, {320, 320}, {280, 280}, {440, 440}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leave);
        dragDivider(1, c.leave);
        EXPECT_EQ(inspectorWidth(), c.expected);
        EXPECT_EQ(split().inspectorContainer()->currentWidth(), c.expected);
        EXPECT_EQ(split().inspectorContainer()->inspector()->width(), c.expected);
    }
    showInspector(false);
    EXPECT_EQ(inspectorWidth(), 0);
    showInspector(true);
    EXPECT_EQ(inspectorWidth(), 440);
}

TEST_F(TripleSplitViewTest, OnlyTheInspectorsDividerIsConstrained)
{
    dragDivider(0, splitWidth() - 100);
    EXPECT_EQ(sidebarWidth(), 220);
    dragDivider(0, splitWidth() - 500);
    EXPECT_EQ(sidebarWidth(), 300);
    EXPECT_EQ(split().constrainSplitPosition(123, 0), 123);
}

TEST_F(TripleSplitViewTest, PullingTheHiddenInspectorOutShowsItWithTheCurrentSelection)
{
    const Uuid bucket = Uuid::random();
    AppStateTestAccess::showListing(state(), bucket, bucket, "", {{"README.md", 910}}, {{"docs/"}});
    state().setSelectedObjectKeys({"README.md"});
    settle();
    auto* inspector = qobject_cast<InspectorView*>(split().inspectorContainer()->inspector());
    ASSERT_NE(inspector, nullptr);
    ASSERT_EQ(inspector->currentLayout(), InspectorView::Layout::object);

    // Hidden, another selection, then the divider pulled out of the window's edge.
    showInspector(false);
    EXPECT_EQ(inspectorWidth(), 0);
    EXPECT_FALSE(inspector->isVisible()) << "nothing in a closed pane takes the keyboard";
    state().setSelectedObjectKeys({"docs/"});
    settle();
    EXPECT_EQ(split().constrainSplitPosition(splitWidth(), 1), splitWidth() - splitter().handleWidth())
        << "pushed against the edge, it stays closed";
    EXPECT_FALSE(state().showingPreview());
    dragDivider(1, 320);
    settle();
    EXPECT_TRUE(state().showingPreview());
    EXPECT_FALSE(split().isSliding());
    EXPECT_EQ(inspectorWidth(), 320);
    EXPECT_TRUE(inspector->isVisible());
    EXPECT_EQ(inspector->currentLayout(), InspectorView::Layout::folder);
    const QList<ActionTile*> tiles = inspector->actionTiles();
    ASSERT_FALSE(tiles.isEmpty());
    EXPECT_EQ(tiles.front()->iconName(), QStringLiteral("folder"));

    // A pull of a few pixels opens it at its smallest width.
    showInspector(false);
    dragDivider(1, 5);
    EXPECT_TRUE(state().showingPreview());
    EXPECT_EQ(inspectorWidth(), InspectorContainer::minWidth);
}

TEST_F(TripleSplitViewTest, TheInspectorSlidesFromWhereTheDividerStands)
{
    const test::ScopedAnimations animations(true);
    auto* inspector = split().inspectorContainer()->inspector();

    showInspector(false);
    EXPECT_TRUE(split().isSliding());
    ASSERT_TRUE(QTest::qWaitFor([&] { return inspectorWidth() < 300; }, 2000));
    // The inspector is not squeezed: it keeps its width and is clipped.
    EXPECT_EQ(inspector->width(), InspectorContainer::initialWidth);

    // Turning back before the end starts from the divider's place, not from an end.
    const int reversedAt = inspectorWidth();
    showInspector(true);
    EXPECT_TRUE(split().isSliding());
    EXPECT_NEAR(inspectorWidth(), reversedAt, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !split().isSliding(); }, 2000));
    EXPECT_EQ(inspectorWidth(), InspectorContainer::initialWidth);

    // Asking for where it already is starts nothing.
    showInspector(true);
    EXPECT_FALSE(split().isSliding());
}

TEST_F(TripleSplitViewTest, AnotherSelectionAsksForTheInspectorOnceAndTheSameOneNot)
{
    QSignalSpy refreshes(&split(), &TripleSplitView::inspectorRefreshNeeded);
    state().setSelectedObjectKeys({"a.txt"});
    EXPECT_EQ(refreshes.count(), 1);
    state().setSelectedObjectKeys({"a.txt"});
    EXPECT_EQ(refreshes.count(), 1);
    state().setSelectedObjectKeys({"a.txt", "b.txt"});
    EXPECT_EQ(refreshes.count(), 2);
    state().setSelectedObjectKeys({});
    EXPECT_EQ(refreshes.count(), 3);
}

}  // namespace
}  // namespace tarn
