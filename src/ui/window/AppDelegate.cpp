#include "ui/window/AppDelegate.h"

#include "app/state/AppState.h"
#include "app/state/Async.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "ui/browser/DragOutStaging.h"
#include "ui/browser/RemoteObjectsMimeData.h"
#include "ui/transfers/TransferPanelWindow.h"
#include "ui/window/EditCommandRouter.h"
#include "ui/window/MainWindow.h"
#include "ui/window/PreferredLanguage.h"
#include "ui/window/TripleSplitView.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace tarn {

AppDelegate::AppDelegate(WindowContentFactory factory, QObject* parent)
    : AppDelegate(std::move(factory), std::make_unique<KeychainSecretStore>(), parent)
{
}

AppDelegate::AppDelegate(WindowContentFactory factory, std::unique_ptr<KeychainSecretStore> secretStore,
                         QObject* parent)
    : QObject(parent)
    , m_factory(std::move(factory))
    , m_configStore(std::make_unique<ConfigStore>())
    , m_secretStore(std::move(secretStore))
    , m_client(std::make_unique<S3Client>())
    , m_state(std::make_unique<AppState>(*m_configStore, *m_secretStore, *m_client))
{
    m_state->setUiServices(&m_uiServices);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::shutdown);
}

AppDelegate::~AppDelegate()
{
    // The window's panes and the transfer panel hold the state, and the state holds
    // the desktop services.
    m_transferPanel.reset();
    m_window.reset();
    m_state->setUiServices(nullptr);
}

void AppDelegate::launch()
{
    // The transfer panel and other windows must not keep the program alive: the
    // main window's close ends it.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // Objects staged for a paste or drop of an earlier run are no one's any more.
    DragOutStaging::cleanInBackground(m_state->privateFolder());

    m_window = std::make_unique<MainWindow>();
    m_uiServices.setDialogParent(m_window.get());
    connect(m_window.get(), &MainWindow::closing, this, &AppDelegate::quit);
    connect(m_window.get(), &MainWindow::transferPanelRequested, this, &AppDelegate::showTransferPanel);
    setupMainMenu();
    installContent();
    m_window->restoreSavedGeometry();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();

    startDetached(m_state->loadIfNeeded());
    followLanguage();
}

void AppDelegate::quit()
{
    if (m_quitting) {
        return;
    }
    if (RemoteObjectsMimeData::isWaiting()) {
        // A receiver waits for copied objects in an event loop inside its request (a
        // paste, a drop): their download stops, and the program ends once that loop
        // has returned, so nothing it relies on ends under it.
        RemoteObjectsMimeData::stopWaiting();
        RemoteObjectsMimeData::afterWaiting(this, [this] { quit(); });
        return;
    }
    m_quitting = true;
    shutdown();
    QCoreApplication::quit();
}

void AppDelegate::shutdown()
{
    if (m_didShutdown) {
        return;
    }
    m_didShutdown = true;
    m_state->flushHistory();
    if (m_window) {
        m_window->saveGeometryNow();
    }
    DragOutStaging::cleanInBackground(m_state->privateFolder());
}

void AppDelegate::showTransferPanel()
{
    if (!m_transferPanel) {
        // A window of its own, not a child of the main window: it stays an ordinary
        // window beside it, neither above it nor minimised with it.
        m_transferPanel = std::make_unique<TransferPanelWindow>(m_state->transfers());
        // Where it first opens; afterwards the window stays where the user left it.
        m_transferPanel->placeBeside(*m_window);
    }
    m_transferPanel->present();
    m_state->transfers().acknowledgeFailures();
}

void AppDelegate::setupMainMenu()
{
    // Fixed English words around the application's name, looked up once: the menu is
    // not rebuilt when the language changes.
    const QString appName = L10n::t(QStringLiteral("app_name"));
    QMenuBar* bar = m_window->menuBar();

    QMenu* appMenu = bar->addMenu(appName);
    QAction* hide = appMenu->addAction(QStringLiteral("Hide ") + appName);
    hide->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(hide, &QAction::triggered, m_window.get(), &QWidget::showMinimized);
    appMenu->addSeparator();
    QAction* quitAction = appMenu->addAction(QStringLiteral("Quit ") + appName);
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction->setMenuRole(QAction::QuitRole);
    connect(quitAction, &QAction::triggered, this, &AppDelegate::quit);

    QMenu* editMenu = bar->addMenu(QStringLiteral("Edit"));
    const struct {
        const char* title;
        QKeySequence::StandardKey key;
        EditCommandRouter::Command command;
    } editCommands[] = {
        {"Cut", QKeySequence::Cut, EditCommandRouter::Command::cut},
        {"Copy", QKeySequence::Copy, EditCommandRouter::Command::copy},
        {"Paste", QKeySequence::Paste, EditCommandRouter::Command::paste},
        {"Select All", QKeySequence::SelectAll, EditCommandRouter::Command::selectAll},
    };
    for (const auto& entry : editCommands) {
        QAction* action = editMenu->addAction(QString::fromLatin1(entry.title));
        action->setShortcut(entry.key);
        connect(action, &QAction::triggered, this, [this, command = entry.command] {
            if (!EditCommandRouter::perform(command)) {
                m_uiServices.beep();
            }
        });
    }
}

void AppDelegate::installContent()
{
    // The window keeps its place and size whatever the new content asks for.
    const QRect frame = m_window->geometry();
    const bool placed = m_window->isVisible();

    // No sheet survives a rebuild (the new presenter starts with none shown).
    m_state->closeAllSheets();

    auto* content = new TripleSplitView(*m_state, m_factory);
    QObject* presenter = m_factory.sheetPresenter ? m_factory.sheetPresenter(*m_state, *content) : nullptr;

    // The old content goes on a later turn of the event loop, with its presenter.
    if (QWidget* old = m_window->takeCentralWidget()) {
        old->hide();
        old->deleteLater();
    }
    m_window->setCentralWidget(content);
    m_content = content;
    m_sheetPresenter = presenter;

    if (m_toolbar) {
        m_window->removeToolBar(m_toolbar);
        m_toolbar->deleteLater();
    }
    m_toolbar = m_factory.toolbar ? m_factory.toolbar(*m_state, *content) : nullptr;
    if (m_toolbar) {
        m_toolbar->setMovable(false);
        m_toolbar->setFloatable(false);
        m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);
    }

    // The panel, once made, follows the language like the window's content.
    if (m_transferPanel) {
        m_transferPanel->rebuild();
    }

    if (placed) {
        content->show();
        if (m_window->geometry() != frame) {
            m_window->setGeometry(frame);
        }
    }
    emit contentInstalled();
}

void AppDelegate::followLanguage()
{
    // The language current now is the one the content was built in; each later
    // change to another code builds it again, once, outside the signal that told of
    // it (the settings control that changed the language is part of the old content).
    m_builtLanguage = m_state->languageCode();
    connect(m_state.get(), &AppState::languageCodeChanged, this, [this] {
        if (m_state->languageCode() == m_builtLanguage) {
            return;
        }
        m_builtLanguage = m_state->languageCode();
        // Qt's own texts (its dialogs, standard buttons) and the default locale follow
        // now, not only at the next start.
        PreferredLanguage::apply(QString::fromStdString(m_builtLanguage));
        if (m_rebuildPending) {
            return;
        }
        m_rebuildPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_rebuildPending = false;
                installContent();
            },
            Qt::QueuedConnection);
    });
}

}  // namespace tarn
