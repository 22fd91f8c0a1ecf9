#include "ui/browser/ThrottledCall.h"

namespace tarn {

ThrottledCall::ThrottledCall(int intervalMilliseconds, std::function<void()> call, QObject* parent)
    : QObject(parent)
    , m_interval(intervalMilliseconds)
    , m_call(std::move(call))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &ThrottledCall::intervalEnded);
}

void ThrottledCall::trigger()
{
    m_pending = true;
    if (m_queued || m_timer.isActive()) {
        return;  // the coming call or the end of the interval takes this trigger along
    }
    m_queued = true;
    QMetaObject::invokeMethod(this, &ThrottledCall::fire, Qt::QueuedConnection);
}

void ThrottledCall::flush()
{
    if (m_pending) {
        fire();
    }
}

void ThrottledCall::fire()
{
    m_queued = false;
    if (!m_pending) {
        return;  // flushed meanwhile
    }
    m_pending = false;
    if (m_interval > 0) {
        m_timer.start();
    }
    m_call();
}

void ThrottledCall::intervalEnded()
{
    if (m_pending) {
        fire();
    }
}

}  // namespace tarn
