#pragma once

#include "ui/window/CoalescedCall.h"

#include <QObject>

#include <array>
#include <cstddef>

class QAction;
class QMenu;
class QWidget;

namespace tarn {

class AppState;

// Every command of the window, each one QAction made once per content build and
// reached from the toolbar, the menus and (through of()) the panes' keys and context
// menus alike, so that no two places carry out a command each in their own way. The
// actions' texts, icons and tooltips are looked up as they are made; their enabled
// states follow the state's bucket, selection and history, recomputed once per turn
// of the event loop after any of them changes.
class WindowCommands : public QObject {
    Q_OBJECT

public:
    enum class Command {
        back,
        forward,
        refresh,
        upload,  // opens the menu of the two below
        uploadFiles,
        uploadFolder,
        newFolder,
        download,
        shareLink,
        renameMove,
        deleteSelection,
        multipartUploads,
        toggleInspector,
    };
    static constexpr std::size_t commandCount = static_cast<std::size_t>(Command::toggleInspector) + 1;

    explicit WindowCommands(AppState& state, QObject* parent = nullptr);
    ~WindowCommands() override;

    QAction* action(Command command) const { return m_actions[static_cast<std::size_t>(command)]; }
    // The commands of the window content a widget lies in; null outside one.
    static WindowCommands* of(const QWidget* widget);

    // Enabled states from the state as it is now.
    void updateEnabledStates();

    // What the enabled states are made of.
    bool hasSelectedBucket() const;
    bool hasSelectedObjects() const;
    bool hasSelection() const;  // objects or folders

public slots:
    void goBack();
    void goForward();
    void refresh();
    void uploadFiles();
    void uploadFolder();
    void newFolder();
    void download();
    void shareLink();
    void renameMove();
    void deleteSelection();
    void openMultipartUploads();
    void toggleInspector();

private:
    QAction* make(Command command, const char* textKey, const char* iconName);

    AppState& m_state;
    std::array<QAction*, commandCount> m_actions{};
    QMenu* m_uploadMenu = nullptr;
    CoalescedCall m_update;
};

}  // namespace tarn
