#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "ui/sheets/MultipartSheet.h"
#include "ui/views/SkeletonListView.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace tarn::test {
namespace {

MultipartUpload upload(std::string key, std::string uploadId, bool dated = true)
{
    MultipartUpload result;
    result.key = std::move(key);
    result.uploadId = std::move(uploadId);
    if (dated) {
        result.initiated = TimePoint(std::chrono::milliseconds(QDateTime(QDate(2024, 3, 9), QTime(9, 41)).toMSecsSinceEpoch()));
    }
    return result;
}

class MultipartSheetTest : public SheetFixture {
protected:
    MultipartSheetTest()
    {
        makePresenter();
        presenter().setFactory(SheetKind::multipart, [this](SheetPresenter& presenter, std::function<void()> close) {
            MultipartSheet::Operations operations;
            operations.reload = [this] { ++m_reloads; };
            operations.loadMore = [this] { ++m_pagesAsked; };
            operations.abortSelected = [this] { m_abortedSelection.push_back(state().selectedUploadIDs()); };
            operations.abort = [this](std::vector<MultipartUpload> uploads) { m_abortedAll.push_back(uploads); };
            return new MultipartSheet(presenter.state(), std::move(close), operations);
        });
    }

    MultipartSheet* open(std::vector<MultipartUpload> uploads, bool loading = false)
    {
        AppStateTestAccess::showMultipartUploads(state(), std::move(uploads), loading);
        state().setShowingTempFiles(true);
        settle();
        return qobject_cast<MultipartSheet*>(presenter().sheet(SheetKind::multipart));
    }

    std::vector<MultipartUpload> three() const
    {
        return {upload("videos/trip-2024.mov", "u-0"), upload("backups/db.tar.zst", "u-1", false),
                upload("raw/DSC_0001.ARW", "u-2")};
    }

    int m_reloads = 0;
    int m_pagesAsked = 0;
    std::vector<KeySet> m_abortedSelection;
    std::vector<std::vector<MultipartUpload>> m_abortedAll;
};

TEST_F(MultipartSheetTest, RowsAndCountFollowTheStateList)
{
    MultipartSheet* sheet = open({}, true);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->table()->rowCount(), 0);
    EXPECT_TRUE(sheet->placeholder()->isVisible()) << "bars while the first page loads";
    EXPECT_EQ(sheet->countLabel()->text(), QStringLiteral("Loading…"));

    AppStateTestAccess::showMultipartUploads(state(), three(), false);
    EXPECT_FALSE(sheet->placeholder()->isVisible());
    ASSERT_EQ(sheet->table()->rowCount(), 3);
    EXPECT_EQ(sheet->table()->item(0, 0)->text(), QStringLiteral("videos/trip-2024.mov"));
    EXPECT_EQ(sheet->table()->item(1, 1)->text(), QStringLiteral("\u2014"));
    EXPECT_EQ(sheet->table()->item(2, 1)->text(), QStringLiteral("Mar 9, 2024 09:41"));
    EXPECT_EQ(sheet->countLabel()->text(), QStringLiteral("3 uploads"));

    // An abort elsewhere shrinks the list: the sheet follows without being asked.
    AppStateTestAccess::showMultipartUploads(state(), {three()[1]}, false);
    EXPECT_EQ(sheet->table()->rowCount(), 1);
    EXPECT_EQ(sheet->countLabel()->text(), QStringLiteral("1 upload"));
    EXPECT_FALSE(sheet->emptyLabel()->isVisible());
    // Nothing left: the text stands in the middle of the table, and what would act
    // on a listed upload is disabled.
    AppStateTestAccess::showMultipartUploads(state(), {}, false);
    EXPECT_TRUE(sheet->emptyLabel()->isVisible());
    EXPECT_EQ(sheet->emptyLabel()->text(), QStringLiteral("No unfinished uploads"));
    EXPECT_TRUE(sheet->countLabel()->text().isEmpty());
    const QRect table(QPoint(0, 0), sheet->table()->size());
    const QRect empty = sheet->emptyLabel()->geometry();
    EXPECT_TRUE(table.contains(empty));
    EXPECT_NEAR(empty.center().x(), table.center().x(), 1);
    EXPECT_TRUE(sheet->emptyLabel()->alignment().testFlag(Qt::AlignCenter));
    EXPECT_FALSE(sheet->abortButton()->isEnabled());
    EXPECT_FALSE(sheet->abortAllButton()->isEnabled());
    EXPECT_TRUE(sheet->refreshButton()->isEnabled());
    EXPECT_TRUE(sheet->closeButton()->isEnabled());
    EXPECT_FALSE(sheet->placeholder()->isVisible());

    sheet->refreshButton()->click();
    EXPECT_EQ(m_reloads, 1);
}

TEST_F(MultipartSheetTest, TheNextPageIsAskedForOnlyNearTheEndOfTheList)
{
    std::vector<MultipartUpload> many;
    for (int i = 0; i < 60; ++i) {
        many.push_back(upload("parts/" + std::to_string(i) + ".bin", "u-" + std::to_string(i)));
    }
    MultipartSheet* sheet = open(many);
    ASSERT_NE(sheet, nullptr);
    settle();
    EXPECT_EQ(m_pagesAsked, 0) << "no further page to ask for";

    AppStateTestAccess::setHasMoreUploads(state(), true);
    settle();
    EXPECT_EQ(m_pagesAsked, 0) << "the end of the list is not in view";
    sheet->table()->scrollToBottom();
    settle();
    EXPECT_GE(m_pagesAsked, 1);

    // A list that fits whole asks at once.
    const int asked = m_pagesAsked;
    AppStateTestAccess::showMultipartUploads(state(), three(), false);
    settle();
    EXPECT_GT(m_pagesAsked, asked);
}

TEST_F(MultipartSheetTest, AbortSelectedHandsExactlyTheChosenUploadsToTheState)
{
    MultipartSheet* sheet = open(three());
    ASSERT_NE(sheet, nullptr);
    // Nothing chosen: the button cannot act, and the command (Return on it) beeps.
    EXPECT_FALSE(sheet->abortButton()->isEnabled());
    EXPECT_TRUE(sheet->abortAllButton()->isEnabled());
    sheet->abortSelected();
    EXPECT_EQ(m_ui.beeps, 1) << "nothing chosen";
    EXPECT_TRUE(m_abortedSelection.empty());

    QItemSelectionModel* selection = sheet->table()->selectionModel();
    const auto rows = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection->select(sheet->table()->model()->index(2, 0), rows);
    EXPECT_TRUE(sheet->abortButton()->isEnabled());
    selection->select(sheet->table()->model()->index(0, 0), rows);
    sheet->abortButton()->click();
    ASSERT_EQ(m_abortedSelection.size(), 1U);
    EXPECT_EQ(m_abortedSelection.front(), (KeySet{"u-0", "u-2"}));
    EXPECT_TRUE(m_abortedAll.empty());
}

TEST_F(MultipartSheetTest, TabLeavesTheListWithoutChoosingAnotherUpload)
{
    MultipartSheet* sheet = open(three());
    ASSERT_NE(sheet, nullptr);
    sheet->table()->setFocus(Qt::TabFocusReason);
    sheet->table()->selectRow(1);
    settle();
    ASSERT_TRUE(sheet->table()->hasFocus());

    // Tab goes on to the buttons; the chosen upload is still the one Abort aborts.
    QTest::keyClick(sheet->table(), Qt::Key_Tab);
    EXPECT_FALSE(sheet->table()->hasFocus());
    EXPECT_EQ(QApplication::focusWidget(), sheet->refreshButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(sheet->table()->hasFocus());
    sheet->abortButton()->click();
    ASSERT_EQ(m_abortedSelection.size(), 1U);
    EXPECT_EQ(m_abortedSelection.front(), KeySet{"u-1"});
}

TEST_F(MultipartSheetTest, TheSelectionFollowsItsUploadsAcrossNewPagesAndReloads)
{
    MultipartSheet* sheet = open(three());
    ASSERT_NE(sheet, nullptr);
    QItemSelectionModel* selection = sheet->table()->selectionModel();
    const auto rows = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    selection->select(sheet->table()->model()->index(1, 0), rows);
    selection->select(sheet->table()->model()->index(2, 0), rows);
    const auto selectedIDs = [&] {
        KeySet ids;
        for (const QModelIndex& index : selection->selectedRows()) {
            ids.insert(state().multipartUploads()[static_cast<std::size_t>(index.row())].uploadId);
        }
        return ids;
    };

    // A further page arrives while the user scrolls: the chosen rows stay chosen.
    std::vector<MultipartUpload> longer = three();
    longer.push_back(upload("later/page-two.bin", "u-3"));
    AppStateTestAccess::showMultipartUploads(state(), longer, false);
    EXPECT_EQ(selectedIDs(), (KeySet{"u-1", "u-2"}));

    // A reload that lists the uploads in another order, one of them gone.
    AppStateTestAccess::showMultipartUploads(state(), {longer[3], longer[2], longer[0]}, false);
    EXPECT_EQ(selectedIDs(), KeySet{"u-2"});
    EXPECT_EQ(selection->selectedRows().size(), 1);
    sheet->abortButton()->click();
    ASSERT_EQ(m_abortedSelection.size(), 1U);
    EXPECT_EQ(m_abortedSelection.front(), KeySet{"u-2"});
}

TEST_F(MultipartSheetTest, AbortAllAsksFirstAndAbortsTheListAsShown)
{
    MultipartSheet* sheet = open(three());
    ASSERT_NE(sheet, nullptr);
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm);
        m_ui.alertAnswers.push_back(confirm);
        sheet->abortAllButton()->click();
        EXPECT_TRUE(state().showingAbortConfirm());
        sheet->abortAllButton()->click();  // one question at a time
        ASSERT_EQ(m_ui.alertsShown.size(), confirm ? 2U : 1U);
        QTRY_VERIFY(!state().showingAbortConfirm());
    }
    EXPECT_EQ(m_ui.alertsShown.back().message, QStringLiteral("Abort all unfinished uploads?"));
    EXPECT_EQ(m_ui.alertsShown.back().confirmButton, QStringLiteral("Abort All"));
    ASSERT_EQ(m_abortedAll.size(), 1U) << "declined aborts nothing";
    EXPECT_EQ(m_abortedAll.front(), three());

    // With nothing listed there is nothing to ask about.
    AppStateTestAccess::showMultipartUploads(state(), {}, false);
    sheet->abortAllButton()->click();
    EXPECT_EQ(m_ui.alertsShown.size(), 2U);
    EXPECT_FALSE(state().showingAbortConfirm());
}

// Keys are the bucket's words: the tooltip of a key cut at its column shows it as written.
TEST_F(MultipartSheetTest, AKeysTooltipShowsItAsWritten)
{
    const std::string key = "<font size=6 color=red>videos/clip.mov</font>";
    MultipartSheet* sheet = open({upload(key, "u-0")});
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->table()->rowCount(), 1);
    QTextDocument shown;
    shown.setHtml(sheet->table()->item(0, 0)->toolTip());
    EXPECT_EQ(shown.toPlainText(), QString::fromStdString(key));
}

TEST_F(MultipartSheetTest, ReturnCloses)
{
    ASSERT_NE(open(three()), nullptr);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
    EXPECT_FALSE(state().showingTempFiles());
    settle();
    EXPECT_TRUE(presenter().shownSheets().empty());
}

TEST_F(MultipartSheetTest, LookOverTheDimmedWindow)
{
    const std::pair<QString, QLocale> languages[] = {{QStringLiteral("zh"), QLocale(QLocale::Chinese, QLocale::China)},
                                                     {QStringLiteral("en"), QLocale(QLocale::English, QLocale::UnitedStates)}};
    std::vector<MultipartUpload> uploads = three();
    uploads.push_back(upload("2024-summer/raw/DSC_0001-DSC_0999 exported for the family album final version.zip", "u-3"));
    uploads.push_back(upload("报告/第三季度/财务报表-最终版.xlsx", "u-4"));
    for (const auto& [code, locale] : languages) {
        L10n::setLanguageCode(code);
        QLocale::setDefault(locale);
        MultipartSheet* sheet = open(uploads);
        ASSERT_NE(sheet, nullptr);
        sheet->table()->setFocus();
        sheet->table()->selectRow(1);
        settle();
        saveGrab(window(), code);
        state().setShowingTempFiles(false);
        settle();
        ASSERT_NE(open({}, true), nullptr);
        saveGrab(window(), code + QStringLiteral("-loading"));
        state().setShowingTempFiles(false);
        settle();
        ASSERT_NE(open({}), nullptr);
        saveGrab(window(), code + QStringLiteral("-empty"));
        state().setShowingTempFiles(false);
        settle();
    }
    QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace tarn::test
