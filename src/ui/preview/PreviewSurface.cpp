#include "ui/preview/PreviewSurface.h"

#include "ui/theme/TarnTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tarn {

PreviewSurface::PreviewSurface(QWidget* parent)
    : QWidget(parent)
    , m_fill(TarnTheme::color(ThemeColor::textBackground))
{
}

PreviewSurface* PreviewSurface::around(QWidget* content, int inset)
{
    auto* surface = new PreviewSurface();
    auto* layout = new QVBoxLayout(surface);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(0);
    layout->addWidget(content);
    return surface;
}

void PreviewSurface::setFillColor(const QColor& color)
{
    m_fill = color;
    update();
}

void PreviewSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bounds, cornerRadius, cornerRadius);
    painter.fillPath(shape, m_fill);
    painter.setPen(QPen(TarnTheme::color(ThemeColor::hairlineBorder), 1));
    painter.drawPath(shape);
}

}  // namespace tarn
