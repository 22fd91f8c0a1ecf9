#pragma once

#include <QEasingCurve>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

class QWidget;

namespace tarn {

class OnScreenWatcher;

// An animation that loops for as long as it is started (a breathing dot, a loading
// placeholder, a spinner), drawn only when what it draws changes, and only while its
// widget can be seen (OnScreenWatcher): no frame, and no timer, while the widget or
// its window is hidden, minimised or fully covered. An idle window must cost next to
// nothing, and every frame wakes the program and paints.
//
// What is drawn is a value from 0 to 1 that follows the loop (`shape`), taken in
// `steps` even steps: a frame is drawn each time the value reaches another step, and
// the program sleeps until the next one is due. Even steps of value, not of time, give
// the eye the smoothest change a given number of frames can.
//
// Where the loop stands follows the clock, not the frames drawn, so a pause only
// leaves frames out and never slows the loop down.
class LoopingAnimation : public QObject {
    Q_OBJECT

public:
    enum class Watch {
        // Drawn while the widget can be seen.
        seen,
        // Drawn while the widget can be seen in the active window; at rest (the loop's
        // start) otherwise. For what only adorns: a window left in the background all
        // day then costs nothing.
        seenInActiveWindow,
    };

    // `shape` gives the value at a progress from 0 (inclusive) to 1 (exclusive);
    // `frame` draws a value, at each step and at once whenever drawing starts.
    LoopingAnimation(QWidget* widget, std::chrono::milliseconds period, int steps,
                     std::function<qreal(qreal progress)> shape, std::function<void(qreal value)> frame,
                     Watch watch = Watch::seen);

    // A breath: from 0 to 1 in the first half of the loop and back in the second, each
    // way eased by `curve`.
    static std::function<qreal(qreal)> breath(QEasingCurve::Type curve);

    // The loop starts at progress 0; a started loop draws while its widget is seen.
    void start();
    void stop();
    bool isStarted() const { return m_clock.isValid(); }
    // Frames are being drawn: started, and the widget can be seen.
    bool isRunning() const { return m_drawing; }
    // Where the loop stands now, from 0 to 1; 0 while stopped.
    qreal progress() const;

private:
    void reconsider();
    void drawFrame();
    int stepAt(qint64 milliseconds) const;

    qint64 m_period;
    int m_steps;
    std::function<qreal(qreal)> m_shape;
    std::function<void(qreal)> m_frame;
    OnScreenWatcher* m_watcher;
    QTimer m_timer;
    QElapsedTimer m_clock;
    // The moments in the loop (milliseconds from its start) at which the value reaches
    // another step.
    std::vector<qint64> m_changes;
    bool m_drawing = false;
    int m_drawnStep = -1;
};

}  // namespace tarn
