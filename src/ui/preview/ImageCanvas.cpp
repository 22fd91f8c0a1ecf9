#include "ui/preview/ImageCanvas.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tarn {

ImageCanvas::ImageCanvas(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageCanvas::setImage(const QImage& image)
{
    const bool sameSize = image.size() == m_image.size();
    m_image = image;
    if (!sameSize) {
        updateSize();
    }
    update();
}

void ImageCanvas::setZoom(qreal zoom)
{
    m_zoom = zoom;
    updateSize();
    update();
}

void ImageCanvas::setVisibleSize(const QSize& size)
{
    m_visibleSize = size;
    updateSize();
}

qreal ImageCanvas::displayScale() const
{
    if (m_image.isNull() || m_visibleSize.isEmpty()) {
        return 1;
    }
    const qreal fit = std::min(static_cast<qreal>(m_visibleSize.width()) / m_image.width(),
                               static_cast<qreal>(m_visibleSize.height()) / m_image.height());
    return fit * m_zoom;
}

QRectF ImageCanvas::imageRect() const
{
    const QSizeF shown = QSizeF(m_image.size()) * displayScale();
    return {QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown};
}

void ImageCanvas::updateSize()
{
    const QSizeF shown = QSizeF(m_image.size()) * displayScale();
    resize(std::max(m_visibleSize.width(), static_cast<int>(std::ceil(shown.width()))),
           std::max(m_visibleSize.height(), static_cast<int>(std::ceil(shown.height()))));
}

void ImageCanvas::paintEvent(QPaintEvent*)
{
    if (m_image.isNull()) {
        return;
    }
    QPainter painter(this);
    // Smooth when shrinking; once magnified, sharp pixels show what is really there.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, displayScale() < 2);
    painter.drawImage(imageRect(), m_image);
}

}  // namespace tarn
