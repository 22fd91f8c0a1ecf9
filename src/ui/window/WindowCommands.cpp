#include "ui/window/WindowCommands.h"

#include "app/state/AppState.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/window/TripleSplitView.h"

#include <QAction>
#include <QMenu>

namespace tarn {

WindowCommands::WindowCommands(AppState& state, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_update(this, [this] { updateEnabledStates(); })
{
    connect(make(Command::back, "nav_back", "chevron.left"), &QAction::triggered, this, &WindowCommands::goBack);
    connect(make(Command::forward, "nav_forward", "chevron.right"), &QAction::triggered, this,
            &WindowCommands::goForward);
    connect(make(Command::refresh, "refresh", "refresh_1_line"), &QAction::triggered, this, &WindowCommands::refresh);
    QAction* upload = make(Command::upload, "upload", "square.and.arrow.up");
    connect(make(Command::uploadFiles, "upload_files", "doc"), &QAction::triggered, this,
            &WindowCommands::uploadFiles);
    connect(make(Command::uploadFolder, "upload_folder", "folder"), &QAction::triggered, this,
            &WindowCommands::uploadFolder);
    connect(make(Command::newFolder, "new_folder", "folder.badge.plus"), &QAction::triggered, this,
            &WindowCommands::newFolder);
    connect(make(Command::download, "download", "arrow.down.circle"), &QAction::triggered, this,
            &WindowCommands::download);
    connect(make(Command::shareLink, "share_link", "share_3_line"), &QAction::triggered, this,
            &WindowCommands::shareLink);
    connect(make(Command::renameMove, "rename_move", "pencil"), &QAction::triggered, this,
            &WindowCommands::renameMove);
    connect(make(Command::deleteSelection, "delete", "trash"), &QAction::triggered, this,
            &WindowCommands::deleteSelection);
    connect(make(Command::multipartUploads, "multipart_uploads", "archivebox"), &QAction::triggered, this,
            &WindowCommands::openMultipartUploads);
    QAction* inspector = make(Command::toggleInspector, "preview_section", "sidebar.right");
    connect(inspector, &QAction::triggered, this, &WindowCommands::toggleInspector);

    // The desktop's file dialog chooses files or one folder, never both: the upload
    // command offers the two.
    m_uploadMenu = new QMenu();
    m_uploadMenu->addAction(action(Command::uploadFiles));
    m_uploadMenu->addAction(action(Command::uploadFolder));
    upload->setMenu(m_uploadMenu);
    connect(upload, &QAction::triggered, this, &WindowCommands::uploadFiles);

    inspector->setCheckable(true);
    inspector->setChecked(m_state.showingPreview());
    connect(&m_state, &AppState::showingPreviewChanged, inspector,
            [this, inspector] { inspector->setChecked(m_state.showingPreview()); });

    for (auto changed : {&AppState::selectedBucketIDChanged, &AppState::configChanged,
                         &AppState::selectedObjectKeysChanged, &AppState::selectedObjectKeyChanged,
                         &AppState::objectsChanged, &AppState::prefixesChanged, &AppState::currentPrefixChanged}) {
        connect(&m_state, changed, this, [this] { m_update.request(); });
    }
    updateEnabledStates();
}

WindowCommands::~WindowCommands()
{
    action(Command::upload)->setMenu(static_cast<QMenu*>(nullptr));
    delete m_uploadMenu;
}

QAction* WindowCommands::make(Command command, const char* textKey, const char* iconName)
{
    auto* made = new QAction(this);
    const QString text = L10n::t(QString::fromLatin1(textKey));
    made->setText(text);
    made->setToolTip(text);
    made->setIcon(MingCute::icon(QString::fromLatin1(iconName), TarnTheme::color(ThemeColor::label)));
    m_actions[static_cast<std::size_t>(command)] = made;
    return made;
}

WindowCommands* WindowCommands::of(const QWidget* widget)
{
    for (const QWidget* ancestor = widget; ancestor != nullptr; ancestor = ancestor->parentWidget()) {
        if (const auto* content = qobject_cast<const TripleSplitView*>(ancestor)) {
            return content->commands();
        }
    }
    return nullptr;
}

bool WindowCommands::hasSelectedBucket() const
{
    return m_state.selectedBucket().has_value();
}

bool WindowCommands::hasSelectedObjects() const
{
    return !m_state.selectedObjects().empty();
}

bool WindowCommands::hasSelection() const
{
    return hasSelectedObjects() || !m_state.selectedPrefixes().empty();
}

void WindowCommands::updateEnabledStates()
{
    const bool bucket = hasSelectedBucket();
    const bool objects = hasSelectedObjects();
    const bool anything = objects || !m_state.selectedPrefixes().empty();
    action(Command::back)->setEnabled(m_state.canGoBack());
    action(Command::forward)->setEnabled(m_state.canGoForward());
    for (Command command : {Command::refresh, Command::upload, Command::uploadFiles, Command::uploadFolder,
                            Command::newFolder, Command::multipartUploads}) {
        action(command)->setEnabled(bucket);
    }
    for (Command command : {Command::download, Command::renameMove, Command::deleteSelection}) {
        action(command)->setEnabled(anything);
    }
    action(Command::shareLink)->setEnabled(objects);
    action(Command::toggleInspector)->setEnabled(true);
}

void WindowCommands::goBack()
{
    m_state.goBack();
}

void WindowCommands::goForward()
{
    m_state.goForward();
}

void WindowCommands::refresh()
{
    if (hasSelectedBucket()) {
        m_state.refresh();
    }
}

void WindowCommands::uploadFiles()
{
    if (!hasSelectedBucket()) {
        m_state.ui().beep();
        return;
    }
    m_state.upload(UploadChooser::files);
}

void WindowCommands::uploadFolder()
{
    if (!hasSelectedBucket()) {
        m_state.ui().beep();
        return;
    }
    m_state.upload(UploadChooser::folder);
}

void WindowCommands::newFolder()
{
    if (!hasSelectedBucket()) {
        m_state.ui().beep();
        return;
    }
    m_state.setShowingNewFolder(true);
}

void WindowCommands::download()
{
    if (!hasSelection()) {
        m_state.ui().beep();
        return;
    }
    startDetached(m_state.downloadSelectedObjects());
}

void WindowCommands::shareLink()
{
    if (!hasSelectedObjects()) {
        m_state.ui().beep();
        return;
    }
    m_state.setShowingShareSheet(true);
}

void WindowCommands::renameMove()
{
    if (!hasSelection()) {
        m_state.ui().beep();
        return;
    }
    m_state.startRenameMove();
}

void WindowCommands::deleteSelection()
{
    if (!hasSelection()) {
        m_state.ui().beep();
        return;
    }
    m_state.setShowingDeleteConfirm(true);
}

void WindowCommands::openMultipartUploads()
{
    if (!hasSelectedBucket()) {
        m_state.ui().beep();
        return;
    }
    m_state.openMultipartUploads();
}

void WindowCommands::toggleInspector()
{
    m_state.togglePreviewPanel();
    // The switch shows the state's value, whatever the click did to it.
    action(Command::toggleInspector)->setChecked(m_state.showingPreview());
}

}  // namespace tarn
