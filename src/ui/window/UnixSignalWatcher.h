#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace tarn {

// Turns POSIX signals (SIGTERM from a session ending, SIGINT from a terminal) into a
// Qt signal on the main thread. The handler only writes the signal's number into a
// pipe, which is all a signal handler may safely do; the event loop reads it. One
// watcher at a time; the previous handlers come back when it goes.
class UnixSignalWatcher : public QObject {
    Q_OBJECT

public:
    explicit UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

    UnixSignalWatcher(const UnixSignalWatcher&) = delete;
    UnixSignalWatcher& operator=(const UnixSignalWatcher&) = delete;

    // Whether the handlers are in place (false when the pipe could not be made).
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    struct Previous;
    std::vector<Previous> m_previous;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace tarn
