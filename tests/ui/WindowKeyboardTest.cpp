#include "app/AppStateTestAccess.h"
#include "ui/ContentFixture.h"
#include "ui/UiTestSupport.h"
#include "ui/browser/BrowserHeader.h"
#include "ui/browser/GlassSearchField.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/inspector/ActionTile.h"
#include "ui/inspector/InspectorView.h"
#include "ui/views/SegmentedControl.h"
#include "ui/window/InspectorContainer.h"
#include "ui/window/MainToolbar.h"
#include "ui/window/WindowContentFactory.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace tarn {
namespace {

// The keyboard in the window as the program builds it: the panes and the controls
// between them.
class WindowKeyboardTest : public test::ContentFixture {
protected:
    void SetUp() override
    {
        m_sample = test::sampleAccounts(false);
        useConfig(m_sample.config);
        AppStateTestAccess::showListing(state(), m_sample.photos.id, m_sample.photos.id, "",
                                        {{"a.txt", 10}, {"b.txt", 20}, {"c.txt", 30}}, {{"2024/"}});
        settle();
    }

    ObjectBrowserView& browser() { return *qobject_cast<ObjectBrowserView*>(content().browser()); }
    ObjectTableView& table() { return *browser().table(); }
    InspectorView& inspector()
    {
        return *qobject_cast<InspectorView*>(content().inspectorContainer()->inspector());
    }

    static QWidget* focus() { return QApplication::focusWidget(); }

    // Selects keys and waits until the inspector has shown what the state found for
    // them (here, without a stored secret, a failed preview).
    void select(const KeySet& keys)
    {
        state().setSelectedObjectKeys(keys);
        ASSERT_TRUE(QTest::qWaitFor([this] {
            return state().inlinePreviewState().kind != InlinePreviewState::Kind::loading;
        }));
        settle();
    }

    // Presses a key where the focus is, as the window system delivers it.
    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
        settle();
    }

    test::SampleAccounts m_sample;
};

TEST_F(WindowKeyboardTest, TabLeavesTheTableWithoutMovingTheSelection)
{
    select({"b.txt"});
    ASSERT_EQ(inspector().currentLayout(), InspectorView::Layout::object);
    table().setFocus(Qt::OtherFocusReason);
    settle();
    const QModelIndex current = table().currentIndex();

    press(Qt::Key_Tab);
    EXPECT_NE(focus(), &table());
    EXPECT_EQ(state().selectedObjectKeys(), KeySet{"b.txt"});
    EXPECT_EQ(table().currentIndex(), current);

    // Shift+Tab comes back to the table, and goes on out of it the other way.
    press(Qt::Key_Backtab);
    EXPECT_EQ(focus(), &table());
    press(Qt::Key_Backtab);
    EXPECT_NE(focus(), &table());
    EXPECT_EQ(state().selectedObjectKeys(), KeySet{"b.txt"});
    EXPECT_EQ(table().currentIndex(), current);
}

TEST_F(WindowKeyboardTest, TabReachesTheSidebarTheSearchAndTheInspectorsButtons)
{
    select({"a.txt"});
    table().setFocus(Qt::OtherFocusReason);
    settle();

    // Round the window once: every pane has its turn, and the selection stays.
    std::set<QWidget*> visited;
    bool sidebar = false;
    bool search = false;
    int tiles = 0;
    for (int step = 0; step < 40; ++step) {
        press(Qt::Key_Tab);
        QWidget* now = focus();
        ASSERT_NE(now, nullptr);
        if (!visited.insert(now).second) {
            break;
        }
        sidebar = sidebar || content().sidebar()->isAncestorOf(now);
        search = search || now == browser().header()->searchField();
        tiles += qobject_cast<ActionTile*>(now) != nullptr ? 1 : 0;
    }
    EXPECT_TRUE(visited.count(&table()) == 1);
    EXPECT_TRUE(sidebar);
    EXPECT_TRUE(search);
    EXPECT_EQ(tiles, 4);
    EXPECT_EQ(state().selectedObjectKeys(), KeySet{"a.txt"});

    // The pane rebuilt under a tile the keyboard is on (the object's details came)
    // leaves the keyboard on that tile.
    const QList<ActionTile*> before = inspector().actionTiles();
    ASSERT_EQ(before.size(), 4);
    before.at(1)->setFocus(Qt::TabFocusReason);
    const QString title = before.at(1)->text();
    ObjectDetails details;
    details.item = ObjectItem{"a.txt", 10};
    AppStateTestAccess::setObjectDetails(state(), details);
    settle();
    auto* tile = qobject_cast<ActionTile*>(focus());
    ASSERT_NE(tile, nullptr);
    EXPECT_FALSE(before.contains(tile));
    EXPECT_EQ(tile->text(), title);
}

TEST_F(WindowKeyboardTest, TheTableHasTheKeysAgainWhenANewFolderSheetCloses)
{
    WindowContentFactory::standard().sheetPresenter(state(), content());
    select({"a.txt"});
    const struct {
        const char* name;
        int key;
        bool fromSearch;  // the keys were in the search field, which the click ends
    } endings[] = {{"created", Qt::Key_Return, false},
                   {"cancelled", Qt::Key_Escape, false},
                   {"created from the search field", Qt::Key_Return, true}};
    SegmentedControl* actions = toolbar().fileActions();
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.name);
        if (ending.fromSearch) {
            browser().header()->searchField()->setFocus(Qt::MouseFocusReason);
        } else {
            table().setFocus(Qt::OtherFocusReason);
        }
        settle();
        // The toolbar's button, which takes no focus.
        QTest::mouseClick(actions, Qt::LeftButton, {}, actions->segmentRect(1).center());
        settle();
        ASSERT_TRUE(state().showingNewFolder());
        auto* field = qobject_cast<QLineEdit*>(focus());
        ASSERT_NE(field, nullptr);
        QTest::keyClicks(field, QStringLiteral("drafts"));
        press(ending.key);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !state().isLoading(); }));
        settle();
        EXPECT_FALSE(state().showingNewFolder());
        EXPECT_EQ(focus(), &table());
    }
}

}  // namespace
}  // namespace tarn
