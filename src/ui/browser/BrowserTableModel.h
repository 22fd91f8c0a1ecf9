#pragma once

#include "ui/browser/BrowserRow.h"
#include "ui/browser/BrowserRowBuilder.h"

#include "core/values/IsoDate.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <unordered_set>
#include <vector>

namespace tarn {

class AppState;
class TransferCenter;
struct ObjectItem;
struct ObjectPrefix;
struct TransferTask;

// The object table's rows as a table model: three columns (name, size, modified) over
// the browser's rows. It holds the rows only; every cell is read from the listing of
// the state or from the task in the queue when the view asks for it, so a row never
// shows stale data and nothing is kept per cell.
//
// New rows are announced by what changed between the old and the new list of row
// signatures: rows added in one place (a further page, a new upload) are an
// insertion, rows gone from one place a removal, the same rows whose tasks completed
// a redraw of those rows, equal lists nothing at all, and anything else a reset. A placeholder's task that changes in place (its progress)
// redraws that row alone.
class BrowserTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { nameColumn = 0, sizeColumn = 1, modifiedColumn = 2 };
    static constexpr int columns = 3;
    enum Role {
        RowKindRole = Qt::UserRole + 1,  // BrowserRow::Kind as int
        TaskStateRole,                   // a placeholder's TransferState as int; none when its task is gone
        FractionRole,                    // a placeholder's progress, 0 to 1
    };
    using Clock = std::function<TimePoint()>;

    // The header texts of the columns, looked up when the model is made.
    explicit BrowserTableModel(AppState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces the rows and announces the change; true when the signatures changed.
    bool setRows(std::vector<BrowserRow> rows);
    // Inserts rows before `position` (the end: rowCount()) and announces them.
    void insertBuiltRows(int position, std::vector<BrowserRow> rows);
    // The tasks the placeholder rows show.
    std::unordered_set<Uuid> shownTasks() const;
    const std::deque<BrowserRow>& rows() const { return m_rows; }
    const BrowserRow* rowAt(int row) const;

    // The listing the rows point into (the state's, as it is now), without tasks.
    BrowserRowInputs listing() const;
    std::string key(int row) const;
    // The first row with the key.
    std::optional<int> findRow(std::string_view key) const;
    // What a row shows: the object, the folder, or the placeholder's task (none when
    // the row is of another kind, or its task has left the queue).
    const ObjectItem* object(int row) const;
    const ObjectPrefix* prefix(int row) const;
    const TransferTask* task(int row) const;
    // The name a row shows: an object relative to the folder, a folder's own name,
    // "..", or a placeholder's title.
    QString name(int row) const;
    // Folders, objects and the parent row; a placeholder once its task has succeeded.
    bool isSelectable(int row) const;
    // The name an inline rename starts from: an object's or folder's own name (the
    // last piece of its key), a finished placeholder's title; none for a row that
    // cannot be renamed in place (the parent, a placeholder without a real key yet).
    std::optional<QString> editableName(int row) const;
    bool isRenamable(int row) const;
    // Redraws the cells of a row (after an inline rename ended).
    void redrawRow(int row);

    // The clock of the relative dates; the system clock unless a test sets one.
    void setClock(Clock clock);
    TimePoint now() const;
    // The first and last row a view shows (-1 for none), where the relative dates are
    // kept up to date; every row unless a view says.
    using ShownRows = std::function<std::pair<int, int>()>;
    void setShownRows(ShownRows shownRows);
    // Redraws the dates whose text has changed since the last time (in the rows shown).
    void refreshDates();

    // A folder prefix's own name as ObjectPrefix::displayName gives it, without a copy.
    static std::string_view folderName(std::string_view prefix);

private:
    void taskUpdated(int queueRow);
    // The size and date texts of a row inside the rows.
    QString sizeText(int row) const;
    QString modifiedText(int row, TimePoint at) const;

    AppState& m_state;
    QPointer<TransferCenter> m_transfers;
    // A deque, not a vector: rows added at the end never move the ones before them,
    // so a page of rows costs the same at the 100,000th row as at the first.
    std::deque<BrowserRow> m_rows;
    // The row of each placeholder's task: a progress report redraws one row.
    std::unordered_map<Uuid, int> m_placeholderRows;
    Clock m_clock;
    ShownRows m_shownRows;
    // When the dates were last brought up to date: a text shown since is the same as
    // then or as now, since a relative date only ever moves on.
    TimePoint m_datesAt;
    std::array<QString, 3> m_headers;
    // "Just now" and "5 min ago" age while they are shown; a date whose text stays is
    // not redrawn.
    QTimer m_dateTimer;
};

}  // namespace tarn
