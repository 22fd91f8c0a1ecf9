#include "ui/browser/BrowserTableModel.h"

#include "ui/browser/RelativeDate.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/text/ByteFormatter.h"

#include <algorithm>
#include <chrono>

namespace tarn {
namespace {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString fromUtf8(const std::string& text)
{
    return fromUtf8(std::string_view(text));
}

}  // namespace

BrowserTableModel::BrowserTableModel(AppState& state, QObject* parent)
    : QAbstractTableModel(parent)
    , m_state(state)
    , m_transfers(&state.transfers())
    , m_clock([] { return std::chrono::system_clock::now(); })
    , m_headers{L10n::t(QStringLiteral("name")), L10n::t(QStringLiteral("size")), L10n::t(QStringLiteral("modified"))}
{
    connect(m_transfers.data(), &TransferCenter::taskUpdated, this, &BrowserTableModel::taskUpdated);
    m_datesAt = now();
    m_dateTimer.setInterval(std::chrono::seconds(30));
    connect(&m_dateTimer, &QTimer::timeout, this, &BrowserTableModel::refreshDates);
    m_dateTimer.start();
}

int BrowserTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int BrowserTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns;
}

const BrowserRow* BrowserTableModel::rowAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
        return nullptr;
    }
    return &m_rows[static_cast<std::size_t>(row)];
}

BrowserRowInputs BrowserTableModel::listing() const
{
    BrowserRowInputs inputs;
    inputs.currentPrefix = m_state.currentPrefix();
    inputs.prefixes = m_state.prefixes();
    inputs.objects = m_state.objects();
    return inputs;
}

std::string BrowserTableModel::key(int row) const
{
    const BrowserRow* found = rowAt(row);
    return found ? BrowserRowBuilder::key(*found, listing()) : std::string();
}

std::optional<int> BrowserTableModel::findRow(std::string_view key) const
{
    const std::size_t hash = BrowserRowBuilder::hashOf(key);
    const BrowserRowInputs inputs = listing();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (BrowserRowBuilder::hasKey(m_rows[i], key, hash, inputs)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

const ObjectItem* BrowserTableModel::object(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr || found->kind != BrowserRow::Kind::object) {
        return nullptr;
    }
    const ChunkedList<ObjectItem>& objects = m_state.objects();
    return found->position < objects.size() ? &objects[found->position] : nullptr;
}

const ObjectPrefix* BrowserTableModel::prefix(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr || found->kind != BrowserRow::Kind::folder) {
        return nullptr;
    }
    const ChunkedList<ObjectPrefix>& prefixes = m_state.prefixes();
    return found->position < prefixes.size() ? &prefixes[found->position] : nullptr;
}

const TransferTask* BrowserTableModel::task(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr || found->kind != BrowserRow::Kind::uploading || !m_transfers) {
        return nullptr;
    }
    const std::optional<std::size_t> position = m_transfers->index(found->taskID);
    return position ? &m_transfers->tasks()[*position] : nullptr;
}

std::string_view BrowserTableModel::folderName(std::string_view prefix)
{
    std::string_view trimmed = prefix;
    while (!trimmed.empty() && trimmed.back() == '/') {
        trimmed.remove_suffix(1);
    }
    const std::size_t slash = trimmed.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
    return last.empty() ? prefix : last;
}

QString BrowserTableModel::name(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr) {
        return {};
    }
    switch (found->kind) {
    case BrowserRow::Kind::parent:
        return QStringLiteral("..");
    case BrowserRow::Kind::folder:
        if (const ObjectPrefix* folder = prefix(row)) {
            return fromUtf8(folderName(folder->prefix));
        }
        return {};
    case BrowserRow::Kind::object:
        if (const ObjectItem* item = object(row)) {
            // Relative to the folder on screen, as AppState::objectName() names it.
            std::string_view name = item->key;
            const std::string& folder = m_state.currentPrefix();
            if (!folder.empty() && name.starts_with(folder)) {
                name.remove_prefix(folder.size());
            }
            return fromUtf8(name);
        }
        return {};
    case BrowserRow::Kind::uploading:
        if (const TransferTask* shown = task(row)) {
            return fromUtf8(shown->title);
        }
        return {};
    }
    return {};
}

bool BrowserTableModel::isSelectable(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr) {
        return false;
    }
    if (found->kind != BrowserRow::Kind::uploading) {
        return true;
    }
    const TransferTask* shown = task(row);
    return shown != nullptr && shown->state == TransferState::succeeded;
}

std::optional<QString> BrowserTableModel::editableName(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr) {
        return std::nullopt;
    }
    switch (found->kind) {
    case BrowserRow::Kind::object:
        if (const ObjectItem* item = object(row)) {
            std::string_view key = item->key;
            const std::size_t slash = key.rfind('/');
            return fromUtf8(slash == std::string_view::npos ? key : key.substr(slash + 1));
        }
        return std::nullopt;
    case BrowserRow::Kind::folder:
        if (const ObjectPrefix* folder = prefix(row)) {
            return fromUtf8(folderName(folder->prefix));
        }
        return std::nullopt;
    case BrowserRow::Kind::uploading:
        if (const TransferTask* shown = task(row);
            shown != nullptr && shown->state == TransferState::succeeded && shown->placeholderRealKey()) {
            return fromUtf8(shown->title);
        }
        return std::nullopt;
    case BrowserRow::Kind::parent:
        break;
    }
    return std::nullopt;
}

bool BrowserTableModel::isRenamable(int row) const
{
    const BrowserRow* found = rowAt(row);
    if (found == nullptr || found->kind == BrowserRow::Kind::parent) {
        return false;
    }
    if (found->kind != BrowserRow::Kind::uploading) {
        return true;
    }
    const TransferTask* shown = task(row);
    return shown != nullptr && shown->state == TransferState::succeeded && shown->placeholderRealKey();
}

void BrowserTableModel::redrawRow(int row)
{
    if (rowAt(row) != nullptr) {
        emit dataChanged(index(row, 0), index(row, columns - 1));
    }
}

QString BrowserTableModel::sizeText(int index) const
{
    switch (m_rows[static_cast<std::size_t>(index)].kind) {
    case BrowserRow::Kind::object:
        if (const ObjectItem* item = object(index)) {
            return fromUtf8(ByteFormatter::string(item->size));
        }
        return {};
    case BrowserRow::Kind::uploading:
        // A folder's total is known once its files are counted.
        if (const TransferTask* shown = task(index);
            shown != nullptr && (!shown->isFolder || shown->bytesTotal > 0)) {
            return fromUtf8(shown->state == TransferState::succeeded
                                ? ByteFormatter::string(shown->bytesTotal)
                                : ByteFormatter::progressString(shown->bytesDone, shown->bytesTotal));
        }
        return QStringLiteral("-");
    case BrowserRow::Kind::folder:
    case BrowserRow::Kind::parent:
        break;
    }
    return QStringLiteral("-");
}

QString BrowserTableModel::modifiedText(int index, TimePoint at) const
{
    switch (m_rows[static_cast<std::size_t>(index)].kind) {
    case BrowserRow::Kind::object:
        if (const ObjectItem* item = object(index)) {
            return RelativeDate::format(item->lastModified, at);
        }
        return {};
    case BrowserRow::Kind::uploading:
        if (const TransferTask* shown = task(index)) {
            return RelativeDate::format(shown->completedAt, at);
        }
        return {};
    case BrowserRow::Kind::folder:
    case BrowserRow::Kind::parent:
        break;
    }
    return QStringLiteral("-");
}

QVariant BrowserTableModel::data(const QModelIndex& index, int role) const
{
    const BrowserRow* row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (row == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case nameColumn:
            return name(index.row());
        case sizeColumn:
            return sizeText(index.row());
        case modifiedColumn:
            return modifiedText(index.row(), now());
        default:
            return {};
        }
    case Qt::EditRole:
        if (index.column() == nameColumn) {
            return editableName(index.row()).value_or(QString());
        }
        return {};
    case Qt::TextAlignmentRole:
        return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    case RowKindRole:
        return static_cast<int>(row->kind);
    case TaskStateRole:
        if (const TransferTask* shown = task(index.row())) {
            return static_cast<int>(shown->state);
        }
        return {};
    case FractionRole:
        if (const TransferTask* shown = task(index.row())) {
            return shown->fraction();
        }
        return {};
    default:
        return {};
    }
}

QVariant BrowserTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_headers[static_cast<std::size_t>(section)];
    }
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags BrowserTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || rowAt(index.row()) == nullptr) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (isSelectable(index.row())) {
        result |= Qt::ItemIsSelectable;
    }
    const BrowserRow::Kind kind = m_rows[static_cast<std::size_t>(index.row())].kind;
    if (kind == BrowserRow::Kind::folder || kind == BrowserRow::Kind::object) {
        result |= Qt::ItemIsDragEnabled;
    }
    if (index.column() == nameColumn && isRenamable(index.row())) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

bool BrowserTableModel::setRows(std::vector<BrowserRow> rows)
{
    const std::size_t before = m_rows.size();
    const std::size_t after = rows.size();
    std::size_t head = 0;
    while (head < before && head < after && m_rows[head].sameSignature(rows[head])) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < before - head && tail < after - head &&
           m_rows[before - 1 - tail].sameSignature(rows[after - 1 - tail])) {
        ++tail;
    }
    const bool unchanged = head + tail == before && head + tail == after;

    m_placeholderRows.clear();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].kind == BrowserRow::Kind::uploading) {
            m_placeholderRows.emplace(rows[i].taskID, static_cast<int>(i));
        }
    }

    const auto take = [this, &rows] {
        m_rows.assign(std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    };
    if (unchanged) {
        take();
        return false;
    }
    // The same rows, some of whose tasks completed: they are redrawn where they are.
    const auto sameRow = [](const BrowserRow& a, const BrowserRow& b) {
        return a.kind == b.kind && a.keyHash == b.keyHash && a.taskID == b.taskID;
    };
    if (before == after && std::equal(m_rows.begin() + static_cast<std::ptrdiff_t>(head),
                                      m_rows.end() - static_cast<std::ptrdiff_t>(tail),
                                      rows.begin() + static_cast<std::ptrdiff_t>(head), sameRow)) {
        take();
        emit dataChanged(index(static_cast<int>(head), 0), index(static_cast<int>(before - tail - 1), columns - 1));
        return true;
    }
    if (head + tail == before) {
        beginInsertRows({}, static_cast<int>(head), static_cast<int>(after - tail - 1));
        take();
        endInsertRows();
    } else if (head + tail == after) {
        beginRemoveRows({}, static_cast<int>(head), static_cast<int>(before - tail - 1));
        take();
        endRemoveRows();
    } else {
        beginResetModel();
        take();
        endResetModel();
    }
    return true;
}

void BrowserTableModel::insertBuiltRows(int position, std::vector<BrowserRow> rows)
{
    if (rows.empty() || position < 0 || position > rowCount()) {
        return;
    }
    const int count = static_cast<int>(rows.size());
    beginInsertRows({}, position, position + count - 1);
    for (auto& [task, row] : m_placeholderRows) {
        if (row >= position) {
            row += count;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (rows[static_cast<std::size_t>(i)].kind == BrowserRow::Kind::uploading) {
            m_placeholderRows.emplace(rows[static_cast<std::size_t>(i)].taskID, position + i);
        }
    }
    m_rows.insert(m_rows.begin() + position, std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

std::unordered_set<Uuid> BrowserTableModel::shownTasks() const
{
    std::unordered_set<Uuid> tasks;
    for (const auto& [task, row] : m_placeholderRows) {
        tasks.insert(task);
    }
    return tasks;
}

void BrowserTableModel::setClock(Clock clock)
{
    m_clock = std::move(clock);
    refreshDates();
}

TimePoint BrowserTableModel::now() const
{
    return m_clock();
}

void BrowserTableModel::taskUpdated(int queueRow)
{
    if (!m_transfers || m_placeholderRows.empty() || queueRow < 0 ||
        static_cast<std::size_t>(queueRow) >= m_transfers->tasks().size()) {
        return;
    }
    const auto shown = m_placeholderRows.find(m_transfers->tasks()[static_cast<std::size_t>(queueRow)].id);
    if (shown != m_placeholderRows.end()) {
        emit dataChanged(index(shown->second, 0), index(shown->second, columns - 1));
    }
}

void BrowserTableModel::setShownRows(ShownRows shownRows)
{
    m_shownRows = std::move(shownRows);
}

void BrowserTableModel::refreshDates()
{
    const TimePoint before = m_datesAt;
    m_datesAt = now();
    const int rows = rowCount();
    if (rows == 0) return;
    auto [first, last] = m_shownRows ? m_shownRows() : std::pair(0, rows - 1);
    if (first < 0) return;
    if (last < 0 || last >= rows) last = rows - 1;
    for (int row = first; row <= last; ++row) {
        if (modifiedText(row, before) != modifiedText(row, m_datesAt)) {
            const QModelIndex cell = index(row, modifiedColumn);
            emit dataChanged(cell, cell, {Qt::DisplayRole});
        }
    }
}

}  // namespace tarn
