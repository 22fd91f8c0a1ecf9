#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "ui/sheets/UploadConflictSheet.h"
#include "ui/views/SheetOverlayView.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

// A drop of two files into "docs/", where "a.txt" exists already. The queue only
// lists what reaches it: its uploads run nowhere.
class UploadConflictSheetTest : public SheetFixture {
protected:
    UploadConflictSheetTest()
    {
        makePresenter();
        const fs::path drop = fs::path(m_folder.path().toStdString()) / "drop";
        fs::create_directories(drop);
        for (const char* name : {"a.txt", "b.txt"}) {
            QFile file(QString::fromStdString((drop / name).string()));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("hello");
            m_files.push_back(drop / name);
        }
        const TransferCenter::Runner idle = [](Uuid, TransferTask, std::stop_token) -> QCoro::Task<> { co_return; };
        AppStateTestAccess::setRunner(state().transfers(), TransferKind::upload, idle);
    }

    UploadConflictSheet* parkAndOpen()
    {
        AppStateTestAccess::parkUpload(state(), m_files, "docs/", {"docs/a.txt"}, m_bucket);
        state().setShowingUploadConflict(true);
        settle();
        return qobject_cast<UploadConflictSheet*>(presenter().sheet(SheetKind::uploadConflict));
    }

    void expectNothingParked()
    {
        EXPECT_TRUE(state().pendingUploadURLs().empty());
        EXPECT_TRUE(state().pendingUploadDirectory().empty());
        EXPECT_TRUE(state().pendingUploadExistingKeys().empty());
        EXPECT_EQ(state().pendingUploadBucketID(), std::nullopt);
    }

    // The queued uploads from `first` on, by file name, once `count` have arrived
    // (the files are looked at off the main thread first).
    std::map<std::string, TransferTask> queued(std::size_t first, std::size_t count)
    {
        const std::vector<TransferTask>& tasks = state().transfers().tasks();
        EXPECT_TRUE(QTest::qWaitFor([&] { return tasks.size() >= first + count; }, 5000));
        std::map<std::string, TransferTask> byName;
        for (std::size_t i = first; i < tasks.size(); ++i) {
            byName[tasks[i].title] = tasks[i];
        }
        return byName;
    }

    std::vector<fs::path> m_files;
    Uuid m_bucket = Uuid::random();
};

TEST_F(UploadConflictSheetTest, EachChoiceQueuesTheParkedUploadWithItsMode)
{
    struct Choice {
        const char* name;
        UploadConflictMode mode;
        std::function<void(UploadConflictSheet&)> choose;
        std::vector<std::string> queuedFiles;
    };
    const Choice choices[] = {
        {"Skip", UploadConflictMode::skip, [](UploadConflictSheet& sheet) { sheet.skipButton()->click(); }, {"b.txt"}},
        {"Return", UploadConflictMode::rename,
         [](UploadConflictSheet&) { QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return); },
         {"a.txt", "b.txt"}},
        {"Replace", UploadConflictMode::replace, [](UploadConflictSheet& sheet) { sheet.replaceButton()->click(); },
         {"a.txt", "b.txt"}},
    };
    for (const Choice& choice : choices) {
        SCOPED_TRACE(choice.name);
        const std::size_t before = state().transfers().tasks().size();
        QPointer<UploadConflictSheet> sheet = parkAndOpen();
        ASSERT_NE(sheet, nullptr);
        choice.choose(*sheet);
        // Forgotten and closing before the queue has the upload.
        expectNothingParked();
        EXPECT_FALSE(state().showingUploadConflict());

        const std::map<std::string, TransferTask> tasks = queued(before, choice.queuedFiles.size());
        std::vector<std::string> names;
        for (const auto& [name, task] : tasks) {
            names.push_back(name);
            const UploadSpec* upload = task.spec.upload();
            ASSERT_NE(upload, nullptr);
            EXPECT_EQ(upload->directory, "docs/");
            EXPECT_EQ(upload->conflictMode, choice.mode);
            EXPECT_EQ(task.bucketID, m_bucket);
        }
        EXPECT_EQ(names, choice.queuedFiles);
        if (choice.mode == UploadConflictMode::rename) {
            // The parked existing keys travel with the upload: the rename must avoid them.
            EXPECT_TRUE(tasks.at("a.txt").knownExistingKeys.contains("docs/a.txt"));
        }
        settle();
        EXPECT_EQ(sheet, nullptr);
        EXPECT_TRUE(presenter().shownSheets().empty());
    }
}

TEST_F(UploadConflictSheetTest, CancelEscapeAndTheDimmedAreaQueueNothing)
{
    struct Way {
        const char* name;
        std::function<void(SheetPresenter&, UploadConflictSheet&)> close;
    };
    const Way ways[] = {
        {"Cancel", [](SheetPresenter&, UploadConflictSheet& sheet) { sheet.cancelButton()->click(); }},
        {"Escape", [](SheetPresenter&, UploadConflictSheet&) { QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Escape); }},
        // Return and Enter press the button the keyboard is on, not the default one.
        {"Return on Cancel",
         [](SheetPresenter&, UploadConflictSheet& sheet) {
             sheet.cancelButton()->setFocus(Qt::TabFocusReason);
             QTest::keyClick(sheet.cancelButton(), Qt::Key_Return);
         }},
        {"Enter on Cancel",
         [](SheetPresenter&, UploadConflictSheet& sheet) {
             sheet.cancelButton()->setFocus(Qt::TabFocusReason);
             QTest::keyClick(sheet.cancelButton(), Qt::Key_Enter, Qt::KeypadModifier);
         }},
        {"dimmed area",
         [](SheetPresenter& presenter, UploadConflictSheet&) {
             QTest::mouseClick(presenter.overlay(SheetKind::uploadConflict), Qt::LeftButton, {}, QPoint(10, 10));
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        UploadConflictSheet* sheet = parkAndOpen();
        ASSERT_NE(sheet, nullptr);
        way.close(presenter(), *sheet);
        expectNothingParked();
        EXPECT_FALSE(state().showingUploadConflict());
        settle();
        EXPECT_TRUE(presenter().shownSheets().empty());
    }
    QTest::qWait(100);
    settle();
    EXPECT_TRUE(state().transfers().tasks().empty());
}

TEST_F(UploadConflictSheetTest, ASecondClickBeforeTheSheetIsGoneDoesNothing)
{
    UploadConflictSheet* sheet = parkAndOpen();
    ASSERT_NE(sheet, nullptr);
    sheet->replaceButton()->click();
    // A new upload parked meanwhile is not the first one's to drop or queue.
    AppStateTestAccess::parkUpload(state(), {m_files[0]}, "later/", {"later/a.txt"}, m_bucket);
    sheet->cancelButton()->click();
    sheet->skipButton()->click();
    EXPECT_EQ(state().pendingUploadDirectory(), "later/");
    const std::map<std::string, TransferTask> tasks = queued(0, 2);
    EXPECT_EQ(tasks.size(), 2U);
    settle();
}

TEST_F(UploadConflictSheetTest, LookOverTheDimmedWindow)
{
    for (const QString& language : {QStringLiteral("zh"), QStringLiteral("en")}) {
        SCOPED_TRACE(language.toStdString());
        L10n::setLanguageCode(language);
        UploadConflictSheet* sheet = parkAndOpen();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->renameButton(), sheet->defaultButton());
        EXPECT_EQ(sheet->message()->width(), UploadConflictSheet::messageWidth);
        // Cancel, then the three choices, at the trailing end, inside the sheet.
        const QPushButton* order[] = {sheet->cancelButton(), sheet->skipButton(), sheet->renameButton(),
                                      sheet->replaceButton()};
        for (std::size_t i = 1; i < std::size(order); ++i) {
            EXPECT_LT(order[i - 1]->geometry().right(), order[i]->geometry().left());
        }
        EXPECT_LE(sheet->replaceButton()->geometry().right(), sheet->width() - SheetView::inset);
        EXPECT_GE(sheet->width(), UploadConflictSheet::messageWidth + 2 * SheetView::inset);
        saveGrab(window(), language);
        sheet->cancelButton()->click();
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
