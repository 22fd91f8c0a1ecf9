#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace tarn::bench {

// How long the main thread's event loop is held up while it runs: a 5 ms timer on the
// main thread notes the longest gap between two of its ticks by the wall clock (what
// a user sees as a frozen window), and the main thread's own CPU time over the
// longest such gap (the same without what a loaded machine gave to other programs).
// Work done outside the event loop between two ticks counts as a hold-up too.
class MainThreadStalls {
public:
    MainThreadStalls();

    void start();
    void stop();

    double longestStallMs() const;
    double longestBusyMs() const;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = -1;
    double m_lastCpu = 0;
    qint64 m_longestGap = 0;
    double m_longestBusy = 0;
};

}  // namespace tarn::bench
