#pragma once

#include "core/values/Uuid.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarn {

class TransferCenter;

// The rows of the transfer panel: every task of the queue in three sections (in
// progress, failed, completed), each under a header with its count, newest first.
//
// The queue changes with every progress report of a running transfer, so the model
// follows it through a 100 ms throttle and decides on each refresh between the two
// ways a list view can hear of a change: when the rows' signature (each task's ID
// and section, in queue order) is what the rows were built from, only the tasks that
// changed are announced (dataChanged), and a view keeps its scroll position and
// redraws the rows it shows; otherwise the rows are built anew (a model reset). Rows
// hold task IDs only; what a row shows is read from the queue when it is drawn.
class TransferPanelModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum class RowKind { header, task };
    enum Role {
        RowKindRole = Qt::UserRole + 1,  // RowKind as int
        ContentRole,                     // TransferRowContent of a task row
    };

    static constexpr int throttleMilliseconds = 100;
    static constexpr int headerHeight = 26;
    static constexpr int taskRowHeight = 54;

    explicit TransferPanelModel(TransferCenter& center, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    RowKind rowKind(int row) const;
    // The ID of a task row's task, which may have left the queue since the rows were
    // built; none for a header or a row out of range.
    std::optional<Uuid> taskID(const QModelIndex& index) const;

    // Whether the queue holds a task, and a finished one (what "Clear Finished" acts on).
    bool hasTasks() const;
    bool hasFinishedTasks() const;

    // The row buttons and the clear button. Each does nothing once the queue is gone,
    // and retry and dismiss nothing for a row whose task has left it.
    void retry(const QModelIndex& index);
    void dismiss(const QModelIndex& index);
    void clearFinished();

    // Applies what changed since the last refresh now, instead of at the end of the
    // throttle; with `force` the rows are built anew whatever the signature says.
    void refresh(bool force = false);
    bool refreshPending() const { return m_throttle.isActive(); }

signals:
    // After every refresh, whichever way it went (the panel shows or hides its clear
    // button and its empty text then).
    void refreshed();

private:
    struct PanelRow {
        RowKind kind = RowKind::task;
        QString caption;  // a header's section name and count
        Uuid id;          // a task row's task
        int group = 0;    // the section: 0 in progress, 1 failed, 2 completed
    };
    struct RowSignature {
        Uuid id;
        int group = 0;
        bool operator==(const RowSignature&) const = default;
    };

    void noteTaskUpdated(int queueRow);
    void scheduleRefresh();
    std::vector<RowSignature> signature() const;
    bool changedTasksKeepTheirSection() const;
    void rebuildRows();

    QPointer<TransferCenter> m_center;
    std::vector<PanelRow> m_rows;
    std::unordered_map<Uuid, int> m_rowOfTask;
    std::vector<RowSignature> m_shownSignature;
    // Tasks changed in place since the last refresh.
    std::unordered_set<Uuid> m_changedTasks;
    // Tasks were added or removed since the last refresh.
    bool m_rearranged = false;
    QTimer m_throttle;
};

}  // namespace tarn
