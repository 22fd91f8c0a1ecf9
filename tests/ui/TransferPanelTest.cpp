#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"

#include "app/TestRecords.h"
#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "ui/transfers/TransferListView.h"
#include "ui/transfers/TransferPanelModel.h"
#include "ui/transfers/TransferPanelView.h"
#include "ui/transfers/TransferPanelWindow.h"
#include "ui/transfers/TransferRowContent.h"
#include "ui/transfers/TransferRowDelegate.h"
#include "ui/window/MainWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextDocument>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tarn {
namespace {

using namespace std::chrono_literals;
using RowKind = TransferPanelModel::RowKind;
using RowButton = TransferRowDelegate::RowButton;

TransferSpec specOf(TransferKind kind)
{
    switch (kind) {
    case TransferKind::upload:
        return {UploadSpec{"/home/user/photos/beach.jpg", "photos/", UploadConflictMode::ask}};
    case TransferKind::download:
        return {DownloadSpec{"reports/q3.pdf", "/home/user/Downloads/q3.pdf", false}};
    case TransferKind::deletion:
        return {DeleteSpec{{"old/a.txt", "old/b.txt"}, {}}};
    case TransferKind::rename:
        return {RenameSpec{"drafts/plan.md", "final/plan.md", false}};
    }
    return {};
}

TransferTask task(TransferKind kind, TransferState state, std::string title)
{
    return test::transferTask(specOf(kind), state, std::nullopt, std::move(title));
}

// The panel over a state and queue of the test's own, in English unless a test
// switches; tasks are put into the queue as they are (nothing runs them).
class TransferPanelTest : public test::WindowFixture {
protected:
    TransferPanelTest()
        : m_store(configFile())
        , m_state(m_store, m_secrets, m_client)
    {
        L10n::setLanguageCode(QStringLiteral("en"));
    }

    TransferCenter& center() { return m_state.transfers(); }

    Uuid add(TransferTask added)
    {
        const Uuid id = added.id;
        center().append(std::move(added));
        return id;
    }

    const TransferTask& taskOf(const Uuid& id) { return center().tasks()[*center().index(id)]; }

    // The rows as text: "# caption" for a header, the task's title for a task row.
    static std::vector<std::string> rowsOf(const TransferPanelModel& model)
    {
        std::vector<std::string> rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString text = model.index(row).data(Qt::DisplayRole).toString();
            rows.push_back((model.rowKind(row) == RowKind::header ? QStringLiteral("# ") + text : text).toStdString());
        }
        return rows;
    }

    static TransferRowContent contentAt(const TransferPanelModel& model, int row)
    {
        return model.index(row).data(TransferPanelModel::ContentRole).value<TransferRowContent>();
    }

    static int rowOfTitle(const TransferPanelModel& model, const QString& title)
    {
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.rowKind(row) == RowKind::task && model.index(row).data().toString() == title) {
                return row;
            }
        }
        return -1;
    }

    // Waits out the throttle: the next refresh of the model.
    static bool nextRefresh(TransferPanelModel& model)
    {
        QSignalSpy refreshed(&model, &TransferPanelModel::refreshed);
        return refreshed.wait(2000);
    }

    // A window of the panel at its opening size, shown (offscreen).
    std::unique_ptr<TransferPanelWindow> openWindow()
    {
        auto window = std::make_unique<TransferPanelWindow>(center());
        window->present();
        test::settle();
        return window;
    }

    static void click(TransferListView& list, int row, RowButton button)
    {
        const QModelIndex index = list.model()->index(row, 0);
        const std::optional<QRect> rect = list.rowDelegate()->buttonRect(list.visualRect(index), index, button);
        ASSERT_TRUE(rect.has_value()) << "row " << row << " shows no such button";
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect->center());
    }

    ConfigStore m_store;
    KeychainSecretStore m_secrets;
    S3Client m_client;
    AppState m_state;
};

// One task in every state and kind, added oldest first, as the grabs show them.
void addEveryState(TransferCenter& center)
{
    const auto now = std::chrono::system_clock::now();

    TransferTask done = task(TransferKind::upload, TransferState::succeeded, "vacation-2024.mov");
    done.bytesDone = done.bytesTotal = 3 * 1024 * 1024;
    done.startedAt = now - 2s;
    done.finishedAt = now;
    center.append(done);

    center.append(task(TransferKind::rename, TransferState::succeeded, "plan.md"));

    TransferTask lost = task(TransferKind::download, TransferState::failed, "q3-report.pdf");
    lost.errorText = QStringLiteral("The server refused the request (403 AccessDenied): the key has no read "
                                    "permission on this bucket");
    center.append(lost);

    center.append(task(TransferKind::deletion, TransferState::cancelled, "old"));
    center.append(task(TransferKind::upload, TransferState::failed, "照片-海边.heic"));

    TransferTask uploading = task(TransferKind::upload, TransferState::running,
                                  "a-rather-long-folder-name-of-raw-camera-files-from-the-trip");
    uploading.isFolder = true;
    uploading.unitsDone = 2;
    uploading.unitsTotal = 5;
    uploading.bytesTotal = 500 * 1024 * 1024;
    uploading.bytesDone = 180 * 1024 * 1024;
    uploading.speed = 12.5 * 1024 * 1024;
    uploading.startedAt = now - 15s;
    center.append(uploading);

    center.append(task(TransferKind::download, TransferState::waiting, "报表-2024年第三季度.xlsx"));
    center.append(task(TransferKind::deletion, TransferState::waiting, "Delete 3 items"));
}

// A failure's reason can carry the server's words: its tooltip shows them as written.
TEST_F(TransferPanelTest, AFailuresTooltipShowsTheServersWordsAsWritten)
{
    const QString reason = QStringLiteral("403 <a href=\"https://evil.example\">Session expired: click here</a>");
    TransferTask failed = task(TransferKind::download, TransferState::failed, "report.pdf");
    failed.errorText = reason;
    add(failed);
    TransferPanelModel model(center());
    const int row = rowOfTitle(model, QStringLiteral("report.pdf"));
    ASSERT_GE(row, 0);
    const QString tip = model.index(row).data(Qt::ToolTipRole).toString();
    ASSERT_TRUE(Qt::mightBeRichText(tip));
    QTextDocument shown;
    shown.setHtml(tip);
    EXPECT_EQ(shown.toPlainText(), reason);
}

TEST_F(TransferPanelTest, RowContentFollowsTheTaskState)
{
    const auto now = std::chrono::system_clock::now();
    struct Case {
        const char* name;
        TransferTask task;
        QString detail;
        QString toolTip;
        ThemeColor tint;
        bool progress, retry, cancel;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, TransferTask given, const char* detail, const char* toolTip, ThemeColor tint,
                   bool progress, bool retry, bool cancel) {
        cases.push_back({name, std::move(given), QString::fromUtf8(detail), QString::fromUtf8(toolTip), tint, progress,
                         retry, cancel});
    };

    add("waiting", task(TransferKind::download, TransferState::waiting, "a"), "Waiting", "", ThemeColor::secondaryLabel,
        true, false, true);

    TransferTask moving = task(TransferKind::upload, TransferState::running, "a");
    moving.unitsDone = 2;
    moving.unitsTotal = 5;
    moving.speed = 1536;
    add("running with speed", moving, "2 / 5 items  1.5 KB/s", "", ThemeColor::brand, true, false, true);
    moving.speed = 0;
    add("running without speed", moving, "2 / 5 items", "", ThemeColor::brand, true, false, true);

    TransferTask deleting = task(TransferKind::deletion, TransferState::running, "a");
    deleting.unitsTotal = 3;
    deleting.speed = 4096;  // deletes move no bytes: never a speed
    add("running delete", deleting, "0 / 3 items", "", ThemeColor::brand, true, false, true);

    TransferTask done = task(TransferKind::download, TransferState::succeeded, "a");
    done.unitsTotal = 4;
    done.unitsDone = 1;  // the finished line counts the total
    done.bytesDone = 3 * 1024 * 1024;
    add("succeeded without a start", done, "4 / 4 items · Done", "", ThemeColor::brand, false, false, false);
    done.startedAt = now - 10ms;
    done.finishedAt = now;
    add("succeeded in exactly 0.01 s", done, "4 / 4 items · Done", "", ThemeColor::brand, false, false, false);
    done.startedAt = now - 2s;
    add("succeeded in 2 s", done, "4 / 4 items · Done · avg 1.5 MB/s", "", ThemeColor::brand, false, false, false);

    TransferTask failed = task(TransferKind::download, TransferState::failed, "a");
    failed.errorText = QStringLiteral("Disk full");
    add("failed with a reason", failed, "Disk full", "Disk full", ThemeColor::systemRed, false, true, true);
    failed.errorText.reset();
    add("failed without a reason", failed, "Upload failed", "Upload failed", ThemeColor::systemRed, false, true, true);

    add("cancelled", task(TransferKind::rename, TransferState::cancelled, "a"), "Cancelled", "",
        ThemeColor::tertiaryLabel, false, true, true);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TransferRowContent row = TransferRowContent::of(c.task);
        EXPECT_TRUE(row.hasTask);
        EXPECT_EQ(row.detail, c.detail);
        EXPECT_EQ(row.detailToolTip, c.toolTip);
        EXPECT_EQ(row.iconTint, c.tint);
        EXPECT_EQ(row.showsProgress, c.progress);
        EXPECT_EQ(row.showsRetry, c.retry);
        EXPECT_EQ(row.showsCancel, c.cancel);
    }

    EXPECT_EQ(TransferRowContent::of(task(TransferKind::upload, TransferState::waiting, "a")).iconName,
              QStringLiteral("arrow.up.circle"));
    EXPECT_EQ(TransferRowContent::of(task(TransferKind::deletion, TransferState::waiting, "a")).iconName,
              QStringLiteral("trash"));
}

TEST_F(TransferPanelTest, ListsSectionsWithCountsNewestFirst)
{
    TransferPanelModel model(center());
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.hasTasks());

    addEveryState(center());
    model.refresh();
    EXPECT_EQ(rowsOf(model), (std::vector<std::string>{
                                 "# In Progress · 3",
                                 "Delete 3 items",
                                 "报表-2024年第三季度.xlsx",
                                 "a-rather-long-folder-name-of-raw-camera-files-from-the-trip",
                                 "# Failed · 2",
                                 "照片-海边.heic",
                                 "q3-report.pdf",
                                 "# Completed · 3",
                                 "old",
                                 "plan.md",
                                 "vacation-2024.mov",
                             }));

    // A section that empties loses its header.
    center().clearFinished();
    model.refresh();
    EXPECT_EQ(rowsOf(model).front(), "# In Progress · 3");
    EXPECT_EQ(rowsOf(model).size(), 4u);
}

TEST_F(TransferPanelTest, ChangesReachTheRowsThrottledAndCoalesced)
{
    const Uuid a = add(task(TransferKind::upload, TransferState::running, "a"));
    TransferPanelModel model(center());
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    // A burst of progress: nothing at once, then one announcement of the row with the
    // last value.
    for (int step = 1; step <= 20; ++step) {
        center().updateTask(a, [step](TransferTask& t) { t.currentUnitFraction = step / 20.0; });
    }
    EXPECT_TRUE(model.refreshPending());
    EXPECT_EQ(changes.count(), 0);
    ASSERT_TRUE(nextRefresh(model));
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).value<QModelIndex>().row(), 1);
    EXPECT_DOUBLE_EQ(contentAt(model, 1).fraction, 1.0);

    // Tasks added in a burst: one rebuild.
    add(task(TransferKind::upload, TransferState::waiting, "b"));
    add(task(TransferKind::upload, TransferState::waiting, "c"));
    ASSERT_TRUE(nextRefresh(model));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(rowsOf(model), (std::vector<std::string>{"# In Progress · 3", "c", "b", "a"}));

    // A task that changes section is a new signature: the rows are built anew.
    center().updateTask(a, [](TransferTask& t) { t.state = TransferState::failed; });
    ASSERT_TRUE(nextRefresh(model));
    EXPECT_EQ(resets.count(), 2);
    EXPECT_EQ(rowsOf(model), (std::vector<std::string>{"# In Progress · 2", "c", "b", "# Failed · 1", "a"}));
}

TEST_F(TransferPanelTest, AProgressChangeKeepsTheScrollPositionWithoutAReset)
{
    std::vector<Uuid> ids;
    for (int i = 0; i < 40; ++i) {
        ids.push_back(add(task(TransferKind::upload, TransferState::waiting, "file-" + std::to_string(i) + ".bin")));
    }
    auto window = openWindow();
    TransferListView& list = *window->panel()->list();
    TransferPanelModel& model = *window->panel()->model();
    ASSERT_GT(list.verticalScrollBar()->maximum(), 1000);
    list.verticalScrollBar()->setValue(700);
    const QModelIndex shown = list.indexAt(list.viewport()->rect().center());
    ASSERT_TRUE(shown.isValid());
    const Uuid id = *model.taskID(shown);

    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    center().updateTask(id, [](TransferTask& t) {
        t.state = TransferState::running;
        t.bytesTotal = 1000;
        t.bytesDone = 400;
    });
    ASSERT_TRUE(nextRefresh(model));
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).value<QModelIndex>(), shown);
    EXPECT_DOUBLE_EQ(contentAt(model, shown.row()).fraction, 0.4);
    EXPECT_EQ(list.verticalScrollBar()->value(), 700);

    // When the rows are built anew (the task failed), the view stays where it was.
    center().updateTask(id, [](TransferTask& t) { t.state = TransferState::failed; });
    ASSERT_TRUE(nextRefresh(model));
    test::settle();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(list.verticalScrollBar()->value(), 700);
}

TEST_F(TransferPanelTest, ClearFinishedShowsOnceATaskFinishedAndKeepsActiveRows)
{
    auto window = openWindow();
    TransferPanelView& panel = *window->panel();
    EXPECT_TRUE(panel.clearButton()->isHidden());
    EXPECT_FALSE(panel.emptyLabel()->isHidden());
    EXPECT_EQ(panel.emptyLabel()->text(), QStringLiteral("No tasks"));

    add(task(TransferKind::upload, TransferState::running, "up"));
    add(task(TransferKind::download, TransferState::waiting, "down"));
    ASSERT_TRUE(nextRefresh(*panel.model()));
    EXPECT_TRUE(panel.clearButton()->isHidden()) << "everything is active";
    EXPECT_TRUE(panel.emptyLabel()->isHidden());

    add(task(TransferKind::deletion, TransferState::succeeded, "gone"));
    add(task(TransferKind::upload, TransferState::failed, "broken"));
    add(task(TransferKind::rename, TransferState::cancelled, "moved"));
    ASSERT_TRUE(nextRefresh(*panel.model()));
    ASSERT_FALSE(panel.clearButton()->isHidden());
    EXPECT_EQ(panel.clearButton()->text(), QStringLiteral("Clear Finished"));

    QTest::mouseClick(panel.clearButton(), Qt::LeftButton);
    ASSERT_EQ(center().tasks().size(), 2u);
    EXPECT_EQ(center().tasks()[0].title, "up");
    EXPECT_EQ(center().tasks()[1].title, "down");
    ASSERT_TRUE(nextRefresh(*panel.model()));
    EXPECT_EQ(rowsOf(*panel.model()), (std::vector<std::string>{"# In Progress · 2", "down", "up"}));
    EXPECT_TRUE(panel.clearButton()->isHidden());
}

TEST_F(TransferPanelTest, RowButtonsReachTheQueue)
{
    const Uuid failed = add(task(TransferKind::upload, TransferState::failed, "broken"));
    const Uuid waiting = add(task(TransferKind::download, TransferState::waiting, "queued"));
    auto window = openWindow();
    TransferListView& list = *window->panel()->list();
    const TransferPanelModel& model = *window->panel()->model();
    const int waitingRow = rowOfTitle(model, QStringLiteral("queued"));
    const int failedRow = rowOfTitle(model, QStringLiteral("broken"));
    ASSERT_GE(waitingRow, 0);
    ASSERT_GE(failedRow, 0);

    // An active row offers cancel only.
    const QModelIndex waitingIndex = model.index(waitingRow);
    EXPECT_FALSE(list.rowDelegate()->buttonRect(list.visualRect(waitingIndex), waitingIndex, RowButton::retry));

    // Cancel dismisses: the task leaves the queue at once, its row shows nothing
    // until the next refresh, and a click where its buttons were does nothing.
    click(list, waitingRow, RowButton::cancel);
    EXPECT_FALSE(center().index(waiting).has_value());
    EXPECT_FALSE(contentAt(model, waitingRow).hasTask);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(waitingIndex).center());
    EXPECT_EQ(center().tasks().size(), 1u);

    // Retry puts the failed task back into the queue, which starts it.
    click(list, failedRow, RowButton::retry);
    EXPECT_TRUE(isActive(taskOf(failed).state));
    EXPECT_FALSE(taskOf(failed).errorText.has_value());

    // A press on one button released on the other is no click.
    center().updateTask(failed, [](TransferTask& t) { t.state = TransferState::failed; });
    ASSERT_TRUE(nextRefresh(*window->panel()->model()));
    const int row = rowOfTitle(model, QStringLiteral("broken"));
    const QModelIndex index = model.index(row);
    const QRect rowRect = list.visualRect(index);
    const QRect retry = *list.rowDelegate()->buttonRect(rowRect, index, RowButton::retry);
    const QRect cancel = *list.rowDelegate()->buttonRect(rowRect, index, RowButton::cancel);
    EXPECT_LT(retry.right(), cancel.left());
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, retry.center());
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, cancel.center());
    EXPECT_EQ(taskOf(failed).state, TransferState::failed);

    // Cancel on a failed row removes it.
    click(list, row, RowButton::cancel);
    EXPECT_TRUE(center().tasks().empty());
}

TEST_F(TransferPanelTest, ClosingHidesThePanelAndTheMainWindowStillEndsTheProgram)
{
    AppDelegate& delegate = launch();
    TransferCenter& queue = delegate.state().transfers();
    TransferTask failed = task(TransferKind::download, TransferState::failed, "lost.bin");
    queue.append(failed);
    ASSERT_TRUE(queue.hasUnacknowledgedFailure());

    // The window layer's controls ask through the main window.
    EXPECT_EQ(delegate.transferPanel(), nullptr);
    delegate.window()->showTransferPanel();
    test::settle();
    TransferPanelWindow* panel = delegate.transferPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->size(), TransferPanelWindow::defaultSize);
    EXPECT_EQ(panel->minimumSize(), TransferPanelWindow::minimumWindowSize);
    EXPECT_FALSE(queue.hasUnacknowledgedFailure()) << "the panel shows the failure";

    EXPECT_TRUE(panel->close());
    test::settle();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(delegate.transferPanel(), panel) << "kept, to be shown again";
    delegate.showTransferPanel();
    EXPECT_TRUE(panel->isVisible());

    // A change of language builds the panel again in place, in the new language.
    const QString before = panel->windowTitle();
    delegate.state().setLanguageCode(delegate.state().languageCode() == "en" ? "zh" : "en");
    test::settle();
    EXPECT_EQ(delegate.transferPanel(), panel);
    EXPECT_NE(panel->windowTitle(), before);
    EXPECT_EQ(panel->windowTitle(), L10n::t(QStringLiteral("transfers_title")));
    EXPECT_EQ(panel->panel()->clearButton()->text(), L10n::t(QStringLiteral("clear_finished")));

    // The open panel does not keep the program alive.
    QTimer::singleShot(0, delegate.window(), [&delegate] { delegate.window()->close(); });
    EXPECT_EQ(test::execUntilQuit(), 0);
}

TEST(TransferPanelPlace, FirstBesideTheMainWindowOrOverItsMiddleAndAlwaysOnTheScreen)
{
    const QSize panel(560, 520);
    const int gap = TransferPanelWindow::gap;
    const struct {
        const char* name;
        QRect main;
        QRect screen;
        QPoint expected;
    } cases[] = {
        {"room on the right", QRect(0, 30, 1000, 700), QRect(0, 0, 2560, 1440), QPoint(1000 + gap, 30)},
        {"room only on the left", QRect(1500, 100, 1000, 700), QRect(0, 0, 2560, 1440), QPoint(1500 - gap - 560, 100)},
        // A main window that fills the screen (1240 × 800 on 1440 × 900): its middle.
        {"no room", QRect(100, 50, 1240, 800), QRect(0, 0, 1440, 900), QPoint(100 + 620 - 280, 50 + 400 - 260)},
        // Beside a window near the bottom: pulled up into the screen.
        {"kept on the screen", QRect(0, 1000, 1000, 400), QRect(0, 0, 2560, 1440), QPoint(1000 + gap, 1440 - 520)},
        // On a screen smaller than the panel: its top-left corner.
        {"a tiny screen", QRect(0, 0, 500, 400), QRect(0, 0, 500, 400), QPoint(0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TransferPanelWindow::firstPosition(c.main, panel, c.screen), c.expected);
    }
}

TEST_F(TransferPanelTest, ThePanelFirstOpensByTheMainWindowThenWhereTheUserLeftIt)
{
    AppDelegate& delegate = launch();
    delegate.window()->move(40, 30);
    test::settle();
    delegate.showTransferPanel();
    test::settle();
    TransferPanelWindow* panel = delegate.transferPanel();
    ASSERT_NE(panel, nullptr);
    const QRect mainFrame = delegate.window()->frameGeometry();
    const QSize decorations = mainFrame.size() - delegate.window()->geometry().size();
    EXPECT_EQ(panel->pos(), TransferPanelWindow::firstPosition(mainFrame, panel->size() + decorations,
                                                               delegate.window()->screen()->availableGeometry()));
    // Not left at the screen's corner over the main window's toolbar (the offscreen
    // screen is smaller than the main window, so the panel lies over its middle).
    EXPECT_TRUE(mainFrame.contains(panel->frameGeometry().center()));

    panel->move(panel->pos() + QPoint(25, 15));
    const QPoint left = panel->pos();
    EXPECT_TRUE(panel->close());
    test::settle();
    delegate.showTransferPanel();
    test::settle();
    EXPECT_EQ(panel->pos(), left);
}

class TransferPanelLook : public TransferPanelTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TransferPanelLook, GrabWithTasksInEveryState)
{
    const QString language = QString::fromLatin1(GetParam());
    L10n::setLanguageCode(language);
    addEveryState(center());
    auto window = openWindow();
    test::saveGrab(window.get(), language);
    window->resize(TransferPanelWindow::minimumWindowSize);
    test::settle();
    test::saveGrab(window.get(), language + QStringLiteral("-narrow"));
    window->resize(TransferPanelWindow::defaultSize);
    test::settle();
    test::saveGrab(window.get(), language + QStringLiteral("-2x"), 2.0);

    // The pointer over the retry button of the failed download lights it; the end of
    // the list shows the completed tasks.
    TransferListView& list = *window->panel()->list();
    const TransferPanelModel& model = *window->panel()->model();
    const QModelIndex failed = model.index(rowOfTitle(model, QStringLiteral("q3-report.pdf")));
    const QRect retry = *list.rowDelegate()->buttonRect(list.visualRect(failed), failed, RowButton::retry);
    // (The pointer moves by the cursor: from where an earlier test left it, first.)
    QTest::mouseMove(list.viewport(), QPoint(1, 1));
    QTest::mouseMove(list.viewport(), retry.center());
    test::saveGrab(window.get(), language + QStringLiteral("-hover"));
    list.scrollToBottom();
    test::saveGrab(window.get(), language + QStringLiteral("-end"));

    // Every row is drawn within its rectangle, text lines included.
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.rowKind(row) != RowKind::task) {
            continue;
        }
        const QRect rect = list.visualRect(model.index(row));
        const TransferRowDelegate::Layout parts = list.rowDelegate()->layout(rect, contentAt(model, row));
        EXPECT_TRUE(rect.contains(parts.title)) << row;
        EXPECT_TRUE(rect.contains(parts.detail)) << row;
        if (contentAt(model, row).showsProgress) {
            EXPECT_LT(parts.title.bottom(), parts.bar.top()) << row;
            EXPECT_LT(parts.bar.bottom(), parts.detail.top()) << row;
        } else {
            // No band is kept for a bar the row does not show: the detail follows the
            // title closely, and the two sit in the middle of the row.
            EXPECT_TRUE(parts.bar.isEmpty()) << row;
            EXPECT_GT(parts.detail.top(), parts.title.bottom()) << row;
            EXPECT_LE(parts.detail.top() - parts.title.bottom(), 4) << row;
            EXPECT_NEAR(parts.title.top() - rect.top(), rect.bottom() - parts.detail.bottom(), 1) << row;
        }
        EXPECT_EQ(rect.width(), list.viewport()->width()) << row;
    }
}

TEST_P(TransferPanelLook, GrabEmpty)
{
    const QString language = QString::fromLatin1(GetParam());
    L10n::setLanguageCode(language);
    auto window = openWindow();
    test::saveGrab(window.get(), language);
    EXPECT_EQ(window->panel()->emptyLabel()->text(), L10n::t(QStringLiteral("transfers_empty")));
}

INSTANTIATE_TEST_SUITE_P(Languages, TransferPanelLook, ::testing::Values("zh", "en"));

}  // namespace
}  // namespace tarn
