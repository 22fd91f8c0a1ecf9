#include "ui/window/MainThreadProbe.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>

#include <algorithm>
#include <ctime>

namespace tarn {
namespace {

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace

MainThreadProbe::MainThreadProbe(std::FILE* out, double reportMs, QObject* parent)
    : QObject(parent)
    , m_out(out)
    , m_reportMs(reportMs)
    , m_started(std::chrono::steady_clock::now())
{
    // Every event of every object of the program passes the application's filters;
    // the dispatcher says when the thread is about to wait.
    QCoreApplication::instance()->installEventFilter(this);
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
            &MainThreadProbe::spanEnds, Qt::DirectConnection);
}

MainThreadProbe::~MainThreadProbe()
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
    if (m_out != nullptr) {
        std::fprintf(m_out, "main-thread probe: longest busy span %.1f ms wall, %.1f ms cpu\n", m_longest.wallMs,
                     m_longest.cpuMs);
        std::fflush(m_out);
    }
}

bool MainThreadProbe::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_busy) {
        m_busy = true;
        m_spanWall = std::chrono::steady_clock::now();
        m_spanCpu = threadCpuMs();
    }
    // A key goes to the focus widget and on to its parents, one delivery each; its
    // window-system time stamp tells the first.
    if (m_out != nullptr && event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != m_lastKey || key->timestamp() != m_lastKeyTime) {
            m_lastKey = key->key();
            m_lastKeyTime = key->timestamp();
            std::fprintf(m_out, "%10.3f s key %s\n", sinceStartSeconds(),
                         qPrintable(QKeySequence(key->keyCombination()).toString()));
            std::fflush(m_out);
        }
    }
    return false;
}

void MainThreadProbe::spanEnds()
{
    if (!m_busy) {
        return;
    }
    m_busy = false;
    const Span span{std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_spanWall).count(),
                    threadCpuMs() - m_spanCpu};
    m_longest.wallMs = std::max(m_longest.wallMs, span.wallMs);
    m_longest.cpuMs = std::max(m_longest.cpuMs, span.cpuMs);
    if (m_out != nullptr && (span.wallMs >= m_reportMs || span.cpuMs >= m_reportMs)) {
        std::fprintf(m_out, "%10.3f s busy %7.1f ms wall %7.1f ms cpu\n", sinceStartSeconds(), span.wallMs, span.cpuMs);
        std::fflush(m_out);
    }
}

double MainThreadProbe::sinceStartSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
}

}  // namespace tarn
