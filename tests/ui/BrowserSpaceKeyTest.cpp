#include "app/AppStateTestAccess.h"
#include "ui/ContentFixture.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/sheets/SheetPresenter.h"
#include "ui/sheets/TextInputSheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tarn {
namespace {

// Space in the window as the program builds it: the browser's preview toggle belongs
// to the table and the window around it, never to a sheet, a menu or a dialog over it.
class BrowserSpaceKeyTest : public test::ContentFixture {
protected:
    void SetUp() override
    {
        m_sample = test::sampleAccounts(false);
        useConfig(m_sample.config);
        const WindowContentFactory factory = WindowContentFactory::standard();
        m_presenter = qobject_cast<SheetPresenter*>(factory.sheetPresenter(state(), content()));
        ASSERT_NE(m_presenter, nullptr);
        AppStateTestAccess::showListing(state(), m_sample.photos.id, m_sample.photos.id, "",
                                        {{"cover.jpg", 1200}, {"notes.md", 300}});
        state().setSelectedObjectKeys({"cover.jpg"});
        settle();
    }

    ObjectTableView* table() { return qobject_cast<ObjectBrowserView*>(content().browser())->table(); }

    // Space as the user types it: to whatever has the keyboard.
    static void pressSpace()
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key_Space);
        settle();
    }

    test::SampleAccounts m_sample;
    SheetPresenter* m_presenter = nullptr;
};

TEST_F(BrowserSpaceKeyTest, SpaceInTheTableTogglesThePreview)
{
    table()->setFocus();
    ASSERT_TRUE(state().showingPreview());
    pressSpace();
    EXPECT_FALSE(state().showingPreview());
    pressSpace();
    EXPECT_TRUE(state().showingPreview());
}

TEST_F(BrowserSpaceKeyTest, SpaceOverASheetPressesItsFocusedControl)
{
    state().setShowingNewFolder(true);
    settle();
    auto* sheet = qobject_cast<TextInputSheet*>(m_presenter->sheet(SheetKind::newFolder));
    ASSERT_NE(sheet, nullptr);

    // A check box of the sheet is ticked, and nothing behind the sheet moves.
    auto* option = new QCheckBox(QStringLiteral("option"), sheet);
    option->show();
    option->setFocus();
    pressSpace();
    EXPECT_TRUE(option->isChecked());
    EXPECT_TRUE(state().showingPreview());

    sheet->cancelButton()->setFocus();
    pressSpace();
    EXPECT_TRUE(state().showingPreview()) << "the inspector behind the sheet stays";
    EXPECT_FALSE(state().showingNewFolder()) << "Cancel was pressed";
}

// A menu open over the table (its context menu) takes its keys itself.
class RecordingMenu : public QMenu {
public:
    bool sawSpace = false;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        sawSpace = sawSpace || event->key() == Qt::Key_Space;
        QMenu::keyPressEvent(event);
    }
};

TEST_F(BrowserSpaceKeyTest, SpaceInAMenuOverTheTableIsTheMenus)
{
    table()->setFocus();
    RecordingMenu menu;
    menu.addAction(QStringLiteral("item"));
    menu.popup(table()->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, Qt::Key_Space);
    settle();
    EXPECT_TRUE(state().showingPreview());
    EXPECT_TRUE(menu.sawSpace);
}

}  // namespace
}  // namespace tarn
