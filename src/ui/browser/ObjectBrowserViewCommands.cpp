#include "ui/browser/ObjectBrowserView.h"

#include "ui/browser/BrowserItemDelegate.h"
#include "ui/browser/BrowserRow.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/ObjectTableView.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

namespace tarn {
namespace {

// The key a finished upload or rename row stands for in its menu: the folder or
// object it made; none for any other placeholder.
struct PlaceholderTarget {
    std::string key;
    bool isFolder = false;
};

std::optional<PlaceholderTarget> placeholderTarget(const TransferTask* task)
{
    if (task == nullptr || task->state != TransferState::succeeded) {
        return std::nullopt;
    }
    if (task->kind() != TransferKind::upload && task->kind() != TransferKind::rename) {
        return std::nullopt;
    }
    return PlaceholderTarget{task->placeholderRealKey().value_or(std::string()), task->isFolder};
}

// The folder a finished folder upload or folder rename made; none for anything else.
std::optional<std::string> finishedFolder(const TransferTask* task)
{
    if (task == nullptr || task->state != TransferState::succeeded || !task->isFolder) {
        return std::nullopt;
    }
    if (const RenameSpec* rename = task->spec.rename()) {
        return rename->destination.ends_with('/') ? rename->destination : rename->destination + "/";
    }
    if (const UploadSpec* upload = task->spec.upload()) {
        return upload->directory + task->title + "/";
    }
    return std::nullopt;
}

}  // namespace

void ObjectBrowserView::installCommands()
{
    m_table->onCopy = [this] { copySelectedToPasteboard(); };
    m_table->onPaste = [this] { paste(); };
    m_table->onEnter = [this] { beginInlineRename(); };
    m_table->onStartDrag = [this] { startDrag(); };
    connect(m_table, &QWidget::customContextMenuRequested, this, &ObjectBrowserView::showContextMenu);
    connect(m_table, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { openRow(index.row()); });

    m_delegate->onRetryTask = [this](const Uuid& id) { m_state.transfers().retry(id); };
    m_delegate->onRemoveTask = [this](const Uuid& id) { m_state.transfers().dismiss(id); };
    m_delegate->onRenameCommitted = [this](const QString& name) { commitInlineRename(name); };
    m_delegate->onRenameCancelled = [this] { cancelInlineRename(); };
    m_delegate->onSlashRefused = [this] { m_state.ui().beep(); };
    setAcceptDrops(true);
}

std::vector<int> ObjectBrowserView::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ObjectBrowserView::showContextMenu(const QPoint& position)
{
    const QModelIndex index = m_table->indexAt(position);
    QMenu* menu = contextMenuFor(index.isValid() ? index.row() : -1);
    if (menu == nullptr) {
        return;
    }
    m_contextMenu = menu;
    menu->popup(m_table->viewport()->mapToGlobal(position));
}

QMenu* ObjectBrowserView::contextMenuFor(int row)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [this](QMenu* into, const char* textKey, auto action) {
        QAction* item = into->addAction(L10n::t(QString::fromLatin1(textKey)));
        connect(item, &QAction::triggered, this, action);
    };

    const BrowserRow* found = m_model->rowAt(row);
    if (found == nullptr) {
        add(menu, "refresh", [this] { m_state.refresh(); });
        QMenu* upload = menu->addMenu(L10n::t(QStringLiteral("upload")));
        add(upload, "upload_files", [this] { m_state.upload(UploadChooser::files); });
        add(upload, "upload_folder", [this] { m_state.upload(UploadChooser::folder); });
        add(menu, "new_folder", [this] { m_state.setShowingNewFolder(true); });
        return menu;
    }
    if (found->kind == BrowserRow::Kind::parent) {
        delete menu;
        return nullptr;
    }

    // A row outside the selection becomes the selection; one inside keeps it, and the
    // commands without a key of their own act on all of it.
    const std::string rowKey = m_model->key(row);
    if (!m_state.selectedObjectKeys().contains(rowKey)) {
        m_state.setSelectedObjectKeys(KeySet{rowKey});
        syncSelectionFromState();
    }

    std::string key = rowKey;
    bool isFolder = found->kind == BrowserRow::Kind::folder;
    if (found->kind == BrowserRow::Kind::uploading) {
        const std::optional<PlaceholderTarget> target = placeholderTarget(m_model->task(row));
        if (!target) {
            delete menu;
            return nullptr;
        }
        key = target->key;
        isFolder = target->isFolder;
    }

    // Open acts on the row that was clicked, even inside a larger selection; a
    // finished upload's row stands for its object until the listing shows it.
    const auto open = [this, key, rowKey] {
        if (key.ends_with('/')) {
            m_state.enterPrefix(key);
            return;
        }
        startDetached(m_state.openObject(rowKey));
    };
    const auto copy = [this, key] { copyKey(key); };
    const auto rename = [this] { m_state.startRenameMove(); };
    const auto remove = [this] { m_state.setShowingDeleteConfirm(true); };
    if (isFolder) {
        add(menu, "open", open);
        add(menu, "copy_key", copy);
        menu->addSeparator();
        add(menu, "favorite_directory", [this, key] { m_state.toggleFavoriteDirectory(key); });
        menu->addSeparator();
        add(menu, "rename_move", rename);
        add(menu, "delete", remove);
    } else {
        add(menu, "open", open);
        add(menu, "download", [this] { startDetached(m_state.downloadSelectedObjects()); });
        menu->addSeparator();
        add(menu, "copy_key", copy);
        add(menu, "copy_url", [this] { m_state.setShowingShareSheet(true); });
        menu->addSeparator();
        add(menu, "rename_move", rename);
        add(menu, "delete", remove);
    }
    return menu;
}

void ObjectBrowserView::openRow(int row)
{
    const BrowserRow* found = m_model->rowAt(row);
    if (found == nullptr) {
        return;
    }
    switch (found->kind) {
    case BrowserRow::Kind::parent:
        m_state.goToParent();
        break;
    case BrowserRow::Kind::folder:
        m_state.enterPrefix(m_model->key(row));
        break;
    case BrowserRow::Kind::object: {
        const std::string key = m_model->key(row);
        if (!m_state.selectedObjectKeys().contains(key)) {
            m_state.setSelectedObjectKeys(KeySet{key});
        }
        startDetached(m_state.openObject(key));
        break;
    }
    case BrowserRow::Kind::uploading:
        if (const std::optional<std::string> folder = finishedFolder(m_model->task(row))) {
            m_state.enterPrefix(*folder);
        }
        break;
    }
}

void ObjectBrowserView::copyKey(const std::string& key)
{
    std::string copied = key;
    if (copied.empty()) {
        const std::vector<ObjectItem> selected = m_state.selectedObjects();
        if (selected.empty()) {
            return;
        }
        copied = selected.front().key;
    }
    QGuiApplication::clipboard()->setText(QString::fromStdString(copied));
    m_state.setStatusText(L10n::t(QStringLiteral("copied")));
}

void ObjectBrowserView::beginInlineRename()
{
    if (m_editingKey) {
        return;
    }
    const QModelIndex current = m_table->currentIndex();
    const std::vector<int> selected = selectedRows();
    int row = -1;
    if (current.isValid() && m_table->selectionModel()->isRowSelected(current.row(), {})) {
        row = current.row();
    } else if (!selected.empty()) {
        row = selected.front();
    }
    const std::optional<QString> name = m_model->editableName(row);
    if (!name) {
        m_state.ui().beep();
        return;
    }

    const BrowserRow& found = *m_model->rowAt(row);
    std::optional<std::string> sourceKey;
    std::optional<std::int64_t> size;
    bool isFolder = found.kind == BrowserRow::Kind::folder;
    if (found.kind == BrowserRow::Kind::object) {
        const ObjectItem* item = m_model->object(row);
        sourceKey = item->key;
        size = item->size;
    } else if (found.kind == BrowserRow::Kind::folder) {
        sourceKey = m_model->prefix(row)->prefix;
    } else {
        const TransferTask* task = m_model->task(row);
        sourceKey = task->placeholderRealKey();
        isFolder = task->isFolder;
        if (!isFolder) {
            size = task->bytesTotal;
        }
    }

    setEditingSession(m_model->key(row), std::move(sourceKey), size);
    const QModelIndex index = m_model->index(row, BrowserTableModel::nameColumn);
    m_table->scrollTo(index);
    static_cast<QAbstractItemView*>(m_table)->edit(index);
    auto* editor = qobject_cast<QLineEdit*>(m_table->indexWidget(index));
    if (editor == nullptr) {
        setEditingSession(std::nullopt, std::nullopt, std::nullopt);
        m_state.ui().beep();
        return;
    }
    // The name before the extension, as a file manager does; a name that only starts
    // with a dot, and a folder's name, whole.
    const QString text = editor->text();
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    if (!isFolder && dot > 0) {
        editor->setSelection(0, static_cast<int>(dot));
    } else {
        editor->selectAll();
    }
}

void ObjectBrowserView::commitInlineRename(const QString& name)
{
    if (!m_editingKey) {
        return;
    }
    const std::optional<std::string> restoreKey = m_editingKey;
    const std::string source = m_editingSourceKey.value_or(*m_editingKey);
    const std::optional<std::int64_t> size = m_editingSourceSize;
    setEditingSession(std::nullopt, std::nullopt, std::nullopt);
    finishInlineEditing(restoreKey);
    if (renameHandler) {
        renameHandler(name.toStdString(), source, size);
    } else {
        m_state.renameInPlace(name.toStdString(), source, size);
    }
}

void ObjectBrowserView::cancelInlineRename()
{
    if (!m_editingKey) {
        return;
    }
    const std::optional<std::string> restoreKey = m_editingKey;
    setEditingSession(std::nullopt, std::nullopt, std::nullopt);
    finishInlineEditing(restoreKey);
}

void ObjectBrowserView::finishInlineEditing(std::optional<std::string> restoreKey)
{
    QTimer::singleShot(0, this, [this, restoreKey = std::move(restoreKey)] {
        if (restoreKey) {
            if (const std::optional<int> row = m_model->findRow(*restoreKey)) {
                m_model->redrawRow(*row);
            }
        }
        // The keys go back to the table, unless the click that ended the edit gave
        // them to another field.
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || focus == m_table || m_table->isAncestorOf(focus)) {
            m_table->setFocus(Qt::OtherFocusReason);
        }
    });
}

}  // namespace tarn
