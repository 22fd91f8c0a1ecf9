#include "ui/UiTestSupport.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/DragOutStaging.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/browser/PlaceholderCell.h"
#include "ui/browser/RemoteObjectsMimeData.h"

#include "app/ScriptedUiServices.h"
#include "app/ServerAppStateFixture.h"
#include "app/TestRecords.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/text/ByteFormatter.h"
#include "integration/S3TestBuckets.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

namespace fs = std::filesystem;

TEST(DragOutStagingTest, OffersTheLastPieceOfAKeyAsASafeName)
{
    const struct {
        const char* key;
        const char* name;
    } cases[] = {
        {"photos/2024/beach.jpg", "beach.jpg"},
        {"photos/2024/", "2024"},
        {"beach.jpg", "beach.jpg"},
        {"a//b//", "b"},
        {"photos/..", "download"},
        {"photos/../", "download"},
        {"photos/.", "download"},
        {"/", "download"},
        {"", "download"},
        {"notes/.env", ".env"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.key);
        EXPECT_EQ(DragOutStaging::fileName(entry.key), entry.name);
    }
    const std::string longName = DragOutStaging::fileName("a/" + std::string(300, 'x'));
    EXPECT_EQ(longName.size(), 255U);
    // A cut never splits a character.
    const std::string chinese = DragOutStaging::fileName("a/" + std::string(90, 'x') + std::string(60, '\xe5'));
    EXPECT_LE(chinese.size(), 255U);

    EXPECT_EQ(DragOutStaging::uniqueNames({{"a.txt", false}, {"a.txt", false}, {"a.txt", false}, {".env", false},
                                           {".env", false}, {"v1.2", true}, {"v1.2", true}}),
              (std::vector<std::string>{"a.txt", "a (2).txt", "a (3).txt", ".env", ".env (2)", "v1.2", "v1.2 (2)"}));
}

TEST(DragOutStagingTest, CleaningEmptiesTheStagingFolderAtOnceAndRemovesItLaterWithoutFollowingLinks)
{
    test::TemporaryFolder root;
    test::TemporaryFolder outside;
    test::writeFile(outside.path() / "keep.txt", "mine");
    const PrivateFolder folder(root.path() / "TarnManager");
    const fs::path staged = DragOutStaging::makeFolder(folder);
    EXPECT_EQ(staged.parent_path(), folder.dragOutFolder());
    EXPECT_EQ(fs::status(staged).permissions() & fs::perms::all, fs::perms::owner_all);
    test::writeFile(staged / "a.txt", "a");
    fs::create_directory_symlink(outside.path(), staged / "link");
    // A large tree, as many copies of a big folder leave.
    for (int i = 0; i < 2000; ++i) {
        const fs::path branch = staged / "tree" / std::to_string(i % 20);
        fs::create_directories(branch);
        test::writeFile(branch / (std::to_string(i) + ".bin"), "x");
    }

    // The caller's part is one rename: the files are all still there, set aside.
    EXPECT_TRUE(DragOutStaging::setAside(folder));
    EXPECT_TRUE(fs::is_empty(folder.dragOutFolder()));
    std::size_t setAside = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder.discardedFolder())) {
        setAside += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(setAside, 2001U);
    EXPECT_FALSE(DragOutStaging::setAside(folder)) << "nothing staged";

    DragOutStaging::removeSetAside(folder);
    EXPECT_TRUE(fs::is_empty(folder.discardedFolder()));
    EXPECT_EQ(test::readFile(outside.path() / "keep.txt"), "mine");

    // Both at once, the removal on a thread of its own.
    test::writeFile(DragOutStaging::makeFolder(folder) / "b.txt", "b");
    DragOutStaging::cleanInBackground(folder);
    EXPECT_TRUE(fs::is_empty(folder.dragOutFolder()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::is_empty(folder.discardedFolder()); }, 10000));
}

// The browser's interactions over a real state listing buckets of the S3 test server.
class BrowserInteractionsTest : public test::ServerAppStateFixture {
protected:
    void SetUp() override
    {
        ServerAppStateFixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_app->setUiServices(&m_ui);
    }

    void TearDown() override
    {
        m_browser.reset();
        QGuiApplication::clipboard()->clear();
        if (m_app) {
            m_app->setUiServices(nullptr);
        }
        L10n::setLanguageCode(QStringLiteral("zh"));
        ServerAppStateFixture::TearDown();
    }

    BucketConfig bucketWith(const std::string& stem, const std::vector<std::pair<std::string, std::string>>& objects)
    {
        const BucketConfig made = test::createBucket(*m_server, stem);
        for (const auto& [key, content] : objects) {
            test::putObjects(*m_server, made, {key}, content);
        }
        return addBucket(m_server->endpoint, made.bucketName);
    }

    ObjectBrowserView& makeBrowser(const char* language = "en")
    {
        L10n::setLanguageCode(QString::fromLatin1(language));
        m_browser = std::make_unique<ObjectBrowserView>(*m_app);
        m_browser->resize(900, 420);
        m_browser->show();
        QApplication::setActiveWindow(m_browser.get());
        m_browser->table()->setFocus();
        return *m_browser;
    }

    void open(const BucketConfig& bucket, const std::string& folder)
    {
        m_app->switchBucket(bucket.id, folder);
        ASSERT_TRUE(waitUntilSettled());
        ASSERT_TRUE(waitFor([&] { return m_browser->model()->findRow("..").has_value() || folder.empty(); }));
        QTest::qWait(50);
    }

    // Queues the task and waits until the browser shows its row (the rows follow the
    // queue at most every rowsThrottleMilliseconds, later on a busy machine).
    Uuid addTask(TransferTask task)
    {
        const Uuid id = task.id;
        m_app->transfers().append(std::move(task));
        EXPECT_TRUE(waitFor([&] { return m_browser->model()->findRow(keyOf(id)).has_value(); }));
        return id;
    }

    static TransferTask upload(const BucketConfig& bucket, const std::string& folder, const std::string& name,
                               TransferState state, bool isFolder = false)
    {
        return test::transferTask({UploadSpec{"/home/me/" + name, folder, UploadConflictMode::ask}}, state, bucket.id,
                                  name, isFolder);
    }

    static std::string keyOf(const Uuid& id)
    {
        TransferTask task;
        task.id = id;
        return task.placeholderKey();
    }

    int row(const std::string& key) const
    {
        const std::optional<int> found = m_browser->model()->findRow(key);
        EXPECT_TRUE(found.has_value()) << key;
        return found.value_or(-1);
    }

    QPoint centreOf(int row) const
    {
        return m_browser->table()->visualRect(m_browser->model()->index(row, 0)).center();
    }

    PlaceholderCell cellOf(const Uuid& id) const
    {
        const int shown = row(keyOf(id));
        const TransferTask* task = m_browser->model()->task(shown);
        EXPECT_NE(task, nullptr);
        return PlaceholderCell::make(*task, m_browser->table()->visualRect(m_browser->model()->index(shown, 0)));
    }

    static std::vector<QString> texts(const QMenu* menu)
    {
        std::vector<QString> shown;
        if (menu != nullptr) {
            for (const QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    shown.push_back(action->text());
                }
            }
        }
        return shown;
    }

    std::vector<QString> menuTexts(int row)
    {
        std::unique_ptr<QMenu> menu(m_browser->contextMenuFor(row));
        return texts(menu.get());
    }

    void rightClick(int row)
    {
        QWidget* viewport = m_browser->table()->viewport();
        const QPoint at = centreOf(row);
        QTest::mouseClick(viewport, Qt::RightButton, {}, at);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
    }

    QLineEdit* editor() const
    {
        return qobject_cast<QLineEdit*>(QApplication::focusWidget());
    }

    RemoteObjectsMimeData* clipboardObjects() const
    {
        return qobject_cast<RemoteObjectsMimeData*>(
            const_cast<QMimeData*>(QGuiApplication::clipboard()->mimeData()));
    }

    std::size_t downloadTasks() const
    {
        std::size_t count = 0;
        for (const TransferTask& task : m_app->transfers().tasks()) {
            count += task.kind() == TransferKind::download ? 1 : 0;
        }
        return count;
    }

    test::ScriptedUiServices m_ui;
    std::unique_ptr<ObjectBrowserView> m_browser;
};

const std::vector<std::pair<std::string, std::string>> kWorkFolder = {
    {"work/plans/q1.txt", "plan"}, {"work/a.txt", "alpha"}, {"work/b.txt", "bravo"}, {"work/c.txt", "charlie"}};

TEST_F(BrowserInteractionsTest, PlaceholderCellsFollowTheirTask)
{
    const BucketConfig bucket = bucketWith("cells", {{"inbox/readme.txt", "r"}});
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        makeBrowser(language);
        open(bucket, "inbox/");

        TransferTask scans = upload(bucket, "inbox/", "scans", TransferState::running, true);
        scans.unitsTotal = 12;
        scans.bytesTotal = 12'000'000;
        const Uuid folder = addTask(std::move(scans));
        TransferTask missing = upload(bucket, "inbox/", "missing.bin", TransferState::failed);
        missing.bytesTotal = 5'000'000;
        missing.bytesDone = 2'000'000;
        const Uuid failed = addTask(std::move(missing));

        PlaceholderCell cell = cellOf(folder);
        EXPECT_EQ(cell.look, PlaceholderCell::Look::active);
        EXPECT_EQ(cell.counter, QStringLiteral("0/12"));
        EXPECT_TRUE(cell.showsBar);
        EXPECT_FALSE(cell.showsCheck);
        EXPECT_FALSE(cell.showsButtons);
        const PlaceholderCell red = cellOf(failed);
        EXPECT_EQ(red.look, PlaceholderCell::Look::failed);
        EXPECT_TRUE(red.showsBar);
        EXPECT_TRUE(red.showsButtons);
        EXPECT_DOUBLE_EQ(red.fraction, 0.4);
        const int failedRow = row(keyOf(failed));
        EXPECT_EQ(m_browser->model()->index(failedRow, BrowserTableModel::sizeColumn).data().toString(),
                  QString::fromStdString(ByteFormatter::progressString(2'000'000, 5'000'000)));
        test::saveGrab(m_browser.get(), QString::fromLatin1(language));

        m_app->transfers().updateTask(folder, [](TransferTask& task) {
            task.unitsDone = 3;
            task.bytesDone = 30'000'000;  // past the total: the bar is full, never beyond
        });
        cell = cellOf(folder);
        EXPECT_EQ(cell.counter, QStringLiteral("3/12"));
        EXPECT_DOUBLE_EQ(cell.fraction, 1.0);

        m_app->transfers().updateTask(folder, [](TransferTask& task) {
            task.state = TransferState::succeeded;
            task.unitsDone = 12;
            task.bytesDone = 12'000'000;
            task.completedAt = std::chrono::system_clock::now();
        });
        // The finished look comes with the next reload of the rows.
        EXPECT_TRUE(waitFor([&] { return cellOf(folder).look == PlaceholderCell::Look::succeeded; }));
        cell = cellOf(folder);
        EXPECT_EQ(cell.look, PlaceholderCell::Look::succeeded);
        EXPECT_TRUE(cell.counter.isEmpty());
        EXPECT_TRUE(cell.showsCheck);
        EXPECT_FALSE(cell.showsBar);
        const int folderRow = row(keyOf(folder));
        EXPECT_EQ(m_browser->model()->index(folderRow, BrowserTableModel::sizeColumn).data().toString(),
                  QString::fromStdString(ByteFormatter::string(12'000'000)));
        test::saveGrab(m_browser.get(), QString::fromLatin1(language) + QStringLiteral("-done"));

        // The retry button puts the task back in the queue; the remove button drops it.
        QTest::mouseClick(m_browser->table()->viewport(), Qt::LeftButton, {}, red.retryRect.center());
        const std::optional<std::size_t> retried = m_app->transfers().index(failed);
        ASSERT_TRUE(retried.has_value());
        EXPECT_TRUE(isActive(m_app->transfers().tasks()[*retried].state));
        EXPECT_TRUE(m_app->selectedObjectKeys().empty()) << "a button click selects nothing";
        // Its run (of a file that is not there) ends first: the queue, idle again, must
        // not pick up the finished task put in its list below.
        ASSERT_TRUE(waitFor([&] {
            const std::optional<std::size_t> at = m_app->transfers().index(failed);
            return at && !isActive(m_app->transfers().tasks()[*at].state);
        }));

        const Uuid other = addTask(upload(bucket, "inbox/", "other.bin", TransferState::cancelled));
        const PlaceholderCell cancelled = cellOf(other);
        QTest::mouseClick(m_browser->table()->viewport(), Qt::LeftButton, {}, cancelled.removeRect.center());
        EXPECT_FALSE(m_app->transfers().index(other).has_value());
        m_app->transfers().dismiss(failed);
        m_app->transfers().dismiss(folder);
        m_browser.reset();
    }
}

TEST_F(BrowserInteractionsTest, ContextMenuOfEachRowKind)
{
    const BucketConfig bucket = bucketWith("menu", kWorkFolder);
    makeBrowser();
    open(bucket, "work/");
    const Uuid running = addTask(upload(bucket, "work/", "big.iso", TransferState::running));
    TransferTask finished = upload(bucket, "work/", "new.txt", TransferState::succeeded);
    finished.succeededObjectKey = "work/new.txt";
    // The size of the file it sent: an object is never taken larger than known.
    finished.bytesTotal = 5;
    finished.completedAt = std::chrono::system_clock::now();
    const Uuid done = addTask(std::move(finished));

    const std::vector<QString> folderItems{"Open", "Copy Key", "Add Folder to Favorites", "Rename / Move", "Delete"};
    const std::vector<QString> objectItems{"Open", "Download", "Copy Key", "Copy URL", "Rename / Move", "Delete"};
    EXPECT_EQ(menuTexts(-1), (std::vector<QString>{"Refresh", "Upload", "New Folder"}));
    EXPECT_TRUE(menuTexts(row("..")).empty());
    EXPECT_EQ(menuTexts(row("work/plans/")), folderItems);
    EXPECT_EQ(menuTexts(row("work/a.txt")), objectItems);
    EXPECT_TRUE(menuTexts(row(keyOf(running))).empty());
    EXPECT_EQ(menuTexts(row(keyOf(done))), objectItems);

    // "Copy Key" of a finished upload copies the uploaded object's key, and only it.
    std::unique_ptr<QMenu> menu(m_browser->contextMenuFor(row(keyOf(done))));
    menu->actions()[3]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("work/new.txt"));
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(m_app->statusText(), QStringLiteral("Copied"));
    menu.reset();

    // A right-click inside a selection keeps it; outside, it selects that row alone.
    m_app->setSelectedObjectKeys({"work/a.txt", "work/b.txt", "work/c.txt"});
    rightClick(row("work/b.txt"));
    ASSERT_NE(m_browser->contextMenu(), nullptr);
    EXPECT_EQ(texts(m_browser->contextMenu()), objectItems);
    EXPECT_EQ(m_app->selectedObjectKeys(), (KeySet{"work/a.txt", "work/b.txt", "work/c.txt"}));
    EXPECT_EQ(m_browser->table()->selectionModel()->selectedRows().size(), 3);
    test::saveGrab(m_browser->contextMenu(), QStringLiteral("object"));
    m_browser->contextMenu()->close();

    rightClick(row("work/plans/"));
    ASSERT_NE(m_browser->contextMenu(), nullptr);
    EXPECT_EQ(m_app->selectedObjectKeys(), KeySet{"work/plans/"});
    EXPECT_EQ(texts(m_browser->contextMenu()), folderItems);
    m_browser->contextMenu()->close();
    m_app->transfers().dismiss(running);
}

TEST_F(BrowserInteractionsTest, OpenFromTheMenuOpensTheRowThatWasClicked)
{
    const BucketConfig bucket = bucketWith("menuopen", kWorkFolder);
    makeBrowser();
    open(bucket, "work/");
    const auto openItem = [](QMenu* menu) {
        const QList<QAction*> actions = menu->actions();
        const auto found = std::find_if(actions.begin(), actions.end(),
                                        [](const QAction* action) { return action->text() == QStringLiteral("Open"); });
        return found == actions.end() ? nullptr : *found;
    };

    // Inside a selection of three, the clicked row is opened, not the first selected.
    m_app->setSelectedObjectKeys({"work/a.txt", "work/b.txt", "work/c.txt"});
    rightClick(row("work/b.txt"));
    ASSERT_NE(m_browser->contextMenu(), nullptr);
    QAction* item = openItem(m_browser->contextMenu());
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_TRUE(waitFor([&] { return m_ui.openedFiles.size() == 1; }));
    EXPECT_EQ(test::readFile(m_ui.openedFiles.back()), "bravo");
    EXPECT_EQ(m_app->selectedObjectKeys(), (KeySet{"work/a.txt", "work/b.txt", "work/c.txt"}));
    m_browser->contextMenu()->close();

    // A finished upload stands for the object it made, which the listing does not
    // show yet.
    test::putObjects(*m_server, bucket, {"work/new.txt"}, "fresh");
    TransferTask finished = upload(bucket, "work/", "new.txt", TransferState::succeeded);
    finished.succeededObjectKey = "work/new.txt";
    // The size of the file it sent: an object is never taken larger than known.
    finished.bytesTotal = 5;
    finished.completedAt = std::chrono::system_clock::now();
    const Uuid done = addTask(std::move(finished));
    ASSERT_FALSE(m_browser->model()->findRow("work/new.txt").has_value());
    std::unique_ptr<QMenu> menu(m_browser->contextMenuFor(row(keyOf(done))));
    item = openItem(menu.get());
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_TRUE(waitFor([&] { return m_ui.openedFiles.size() == 2; }));
    EXPECT_EQ(test::readFile(m_ui.openedFiles.back()), "fresh");
    EXPECT_EQ(m_app->selectedObjectKeys(), KeySet{keyOf(done)}) << "the selection stays on the row";
    m_app->transfers().dismiss(done);
}

TEST_F(BrowserInteractionsTest, DoubleClickOnEachRowKind)
{
    const BucketConfig bucket = bucketWith("double", kWorkFolder);
    makeBrowser();
    open(bucket, "work/");

    m_browser->openRow(row("work/a.txt"));
    ASSERT_TRUE(waitFor([&] { return m_ui.openedFiles.size() == 1; }));
    EXPECT_EQ(test::readFile(m_ui.openedFiles.front()), "alpha");

    const Uuid running = addTask(upload(bucket, "work/", "photos", TransferState::running, true));
    m_browser->openRow(row(keyOf(running)));
    QTest::qWait(50);
    EXPECT_EQ(m_app->currentPrefix(), "work/") << "a running upload opens nothing";

    // A double click is a press, a release and the double click (then another release).
    const QPoint plans = centreOf(row("work/plans/"));
    QTest::mouseClick(m_browser->table()->viewport(), Qt::LeftButton, {}, plans);
    QTest::mouseDClick(m_browser->table()->viewport(), Qt::LeftButton, {}, plans);
    ASSERT_TRUE(waitFor([&] { return m_app->currentPrefix() == "work/plans/" && !m_app->isLoading(); }));
    ASSERT_TRUE(waitFor([&] { return m_browser->model()->findRow("work/plans/q1.txt").has_value(); }));

    m_browser->openRow(row(".."));
    ASSERT_TRUE(waitFor([&] { return m_app->currentPrefix() == "work/"; }));
    ASSERT_TRUE(waitUntilSettled());

    TransferTask scans = upload(bucket, "work/", "scans", TransferState::succeeded, true);
    scans.completedAt = std::chrono::system_clock::now();
    const Uuid done = addTask(std::move(scans));
    m_browser->openRow(row(keyOf(done)));
    EXPECT_TRUE(waitFor([&] { return m_app->currentPrefix() == "work/scans/"; }));
    m_app->transfers().dismiss(running);
}

TEST_F(BrowserInteractionsTest, InlineRenameSelectsTheNameAndOnlyReturnCommits)
{
    const BucketConfig bucket = bucketWith(
        "rename", {{"docs/report.final.pdf", std::string(52, 'r')}, {"docs/.env", "e"}, {"docs/drafts/x.md", "x"}});
    makeBrowser();
    open(bucket, "docs/");
    struct Rename {
        std::string newName;
        std::string sourceKey;
        std::optional<std::int64_t> size;
    };
    std::vector<Rename> renames;
    m_browser->renameHandler = [&](const std::string& name, const std::string& source,
                                   std::optional<std::int64_t> size) { renames.push_back({name, source, size}); };

    const auto begin = [&](const std::string& key) {
        m_app->setSelectedObjectKeys({key});
        m_browser->table()->setFocus();
        QTest::keyClick(m_browser->table(), Qt::Key_Return);
    };
    const auto ended = [&] {
        QTest::qWait(20);
        return editor() == nullptr && !m_app->isInlineRenaming() && !m_browser->editingKey();
    };

    const struct {
        const char* key;
        const char* text;
        const char* selected;
    } cases[] = {
        {"docs/report.final.pdf", "report.final.pdf", "report.final"},
        {"docs/.env", ".env", ".env"},
        {"docs/drafts/", "drafts", "drafts"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.key);
        begin(entry.key);
        ASSERT_NE(editor(), nullptr);
        EXPECT_TRUE(m_app->isInlineRenaming());
        EXPECT_EQ(m_browser->editingKey(), std::optional<std::string>(entry.key));
        EXPECT_EQ(editor()->text(), QString::fromUtf8(entry.text));
        EXPECT_EQ(editor()->selectedText(), QString::fromUtf8(entry.selected));
        if (entry.key == std::string("docs/drafts/")) {
            test::saveGrab(m_browser.get(), QStringLiteral("editing"));
        }
        // Return while editing starts no second session; Escape ends this one.
        m_browser->beginInlineRename();
        QTest::keyClick(editor(), Qt::Key_Escape);
        EXPECT_TRUE(ended());
        EXPECT_EQ(m_browser->model()->name(row(entry.key)), QString::fromUtf8(entry.text).remove(QLatin1Char('/')));
    }
    EXPECT_TRUE(renames.empty());

    // A slash typed or pasted is taken out with a beep; Return hands the name over.
    begin("docs/report.final.pdf");
    QTest::keyClicks(editor(), QStringLiteral("a/b"));
    EXPECT_EQ(editor()->text(), QStringLiteral("ab.pdf"));
    EXPECT_EQ(m_ui.beeps, 1);
    QTest::keyClick(editor(), Qt::Key_Return);
    EXPECT_TRUE(ended());
    ASSERT_EQ(renames.size(), 1U);
    EXPECT_EQ(renames[0].newName, "ab.pdf");
    EXPECT_EQ(renames[0].sourceKey, "docs/report.final.pdf");
    EXPECT_EQ(renames[0].size, std::optional<std::int64_t>(52));
    EXPECT_EQ(m_browser->model()->name(row("docs/report.final.pdf")), QStringLiteral("report.final.pdf"));

    // A click on another row leaves the field: nothing is renamed, the name stays.
    begin("docs/.env");
    QTest::keyClicks(editor(), QStringLiteral("secrets"));
    QTest::mouseClick(m_browser->table()->viewport(), Qt::LeftButton, {}, centreOf(row("docs/drafts/")));
    EXPECT_TRUE(ended());
    EXPECT_EQ(renames.size(), 1U);
    EXPECT_EQ(m_browser->model()->name(row("docs/.env")), QStringLiteral(".env"));
    EXPECT_TRUE(m_browser->table()->hasFocus());

    // The parent row cannot be renamed.
    const int beeps = m_ui.beeps;
    begin("..");
    EXPECT_EQ(m_ui.beeps, beeps + 1);
    EXPECT_FALSE(m_browser->editingKey().has_value());
}

// The whole path, without a stand-in: the typed name reaches the state, the queue
// renames the object on the server and the folder lists it under its new name.
TEST_F(BrowserInteractionsTest, AnInlineRenameEndsWithTheObjectUnderItsNewName)
{
    const BucketConfig bucket = bucketWith("inline", {{"docs/a.txt", "alpha"}, {"docs/keep.txt", "k"}});
    makeBrowser();
    open(bucket, "docs/");
    m_app->setSelectedObjectKeys({"docs/a.txt"});
    m_browser->table()->setFocus();
    QTest::keyClick(m_browser->table(), Qt::Key_Return);
    ASSERT_NE(editor(), nullptr);
    editor()->selectAll();
    QTest::keyClicks(editor(), QStringLiteral("b.txt"));
    QTest::keyClick(editor(), Qt::Key_Return);

    ASSERT_TRUE(waitFor([&] {
        const std::vector<TransferTask>& tasks = m_app->transfers().tasks();
        return !tasks.empty() && isFinished(tasks.front().state);
    }));
    EXPECT_EQ(m_app->transfers().tasks().front().state, TransferState::succeeded)
        << m_app->transfers().tasks().front().errorText.value_or(QString()).toStdString();
    ASSERT_TRUE(waitFor([&] {
        const std::vector<std::string> keys = shownKeys();
        return std::find(keys.begin(), keys.end(), "docs/b.txt") != keys.end();
    }));
    const std::vector<std::string> keys = shownKeys();
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "docs/a.txt"), 0);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "docs/keep.txt"), 1);
}

TEST_F(BrowserInteractionsTest, CopiedObjectsDownloadOnceFromTheBucketOfTheCopy)
{
    const BucketConfig bucket = bucketWith(
        "lazy", {{"docs/a.txt", "alpha"}, {"docs/sub/b.txt", "bravo"}, {"docs/sub/deeper/c.txt", "charlie"}});
    const BucketConfig other = bucketWith("lazy-other", {{"docs/a.txt", "OTHER"}});
    makeBrowser();
    open(bucket, "docs/");
    const Uuid running = addTask(upload(bucket, "docs/", "later.bin", TransferState::running));

    m_browser->table()->selectAll();
    QTest::keyClick(m_browser->table(), Qt::Key_C, Qt::ControlModifier);
    // A folder is counted first (a large copy asks before it reaches the clipboard).
    ASSERT_TRUE(waitFor([&] { return clipboardObjects() != nullptr; }));
    RemoteObjectsMimeData* copied = clipboardObjects();
    ASSERT_EQ(copied->items().size(), 2U) << "only folders and objects are copied";
    EXPECT_EQ(copied->items()[0].key, "docs/sub/");
    EXPECT_TRUE(copied->items()[0].isFolder);
    EXPECT_EQ(copied->items()[1].key, "docs/a.txt");
    EXPECT_EQ(copied->fileNames(), (std::vector<std::string>{"sub", "a.txt"}));
    EXPECT_EQ(copied->formats(), (QStringList{"text/uri-list", "x-special/gnome-copied-files"}));
    EXPECT_EQ(downloadTasks(), 0U) << "nothing is downloaded before a receiver asks";

    // The user moves on to another bucket before pasting.
    m_app->switchBucket(other.id, "docs/");
    ASSERT_TRUE(waitUntilSettled());

    const QList<QUrl> urls = QGuiApplication::clipboard()->mimeData()->urls();
    ASSERT_EQ(urls.size(), 2);
    const fs::path folder = urls[0].toLocalFile().toStdString();
    const fs::path file = urls[1].toLocalFile().toStdString();
    EXPECT_EQ(folder.filename(), "sub");
    EXPECT_EQ(file.filename(), "a.txt");
    EXPECT_EQ(folder.parent_path().parent_path(), m_app->privateFolder().dragOutFolder());
    EXPECT_EQ(test::readFile(file), "alpha");
    EXPECT_EQ(test::readFile(folder / "b.txt"), "bravo");
    EXPECT_EQ(test::readFile(folder / "deeper" / "c.txt"), "charlie");

    // Asked again, in the other formats too: the same files, downloaded once.
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(), urls);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(RemoteObjectsMimeData::gnomeCopiedFilesFormat),
              "copy\n" + urls[0].toEncoded() + "\n" + urls[1].toEncoded());
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data(RemoteObjectsMimeData::uriListFormat),
              urls[0].toEncoded() + "\r\n" + urls[1].toEncoded() + "\r\n");
    EXPECT_EQ(copied->stagingRuns(), 1);
    EXPECT_EQ(downloadTasks(), 2U);

    // Pasting them back here would only upload them again.
    m_browser->paste();
    EXPECT_EQ(m_ui.beeps, 1);

    DragOutStaging::setAside(m_app->privateFolder());
    DragOutStaging::removeSetAside(m_app->privateFolder());
    EXPECT_FALSE(fs::exists(file));
    m_app->transfers().dismiss(running);
}

// While a receiver waits for copied objects, the window's own input waits too: a
// second Ctrl+C then copies nothing over the objects being fetched.
TEST_F(BrowserInteractionsTest, KeysPressedDuringAStagedDownloadDoNotReachTheWindow)
{
    const BucketConfig bucket = bucketWith("stagedkeys", {{"docs/a.txt", "alpha"}, {"docs/b.txt", "bravo"}});
    makeBrowser();
    open(bucket, "docs/");
    m_app->setSelectedObjectKeys({"docs/a.txt"});
    m_browser->copySelectedToPasteboard();
    RemoteObjectsMimeData* first = clipboardObjects();
    ASSERT_NE(first, nullptr);

    bool pressed = false;
    const QMetaObject::Connection during =
        QObject::connect(&m_app->transfers(), &TransferCenter::tasksChanged, [&] {
            if (pressed || downloadTasks() == 0) {
                return;
            }
            pressed = true;
            m_app->setSelectedObjectKeys({"docs/b.txt"});
            QTest::keyClick(m_browser->table(), Qt::Key_C, Qt::ControlModifier);
            QTest::keyClick(m_browser->table(), Qt::Key_Delete);
        });
    const QList<QUrl> urls = first->urls();
    QObject::disconnect(during);
    ASSERT_TRUE(pressed);
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(test::readFile(urls[0].toLocalFile().toStdString()), "alpha");
    EXPECT_EQ(clipboardObjects(), first) << "the second Ctrl+C did not replace the objects being fetched";
    EXPECT_FALSE(m_app->showingDeleteConfirm());
}

// The clipboard changes hands while a receiver waits (another application copies):
// the objects nobody can receive any more are not fetched on, and the wait ends
// without an answer.
TEST_F(BrowserInteractionsTest, ACopyReplacedDuringItsStagedDownloadIsStoppedSafely)
{
    const BucketConfig bucket = bucketWith("stagedgone", {{"docs/a.txt", std::string(4 << 20, 'a')}});
    makeBrowser();
    open(bucket, "docs/");
    std::vector<ToastMessage> toasts;
    QObject::connect(m_app.get(), &AppState::toastRequested,
                     [&](const ToastMessage& toast) { toasts.push_back(toast); });
    m_app->setSelectedObjectKeys({"docs/a.txt"});
    m_browser->copySelectedToPasteboard();
    QPointer<RemoteObjectsMimeData> first = clipboardObjects();
    ASSERT_NE(first, nullptr);

    bool replaced = false;
    const QMetaObject::Connection during =
        QObject::connect(&m_app->transfers(), &TransferCenter::tasksChanged, [&] {
            if (!replaced && downloadTasks() > 0) {
                replaced = true;
                QGuiApplication::clipboard()->setText(QStringLiteral("another program's text"));
            }
        });
    const QList<QUrl> urls = QGuiApplication::clipboard()->mimeData()->urls();
    QObject::disconnect(during);
    ASSERT_TRUE(replaced);
    EXPECT_TRUE(urls.isEmpty());
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("another program's text"));
    const auto stagedFiles = [&] {
        std::size_t files = 0;
        for (const fs::directory_entry& entry :
             fs::recursive_directory_iterator(m_app->privateFolder().dragOutFolder())) {
            files += entry.is_regular_file() ? 1 : 0;
        }
        return files;
    };
    EXPECT_TRUE(waitFor([&] {
        const std::vector<TransferTask>& tasks = m_app->transfers().tasks();
        return stagedFiles() == 0 &&
               std::none_of(tasks.begin(), tasks.end(), [](const TransferTask& task) { return isActive(task.state); });
    }));
    EXPECT_TRUE(toasts.empty()) << "nobody failed: nobody waits any more";
}

TEST_F(BrowserInteractionsTest, CopiedObjectsWithoutASecretFailVisibly)
{
    const BucketConfig bucket = bucketWith("nosecret", {{"docs/a.txt", "alpha"}});
    makeBrowser();
    open(bucket, "docs/");
    std::vector<ToastMessage> toasts;
    QObject::connect(m_app.get(), &AppState::toastRequested,
                     [&](const ToastMessage& toast) { toasts.push_back(toast); });

    // Only the parent row: nothing to copy.
    m_app->setSelectedObjectKeys({".."});
    m_browser->copySelectedToPasteboard();
    EXPECT_EQ(m_ui.beeps, 1);
    EXPECT_EQ(clipboardObjects(), nullptr);

    m_app->setSelectedObjectKeys({"docs/a.txt"});
    m_browser->copySelectedToPasteboard();
    ASSERT_NE(clipboardObjects(), nullptr);
    m_secretStore.deleteSecret(KeychainSecretStore::accountSecretAccount(bucket));

    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->urls().isEmpty());
    ASSERT_EQ(toasts.size(), 1U);
    EXPECT_EQ(toasts[0].kind, ToastKind::error);
    EXPECT_FALSE(toasts[0].text.isEmpty());
    EXPECT_EQ(downloadTasks(), 0U);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->data(RemoteObjectsMimeData::uriListFormat).isEmpty());
    EXPECT_EQ(toasts.size(), 1U) << "a failure is told once";
}

TEST_F(BrowserInteractionsTest, DroppedLocalFilesAreUploadedAndOtherDropsRefused)
{
    const BucketConfig bucket = bucketWith("drop", {{"inbox/readme.txt", "r"}});
    makeBrowser();
    open(bucket, "inbox/");
    test::TemporaryFolder local;
    test::writeFile(local.path() / "one.txt", "first");
    test::writeFile(local.path() / "two.txt", "second");

    const auto drop = [&](const QMimeData& data) {
        const QPoint at = m_browser->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_browser.get(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_browser.get(), &dropped);
        return std::pair{enter.isAccepted(), dropped.isAccepted()};
    };

    QMimeData text;
    text.setText(QStringLiteral("just words"));
    EXPECT_EQ(drop(text), std::pair(false, false));
    RemoteObjectsMimeData own(*m_app, bucket, {{"inbox/readme.txt", false, 1, std::nullopt}}, m_browser.get());
    EXPECT_EQ(drop(own), std::pair(false, false));
    EXPECT_EQ(own.stagingRuns(), 0) << "a drop from this program downloads nothing";
    QTest::qWait(100);
    EXPECT_TRUE(m_app->transfers().tasks().empty());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(local.path() / "one.txt")),
                   QUrl::fromLocalFile(QString::fromStdString(local.path() / "two.txt"))});
    EXPECT_EQ(drop(files), std::pair(true, true));
    EXPECT_FALSE(m_app->isDropTargeted());
    ASSERT_TRUE(waitFor([&] {
        const std::vector<TransferTask>& tasks = m_app->transfers().tasks();
        return tasks.size() == 2 && std::all_of(tasks.begin(), tasks.end(), [](const TransferTask& task) {
                   return task.state == TransferState::succeeded;
               });
    }));
    std::vector<std::string> keys;
    for (const ObjectItem& item : m_client.listObjects(bucket, test::credentialsOf(*m_server), "inbox/")) {
        keys.push_back(item.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"inbox/one.txt", "inbox/readme.txt", "inbox/two.txt"}));
}

}  // namespace
}  // namespace tarn
