#pragma once

#include "app/state/Async.h"

#include <QTest>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace tarn::test {

// Waits, with a bound, for a coroutine on the main thread's event loop. Gives its
// result (true for a task without one), or none (false) when it did not end in time;
// what it threw is thrown here.
template <class T>
auto finishWithin(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    constexpr bool hasResult = !std::is_void_v<T>;
    using Value = std::conditional_t<hasResult, T, bool>;
    struct Outcome {
        bool done = false;
        std::optional<Value> value;
        std::exception_ptr error;
    };
    auto outcome = std::make_shared<Outcome>();
    startDetached([](QCoro::Task<T> task, std::shared_ptr<Outcome> outcome) -> QCoro::Task<> {
        try {
            if constexpr (hasResult) {
                outcome->value.emplace(co_await task);
            } else {
                co_await task;
                outcome->value.emplace(true);
            }
        } catch (...) {
            outcome->error = std::current_exception();
        }
        outcome->done = true;
    }(std::move(task), outcome));
    const bool done = QTest::qWaitFor([&] { return outcome->done; }, static_cast<int>(limit.count()));
    if (done && outcome->error) std::rethrow_exception(outcome->error);
    if constexpr (hasResult) {
        return done ? std::move(outcome->value) : std::nullopt;
    } else {
        return done;
    }
}

}  // namespace tarn::test
