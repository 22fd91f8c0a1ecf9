#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/text/L10n.h"
#include "ui/sheets/HistorySheet.h"
#include "ui/views/IconView.h"
#include "ui/views/WrappingLabel.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace tarn::test {
namespace {

using namespace std::chrono_literals;

OperationHistoryEntry entry(std::string action, std::string detail, bool succeeded,
                            std::optional<std::int64_t> bytes = std::nullopt,
                            std::optional<double> duration = std::nullopt)
{
    OperationHistoryEntry result;
    result.id = Uuid::random();
    // 5 January 2024, 15:04 local time.
    const QDateTime date(QDate(2024, 1, 5), QTime(15, 4));
    result.date = TimePoint(std::chrono::milliseconds(date.toMSecsSinceEpoch()));
    result.bucketName = "photos";
    result.action = std::move(action);
    result.detail = std::move(detail);
    result.succeeded = succeeded;
    result.bytes = bytes;
    result.duration = duration;
    return result;
}

QString rowText(QWidget* row, const char* name)
{
    if (auto* label = row->findChild<WrappingLabel*>(QString::fromLatin1(name))) {
        return label->text();
    }
    if (auto* label = row->findChild<QLabel*>(QString::fromLatin1(name))) {
        return label->text();
    }
    return {};
}

TEST(HistorySheetTexts, DetailShowsSizeAndSpeedWhenKnown)
{
    const QString previousLanguage = L10n::languageCode();
    L10n::setLanguageCode(QStringLiteral("en"));
    struct Case {
        std::optional<std::int64_t> bytes;
        std::optional<double> duration;
        QString detail;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, QStringLiteral("report.pdf")},
        {0, 3.0, QStringLiteral("report.pdf")},
        {2048, std::nullopt, QStringLiteral("report.pdf  \u00B7  2 KB")},
        {2048, 0.01, QStringLiteral("report.pdf  \u00B7  2 KB")},
        {2048, 2.0, QStringLiteral("report.pdf  \u00B7  2 KB  \u00B7  avg 1 KB/s")},
        {3 * 1024 * 1024 + 512 * 1024, 2.0, QStringLiteral("report.pdf  \u00B7  3.5 MB  \u00B7  avg 1.8 MB/s")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HistorySheet::detailText(entry("Upload", "report.pdf", true, c.bytes, c.duration)), c.detail);
    }
    EXPECT_EQ(HistorySheet::titleText(entry("Upload", "report.pdf", true)), QStringLiteral("Upload \u00B7 photos"));

    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(HistorySheet::detailText(entry("上传", "report.pdf", true, 2048, 2.0)),
              QStringLiteral("report.pdf  \u00B7  2 KB  \u00B7  平均 1 KB/s"));
    L10n::setLanguageCode(previousLanguage);
}

class HistorySheetTest : public SheetFixture {
protected:
    HistorySheetTest() { makePresenter(); }

    void setHistory(std::vector<OperationHistoryEntry> history)
    {
        AppConfig config = state().config();
        config.history = std::move(history);
        state().setConfig(config);
    }

    HistorySheet* open()
    {
        state().setShowingHistory(true);
        settle();
        return qobject_cast<HistorySheet*>(presenter().sheet(SheetKind::history));
    }
};

TEST_F(HistorySheetTest, ListsEveryEntryNewestFirstWithItsOutcome)
{
    setHistory({entry("Upload", "IMG_0412.HEIC", true, 2048, 2.0), entry("Delete", "old/", false)});
    // Recorded a moment ago and not yet written: listed too, on top.
    state().recordHistory(QStringLiteral("Download"), QStringLiteral("notes.md"), "photos", true);
    QSignalSpy saves(&state(), &AppState::configChanged);
    HistorySheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->rows().size(), 3U);
    // Opening the list writes nothing: the entry waits for its own flush.
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(state().config().history.size(), 2U);
    EXPECT_EQ(rowText(sheet->rows()[0], "title"), QStringLiteral("Download \u00B7 photos"));
    EXPECT_EQ(rowText(sheet->rows()[1], "detail"), QStringLiteral("IMG_0412.HEIC  \u00B7  2 KB  \u00B7  avg 1 KB/s"));
    EXPECT_EQ(rowText(sheet->rows()[1], "date"), QStringLiteral("Jan 5, 2024 15:04"));

    auto outcome = [](QWidget* row) { return row->findChild<IconView*>()->objectName(); };
    EXPECT_EQ(outcome(sheet->rows()[1]), QStringLiteral("succeeded"));
    EXPECT_EQ(outcome(sheet->rows()[2]), QStringLiteral("failed"));
    EXPECT_EQ(sheet->rows()[2]->findChild<IconView*>()->iconName(), QStringLiteral("xmark.circle"));
    EXPECT_TRUE(sheet->rows()[2]->findChild<IconView*>()->hasIcon());
}

TEST_F(HistorySheetTest, AnEmptyHistoryShowsAnEmptyList)
{
    HistorySheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->rows().empty());
    EXPECT_EQ(sheet->okButton()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(sheet->okButton()->isVisible());
    // The list's top is the top of the area.
    EXPECT_EQ(sheet->scrollArea()->verticalScrollBar()->value(), 0);
    saveGrab(window());
}

TEST_F(HistorySheetTest, LongDetailsAreCutAtTheEnd)
{
    const std::string longDetail(400, 'x');
    setHistory({entry("Upload", longDetail, true)});
    HistorySheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    auto* detail = sheet->rows()[0]->findChild<WrappingLabel*>(QStringLiteral("detail"));
    ASSERT_NE(detail, nullptr);
    EXPECT_LE(detail->width(), HistorySheet::rowWidth);
    const QStringList lines = detail->visibleLines(detail->width());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.front().endsWith(QChar(0x2026)));
}

TEST_F(HistorySheetTest, ReturnAndOkClose)
{
    for (bool byReturn : {true, false}) {
        HistorySheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        if (byReturn) {
            QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
        } else {
            sheet->okButton()->click();
        }
        EXPECT_FALSE(state().showingHistory());
        settle();
        EXPECT_TRUE(presenter().shownSheets().empty());
    }
}

TEST_F(HistorySheetTest, ManyEntriesScrollFromTheTop)
{
    std::vector<OperationHistoryEntry> history;
    for (int i = 0; i < 100; ++i) {
        history.push_back(entry("Upload", "file-" + std::to_string(i) + ".bin", i % 7 != 3, 1024 * (i + 1), 1.5));
    }
    setHistory(history);
    HistorySheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->rows().size(), 100U);
    QScrollBar* bar = sheet->scrollArea()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), 0);
    // The sheet keeps inside a window smaller than itself, its list taking the cut.
    window()->resize(800, 420);
    settle();
    EXPECT_LE(sheet->height(), 420 - 40);
    window()->resize(960, 600);
    settle();
}

TEST_F(HistorySheetTest, LookOverTheDimmedWindow)
{
    struct Language {
        QString code;
        std::vector<OperationHistoryEntry> history;
    };
    const std::string longName = "2024-summer/raw/DSC_0001-DSC_0999 exported for the family album final version.zip";
    const Language languages[] = {
        {QStringLiteral("zh"),
         {entry("上传", "IMG_0412.HEIC", true, 3 * 1024 * 1024 + 400 * 1024, 2.4),
          entry("下载", "报告-第三季度.pdf", true, 2048, 2.0), entry("删除", "旧照片/", false),
          entry("移动", "notes.md → 归档/notes.md", true), entry("上传", longName, true, 734003200, 61.0),
          entry("修改元数据", "cover.jpg", true)}},
        {QStringLiteral("en"),
         {entry("Upload", "IMG_0412.HEIC", true, 3 * 1024 * 1024 + 400 * 1024, 2.4),
          entry("Download", "report-q3.pdf", true, 2048, 2.0), entry("Delete", "old photos/", false),
          entry("Move", "notes.md → archive/notes.md", true), entry("Upload", longName, true, 734003200, 61.0),
          entry("Edit metadata", "cover.jpg", true)}},
    };
    for (const Language& language : languages) {
        L10n::setLanguageCode(language.code);
        setHistory(language.history);
        ASSERT_NE(open(), nullptr);
        saveGrab(window(), language.code);
        state().setShowingHistory(false);
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
