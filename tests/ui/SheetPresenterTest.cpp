#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "ui/sheets/DeleteConfirmSheet.h"
#include "ui/sheets/SheetView.h"
#include "ui/sheets/TextInputSheet.h"
#include "ui/theme/TarnStyle.h"
#include "ui/views/SheetOverlayView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

using Keys = std::vector<std::string>;

// A key pressed at the keyboard: it goes to whatever has the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
}

// A stand-in sheet for flags whose real sheet is built elsewhere: a field and a
// Cancel button that runs the close action, as every sheet's does.
class StandInSheet : public SheetView {
public:
    explicit StandInSheet(std::function<void()> close)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(inset, inset, inset, inset);
        layout->addWidget(makeTitle(QStringLiteral("Stand-in")));
        field = new QLineEdit(this);
        field->setFixedWidth(300);
        layout->addWidget(field);
        cancel = makeButton(QStringLiteral("Cancel"), std::move(close));
        layout->addLayout(makeButtonRow({cancel}));
        setFocusProxy(field);
    }

    QLineEdit* field = nullptr;
    QPushButton* cancel = nullptr;
};

SheetFactory standIn()
{
    return [](SheetPresenter&, std::function<void()> close) { return new StandInSheet(std::move(close)); };
}

class SheetPresenterTest : public SheetFixture {
protected:
    SheetPresenterTest() { makePresenter(); }

    // Every dimmed layer over the window that is on screen.
    int visibleOverlays() const
    {
        int count = 0;
        for (const SheetOverlayView* overlay : m_window->findChildren<SheetOverlayView*>()) {
            count += overlay->isVisible() ? 1 : 0;
        }
        return count;
    }

    // The widget a user would hit at a point of the window.
    QWidget* widgetAt(const QPoint& point) const { return m_window->childAt(point); }
};

TEST_F(SheetPresenterTest, AFlagSetTwiceShowsOneSheet)
{
    state().setShowingNewFolder(true);
    state().setShowingNewFolder(true);
    settle();
    state().setShowingNewFolder(true);
    settle();
    EXPECT_EQ(presenter().shownSheets(), std::vector<SheetKind>{SheetKind::newFolder});
    EXPECT_EQ(visibleOverlays(), 1);
}

TEST_F(SheetPresenterTest, APresenterMadeWhileAFlagIsTrueShowsItsSheet)
{
    m_presenter.reset();
    state().setShowingHistory(true);
    makePresenter();
    EXPECT_TRUE(presenter().shownSheets().empty());  // on the next turn of the event loop
    settle();
    EXPECT_EQ(presenter().shownSheets(), std::vector<SheetKind>{SheetKind::history});
}

TEST_F(SheetPresenterTest, AFlagWithoutASheetShowsNothing)
{
    presenter().setFactory(SheetKind::share, {});
    state().setShowingShareSheet(true);
    settle();
    EXPECT_TRUE(presenter().shownSheets().empty());
    EXPECT_EQ(visibleOverlays(), 0);
    EXPECT_TRUE(state().showingShareSheet());
}

TEST_F(SheetPresenterTest, TwoFlagsStackAndClosingTheTopUncoversTheOther)
{
    state().setShowingNewFolder(true);
    settle();
    auto* newFolder = qobject_cast<TextInputSheet*>(presenter().sheet(SheetKind::newFolder));
    ASSERT_NE(newFolder, nullptr);
    QTest::keyClicks(nullptr, QStringLiteral("drafts"));
    EXPECT_EQ(newFolder->field()->text(), QStringLiteral("drafts"));

    state().setShowingHistory(true);
    settle();
    EXPECT_EQ(presenter().shownSheets(), (std::vector<SheetKind>{SheetKind::newFolder, SheetKind::history}));
    const QPoint centre = m_window->rect().center();
    SheetOverlayView* top = presenter().overlay(SheetKind::history);
    EXPECT_TRUE(top->isAncestorOf(widgetAt(centre)) || widgetAt(centre) == top);
    EXPECT_TRUE(top->isAncestorOf(QApplication::focusWidget()));
    // The sheet beneath does not get the keys meant for the top one.
    QTest::keyClicks(nullptr, QStringLiteral("xyz"));
    EXPECT_EQ(newFolder->field()->text(), QStringLiteral("drafts"));

    state().setShowingHistory(false);
    settle();
    EXPECT_EQ(presenter().shownSheets(), std::vector<SheetKind>{SheetKind::newFolder});
    EXPECT_EQ(visibleOverlays(), 1);
    EXPECT_EQ(QApplication::focusWidget(), newFolder->field());
    QTest::keyClicks(nullptr, QStringLiteral("/2024"));
    EXPECT_EQ(newFolder->field()->text(), QStringLiteral("drafts/2024"));
}

TEST_F(SheetPresenterTest, EscapeTheDimmedAreaAndCancelCloseAlike)
{
    struct Way {
        const char* name;
        std::function<void(SheetPresenter&, TextInputSheet&)> close;
    };
    const Way ways[] = {
        {"Escape", [](SheetPresenter&, TextInputSheet& sheet) { QTest::keyClick(sheet.field(), Qt::Key_Escape); }},
        {"dimmed area",
         [](SheetPresenter& presenter, TextInputSheet&) {
             QTest::mouseClick(presenter.overlay(SheetKind::newFolder), Qt::LeftButton, {}, QPoint(12, 12));
         }},
        {"Cancel", [](SheetPresenter&, TextInputSheet& sheet) { QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        state().setShowingNewFolder(true);
        settle();
        QPointer<TextInputSheet> sheet = qobject_cast<TextInputSheet*>(presenter().sheet(SheetKind::newFolder));
        ASSERT_NE(sheet, nullptr);
        way.close(presenter(), *sheet);
        EXPECT_FALSE(state().showingNewFolder());
        // Closed through the event loop, never inside the sheet's own handler.
        EXPECT_NE(sheet, nullptr);
        settle();
        EXPECT_EQ(sheet, nullptr);
        EXPECT_TRUE(presenter().shownSheets().empty());
        EXPECT_EQ(visibleOverlays(), 0);
        EXPECT_EQ(QApplication::focusWidget(), m_search);
    }
}

TEST_F(SheetPresenterTest, ClosingASheetClearsWhatItLeavesBehind)
{
    const Uuid profile = Uuid::random();
    AppStateTestAccess::parkUpload(state(), {"/tmp/a.txt"}, "docs/", {"docs/a.txt"}, Uuid::random());
    state().setEditingProfileID(profile);
    BucketConfig bucket;
    bucket.id = Uuid::random();
    bucket.bucketName = "photos";
    state().setEditingBucket(bucket);
    for (SheetKind kind : {SheetKind::uploadConflict, SheetKind::addBucket, SheetKind::bucketEditor}) {
        presenter().setFactory(kind, standIn());
    }
    state().setShowingUploadConflict(true);
    state().setShowingAddBucketEditor(true);
    state().setShowingBucketEditor(true);
    settle();
    ASSERT_EQ(presenter().shownSheets().size(), 3U);

    QTest::keyClick(static_cast<StandInSheet*>(presenter().sheet(SheetKind::bucketEditor))->field, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(state().showingBucketEditor());
    EXPECT_EQ(state().editingBucket(), bucket);  // its openers set it anew

    QTest::mouseClick(presenter().overlay(SheetKind::addBucket), Qt::LeftButton, {}, QPoint(8, 8));
    settle();
    EXPECT_FALSE(state().showingAddBucketEditor());
    EXPECT_EQ(state().editingProfileID(), std::nullopt);

    static_cast<StandInSheet*>(presenter().sheet(SheetKind::uploadConflict))->cancel->click();
    settle();
    EXPECT_FALSE(state().showingUploadConflict());
    EXPECT_TRUE(state().pendingUploadURLs().empty());
    EXPECT_TRUE(state().pendingUploadExistingKeys().empty());
    EXPECT_EQ(state().pendingUploadBucketID(), std::nullopt);
    EXPECT_TRUE(presenter().shownSheets().empty());
}

TEST_F(SheetPresenterTest, KeysTypedWhileASheetIsOpenNeverReachTheWindowBeneath)
{
    m_search->setText(QStringLiteral("IMG"));
    const QModelIndex current = m_table->currentIndex();
    int shortcutRuns = 0;
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+D")), m_table);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++shortcutRuns; });
    press(Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(shortcutRuns, 1);  // the shortcut works without a sheet

    state().setShowingNewFolder(true);
    settle();
    auto* sheet = qobject_cast<TextInputSheet*>(presenter().sheet(SheetKind::newFolder));
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), sheet->field());

    // Typed at the keyboard: the sheet's field takes it.
    QTest::keyClicks(nullptr, QStringLiteral("abc"));
    press(Qt::Key_Down);
    press(Qt::Key_D, Qt::ControlModifier);
    // Sent straight to the widgets under the overlay, or moved there by code.
    QTest::keyClicks(m_search, QStringLiteral("xyz"));
    QTest::keyClick(m_table, Qt::Key_Down);
    QTest::keyClick(m_table, Qt::Key_End);
    m_table->setFocus();
    press(Qt::Key_Down);
    settle();
    // Tab goes round the sheet's own controls only.
    for (int i = 0; i < 5; ++i) {
        press(Qt::Key_Tab);
        EXPECT_TRUE(presenter().overlay(SheetKind::newFolder)->isAncestorOf(QApplication::focusWidget()));
    }
    press(Qt::Key_Backtab);
    EXPECT_TRUE(presenter().overlay(SheetKind::newFolder)->isAncestorOf(QApplication::focusWidget()));

    EXPECT_EQ(m_search->text(), QStringLiteral("IMG"));
    EXPECT_EQ(m_table->currentIndex().row(), current.row());
    EXPECT_EQ(shortcutRuns, 1);
    EXPECT_EQ(sheet->field()->text(), QStringLiteral("abc"));

    press(Qt::Key_Escape);
    settle();
    EXPECT_TRUE(presenter().shownSheets().empty());
    // The window has its keyboard back.
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(shortcutRuns, 2);
    QTest::keyClicks(nullptr, QStringLiteral("_0"));
    EXPECT_EQ(m_search->text(), QStringLiteral("IMG_0"));
}

TEST_F(SheetPresenterTest, ClicksOnTheDimmedWindowReachNothingBeneath)
{
    state().setShowingHistory(true);
    settle();
    const QModelIndex current = m_table->currentIndex();
    const QPoint onTable = m_table->mapTo(m_window.get(), m_table->rect().bottomLeft() + QPoint(40, -20));
    QWidget* hit = widgetAt(onTable);
    EXPECT_TRUE(presenter().overlay(SheetKind::history)->isAncestorOf(hit) ||
                hit == presenter().overlay(SheetKind::history));
    // Sent to the table directly all the same: it is not taken.
    QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, QPoint(40, 60));
    EXPECT_EQ(m_table->currentIndex().row(), current.row());
    EXPECT_TRUE(state().showingHistory());
}

class DeleteConfirmationTest : public SheetPresenterTest {
protected:
    DeleteConfirmationTest()
    {
        const Uuid bucket = Uuid::random();
        AppStateTestAccess::showListing(state(), bucket, bucket, "",
                                        {{"a.txt", 10}, {"b.txt", 20}, {"c.txt", 30}});
        // The requests of this test are the selected keys, made the way the state
        // makes its own: none when nothing is selected.
        SheetOperations operations;
        operations.prepareDelete = SheetOperations::deleteThrough<Keys>(
            [this]() -> std::optional<Keys> {
                ++requestsMade;
                Keys keys;
                for (const ObjectItem& item : state().selectedObjects()) {
                    keys.push_back(item.key);
                }
                return keys.empty() ? std::nullopt : std::optional<Keys>(keys);
            },
            [this](const Keys& keys) { deleted.push_back(keys); });
        presenter().setOperations(operations);
    }

    DeleteConfirmSheet* openAlert()
    {
        state().setShowingDeleteConfirm(true);
        settle();
        return qobject_cast<DeleteConfirmSheet*>(presenter().sheet(SheetKind::deleteConfirm));
    }

    int requestsMade = 0;
    std::vector<Keys> deleted;
};

TEST_F(DeleteConfirmationTest, NothingSelectedShowsNoAlert)
{
    EXPECT_EQ(openAlert(), nullptr);
    EXPECT_FALSE(state().showingDeleteConfirm());
    EXPECT_EQ(requestsMade, 1);
    EXPECT_EQ(visibleOverlays(), 0);

    // Without delete operations at all, the same.
    presenter().setOperations({});
    state().setSelectedObjectKeys({"a.txt"});
    EXPECT_EQ(openAlert(), nullptr);
    EXPECT_FALSE(state().showingDeleteConfirm());
}

TEST_F(DeleteConfirmationTest, DeleteRemovesWhatWasSelectedWhenTheAlertOpened)
{
    state().setSelectedObjectKeys({"a.txt"});
    DeleteConfirmSheet* alert = openAlert();
    ASSERT_NE(alert, nullptr);
    // Over the window, as its sheets are, not in a window of its own.
    EXPECT_TRUE(alert->isVisible());
    EXPECT_FALSE(alert->isWindow());
    EXPECT_EQ(alert->window(), m_window.get());
    EXPECT_EQ(visibleOverlays(), 1);
    EXPECT_EQ(alert->titleLabel()->text(), L10n::t(QStringLiteral("delete_confirm_title")));
    EXPECT_EQ(alert->messageLabel()->text(), state().deleteConfirmationMessage());
    EXPECT_EQ(alert->deleteButton()->text(), L10n::t(QStringLiteral("delete")));
    EXPECT_EQ(alert->cancelButton()->text(), L10n::t(QStringLiteral("cancel")));
    // Delete at the trailing end, drawn as destructive; Cancel not in the accent.
    EXPECT_GT(alert->deleteButton()->x(), alert->cancelButton()->x());
    EXPECT_TRUE(alert->deleteButton()->property(TarnStyle::destructiveProperty).toBool());
    EXPECT_FALSE(alert->deleteButton()->isDefault());
    EXPECT_FALSE(alert->cancelButton()->isDefault());
    saveGrab(window());

    state().setSelectedObjectKeys({"b.txt", "c.txt"});
    alert->deleteButton()->click();
    settle();
    EXPECT_EQ(deleted, std::vector<Keys>{Keys{"a.txt"}});
    EXPECT_EQ(requestsMade, 1);  // not made again
    EXPECT_FALSE(state().showingDeleteConfirm());
    EXPECT_EQ(presenter().sheet(SheetKind::deleteConfirm), nullptr);
    EXPECT_EQ(visibleOverlays(), 0);
}

TEST_F(DeleteConfirmationTest, ReturnCancelsUnlessTheUserMovedToDelete)
{
    struct Way {
        const char* name;
        std::function<void(DeleteConfirmSheet&)> answer;
        bool deletes;
    };
    const Way ways[] = {
        {"Return", [](DeleteConfirmSheet&) { press(Qt::Key_Return); }, false},
        {"Enter", [](DeleteConfirmSheet&) { press(Qt::Key_Enter, Qt::KeypadModifier); }, false},
        {"Escape", [](DeleteConfirmSheet&) { press(Qt::Key_Escape); }, false},
        {"Cancel", [](DeleteConfirmSheet& alert) { alert.cancelButton()->click(); }, false},
        {"Tab, then Return",
         [](DeleteConfirmSheet&) {
             press(Qt::Key_Tab);
             press(Qt::Key_Return);
         },
         true},
        {"Space on Delete",
         [](DeleteConfirmSheet& alert) {
             alert.deleteButton()->setFocus(Qt::TabFocusReason);
             press(Qt::Key_Space);
         },
         true},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        deleted.clear();
        state().setSelectedObjectKeys({"a.txt", "c.txt"});
        DeleteConfirmSheet* alert = openAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->titleLabel()->text(), L10n::t(QStringLiteral("batch_delete_confirm_title")));
        // The keyboard starts on Cancel.
        EXPECT_EQ(QApplication::focusWidget(), alert->cancelButton());
        way.answer(*alert);
        settle();
        EXPECT_EQ(deleted.size(), way.deletes ? 1U : 0U);
        if (way.deletes) {
            EXPECT_EQ(deleted.front(), (Keys{"a.txt", "c.txt"}));
        }
        EXPECT_FALSE(state().showingDeleteConfirm());
        EXPECT_EQ(presenter().sheet(SheetKind::deleteConfirm), nullptr);
    }
}

TEST_F(DeleteConfirmationTest, AnAlertLeftOpenByRebuiltContentDeletesNothing)
{
    state().setSelectedObjectKeys({"a.txt"});
    QPointer<DeleteConfirmSheet> alert = openAlert();
    ASSERT_NE(alert, nullptr);
    m_presenter.reset();
    settle();
    EXPECT_EQ(alert, nullptr);
    EXPECT_TRUE(deleted.empty());
}

TEST_F(DeleteConfirmationTest, LookOverTheDimmedWindow)
{
    for (const QString& language : {QStringLiteral("zh"), QStringLiteral("en")}) {
        L10n::setLanguageCode(language);
        state().setSelectedObjectKeys({"a.txt"});
        ASSERT_NE(openAlert(), nullptr);
        saveGrab(window(), QStringLiteral("one-") + language);
        state().setShowingDeleteConfirm(false);
        settle();
        state().setSelectedObjectKeys({"a.txt", "b.txt"});
        DeleteConfirmSheet* alert = openAlert();
        ASSERT_NE(alert, nullptr);
        alert->deleteButton()->setFocus(Qt::TabFocusReason);
        saveGrab(window(), QStringLiteral("batch-on-delete-") + language);
        state().setShowingDeleteConfirm(false);
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
