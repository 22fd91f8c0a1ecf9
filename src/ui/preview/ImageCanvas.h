#pragma once

#include <QImage>
#include <QWidget>

namespace tarn {

// The image of an image preview inside its scroll area: at zoom 1 the whole image
// fits the visible area (scaled up or down, proportions kept), and each zoom step
// multiplies that. The canvas is at least as large as the visible area, with the
// image centred in it.
class ImageCanvas : public QWidget {
    Q_OBJECT

public:
    explicit ImageCanvas(QWidget* parent = nullptr);

    const QImage& image() const { return m_image; }
    // A new frame of the same image keeps the zoom and the scroll position.
    void setImage(const QImage& image);

    qreal zoom() const { return m_zoom; }
    void setZoom(qreal zoom);
    // Lays the canvas out for the area it is seen through.
    void setVisibleSize(const QSize& size);

    // The rectangle the image is drawn in, in canvas coordinates.
    QRectF imageRect() const;
    // How many screen pixels one image pixel takes at the current zoom.
    qreal displayScale() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateSize();

    QImage m_image;
    qreal m_zoom = 1;
    QSize m_visibleSize;
};

}  // namespace tarn
