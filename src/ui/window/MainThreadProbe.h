#pragma once

#include <QObject>

#include <chrono>
#include <cstdio>

namespace tarn {

// Times how long the main thread stays busy at a stretch: from the first event it
// handles after waiting for events to the moment it waits again. For that long the
// window answers neither keys nor the mouse, and draws nothing new. Measuring builds
// install it (-DTARN_MAIN_THREAD_PROBE=ON); the program as shipped has none.
//
// Spans of `reportMs` or longer are written to `out` as they end, in wall-clock and
// in the thread's own CPU time (what a loaded machine took away is in the first
// only), and so is every key press, so that a span can be told apart as before or
// after a key; the longest span comes last, when the probe goes.
class MainThreadProbe : public QObject {
public:
    struct Span {
        double wallMs = 0;
        double cpuMs = 0;
    };

    // Watches the thread the probe is made on; `out` may be null (nothing written).
    explicit MainThreadProbe(std::FILE* out, double reportMs = 4, QObject* parent = nullptr);
    ~MainThreadProbe() override;
    MainThreadProbe(const MainThreadProbe&) = delete;
    MainThreadProbe& operator=(const MainThreadProbe&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;

    // The longest span that has ended, by wall clock and by CPU time (each its own
    // maximum).
    Span longest() const { return m_longest; }

private:
    void spanEnds();
    double sinceStartSeconds() const;

    std::FILE* m_out;
    double m_reportMs;
    std::chrono::steady_clock::time_point m_started;
    bool m_busy = false;
    std::chrono::steady_clock::time_point m_spanWall;
    double m_spanCpu = 0;
    Span m_longest;
    int m_lastKey = 0;
    quint64 m_lastKeyTime = 0;
};

}  // namespace tarn
