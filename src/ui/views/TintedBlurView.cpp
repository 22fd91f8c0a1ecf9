#include "ui/views/TintedBlurView.h"

#include "ui/theme/TarnTheme.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tarn {

TintedBlurView::TintedBlurView(qreal tintAlpha, QWidget* parent)
    : QWidget(parent)
    , m_tintAlpha(std::clamp(tintAlpha, 0.0, 1.0))
{
    // Children (labels, icons) paint over the surface without a background of their own.
    setAttribute(Qt::WA_StyledBackground, false);
}

QColor TintedBlurView::surfaceColor(qreal tintAlpha)
{
    return TarnTheme::over(TarnTheme::color(ThemeColor::baseTint, std::clamp(tintAlpha, 0.0, 1.0)),
                           TarnTheme::color(ThemeColor::materialBase));
}

void TintedBlurView::setCornerRadius(qreal radius)
{
    m_cornerRadius = std::max<qreal>(0, radius);
    update();
}

void TintedBlurView::setBorderColor(const QColor& color)
{
    m_borderColor = color;
    update();
}

void TintedBlurView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, m_cornerRadius > 0);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.fillPath(shape, surfaceColor());
    if (m_borderColor.isValid()) {
        const QRectF inner = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(m_borderColor, 1));
        painter.setBrush(Qt::NoBrush);
        const qreal radius = std::max<qreal>(0, m_cornerRadius - 0.5);
        painter.drawRoundedRect(inner, radius, radius);
    }
}

}  // namespace tarn
