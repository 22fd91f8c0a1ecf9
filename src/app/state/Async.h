#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>

#include <QCoro/QCoroTask>

#include <chrono>
#include <coroutine>
#include <exception>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>

namespace tarn {

// How the application waits for work without blocking the interface thread. An
// operation is a coroutine on the main thread; it hands each blocking core call to
// the application's thread pool with inBackground() and continues on the main
// thread with the result, or with the very exception the core threw (QtConcurrent
// would wrap it in QUnhandledException), so `catch (const S3Error&)` works at the
// edge of the operation. Cancellation is a std::stop_source per operation whose
// token the core calls receive.
//
// A pitfall of g++ 12: a lambda with captured values, or a braced record, made in
// the same statement as a co_await has its members destroyed twice. Name such
// values in a statement of their own first:
//     auto list = [&client, bucket, credentials, stop = m_loadStop.get_token()] { ... };
//     S3Listing page = co_await inBackground(list);

namespace detail {

// One piece of background work with its outcome. It lives in the coroutine frame of
// inBackground, so a large listing is never copied.
template <class Work>
struct BackgroundJob {
    using Result = std::invoke_result_t<Work&>;
    static_assert(!std::is_reference_v<Result>, "background work must return a value");
    struct Nothing {};

    Work* work;
    std::conditional_t<std::is_void_v<Result>, Nothing, std::optional<Result>> result;
    std::exception_ptr error;
};

// Runs a job on the pool and resumes the awaiting coroutine on the main thread. It
// holds nothing but pointers, so the double destruction above cannot harm it.
template <class F>
struct BackgroundAwaiter {
    BackgroundJob<F>* job;
    QThreadPool* pool;

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiting) const {
        // The event loop of the application resumes the coroutine; awaiting from any
        // other thread would resume it on the wrong one.
        QCoreApplication* application = QCoreApplication::instance();
        Q_ASSERT(application != nullptr && QThread::currentThread() == application->thread());
        pool->start([job = job, waiting, application] {
            try {
                if constexpr (std::is_void_v<typename BackgroundJob<F>::Result>) {
                    (*job->work)();
                } else {
                    job->result.emplace((*job->work)());
                }
            } catch (...) {
                job->error = std::current_exception();
            }
            // From here on the job belongs to the main thread again.
            QMetaObject::invokeMethod(application, [waiting] { waiting.resume(); }, Qt::QueuedConnection);
        });
    }

    typename BackgroundJob<F>::Result await_resume() const {
        if (job->error) std::rethrow_exception(job->error);
        if constexpr (!std::is_void_v<typename BackgroundJob<F>::Result>) return std::move(*job->result);
    }
};

template <class T>
QCoro::Task<> withoutResult(QCoro::Task<T> task) {
    co_await task;
}

}  // namespace detail

// The result of `work()` run on `pool`, or what it threw, rethrown as it was. Call it
// from a coroutine on the main thread and await it; the work starts at once. `work`
// is a named callable, which is used in place and must outlive the wait (as a local
// of the awaiting coroutine does), or a lambda that captures only references, which
// is copied. What it refers to must outlive it too: the pool's owner waits for the
// pool before it goes. It must not read the state's fields: they belong to the main
// thread.
template <class F>
QCoro::Task<std::invoke_result_t<std::remove_reference_t<F>&>> inBackground(QThreadPool& pool, F&& work) {
    static_assert(std::is_lvalue_reference_v<F> || std::is_trivially_destructible_v<std::remove_cvref_t<F>>,
                  "g++ 12 destroys the captures of a lambda made in a co_await statement twice: "
                  "name the work first (auto work = [...] { ... }; co_await inBackground(work);)");
    using Work = std::remove_reference_t<F>;
    std::optional<std::remove_cvref_t<F>> copy;
    Work* target = &work;
    if constexpr (!std::is_lvalue_reference_v<F>) target = &copy.emplace(work);
    detail::BackgroundJob<Work> job{target, {}, {}};
    co_return co_await detail::BackgroundAwaiter<Work>{&job, &pool};
}

// Sleeps on the main thread's event loop for `duration` (no timer slack), ending at
// once when `stop` is requested, from any thread. True when the whole time passed.
QCoro::Task<bool> stoppableSleep(std::chrono::milliseconds duration, std::stop_token stop);

// Lets an operation run to its end without anyone awaiting it: the coroutine stays
// alive while it is suspended and is freed when it finishes. Operations report their
// own failures; an exception that escapes one anyway is logged, never rethrown.
void startDetached(QCoro::Task<> task);
template <class T>
void startDetached(QCoro::Task<T> task) {
    startDetached(detail::withoutResult(std::move(task)));
}

}  // namespace tarn
