#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"

#include "app/AppStateFixture.h"
#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "integration/S3TestBuckets.h"
#include "integration/TestEnvironment.h"
#include "ui/browser/DragOutStaging.h"
#include "ui/browser/RemoteObjectsMimeData.h"
#include "ui/window/MainWindow.h"
#include "ui/window/TripleSplitView.h"
#include "ui/window/UnixSignalWatcher.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace tarn {
namespace {

using test::settle;

class AppDelegateTest : public test::WindowFixture {
protected:
    MainWindow& window() { return *m_delegate->window(); }

    QAction* menuAction(const QString& text)
    {
        for (QAction* menu : window().menuBar()->actions()) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->text() == text) {
                    return action;
                }
            }
        }
        return nullptr;
    }

    std::vector<OperationHistoryEntry> historyOnDisk() const
    {
        const ConfigStore::RawLoad raw = ConfigStore(configFile()).loadRaw();
        return std::get<AppConfig>(raw).history;
    }
};

// A sidebar that can change the language from inside one of its own signals, as the
// settings sheet will, with a text field to take the Edit menu's commands.
struct LanguageButtonPane {
    static WindowContentFactory factory()
    {
        WindowContentFactory factory = WindowContentFactory::standard();
        factory.sidebar = [](AppState& state) -> QWidget* {
            auto* pane = WindowContentFactory::placeholderPane();
            auto* layout = new QVBoxLayout(pane);
            auto* field = new QLineEdit(QStringLiteral("bucket-name"), pane);
            field->setObjectName(QStringLiteral("field"));
            auto* button = new QPushButton(QStringLiteral("English"), pane);
            button->setObjectName(QStringLiteral("language"));
            QObject::connect(button, &QPushButton::clicked, &state, [&state] {
                state.setLanguageCode(state.languageCode() == "en" ? "zh" : "en");
            });
            layout->addWidget(field);
            layout->addWidget(button);
            layout->addStretch();
            return pane;
        };
        return factory;
    }
};

TEST_F(AppDelegateTest, CreatesTheStateOnTheStoredLanguageAndGrabsTheEmptyWindow)
{
    for (const char* code : {"zh", "en"}) {
        SCOPED_TRACE(code);
        storeLanguage(code);
        AppDelegate& delegate = launch();
        EXPECT_EQ(delegate.state().languageCode(), code);
        EXPECT_EQ(&delegate.state().ui(), &delegate.uiServices());
        EXPECT_EQ(delegate.uiServices().dialogParent(), delegate.window());
        EXPECT_TRUE(delegate.window()->isVisible());
        EXPECT_EQ(delegate.window()->windowTitle(), L10n::t(QStringLiteral("app_name")));
        test::saveGrab(delegate.window(), QString::fromLatin1(code));
        test::saveGrab(delegate.window(), QString::fromLatin1(code) + QStringLiteral("-2x"), 2.0);
        endDelegate();
    }
}

TEST_F(AppDelegateTest, OpensAtTheDefaultSizeAndNeverBelowTheMinimum)
{
    launch();
    EXPECT_FALSE(QSettings().contains(MainWindow::geometryKey));
    EXPECT_EQ(window().size(), QSize(1240, 800));
    EXPECT_EQ(window().minimumSize(), QSize(1000, 640));
    window().resize(500, 300);
    EXPECT_EQ(window().size(), QSize(1000, 640));
}

TEST_F(AppDelegateTest, RestoresTheGeometryItSavedAtClose)
{
    launch();
    window().resize(1100, 700);
    window().close();
    EXPECT_TRUE(QSettings().contains(MainWindow::geometryKey));
    endDelegate();

    launch();
    EXPECT_EQ(window().size(), QSize(1100, 700));
}

TEST_F(AppDelegateTest, RebuildsTheContentOncePerLanguageChangeOutsideTheSignalThatToldOfIt)
{
    AppDelegate& delegate = launch(LanguageButtonPane::factory());
    QSignalSpy builds(&delegate, &AppDelegate::contentInstalled);
    window().setGeometry(60, 40, 1180, 760);
    settle();
    const QRect frame = window().geometry();
    QPointer<TripleSplitView> first = delegate.content();

    // The button that changes the language belongs to the content being replaced.
    auto* button = first->findChild<QPushButton*>(QStringLiteral("language"));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(builds.count(), 0) << "the rebuild waits for a later turn of the event loop";
    settle();
    EXPECT_EQ(builds.count(), 1);
    EXPECT_TRUE(first.isNull());
    EXPECT_NE(delegate.content(), nullptr);
    EXPECT_EQ(window().geometry(), frame);
    EXPECT_EQ(window().centralWidget(), delegate.content());

    // The same code again changes nothing; another code rebuilds once more.
    delegate.state().setLanguageCode("en");
    settle();
    EXPECT_EQ(builds.count(), 1);
    delegate.state().setLanguageCode("zh");
    settle();
    EXPECT_EQ(builds.count(), 2);
    EXPECT_EQ(window().geometry(), frame);
}

TEST_F(AppDelegateTest, ARebuildClosesTheOpenSheet)
{
    if (!stateClosesSheets()) {
        GTEST_SKIP() << "AppState::closeAllSheets does not close sheets yet";
    }
    AppDelegate& delegate = launch();
    delegate.state().setShowingAppSettings(true);
    delegate.state().setLanguageCode("en");
    settle();
    EXPECT_FALSE(delegate.state().showingAppSettings());
}

TEST_F(AppDelegateTest, ClosingTheWindowWritesTheBufferedHistory)
{
    if (!stateFlushesHistory()) {
        GTEST_SKIP() << "AppState does not buffer and flush history yet";
    }
    AppDelegate& delegate = launch();
    delegate.state().recordHistory(QStringLiteral("upload"), QStringLiteral("a.txt"), "bucket", true);
    EXPECT_TRUE(historyOnDisk().empty()) << "written only after its delay or at the end";
    window().close();
    ASSERT_EQ(historyOnDisk().size(), 1u);
    EXPECT_EQ(historyOnDisk().front().detail, "a.txt");
}

TEST_F(AppDelegateTest, ClosingTheMainWindowEndsTheProgramWhileAnotherWindowIsOpen)
{
    AppDelegate& delegate = launch();
    EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
    // Stands for the transfer panel.
    QWidget panel;
    panel.show();
    QTimer::singleShot(0, &window(), [this] { window().close(); });
    EXPECT_EQ(test::execUntilQuit(), 0);
    (void)delegate;
}

TEST_F(AppDelegateTest, ATerminationSignalEndsTheProgramAsTheWindowsCloseDoes)
{
    const bool flushes = stateFlushesHistory();
    AppDelegate& delegate = launch();
    UnixSignalWatcher watcher({SIGTERM, SIGINT});
    ASSERT_TRUE(watcher.isWatching());
    QObject::connect(&watcher, &UnixSignalWatcher::received, &delegate, &AppDelegate::quit);
    delegate.state().recordHistory(QStringLiteral("delete"), QStringLiteral("b.txt"), "bucket", true);
    QTimer::singleShot(0, qApp, [] { std::raise(SIGTERM); });
    EXPECT_EQ(test::execUntilQuit(), 0);
    if (flushes) {
        EXPECT_EQ(historyOnDisk().size(), 1u);
    }
    EXPECT_TRUE(QSettings().contains(MainWindow::geometryKey));
}

// The window is closed while a receiver waits for copied objects: their download
// stops, the receiver gets no files, and the program then ends as it always does.
TEST_F(AppDelegateTest, QuittingWhileAReceiverWaitsForCopiedObjectsStopsTheirDownloadFirst)
{
    TARN_REQUIRE_S3_SERVER(server);
    if (!test::hasTestKeyring()) {
        GTEST_SKIP() << "TARN_TEST_KEYRING is not set; run scripts/test";
    }
    AppDelegate& delegate = launch();
    AppState& state = delegate.state();
    const BucketConfig made = test::createBucket(server, "quitstaged");
    test::putObjects(server, made, {"docs/big.bin"}, std::string(std::size_t{16} << 20, 'b'));
    StorageProfile profile;
    profile.id = Uuid::random();
    profile.name = "Test";
    profile.endpoint = *Url::parse(server.endpoint);
    profile.region = server.region;
    profile.accessKeyID = server.accessKey;
    profile.bucketNames = {made.bucketName};
    const std::string account =
        KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID);
    state.secretStore().save(server.secretKey, account);
    AppConfig config = state.config();
    config.profiles.push_back(profile);
    state.setConfig(config);
    const BucketConfig bucket = state.buckets(profile).front();
    state.recordHistory(QStringLiteral("upload"), QStringLiteral("a.txt"), "bucket", true);

    auto* copied = new RemoteObjectsMimeData(state, bucket, {{"docs/big.bin", false, 16 << 20, std::nullopt}},
                                             delegate.window());
    QGuiApplication::clipboard()->setMimeData(copied);
    bool closed = false;
    const QMetaObject::Connection during = QObject::connect(&state.transfers(), &TransferCenter::tasksChanged, [&] {
        const std::vector<TransferTask>& tasks = state.transfers().tasks();
        const bool downloading = std::any_of(tasks.begin(), tasks.end(), [](const TransferTask& task) {
            return task.kind() == TransferKind::download && task.state == TransferState::running;
        });
        if (!closed && downloading) {
            closed = true;
            QTimer::singleShot(0, &window(), [this] { window().close(); });
        }
    });
    const QList<QUrl> urls = copied->urls();
    QObject::disconnect(during);
    ASSERT_TRUE(closed);
    EXPECT_TRUE(urls.isEmpty());
    EXPECT_EQ(test::execUntilQuit(), 0) << "the program ends once the receiver has its answer";
    const std::vector<TransferTask>& tasks = state.transfers().tasks();
    EXPECT_TRUE(std::none_of(tasks.begin(), tasks.end(),
                             [](const TransferTask& task) { return isActive(task.state); }));
    ASSERT_EQ(historyOnDisk().size(), 1u);
    const std::filesystem::path staged = state.privateFolder().dragOutFolder();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::filesystem::is_empty(staged) &&
                   std::filesystem::is_empty(state.privateFolder().discardedFolder());
        },
        10000));
    QGuiApplication::clipboard()->clear();
    state.secretStore().deleteSecret(account);
}

TEST_F(AppDelegateTest, EditMenuCommandsReachTheFocusedTextField)
{
    launch(LanguageButtonPane::factory());
    auto* field = m_delegate->content()->findChild<QLineEdit*>(QStringLiteral("field"));
    ASSERT_NE(field, nullptr);
    window().activateWindow();
    field->setFocus();
    settle();
    ASSERT_EQ(QApplication::focusWidget(), field);

    QAction* selectAll = menuAction(QStringLiteral("Select All"));
    QAction* copy = menuAction(QStringLiteral("Copy"));
    QAction* cut = menuAction(QStringLiteral("Cut"));
    QAction* paste = menuAction(QStringLiteral("Paste"));
    ASSERT_TRUE(selectAll && copy && cut && paste);
    EXPECT_EQ(copy->shortcut(), QKeySequence(QKeySequence::Copy));

    selectAll->trigger();
    EXPECT_EQ(field->selectedText(), QStringLiteral("bucket-name"));
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("bucket-name"));
    cut->trigger();
    EXPECT_TRUE(field->text().isEmpty());
    paste->trigger();
    paste->trigger();
    EXPECT_EQ(field->text(), QStringLiteral("bucket-namebucket-name"));
}

TEST_F(AppDelegateTest, TheApplicationMenuNamesTheProgramAndQuits)
{
    launch();
    const QString appName = L10n::t(QStringLiteral("app_name"));
    const QList<QAction*> menus = window().menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), appName);
    EXPECT_EQ(menus[1]->text(), QStringLiteral("Edit"));
    QAction* hide = menuAction(QStringLiteral("Hide ") + appName);
    QAction* quit = menuAction(QStringLiteral("Quit ") + appName);
    ASSERT_TRUE(hide && quit);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QTimer::singleShot(0, quit, &QAction::trigger);
    EXPECT_EQ(test::execUntilQuit(), 0);
}

}  // namespace
}  // namespace tarn
