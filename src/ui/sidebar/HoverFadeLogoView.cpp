#include "ui/sidebar/HoverFadeLogoView.h"

#include "ui/theme/Animations.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <utility>

namespace tarn {

HoverFadeLogoView::HoverFadeLogoView(const QImage& image, QWidget* parent)
    : QWidget(parent)
    , m_image(image)
{
    setAttribute(Qt::WA_Hover);
}

void HoverFadeLogoView::setOnClick(std::function<void()> onClick)
{
    m_onClick = std::move(onClick);
    if (m_onClick) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void HoverFadeLogoView::setHovered(bool hovered)
{
    if (hovered == m_hovered) {
        return;
    }
    m_hovered = hovered;
    if (m_fade) {
        m_fade->stop();
    }
    auto* fade = new QVariantAnimation(this);
    fade->setStartValue(m_alpha);
    fade->setEndValue(hovered ? hoverAlpha : restAlpha);
    fade->setDuration(fadeMs);
    fade->setEasingCurve(QEasingCurve::Linear);
    connect(fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& alpha) {
        m_alpha = alpha.toReal();
        update();
    });
    m_fade = fade;
    Animations::start(fade);
}

void HoverFadeLogoView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull()) {
        return;
    }
    // Scaled to fit, centred, its proportions kept.
    QSizeF size = m_image.size();
    size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(m_alpha);
    painter.drawImage(target, m_image);
}

void HoverFadeLogoView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void HoverFadeLogoView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(false);
}

void HoverFadeLogoView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void HoverFadeLogoView::mouseReleaseEvent(QMouseEvent* event)
{
    // A press released outside the logo is a change of mind.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_onClick) {
        const std::function<void()> onClick = m_onClick;
        onClick();
    }
    event->accept();
}

void HoverFadeLogoView::wheelEvent(QWheelEvent* event)
{
    if (m_scrollTarget) {
        QCoreApplication::sendEvent(m_scrollTarget->viewport(), event);
    }
    event->accept();
}

}  // namespace tarn
