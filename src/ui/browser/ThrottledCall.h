#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace tarn {

// Runs a call for a stream of triggers, on the event loop, never inside the trigger:
// with an interval of 0 every trigger of one turn of the event loop ends in one call
// (the burst of change signals that one operation of the state sends); with an
// interval, the first trigger leads to a call at once (on the next turn) and the rest
// to at most one call per interval, the last trigger of a burst always being followed
// by one.
class ThrottledCall : public QObject {
    Q_OBJECT

public:
    ThrottledCall(int intervalMilliseconds, std::function<void()> call, QObject* parent = nullptr);

    void trigger();
    // A call is due (waiting for the event loop or for the end of the interval).
    bool isPending() const { return m_pending; }
    // Runs a due call now, so that whoever needs its outcome need not wait for it.
    void flush();

private:
    void fire();
    void intervalEnded();

    int m_interval;
    std::function<void()> m_call;
    QTimer m_timer;  // the interval since the last call
    bool m_pending = false;
    bool m_queued = false;  // a call is posted to the event loop
};

}  // namespace tarn
