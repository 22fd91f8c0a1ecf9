#include "ui/browser/StatusDotView.h"

#include "ui/theme/Animations.h"
#include "ui/theme/LoopingAnimation.h"
#include "ui/theme/TarnTheme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

namespace tarn {
namespace {

constexpr qreal kFaintestOpacity = 0.45;
constexpr qreal kSmallestGlow = 2.5;
constexpr qreal kWidestGlow = 5;
constexpr qreal kGlowOpacity = 0.9;

}  // namespace

StatusDotView::StatusDotView(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    // One loop is a breath out and in, eased each way. It only adorns: it rests while
    // the window is in the background.
    if (Animations::enabled()) {
        m_breathing = new LoopingAnimation(this, std::chrono::milliseconds(breathMilliseconds * 2), breathSteps,
                                           LoopingAnimation::breath(QEasingCurve::InOutQuad),
                                           [this](qreal breath) {
                                               m_breath = breath;
                                               QWidget::update();
                                           },
                                           LoopingAnimation::Watch::seenInActiveWindow);
        m_breathing->start();
    }
    update(Status::ready);
}

bool StatusDotView::isBreathing() const
{
    return m_breathing != nullptr && m_breathing->isStarted();
}

bool StatusDotView::isDrawingFrames() const
{
    return m_breathing != nullptr && m_breathing->isRunning();
}

QColor StatusDotView::color(Status status)
{
    switch (status) {
    case Status::ready:
        return TarnTheme::brand();
    case Status::busy:
        return TarnTheme::color(ThemeColor::systemYellow);
    case Status::error:
        return TarnTheme::color(ThemeColor::systemRed);
    }
    return TarnTheme::brand();
}

void StatusDotView::update(Status status)
{
    if (m_status == status) {
        return;
    }
    m_status = status;
    QWidget::update();
}

QSize StatusDotView::sizeHint() const
{
    return {side, side};
}

QSize StatusDotView::minimumSizeHint() const
{
    return sizeHint();
}

void StatusDotView::paintEvent(QPaintEvent*)
{
    const QColor base = color();
    const QPointF centre = QRectF(rect()).center();
    const qreal radius = diameter / 2;
    // The glow fades out within the view, whose edges would cut it off.
    const qreal glow = std::min(kSmallestGlow + (kWidestGlow - kSmallestGlow) * m_breath, side / 2.0 - radius);
    const qreal opacity = 1 - (1 - kFaintestOpacity) * m_breath;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    QRadialGradient halo(centre, radius + glow);
    QColor inner = base;
    inner.setAlphaF(static_cast<float>(kGlowOpacity));
    QColor outer = base;
    outer.setAlphaF(0);
    halo.setColorAt(radius / (radius + glow), inner);
    halo.setColorAt(1, outer);
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(centre, radius + glow, radius + glow);
    painter.setBrush(base);
    painter.drawEllipse(centre, radius, radius);
}

void StatusDotView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (onClick) {
        onClick();
    }
}

void StatusDotView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Colours are looked up when painting; a new palette or style only needs a repaint.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        QWidget::update();
    }
}

}  // namespace tarn
