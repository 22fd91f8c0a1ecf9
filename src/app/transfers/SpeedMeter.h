#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace tarn {

// The speed of one transfer from its cumulative byte count, over windows of at least
// half a second so that bursts of progress callbacks do not make the figure jump.
// Uses the monotonic clock: a change of the wall clock cannot produce a speed.
class SpeedMeter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds minimumWindow{500};

    explicit SpeedMeter(Clock::time_point start = Clock::now());

    // Bytes per second since the previous sample that returned a value (or since the
    // start), or none while that is less than the window. A count lower than the last
    // one (a part sent again) gives 0.
    std::optional<double> sample(std::int64_t bytes, Clock::time_point now = Clock::now());

private:
    std::int64_t m_lastBytes = 0;
    Clock::time_point m_lastTime;
};

}  // namespace tarn
