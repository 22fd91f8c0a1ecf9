#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "ui/sheets/EditMetadataSheet.h"
#include "ui/theme/TarnStyle.h"
#include "ui/views/SheetOverlayView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tarn::test {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairsOf(const std::vector<MetadataPair>& pairs)
{
    Pairs result;
    for (const MetadataPair& pair : pairs) {
        result.emplace_back(pair.key, pair.value);
    }
    return result;
}

std::vector<MetadataPair> draftOf(const Pairs& pairs)
{
    std::vector<MetadataPair> draft;
    for (const auto& [key, value] : pairs) {
        draft.push_back({Uuid::random(), key, value});
    }
    return draft;
}

ObjectDetails detailsOf(const std::string& key)
{
    ObjectDetails details;
    details.item.key = key;
    details.item.size = 48213;
    details.contentType = "image/jpeg";
    return details;
}

// The state inspecting "photos/cover.jpg" with its details loaded, and a sheet
// whose save records the draft it finds.
class EditMetadataSheetTest : public SheetFixture {
protected:
    EditMetadataSheetTest()
    {
        makePresenter();
        AppStateTestAccess::showListing(state(), m_bucket, m_bucket, "photos/", {{"photos/cover.jpg", 48213}});
        state().setSelectedObjectKeys({"photos/cover.jpg"});
        AppStateTestAccess::setObjectDetails(state(), detailsOf("photos/cover.jpg"));
        presenter().setFactory(SheetKind::editMetadata, [this](SheetPresenter&, std::function<void()> close) {
            return new EditMetadataSheet(state(), [this] { saved.push_back(pairsOf(state().metadataDraft())); },
                                         std::move(close));
        });
    }

    EditMetadataSheet* open(const Pairs& draft)
    {
        state().setMetadataDraft(draftOf(draft));
        state().setShowingEditMetadata(true);
        settle();
        return qobject_cast<EditMetadataSheet*>(presenter().sheet(SheetKind::editMetadata));
    }

    static Pairs shown(const EditMetadataSheet& sheet)
    {
        Pairs result;
        for (const EditMetadataSheet::Row& row : sheet.rows()) {
            result.emplace_back(row.key->text().toStdString(), row.value->text().toStdString());
        }
        return result;
    }

    Uuid m_bucket = Uuid::random();
    std::vector<Pairs> saved;
};

TEST_F(EditMetadataSheetTest, SaveWritesTheRowsInScreenOrderWithoutEmptyOnes)
{
    EditMetadataSheet* sheet = open({{"author", "Ann"}, {"camera", "X100"}, {"album", "summer"}});
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(shown(*sheet), (Pairs{{"author", "Ann"}, {"camera", "X100"}, {"album", "summer"}}));
    EXPECT_EQ(QApplication::focusWidget(), sheet->rows()[0].key);  // the caret is in the first key

    // Added rows come last, with the caret in their key; spaces are kept as typed.
    sheet->addButton()->click();
    ASSERT_EQ(sheet->rows().size(), 4U);
    EXPECT_EQ(QApplication::focusWidget(), sheet->rows()[3].key);
    QTest::keyClicks(nullptr, QStringLiteral(" note "));
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
    QTest::keyClicks(nullptr, QStringLiteral("  two  words "));
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), sheet->rows()[3].remove);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), sheet->addButton());  // the sheet's buttons come last
    sheet->addButton()->click();  // left empty: dropped
    // A key without a value and a value without a key both count.
    sheet->rows()[1].key->clear();
    sheet->rows()[2].value->clear();
    // Removing the first row: gone at once from what is saved, the widget later.
    QPointer<QWidget> removed = sheet->rows()[0].view;
    sheet->rows()[0].remove->click();
    EXPECT_EQ(sheet->rows().size(), 4U);
    EXPECT_NE(removed, nullptr);

    QTest::keyClick(sheet->rows()[0].value, Qt::Key_Return);
    const Pairs expected{{"", "X100"}, {"album", ""}, {" note ", "  two  words "}};
    EXPECT_EQ(saved, std::vector<Pairs>{expected});
    EXPECT_EQ(pairsOf(state().metadataDraft()), expected);
    EXPECT_FALSE(state().showingEditMetadata());
    settle();
    EXPECT_EQ(removed, nullptr);
    EXPECT_TRUE(presenter().shownSheets().empty());
}

TEST_F(EditMetadataSheetTest, WhatCannotBeSentKeepsTheSheetOpenWithEverythingTyped)
{
    EditMetadataSheet* sheet = open({{"author", "Ann"}});
    ASSERT_NE(sheet, nullptr);
    const auto addRow = [&](const QString& key, const QString& value) {
        sheet->addButton()->click();
        QTest::keyClicks(nullptr, key);
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
        QTest::keyClicks(nullptr, value);
    };
    addRow(QStringLiteral("city"), QString());  // a value beyond ASCII
    qobject_cast<QLineEdit*>(QApplication::focusWidget())->insert(QStringLiteral("北京"));
    addRow(QStringLiteral(" Author "), QStringLiteral("Bob"));       // the same name again
    addRow(QStringLiteral("two words"), QStringLiteral("x"));        // no header name
    addRow(QStringLiteral("note"), QString());  // a tab (pasted: the key moves on)
    qobject_cast<QLineEdit*>(QApplication::focusWidget())->insert(QStringLiteral("line\tbreak"));
    const Pairs typed{{"author", "Ann"}, {"city", "北京"}, {" Author ", "Bob"}, {"two words", "x"}, {"note", "line\tbreak"}};

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
    EXPECT_TRUE(saved.empty());
    EXPECT_TRUE(state().showingEditMetadata());
    ASSERT_EQ(presenter().sheet(SheetKind::editMetadata), sheet);
    EXPECT_EQ(shown(*sheet), typed);
    const auto invalid = [](const QLineEdit* field) { return field->property(TarnStyle::invalidProperty).toBool(); };
    const struct {
        std::size_t row;
        bool keyFaulty;
        bool valueFaulty;
        QString reason;
    } marks[] = {
        {0, false, false, QString()},
        {1, false, true, L10n::t(QStringLiteral("refused_metadata_value"), QStringLiteral("city"))},
        {2, true, false, L10n::t(QStringLiteral("refused_metadata_duplicate"), QStringLiteral("Author"))},
        {3, true, false, L10n::t(QStringLiteral("refused_metadata_name"), QStringLiteral("two words"))},
        {4, false, true, L10n::t(QStringLiteral("refused_metadata_value"), QStringLiteral("note"))},
    };
    for (const auto& mark : marks) {
        SCOPED_TRACE(mark.row);
        const EditMetadataSheet::Row& row = sheet->rows()[mark.row];
        EXPECT_EQ(invalid(row.key), mark.keyFaulty);
        EXPECT_EQ(invalid(row.value), mark.valueFaulty);
        EXPECT_EQ(row.problem->isVisible(), !mark.reason.isEmpty());
        EXPECT_EQ(row.problem->text(), mark.reason);
    }
    // The caret is on the first fault.
    EXPECT_EQ(QApplication::focusWidget(), sheet->rows()[1].value);
    saveGrab(window());

    // The marks follow the typing: a mended row loses its mark at once.
    sheet->rows()[1].value->selectAll();
    QTest::keyClicks(sheet->rows()[1].value, QStringLiteral("Beijing"));
    EXPECT_FALSE(invalid(sheet->rows()[1].value));
    EXPECT_FALSE(sheet->rows()[1].problem->isVisible());
    // Without the second "Author", the first stays unmarked and the rest keep theirs.
    sheet->rows()[2].remove->click();
    ASSERT_EQ(sheet->rows().size(), 4U);
    EXPECT_FALSE(invalid(sheet->rows()[0].key));
    EXPECT_EQ(sheet->rows()[2].problem->text(),
              L10n::t(QStringLiteral("refused_metadata_name"), QStringLiteral("two words")));
    sheet->rows()[2].key->setFocus();
    sheet->rows()[2].key->selectAll();
    QTest::keyClicks(sheet->rows()[2].key, QStringLiteral("two-words"));
    sheet->rows()[3].value->setFocus();
    sheet->rows()[3].value->selectAll();
    QTest::keyClicks(sheet->rows()[3].value, QStringLiteral("line break"));
    for (const EditMetadataSheet::Row& row : sheet->rows()) {
        EXPECT_FALSE(invalid(row.key) || invalid(row.value) || row.problem->isVisible());
    }
    sheet->saveButton()->click();
    EXPECT_EQ(saved, (std::vector<Pairs>{
                         {{"author", "Ann"}, {"city", "Beijing"}, {"two-words", "x"}, {"note", "line break"}}}));
    EXPECT_FALSE(state().showingEditMetadata());
}

TEST_F(EditMetadataSheetTest, AnEmptyDraftOpensWithoutRowsAndSavesAnEmptyList)
{
    EditMetadataSheet* sheet = open({});
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->rows().empty());
    EXPECT_FALSE(sheet->scrollArea()->isVisible());
    saveGrab(window());
    // A row added and removed again leaves nothing either.
    sheet->addButton()->click();
    sheet->rows()[0].remove->click();
    settle();
    EXPECT_TRUE(sheet->rows().empty());
    sheet->saveButton()->click();
    EXPECT_EQ(saved, std::vector<Pairs>{Pairs{}});
    EXPECT_TRUE(state().metadataDraft().empty());
}

TEST_F(EditMetadataSheetTest, CancelEscapeAndTheDimmedAreaLeaveTheDraftAlone)
{
    const Pairs draft{{"author", "Ann"}};
    struct Way {
        const char* name;
        std::function<void(SheetPresenter&, EditMetadataSheet&)> close;
    };
    const Way ways[] = {
        {"Cancel", [](SheetPresenter&, EditMetadataSheet& sheet) { sheet.cancelButton()->click(); }},
        {"Escape", [](SheetPresenter&, EditMetadataSheet& sheet) { QTest::keyClick(sheet.rows()[0].key, Qt::Key_Escape); }},
        {"dimmed area",
         [](SheetPresenter& presenter, EditMetadataSheet&) {
             QTest::mouseClick(presenter.overlay(SheetKind::editMetadata), Qt::LeftButton, {}, QPoint(10, 10));
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        EditMetadataSheet* sheet = open(draft);
        ASSERT_NE(sheet, nullptr);
        sheet->rows()[0].value->setText(QStringLiteral("Bob"));
        sheet->addButton()->click();
        way.close(presenter(), *sheet);
        EXPECT_FALSE(state().showingEditMetadata());
        settle();
        EXPECT_TRUE(presenter().shownSheets().empty());
        EXPECT_EQ(pairsOf(state().metadataDraft()), draft);
    }
    EXPECT_TRUE(saved.empty());
}

TEST_F(EditMetadataSheetTest, SaveWaitsForTheDetailsOfTheObjectItWasOpenedFor)
{
    // Opened before any details: the draft was read from nothing, so it never saves.
    AppStateTestAccess::setObjectDetails(state(), std::nullopt);
    EditMetadataSheet* sheet = open({{"author", "Ann"}});
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    saveGrab(window(), QStringLiteral("unavailable"));
    QTest::keyClick(sheet->rows()[0].key, Qt::Key_Return);
    sheet->saveAndClose();
    AppStateTestAccess::setObjectDetails(state(), detailsOf("photos/cover.jpg"));
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    settle();
    EXPECT_TRUE(saved.empty());
    EXPECT_TRUE(state().showingEditMetadata());
    EXPECT_EQ(presenter().sheet(SheetKind::editMetadata), sheet);
    state().setShowingEditMetadata(false);
    settle();

    // Opened with them: unavailable while they reload, or when they are another object's.
    sheet = open({{"author", "Ann"}});
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
    AppStateTestAccess::setObjectDetails(state(), std::nullopt);
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    AppStateTestAccess::setObjectDetails(state(), detailsOf("photos/other.jpg"));
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    QTest::keyClick(sheet->rows()[0].key, Qt::Key_Return);
    EXPECT_TRUE(saved.empty());
    AppStateTestAccess::setObjectDetails(state(), detailsOf("photos/cover.jpg"));
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
    QTest::keyClick(sheet->rows()[0].key, Qt::Key_Return);
    EXPECT_EQ(saved, (std::vector<Pairs>{Pairs{{"author", "Ann"}}}));
    settle();
}

TEST_F(EditMetadataSheetTest, TheWindowsSheetWritesTheDraftAndCloses)
{
    presenter().setFactory(SheetKind::editMetadata, SheetCatalog::factory(SheetKind::editMetadata));
    EditMetadataSheet* sheet = open({{"author", "Ann"}});
    ASSERT_NE(sheet, nullptr);
    sheet->rows()[0].value->setText(QStringLiteral("Bob"));
    sheet->saveButton()->click();
    EXPECT_EQ(pairsOf(state().metadataDraft()), (Pairs{{"author", "Bob"}}));
    EXPECT_FALSE(state().showingEditMetadata());
    settle();
    EXPECT_TRUE(presenter().shownSheets().empty());
}

TEST_F(EditMetadataSheetTest, ManyRowsScrollInsideTheWindow)
{
    Pairs draft;
    for (int i = 0; i < 40; ++i) {
        draft.emplace_back("key-" + std::to_string(i), "value " + std::to_string(i));
    }
    EditMetadataSheet* sheet = open(draft);
    ASSERT_NE(sheet, nullptr);
    EXPECT_LE(sheet->height(), window()->height() - 40);
    QScrollBar* bar = sheet->scrollArea()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(sheet->saveButton()->isVisible());
    // An added row is scrolled into sight.
    sheet->addButton()->click();
    settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    saveGrab(window());

    // Few rows: the sheet is as tall as they need, no scrolling.
    state().setShowingEditMetadata(false);
    settle();
    sheet = open({{"a", "1"}, {"b", "2"}});
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->scrollArea()->verticalScrollBar()->maximum(), 0);
    const int before = sheet->height();
    sheet->addButton()->click();
    settle();
    EXPECT_GT(sheet->height(), before);
}

TEST_F(EditMetadataSheetTest, LookOverTheDimmedWindow)
{
    for (const QString& language : {QStringLiteral("zh"), QStringLiteral("en")}) {
        SCOPED_TRACE(language.toStdString());
        L10n::setLanguageCode(language);
        const bool zh = language == QStringLiteral("zh");
        EditMetadataSheet* sheet = open({{"author", zh ? "王小明" : "Ann Lee"},
                                         {"camera", "FUJIFILM X100V"},
                                         {"album", zh ? "2024 夏天 · 青海湖" : "Summer 2024 · Lake Tahoe"}});
        ASSERT_NE(sheet, nullptr);
        sheet->addButton()->click();
        settle();
        saveGrab(window(), language);
        // A value that cannot be sent, caught at Save.
        QTest::keyClicks(nullptr, QStringLiteral("note"));
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
        qobject_cast<QLineEdit*>(QApplication::focusWidget())->insert(zh ? QStringLiteral("无法发送")
                                                                          : QStringLiteral("café"));
        sheet->saveButton()->click();
        settle();
        EXPECT_TRUE(state().showingEditMetadata());
        saveGrab(window(), language + QStringLiteral("-fault"));
        state().setShowingEditMetadata(false);
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
