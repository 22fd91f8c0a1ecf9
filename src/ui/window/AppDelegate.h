#pragma once

#include "ui/window/TripleSplitView.h"
#include "ui/window/WidgetUiServices.h"
#include "ui/window/WindowContentFactory.h"

#include <QObject>
#include <QPointer>
#include <QToolBar>

#include <memory>
#include <string>

namespace tarn {

class AppState;
class ConfigStore;
class KeychainSecretStore;
class MainWindow;
class S3Client;
class TransferPanelWindow;

// Owns the program's services, its state and its one window. It creates the
// configuration store, the secret store, the storage client and the state, in that
// order; launch() builds the menu and the window, installs the content, starts the
// state and follows the interface language: each change to another language builds
// the whole content again, in place, on a later turn of the event loop. Closing the
// window ends the program (other windows, such as the transfer panel, do not keep it
// alive), and at the end the buffered history is written. Objects staged for other
// applications (copied or dragged out of the browser) are removed at launch and at
// the end, in the background. An end asked for while another application waits for
// copied objects (a paste in progress) stops their download and comes once that wait
// has returned.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(WindowContentFactory factory = WindowContentFactory::standard(), QObject* parent = nullptr);
    // The same over a keyring service of the caller's (the program uses the default one).
    AppDelegate(WindowContentFactory factory, std::unique_ptr<KeychainSecretStore> secretStore,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    void launch();

    AppState& state() const { return *m_state; }
    WidgetUiServices& uiServices() { return m_uiServices; }
    // Null before launch().
    MainWindow* window() const { return m_window.get(); }
    // The current build's content, sheet presenter and toolbar (null when none).
    TripleSplitView* content() const { return m_content; }
    QObject* sheetPresenter() const { return m_sheetPresenter; }
    QToolBar* toolbar() const { return m_toolbar; }

    // Shows the transfer panel window, made on first use and kept (closing it only
    // hides it), in front and with the focus; the failures it lists count as seen.
    // Panes and the toolbar ask for it through MainWindow::showTransferPanel().
    void showTransferPanel();
    // Null until the panel is first shown.
    TransferPanelWindow* transferPanel() const { return m_transferPanel.get(); }

    // Ends the program: writes what must outlive it, then leaves the event loop.
    // Safe to call more than once and from any path (the window, the menu, a signal).
    void quit();
    // Writes the buffered history and the window's geometry; once.
    void shutdown();

signals:
    // A build of the content has been installed (at launch and after each change of
    // the interface language).
    void contentInstalled();

private:
    void setupMainMenu();
    void installContent();
    void followLanguage();

    WindowContentFactory m_factory;
    std::unique_ptr<ConfigStore> m_configStore;
    std::unique_ptr<KeychainSecretStore> m_secretStore;
    std::unique_ptr<S3Client> m_client;
    std::unique_ptr<AppState> m_state;
    WidgetUiServices m_uiServices;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<TransferPanelWindow> m_transferPanel;
    QPointer<TripleSplitView> m_content;
    QPointer<QObject> m_sheetPresenter;
    QPointer<QToolBar> m_toolbar;
    // The language of the last build that was asked for.
    std::string m_builtLanguage;
    bool m_rebuildPending = false;
    bool m_quitting = false;
    bool m_didShutdown = false;
};

}  // namespace tarn
