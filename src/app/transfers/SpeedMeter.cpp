#include "app/transfers/SpeedMeter.h"

#include <algorithm>

namespace tarn {

SpeedMeter::SpeedMeter(Clock::time_point start) : m_lastTime(start) {}

std::optional<double> SpeedMeter::sample(std::int64_t bytes, Clock::time_point now) {
    const std::chrono::duration<double> interval = now - m_lastTime;
    if (interval < minimumWindow) return std::nullopt;
    const double rate = static_cast<double>(bytes - m_lastBytes) / interval.count();
    m_lastBytes = bytes;
    m_lastTime = now;
    return std::max(rate, 0.0);
}

}  // namespace tarn
