#include "ui/browser/StatusDotView.h"

#include "ui/theme/Animations.h"
#include "ui/theme/LoopingAnimation.h"
#include "ui/theme/TarnTheme.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

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
    // It paints every one of its pixels, so nothing behind it is repainted for a frame.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // One loop is a breath out and in, eased each way. It only adorns: it rests while
    // the window is in the background.
    if (Animations::enabled()) {
        m_breathing = new LoopingAnimation(this, std::chrono::milliseconds(breathMilliseconds * 2), breathSteps,
                                           LoopingAnimation::breath(QEasingCurve::InOutQuad),
                                           [this](qreal breath) {
                                               if (m_breath == breath) return;
                                               m_breath = breath;
                                               // Painted at once: a frame posted to the
                                               // event loop would wake it once more.
                                               QWidget::repaint();
                                           },
                                           LoopingAnimation::Watch::seenInActiveWindow);
        m_breathing->start();
    }
    update(Status::ready);
    watchAncestors();
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
    m_frames.fill(QImage());
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

void StatusDotView::paintDot(QPainter& painter, const QRectF& box, const QColor& color, qreal breath)
{
    const QPointF centre = box.center();
    const qreal radius = diameter / 2;
    // The glow fades out within the view, whose edges would cut it off.
    const qreal glow = std::min(kSmallestGlow + (kWidestGlow - kSmallestGlow) * breath, side / 2.0 - radius);
    const qreal opacity = 1 - (1 - kFaintestOpacity) * breath;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    QRadialGradient halo(centre, radius + glow);
    QColor inner = color;
    inner.setAlphaF(static_cast<float>(kGlowOpacity));
    QColor outer = color;
    outer.setAlphaF(0);
    halo.setColorAt(radius / (radius + glow), inner);
    halo.setColorAt(1, outer);
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(centre, radius + glow, radius + glow);
    painter.setBrush(color);
    painter.drawEllipse(centre, radius, radius);
    painter.restore();
}

void StatusDotView::paintEvent(QPaintEvent*)
{
    // While its backdrop is copied the dot is not part of it.
    if (m_copying) return;
    // Also when the dot is rendered into a grab: being opaque, nothing is painted behind
    // it there either.
    if (m_backdrop.isNull() || m_backdrop.size() != size() * devicePixelRatioF()) copyBackdrop();
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const qreal steps = m_breath * breathSteps;
    const auto step = static_cast<std::size_t>(std::clamp(std::lround(steps), 0L, static_cast<long>(breathSteps)));
    if (std::abs(steps - static_cast<qreal>(step)) > 1e-9) {
        // Between two steps (the loop gives none): drawn as it is.
        painter.drawImage(QPointF(0, 0), m_backdrop);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paintDot(painter, QRectF(rect()), color(), m_breath);
        return;
    }
    QImage& frame = m_frames[step];
    if (frame.isNull()) {
        frame = m_backdrop;
        QPainter onFrame(&frame);
        paintDot(onFrame, QRectF(rect()), color(), m_breath);
        ++m_framesRendered;
    }
    painter.drawImage(QPointF(0, 0), frame);
}

// Paints what a repaint of the window would paint at the dot's place before the dot:
// each widget from the window down to the dot's parent, and on each level the
// children stacked below the one that leads to the dot (with their own children);
// not what is stacked above the dot, which is painted over it as before.
void StatusDotView::copyBackdrop()
{
    const qreal ratio = devicePixelRatioF();
    QImage backdrop(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    backdrop.setDevicePixelRatio(ratio);
    backdrop.fill(Qt::transparent);
    for (const QPointer<QWidget>& beneath : m_beneath) {
        if (beneath) beneath->removeEventFilter(this);
    }
    m_beneath.clear();
    m_copying = true;
    // A widget leaves out its opaque children when it paints, and the dot would be one.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    // Paints the part of `widget` at `place` (in its own coordinates) into the backdrop.
    const auto paint = [&backdrop](QWidget* widget, const QRect& place, QWidget::RenderFlags flags) {
        const QRect part = place & widget->rect();
        if (!part.isEmpty()) widget->render(&backdrop, part.topLeft() - place.topLeft(), QRegion(part), flags);
    };
    for (auto ancestor = m_ancestors.rbegin(); ancestor != m_ancestors.rend(); ++ancestor) {
        QWidget* widget = ancestor->data();
        if (widget == nullptr) continue;
        const QRect place(mapTo(widget, QPoint(0, 0)), size());
        paint(widget, place, widget->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
        const QObject* towardsDot = std::next(ancestor) != m_ancestors.rend() ? std::next(ancestor)->data() : this;
        for (QObject* child : widget->children()) {
            if (child == towardsDot) break;
            auto* sibling = qobject_cast<QWidget*>(child);
            if (sibling == nullptr || sibling->isWindow() || !sibling->isVisible() ||
                !sibling->geometry().intersects(place)) {
                continue;
            }
            paint(sibling, place.translated(-sibling->pos()), QWidget::DrawChildren);
            sibling->installEventFilter(this);
            m_beneath.emplace_back(sibling);
        }
    }
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    m_copying = false;
    m_backdrop = std::move(backdrop);
    m_frames.fill(QImage());
    ++m_backdropCopies;
}

void StatusDotView::forgetBackdrop()
{
    m_backdrop = QImage();
    m_frames.fill(QImage());
}

void StatusDotView::watchAncestors()
{
    for (const QPointer<QWidget>& ancestor : m_ancestors) {
        if (ancestor) ancestor->removeEventFilter(this);
    }
    m_ancestors.clear();
    for (QWidget* ancestor = parentWidget(); ancestor != nullptr; ancestor = ancestor->parentWidget()) {
        ancestor->installEventFilter(this);
        m_ancestors.emplace_back(ancestor);
        if (ancestor->isWindow()) break;
    }
    forgetBackdrop();
}

bool StatusDotView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        forgetBackdrop();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool StatusDotView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        watchAncestors();
        break;
    case QEvent::Move:
        // The window moving on the screen moves nothing within it.
        if (!static_cast<QWidget*>(watched)->isWindow()) forgetBackdrop();
        break;
    case QEvent::Resize:
        forgetBackdrop();
        break;
    case QEvent::Paint:
        // A widget repainted around the dot may have changed what lies behind it. It
        // paints around the dot, never under it, so what tells is whether it painted
        // the pixels next to the dot; and the dot is not repainted with it unless its
        // own place was dirty too, so it asks for that itself.
        if (!m_copying && !m_backdrop.isNull()) {
            auto* widget = static_cast<QWidget*>(watched);
            const QRect place(widget->mapFrom(window(), mapTo(window(), QPoint(0, 0))), size());
            if (static_cast<QPaintEvent*>(event)->region().intersects(place.adjusted(-1, -1, 1, 1))) {
                forgetBackdrop();
                QWidget::update();
            }
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
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
        // forgetBackdrop() also forgets the frames, whose colours may be new.
        forgetBackdrop();
        QWidget::update();
    }
}

}  // namespace tarn
