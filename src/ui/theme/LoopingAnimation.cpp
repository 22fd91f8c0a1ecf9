#include "ui/theme/LoopingAnimation.h"

#include "ui/theme/OnScreenWatcher.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tarn {

LoopingAnimation::LoopingAnimation(QWidget* widget, std::chrono::milliseconds period, int steps,
                                   std::function<qreal(qreal)> shape, std::function<void(qreal)> frame, Watch watch)
    : QObject(widget)
    , m_period(std::max<qint64>(period.count(), 1))
    , m_steps(std::max(steps, 1))
    , m_shape(std::move(shape))
    , m_frame(std::move(frame))
    , m_watcher(new OnScreenWatcher(widget, watch == Watch::seenInActiveWindow))
{
    // The value is looked at once a millisecond through one loop: where it reaches
    // another step is known before the first frame, and each frame is timed to it.
    int previous = stepAt(m_period - 1);
    for (qint64 at = 0; at < m_period; ++at) {
        const int step = stepAt(at);
        if (step != previous) {
            m_changes.push_back(at);
            previous = step;
        }
    }
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &LoopingAnimation::drawFrame);
    connect(m_watcher, &OnScreenWatcher::onScreenChanged, this, &LoopingAnimation::reconsider);
}

std::function<qreal(qreal)> LoopingAnimation::breath(QEasingCurve::Type curve)
{
    return [easing = QEasingCurve(curve)](qreal progress) {
        return easing.valueForProgress(progress < 0.5 ? progress * 2 : 2 - progress * 2);
    };
}

int LoopingAnimation::stepAt(qint64 milliseconds) const
{
    const qreal value = std::clamp(m_shape(static_cast<qreal>(milliseconds) / static_cast<qreal>(m_period)), 0.0, 1.0);
    return static_cast<int>(std::lround(value * m_steps));
}

void LoopingAnimation::start()
{
    m_clock.start();
    m_drawnStep = -1;
    reconsider();
}

void LoopingAnimation::stop()
{
    m_clock.invalidate();
    m_timer.stop();
    m_drawing = false;
}

qreal LoopingAnimation::progress() const
{
    if (!m_clock.isValid()) {
        return 0;
    }
    return static_cast<qreal>(m_clock.elapsed() % m_period) / static_cast<qreal>(m_period);
}

void LoopingAnimation::reconsider()
{
    const bool draw = isStarted() && m_watcher->isOnScreen();
    if (draw == m_drawing) {
        return;
    }
    m_drawing = draw;
    if (draw) {
        // What was missed meanwhile is not drawn; where the loop stands now is.
        m_drawnStep = -1;
        drawFrame();
        return;
    }
    m_timer.stop();
    // Still in view (a window in the background): at rest rather than held anywhere
    // in the loop.
    if (isStarted() && OnScreenWatcher::isOnScreen(qobject_cast<QWidget*>(parent()))) {
        m_drawnStep = stepAt(0);
        m_frame(static_cast<qreal>(m_drawnStep) / m_steps);
    }
}

void LoopingAnimation::drawFrame()
{
    const qint64 at = m_clock.elapsed() % m_period;
    const int step = stepAt(at);
    if (step != m_drawnStep) {
        m_drawnStep = step;
        m_frame(static_cast<qreal>(step) / m_steps);
    }
    if (m_changes.empty()) {
        return;
    }
    const auto next = std::upper_bound(m_changes.begin(), m_changes.end(), at);
    const qint64 due = next != m_changes.end() ? *next : m_changes.front() + m_period;
    m_timer.start(static_cast<int>(std::max<qint64>(due - at, 1)));
}

}  // namespace tarn
