#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/text/L10n.h"
#include "ui/sheets/TextInputSheet.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace tarn::test {
namespace {

class TextInputSheetTest : public SheetFixture {
protected:
    TextInputSheetTest()
    {
        makePresenter();
        SheetOperations operations;
        operations.createFolder = [this](const QString& name) { created.push_back(name); };
        operations.moveSelectedObject = [this](const QString& destination) { moved.push_back(destination); };
        presenter().setOperations(operations);
    }

    TextInputSheet* open(SheetKind kind)
    {
        if (kind == SheetKind::newFolder) {
            state().setShowingNewFolder(true);
        } else {
            state().setShowingRenameMove(true);
        }
        settle();
        return qobject_cast<TextInputSheet*>(presenter().sheet(kind));
    }

    std::vector<QString> created;
    std::vector<QString> moved;
};

TEST_F(TextInputSheetTest, TrimsWhiteSpaceFromBothEndsOnly)
{
    struct Case {
        QString typed;
        QString handedOn;
    };
    const Case cases[] = {
        {QStringLiteral("  a b  "), QStringLiteral("a b")},
        {QStringLiteral("photos"), QStringLiteral("photos")},
        {QStringLiteral("\t2024/summer\n"), QStringLiteral("2024/summer")},
        // The ideographic space of Chinese input methods counts as white space.
        {QStringLiteral("\u3000照片 2024\u3000"), QStringLiteral("照片 2024")},
        {QStringLiteral("   "), QString()},
        {QStringLiteral("\u3000\n\t"), QString()},
        {QString(), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextInputSheet::trimmed(c.typed), c.handedOn) << c.typed.toStdString();
    }
}

TEST_F(TextInputSheetTest, BlankTextBeepsAndTheSheetStaysOpen)
{
    TextInputSheet* sheet = open(SheetKind::newFolder);
    ASSERT_NE(sheet, nullptr);
    QTest::keyClicks(sheet->field(), QStringLiteral("   "));
    QTest::keyClick(sheet->field(), Qt::Key_Return);
    sheet->confirmButton()->click();
    settle();
    EXPECT_EQ(m_ui.beeps, 2);
    EXPECT_TRUE(created.empty());
    EXPECT_TRUE(state().showingNewFolder());
    ASSERT_EQ(presenter().sheet(SheetKind::newFolder), sheet);
    EXPECT_EQ(sheet->field()->text(), QStringLiteral("   "));
    EXPECT_EQ(QApplication::focusWidget(), sheet->field());
}

TEST_F(TextInputSheetTest, ReturnInTheFieldConfirmsTheTrimmedTextAndCloses)
{
    TextInputSheet* sheet = open(SheetKind::newFolder);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), sheet->field());  // the caret is in the field at once
    EXPECT_TRUE(sheet->field()->text().isEmpty());
    EXPECT_EQ(sheet->field()->placeholderText(), L10n::t(QStringLiteral("folder_name")));
    EXPECT_EQ(sheet->confirmButton()->text(), L10n::t(QStringLiteral("create")));
    QTest::keyClicks(nullptr, QStringLiteral("  a b  "));
    QTest::keyClick(sheet->field(), Qt::Key_Return);
    EXPECT_EQ(created, std::vector<QString>{QStringLiteral("a b")});
    EXPECT_FALSE(state().showingNewFolder());
    settle();
    EXPECT_EQ(presenter().sheet(SheetKind::newFolder), nullptr);
    EXPECT_EQ(m_ui.beeps, 0);
}

TEST_F(TextInputSheetTest, RenameOpensWithTheProposedKeyAndMovesToTheConfirmedOne)
{
    state().setMoveDestinationKey("photos/IMG_0412.HEIC");
    TextInputSheet* sheet = open(SheetKind::renameMove);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->field()->text(), QStringLiteral("photos/IMG_0412.HEIC"));
    EXPECT_EQ(sheet->confirmButton()->text(), L10n::t(QStringLiteral("move")));
    sheet->field()->setText(QStringLiteral(" archive/IMG_0412.HEIC "));
    sheet->confirmButton()->click();
    settle();
    EXPECT_EQ(moved, std::vector<QString>{QStringLiteral("archive/IMG_0412.HEIC")});
    EXPECT_TRUE(created.empty());
    EXPECT_FALSE(state().showingRenameMove());
}

TEST_F(TextInputSheetTest, ConfirmingClosesEvenWithoutAnOperationBehindIt)
{
    presenter().setOperations({});
    TextInputSheet* sheet = open(SheetKind::newFolder);
    ASSERT_NE(sheet, nullptr);
    sheet->field()->setText(QStringLiteral("drafts"));
    sheet->confirmButton()->click();
    settle();
    EXPECT_FALSE(state().showingNewFolder());
    EXPECT_TRUE(presenter().shownSheets().empty());
}

TEST_F(TextInputSheetTest, CancelHandsNothingOn)
{
    TextInputSheet* sheet = open(SheetKind::newFolder);
    ASSERT_NE(sheet, nullptr);
    sheet->field()->setText(QStringLiteral("drafts"));
    sheet->cancelButton()->click();
    settle();
    EXPECT_TRUE(created.empty());
    EXPECT_FALSE(state().showingNewFolder());
}

TEST_F(TextInputSheetTest, ReturnPressesTheButtonTheKeyboardIsOn)
{
    // On Cancel, Return cancels; on the confirm button it confirms; in the field it
    // confirms, as the default button.
    const struct {
        int tabs;
        bool creates;
    } cases[] = {{1, false}, {2, true}, {0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tabs);
        created.clear();
        TextInputSheet* sheet = open(SheetKind::newFolder);
        ASSERT_NE(sheet, nullptr);
        QTest::keyClicks(sheet->field(), QStringLiteral("drafts"));
        for (int tab = 0; tab < c.tabs; ++tab) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(QApplication::focusWidget(), c.tabs == 0   ? static_cast<QWidget*>(sheet->field())
                                               : c.tabs == 1 ? sheet->cancelButton()
                                                             : sheet->confirmButton());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(created.size(), c.creates ? 1U : 0U);
        EXPECT_FALSE(state().showingNewFolder());
        settle();
        EXPECT_TRUE(presenter().shownSheets().empty());
    }
}

TEST_F(TextInputSheetTest, LookOverTheDimmedWindow)
{
    for (const QString& language : {QStringLiteral("zh"), QStringLiteral("en")}) {
        L10n::setLanguageCode(language);
        TextInputSheet* newFolder = open(SheetKind::newFolder);
        ASSERT_NE(newFolder, nullptr);
        saveGrab(window(), QStringLiteral("newFolder-") + language);
        newFolder->field()->insert(language == QStringLiteral("zh") ? QStringLiteral("旅行照片 2024")
                                                                    : QStringLiteral("Trip photos 2024"));
        saveGrab(window(), QStringLiteral("newFolder-typed-") + language);
        state().setShowingNewFolder(false);

        state().setMoveDestinationKey(language == QStringLiteral("zh") ? "相册/2024 夏天/IMG_0412.HEIC"
                                                                       : "photos/2024 summer/IMG_0412.HEIC");
        ASSERT_NE(open(SheetKind::renameMove), nullptr);
        saveGrab(window(), QStringLiteral("renameMove-") + language);
        state().setShowingRenameMove(false);
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
