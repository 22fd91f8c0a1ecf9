#include "app/state/Async.h"

#include <QLoggingCategory>
#include <QTimer>

#include <QCoro/QCoroTimer>

namespace tarn {

namespace {

Q_LOGGING_CATEGORY(asyncLog, "tarn.async")

// A coroutine that nobody awaits and that frees itself when it ends.
struct Detached {
    struct promise_type {
        Detached get_return_object() noexcept { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        void unhandled_exception() noexcept {
            try {
                throw;
            } catch (const std::exception& error) {
                qCCritical(asyncLog) << "an operation ended with an exception:" << error.what();
            } catch (...) {
                qCCritical(asyncLog) << "an operation ended with an unknown exception";
            }
        }
    };
};

// Owns the task while it is suspended: whatever QCoro does with a task whose handle
// is dropped, this frame keeps it until it has finished.
Detached keepUntilFinished(QCoro::Task<> task) { co_await task; }

}  // namespace

QCoro::Task<bool> stoppableSleep(std::chrono::milliseconds duration, std::stop_token stop) {
    if (stop.stop_requested()) co_return false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    // A stop request fires the timer at once; from another thread the restart is
    // queued to the timer, and dropped if the sleep has ended meanwhile. The callback
    // is destroyed before the timer, waiting for a call in progress elsewhere.
    std::stop_callback wakeOnStop(stop, [&timer] {
        QMetaObject::invokeMethod(&timer, [&timer] { timer.start(0); });
    });
    co_await timer;
    co_return !stop.stop_requested();
}

void startDetached(QCoro::Task<> task) { keepUntilFinished(std::move(task)); }

}  // namespace tarn
