#include "ui/browser/ObjectBrowserView.h"

#include "ui/browser/BrowserRowBuilder.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/ObjectTableView.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QScrollBar>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <utility>
#include <unordered_set>

namespace tarn {
namespace {

// The centre text: why the table is empty, or nothing.
QString placeholderText(const AppState& state, bool noRows)
{
    if (!state.selectedBucketID()) {
        return L10n::t(QStringLiteral("empty_message"));
    }
    if (state.isLoading() && state.objects().empty() && state.prefixes().empty()) {
        return L10n::t(QStringLiteral("status_loading"));
    }
    // A folder that could not be listed says why, never that it is empty.
    if (noRows && !state.listingFailure().isEmpty()) {
        return state.listingFailure();
    }
    if (noRows) {
        return L10n::t(QStringLiteral("no_objects"));
    }
    return {};
}

}  // namespace

void ObjectBrowserView::reloadRows()
{
    TransferCenter& transfers = m_state.transfers();
    const std::vector<const TransferTask*> uploads =
        transfers.uploadTasks(m_state.currentPrefix(), m_state.selectedBucketID());
    const std::vector<const TransferTask*> renames =
        transfers.renameTasks(m_state.currentPrefix(), m_state.selectedBucketID());
    BrowserRowInputs inputs = m_model->listing();
    inputs.uploads = uploads;
    inputs.renames = renames;
    std::vector<TaskMark> marks;
    marks.reserve(uploads.size() + renames.size());
    for (const std::vector<const TransferTask*>* tasks : {&uploads, &renames}) {
        for (const TransferTask* task : *tasks) {
            marks.push_back({task->id, tasks == &uploads, task->state, task->finishedAt, task->completedAt,
                             task->succeededObjectKey});
        }
    }

    const ViewAnchor anchor = viewAnchor();
    AddedRows added;
    std::optional<bool> changed = extendRows(inputs, marks, added);
    const bool extended = changed.has_value();
    if (!changed) {
        std::size_t objectsStart = 0;
        std::vector<BrowserRow> rows = BrowserRowBuilder::build(inputs, &objectsStart);
        // An inline rename whose row has gone ends with it.
        if (m_editingKey) {
            const std::size_t hash = BrowserRowBuilder::hashOf(*m_editingKey);
            const bool present = std::any_of(rows.begin(), rows.end(), [&](const BrowserRow& row) {
                return BrowserRowBuilder::hasKey(row, *m_editingKey, hash, inputs);
            });
            if (!present) {
                setEditingSession(std::nullopt, std::nullopt, std::nullopt);
            }
        }
        {
            const QScopedValueRollback guard(m_isSyncingSelection, true);
            changed = m_model->setRows(std::move(rows));
        }
        m_built = BuiltListing{m_state.listingGeneration(), m_state.currentPrefix(), m_state.selectedBucketID(),
                               inputs.prefixes.size(), inputs.objects.size(), objectsStart, std::move(marks)};
    }

    const QString placeholder = placeholderText(m_state, m_model->rows().empty());
    m_placeholder->setText(placeholder);
    // Why a listing failed may end in a command to paste into a terminal: that text
    // can be selected, and so takes the clicks on it; any other lets them through to
    // the table.
    const bool failure = !placeholder.isEmpty() && placeholder == m_state.listingFailure();
    m_placeholder->setTextInteractionFlags(failure ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents, !failure);
    m_placeholder->setVisible(!placeholder.isEmpty());
    if (!placeholder.isEmpty()) {
        m_placeholder->raise();
        placePlaceholder();
    }

    if (*changed) {
        restoreAnchor(anchor);
        QTimer::singleShot(0, this, &ObjectBrowserView::loadMoreIfNearBottom);
    }
    // Added rows leave the rows before them, and their selection, as they were: a
    // table that mirrors the state's selection needs only the new rows looked at.
    if (!extended || !m_syncedSelectionHashes || addedRowsHoldSelection(added)) {
        syncSelectionFromState(true);
    }
    if (m_goingToEnd) {
        continueToEnd();
    }
}

void ObjectBrowserView::goToEnd()
{
    m_goingToEnd = EndTarget{m_state.listingGeneration(), m_state.currentPrefix(), m_state.selectedBucketID()};
    continueToEnd();
}

void ObjectBrowserView::continueToEnd()
{
    const EndTarget shown{m_state.listingGeneration(), m_state.currentPrefix(), m_state.selectedBucketID()};
    if (!m_goingToEnd || *m_goingToEnd != shown) {
        stopGoingToEnd();
        return;
    }
    m_table->scrollToBottom();
    if (!m_state.hasMoreObjects() && !m_state.isLoadingMore()) {
        stopGoingToEnd();
        selectLastRow();
        return;
    }
    // One page at a time; the next is asked for once this one's rows are in.
    m_state.loadMoreObjects();
    refreshStatus();
}

void ObjectBrowserView::stopGoingToEnd()
{
    if (m_goingToEnd) {
        m_goingToEnd.reset();
        refreshStatus();
    }
}

void ObjectBrowserView::selectLastRow()
{
    const int last = m_model->rowCount() - 1;
    if (last < 0) {
        return;
    }
    // As the user's own choice: the state follows through the selection signal.
    m_table->selectionModel()->setCurrentIndex(m_model->index(last, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollToBottom();
}

std::optional<bool> ObjectBrowserView::extendRows(const BrowserRowInputs& inputs,
                                                  const std::vector<TaskMark>& tasks, AddedRows& added)
{
    if (!m_built || m_built->generation != m_state.listingGeneration() || m_built->prefix != inputs.currentPrefix ||
        m_built->bucketID != m_state.selectedBucketID() || m_built->tasks != tasks ||
        inputs.prefixes.size() < m_built->prefixCount || inputs.objects.size() < m_built->objectCount) {
        return std::nullopt;
    }
    if (inputs.prefixes.size() == m_built->prefixCount && inputs.objects.size() == m_built->objectCount) {
        return false;  // the same listing and the same tasks: the same rows (progress changes none)
    }
    BrowserRowBuilder::Extension extension =
        BrowserRowBuilder::extend(inputs, m_built->prefixCount, m_built->objectCount, m_model->shownTasks());
    const std::size_t folders = extension.folders.size();
    added.foldersAt = static_cast<int>(m_built->objectsStart);
    added.folders = static_cast<int>(folders);
    added.objects = static_cast<int>(extension.objects.size());
    {
        const QScopedValueRollback guard(m_isSyncingSelection, true);
        m_model->insertBuiltRows(added.foldersAt, std::move(extension.folders));
        added.objectsAt = m_model->rowCount();
        m_model->insertBuiltRows(added.objectsAt, std::move(extension.objects));
    }
    m_built->objectsStart += folders;
    m_built->prefixCount = inputs.prefixes.size();
    m_built->objectCount = inputs.objects.size();
    return true;
}

std::string ObjectBrowserView::rowKey(int row) const
{
    return m_model->key(row);
}

ObjectBrowserView::ViewAnchor ObjectBrowserView::viewAnchor() const
{
    ViewAnchor anchor;
    if (m_table->verticalScrollBar()->value() > 0) {
        if (const int top = m_table->rowAt(0); top >= 0) {
            anchor.topKey = m_model->key(top);
            anchor.topOffset = -m_table->rowViewportPosition(top);
        }
    }
    if (const QModelIndex focus = m_table->currentIndex(); focus.isValid()) {
        anchor.focusKey = m_model->key(focus.row());
    }
    return anchor;
}

void ObjectBrowserView::restoreAnchor(const ViewAnchor& anchor)
{
    // A rebuild of the whole list loses the focus row; added rows only move it.
    if (anchor.focusKey && !m_table->currentIndex().isValid()) {
        if (const std::optional<int> row = m_model->findRow(*anchor.focusKey)) {
            setFocusRowQuietly(*row);
        }
    }
    if (!anchor.topKey) {
        return;
    }
    const int top = m_table->rowAt(0);
    if (top >= 0 && m_model->key(top) == *anchor.topKey && -m_table->rowViewportPosition(top) == anchor.topOffset) {
        return;  // rows came below the view only
    }
    const std::optional<int> row = m_model->findRow(*anchor.topKey);
    if (!row) {
        return;
    }
    // The scroll range follows the new rows only once the table is laid out again.
    m_table->doItemsLayout();
    m_table->verticalScrollBar()->setValue(m_table->verticalHeader()->sectionPosition(*row) + anchor.topOffset);
}

void ObjectBrowserView::setFocusRowQuietly(int row)
{
    const bool autoScroll = m_table->hasAutoScroll();
    m_table->setAutoScroll(false);
    m_table->selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
    m_table->setAutoScroll(autoScroll);
}

bool ObjectBrowserView::addedRowsHoldSelection(const AddedRows& added) const
{
    if (!m_syncedSelectionHashes || m_syncedSelectionHashes->empty()) {
        return false;
    }
    const KeySet& keys = m_state.selectedObjectKeys();
    const BrowserRowInputs listing = m_model->listing();
    for (const auto& [first, count] : {std::pair{added.foldersAt, added.folders}, std::pair{added.objectsAt, added.objects}}) {
        for (int row = first; row < first + count; ++row) {
            const BrowserRow* found = m_model->rowAt(row);
            if (found != nullptr && m_syncedSelectionHashes->contains(found->keyHash) &&
                keys.contains(BrowserRowBuilder::key(*found, listing))) {
                return true;
            }
        }
    }
    return false;
}

void ObjectBrowserView::forgetSyncedSelection()
{
    m_syncedSelectionHashes.reset();
    ++m_selectionSyncEpoch;
}

void ObjectBrowserView::syncSelectionFromState(bool keepFocus)
{
    const KeySet& keys = m_state.selectedObjectKeys();
    const std::deque<BrowserRow>& rows = m_model->rows();
    QItemSelection selection;
    std::vector<int> selectedRows;
    // The selected keys' hashes find their rows without a string per row; a matching
    // hash is then confirmed on the key itself.
    std::unordered_set<std::size_t> hashes;
    hashes.reserve(keys.size());
    for (const std::string& key : keys) {
        hashes.insert(BrowserRowBuilder::hashOf(key));
    }
    // However this sync ends, the table then shows exactly the rows of these keys,
    // unless the keys changed meanwhile.
    const std::uint64_t epoch = m_selectionSyncEpoch;
    const auto remember = qScopeGuard([this, &hashes, epoch] {
        if (m_selectionSyncEpoch == epoch) {
            m_syncedSelectionHashes = std::move(hashes);
        }
    });
    if (!keys.empty()) {
        const BrowserRowInputs listing = m_model->listing();
        const int lastColumn = m_model->columnCount() - 1;
        int runStart = -1;
        auto closeRun = [&](int end) {
            if (runStart >= 0) {
                selection.select(m_model->index(runStart, 0), m_model->index(end, lastColumn));
                runStart = -1;
            }
        };
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const BrowserRow& row = rows[i];
            const bool selected =
                hashes.contains(row.keyHash) && keys.contains(BrowserRowBuilder::key(row, listing));
            if (selected) {
                selectedRows.push_back(static_cast<int>(i));
            }
            if (selected && runStart < 0) {
                runStart = static_cast<int>(i);
            } else if (!selected) {
                closeRun(static_cast<int>(i) - 1);
            }
        }
        closeRun(static_cast<int>(rows.size()) - 1);
    }

    QItemSelectionModel* model = m_table->selectionModel();
    if (selection.isEmpty() && !model->hasSelection()) {
        return;
    }
    // The rows the table shows selected already (after a page came, the same ones).
    bool shownAlready = false;
    if (keepFocus) {
        std::vector<int> shown;
        for (const QModelIndex& index : model->selectedRows()) {
            shown.push_back(index.row());
        }
        std::sort(shown.begin(), shown.end());
        shownAlready = shown == selectedRows;
    }
    const QScopedValueRollback guard(m_isSyncingSelection, true);
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (selection.isEmpty()) {
        return;
    }
    if (shownAlready) {
        // The same selection synced again keeps the focus row where the user left it,
        // selected or not: moving it would scroll the view back with every page.
        if (!model->currentIndex().isValid()) {
            setFocusRowQuietly(selectedRows.front());
        }
        return;
    }
    // Keyboard navigation goes on from a new selection.
    if (!model->isSelected(model->currentIndex())) {
        model->setCurrentIndex(selection.first().topLeft(), QItemSelectionModel::NoUpdate);
    }
}

void ObjectBrowserView::selectionChangedByUser()
{
    if (m_isSyncingSelection) {
        return;
    }
    forgetSyncedSelection();
    KeySet keys;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    keys.reserve(static_cast<std::size_t>(selected.size()));
    for (const QModelIndex& index : selected) {
        if (m_model->rowAt(index.row()) != nullptr) {
            keys.insert(m_model->key(index.row()));
        }
    }
    m_lastStateSelection = keys;
    m_state.setSelectedObjectKeys(std::move(keys));
}

void ObjectBrowserView::reveal(const std::string& key)
{
    std::optional<int> row = m_model->findRow(key);
    if (!row) {
        reloadRows();
        row = m_model->findRow(key);
    }
    m_state.setRevealKey(std::nullopt);
    if (row) {
        m_table->scrollTo(m_model->index(*row, 0), QAbstractItemView::EnsureVisible);
    }
}

void ObjectBrowserView::setEditingSession(std::optional<std::string> key, std::optional<std::string> sourceKey,
                                          std::optional<std::int64_t> sourceSize)
{
    const bool editing = key.has_value();
    m_editingKey = std::move(key);
    m_editingSourceKey = std::move(sourceKey);
    m_editingSourceSize = sourceSize;
    m_table->setAllowsNameEditing(editing);
    m_state.setIsInlineRenaming(editing);
    if (!editing && m_state.refreshAfterTransfersPending()) {
        m_state.setRefreshAfterTransfersPending(false);
        m_state.refreshAfterTransfers();
    }
}

}  // namespace tarn
