#pragma once

#include "app/transfers/TransferTask.h"

#include <QObject>

#include <vector>

namespace tarn {

class AppState;

// The application's one queue of long operations. AppState makes it on first use and
// keeps it; the queue refers back to the state without owning it. Its task list is
// published: every change emits tasksChanged, and the views throttle what they redraw.
class TransferCenter : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::vector<tarn::TransferTask> tasks READ tasks NOTIFY tasksChanged)

public:
    explicit TransferCenter(AppState& app);

    // Every task in the order it was added, which is the order the views show.
    const std::vector<TransferTask>& tasks() const { return m_tasks; }

    // Retires the succeeded upload and rename rows of `directory` in the bucket that
    // a listing started at `listedAt` already shows.
    void removeSucceededUploads(const std::string& directory, const std::optional<Uuid>& bucketID,
                                TimePoint listedAt);

signals:
    void tasksChanged();

private:
    friend struct AppStateTestAccess;

    AppState& m_app;
    std::vector<TransferTask> m_tasks;
};

}  // namespace tarn
