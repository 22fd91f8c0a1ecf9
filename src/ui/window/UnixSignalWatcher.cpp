#include "ui/window/UnixSignalWatcher.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarn {

namespace {

// Read end [0] for the event loop, write end [1] for the handler. Plain ints: the
// handler may touch nothing else.
int gPipe[2] = {-1, -1};

extern "C" void writeSignalNumber(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
    errno = savedErrno;
}

bool makeNonBlockingCloseOnExec(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags != -1 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != -1 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) != -1;
}

}  // namespace

struct UnixSignalWatcher::Previous {
    int signalNumber;
    struct sigaction action;
};

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent)
{
    if (gPipe[0] != -1) {
        qWarning("Only one UnixSignalWatcher may watch at a time.");
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gPipe) != 0 || !makeNonBlockingCloseOnExec(gPipe[0]) ||
        !makeNonBlockingCloseOnExec(gPipe[1])) {
        qWarning("Signals cannot be watched: %s", std::strerror(errno));
        for (int& fd : gPipe) {
            if (fd != -1) ::close(fd);
            fd = -1;
        }
        return;
    }
    m_notifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::drain);

    for (const int signalNumber : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = writeSignalNumber;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        Previous previous{signalNumber, {}};
        if (::sigaction(signalNumber, &action, &previous.action) == 0) {
            m_previous.push_back(previous);
        }
    }
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    if (m_notifier == nullptr) {
        return;
    }
    for (const Previous& previous : m_previous) {
        ::sigaction(previous.signalNumber, &previous.action, nullptr);
    }
    delete m_notifier;
    for (int& fd : gPipe) {
        ::close(fd);
        fd = -1;
    }
}

void UnixSignalWatcher::drain()
{
    unsigned char numbers[64];
    for (;;) {
        const ssize_t count = ::read(gPipe[0], numbers, sizeof numbers);
        if (count <= 0) {
            break;
        }
        for (ssize_t i = 0; i < count; ++i) {
            emit received(numbers[i]);
        }
    }
}

}  // namespace tarn
