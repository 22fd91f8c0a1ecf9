#include "ui/transfers/TransferPanelModel.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "ui/transfers/TransferRowContent.h"
#include "ui/views/PlainText.h"

#include <algorithm>
#include <array>

namespace tarn {
namespace {

// The section of a task's state: in progress, failed, completed.
int groupOf(TransferState state)
{
    switch (state) {
    case TransferState::waiting:
    case TransferState::running:
        return 0;
    case TransferState::failed:
        return 1;
    case TransferState::succeeded:
    case TransferState::cancelled:
        return 2;
    }
    return 2;
}

}  // namespace

TransferPanelModel::TransferPanelModel(TransferCenter& center, QObject* parent)
    : QAbstractListModel(parent)
    , m_center(&center)
{
    m_throttle.setSingleShot(true);
    m_throttle.setInterval(throttleMilliseconds);
    connect(&m_throttle, &QTimer::timeout, this, [this] { refresh(); });
    connect(&center, &TransferCenter::taskUpdated, this, &TransferPanelModel::noteTaskUpdated);
    connect(&center, &TransferCenter::tasksRearranged, this, [this] {
        m_rearranged = true;
        scheduleRefresh();
    });
    refresh(true);
}

int TransferPanelModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

TransferPanelModel::RowKind TransferPanelModel::rowKind(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return RowKind::task;
    }
    return m_rows[static_cast<std::size_t>(row)].kind;
}

std::optional<Uuid> TransferPanelModel::taskID(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= rowCount()) {
        return std::nullopt;
    }
    const PanelRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (row.kind != RowKind::task) {
        return std::nullopt;
    }
    return row.id;
}

QVariant TransferPanelModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const PanelRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (role == RowKindRole) {
        return static_cast<int>(row.kind);
    }
    if (row.kind == RowKind::header) {
        return role == Qt::DisplayRole ? QVariant(row.caption) : QVariant();
    }
    if (role != ContentRole && role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    // Read now, not when the rows were built: between two refreshes a row shows its
    // task as it is, and nothing once the task has left the queue.
    TransferRowContent content;
    if (m_center) {
        if (const std::optional<std::size_t> found = m_center->index(row.id)) {
            content = TransferRowContent::of(m_center->tasks()[*found]);
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return content.title;
    case Qt::ToolTipRole:
        return content.detailToolTip.isEmpty() ? QVariant() : QVariant(PlainText::toolTip(content.detailToolTip));
    default:
        return QVariant::fromValue(content);
    }
}

Qt::ItemFlags TransferPanelModel::flags(const QModelIndex& index) const
{
    // Rows are enabled (they take clicks on their buttons) but never selected.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

bool TransferPanelModel::hasTasks() const
{
    return m_center && !m_center->tasks().empty();
}

bool TransferPanelModel::hasFinishedTasks() const
{
    if (!m_center) {
        return false;
    }
    const std::vector<TransferTask>& tasks = m_center->tasks();
    return std::any_of(tasks.begin(), tasks.end(), [](const TransferTask& task) { return isFinished(task.state); });
}

void TransferPanelModel::retry(const QModelIndex& index)
{
    if (const std::optional<Uuid> id = taskID(index); id && m_center) {
        m_center->retry(*id);
    }
}

void TransferPanelModel::dismiss(const QModelIndex& index)
{
    if (const std::optional<Uuid> id = taskID(index); id && m_center) {
        m_center->dismiss(*id);
    }
}

void TransferPanelModel::clearFinished()
{
    if (m_center) {
        m_center->clearFinished();
    }
}

void TransferPanelModel::noteTaskUpdated(int queueRow)
{
    if (!m_center || queueRow < 0 || static_cast<std::size_t>(queueRow) >= m_center->tasks().size()) {
        return;
    }
    m_changedTasks.insert(m_center->tasks()[static_cast<std::size_t>(queueRow)].id);
    scheduleRefresh();
}

void TransferPanelModel::scheduleRefresh()
{
    // A throttle, not a debounce: the first change starts the wait and later ones
    // ride along, so a steady stream of progress still refreshes every 100 ms.
    if (!m_throttle.isActive()) {
        m_throttle.start();
    }
}

std::vector<TransferPanelModel::RowSignature> TransferPanelModel::signature() const
{
    std::vector<RowSignature> result;
    if (!m_center) {
        return result;
    }
    result.reserve(m_center->tasks().size());
    for (const TransferTask& task : m_center->tasks()) {
        result.push_back({task.id, groupOf(task.state)});
    }
    return result;
}

bool TransferPanelModel::changedTasksKeepTheirSection() const
{
    for (const Uuid& id : m_changedTasks) {
        const auto shown = m_rowOfTask.find(id);
        const std::optional<std::size_t> found = m_center ? m_center->index(id) : std::nullopt;
        if (shown == m_rowOfTask.end() || !found) {
            // Gone or new: only a rearrangement does that, and it compares in full.
            continue;
        }
        if (m_rows[static_cast<std::size_t>(shown->second)].group != groupOf(m_center->tasks()[*found].state)) {
            return false;
        }
    }
    return true;
}

void TransferPanelModel::refresh(bool force)
{
    m_throttle.stop();
    // Without a rearrangement the signature can only change through a task that
    // moved to another section, so the changed tasks alone tell; after one, the
    // whole signature is compared (a cheap pass: ID and section per task).
    bool rebuild = force;
    if (!rebuild && m_rearranged) {
        rebuild = signature() != m_shownSignature;
    }
    if (!rebuild) {
        rebuild = !changedTasksKeepTheirSection();
    }
    m_rearranged = false;

    if (rebuild) {
        m_changedTasks.clear();
        beginResetModel();
        rebuildRows();
        endResetModel();
        emit refreshed();
        return;
    }

    // In place: the changed rows, in runs of neighbours, one announcement per run.
    std::vector<int> rows;
    rows.reserve(m_changedTasks.size());
    for (const Uuid& id : m_changedTasks) {
        if (const auto shown = m_rowOfTask.find(id); shown != m_rowOfTask.end()) {
            rows.push_back(shown->second);
        }
    }
    m_changedTasks.clear();
    std::sort(rows.begin(), rows.end());
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) {
            ++last;
        }
        emit dataChanged(index(rows[first]), index(rows[last]), {Qt::DisplayRole, Qt::ToolTipRole, ContentRole});
        first = last + 1;
    }
    emit refreshed();
}

void TransferPanelModel::rebuildRows()
{
    m_shownSignature = signature();
    m_rows.clear();
    m_rowOfTask.clear();
    if (!m_center) {
        return;
    }
    const std::vector<TransferTask>& tasks = m_center->tasks();
    std::array<std::vector<const TransferTask*>, 3> sections;
    // Newest first: the queue lists tasks in the order they were added.
    for (auto task = tasks.rbegin(); task != tasks.rend(); ++task) {
        sections[static_cast<std::size_t>(groupOf(task->state))].push_back(&*task);
    }
    static const std::array<QString, 3> captionKeys{
        QStringLiteral("transfer_section_active"),
        QStringLiteral("transfer_section_failed"),
        QStringLiteral("transfer_section_done"),
    };
    m_rows.reserve(tasks.size() + sections.size());
    for (std::size_t group = 0; group < sections.size(); ++group) {
        if (sections[group].empty()) {
            continue;
        }
        const QString caption =
            L10n::t(captionKeys[group]) + QStringLiteral(" · ") + QString::number(sections[group].size());
        m_rows.push_back({RowKind::header, caption, Uuid(), static_cast<int>(group)});
        for (const TransferTask* task : sections[group]) {
            m_rowOfTask[task->id] = static_cast<int>(m_rows.size());
            m_rows.push_back({RowKind::task, QString(), task->id, static_cast<int>(group)});
        }
    }
}

}  // namespace tarn
