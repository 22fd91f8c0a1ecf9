#include "MainThreadStalls.h"

#include "BenchSupport.h"

#include <algorithm>

namespace tarn::bench {

namespace {

constexpr int kTickMs = 5;

}  // namespace

MainThreadStalls::MainThreadStalls()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        const double cpu = threadCpuSeconds();
        if (m_lastTick >= 0) {
            m_longestGap = std::max(m_longestGap, now - m_lastTick);
            m_longestBusy = std::max(m_longestBusy, cpu - m_lastCpu);
        }
        m_lastTick = now;
        m_lastCpu = cpu;
    });
}

void MainThreadStalls::start()
{
    m_lastTick = -1;
    m_longestGap = 0;
    m_longestBusy = 0;
    m_clock.start();
    m_timer.start(kTickMs);
}

void MainThreadStalls::stop()
{
    m_timer.stop();
}

double MainThreadStalls::longestStallMs() const
{
    return static_cast<double>(m_longestGap) / 1e6;
}

double MainThreadStalls::longestBusyMs() const
{
    return m_longestBusy * 1e3;
}

}  // namespace tarn::bench
