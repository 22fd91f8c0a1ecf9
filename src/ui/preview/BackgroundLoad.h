#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent>

#include <type_traits>
#include <utility>

namespace tarn {

// Runs `work` on Qt's global thread pool and hands its result to `done` on the
// receiver's thread. The returned object carries the result across: deleting it, or
// the receiver, drops a result still to come (the work itself runs to its end, so it
// must be bounded). Previews read and decode files this way, so a large file never
// holds up the window.
template <class Work, class Done>
QObject* loadInBackground(QObject* receiver, Work work, Done done)
{
    using Result = std::invoke_result_t<Work&>;
    auto* watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, receiver,
                     [watcher, done = std::move(done)]() mutable {
                         watcher->deleteLater();
                         done(watcher->result());
                     });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
    return watcher;
}

}  // namespace tarn
