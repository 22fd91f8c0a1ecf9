#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace tarn {

// The small pill over an image preview's corner: zoom out, the scale the image is
// drawn at, zoom in. The scale is what the screen shows: 100 % is one pixel of the
// image on one pixel of the screen, whatever the zoom that led there.
class ImageZoomBar : public QWidget {
    Q_OBJECT

public:
    explicit ImageZoomBar(QWidget* parent = nullptr);

    // `shownScale`: screen pixels per image pixel.
    void setScale(qreal shownScale, bool canZoomOut, bool canZoomIn);
    QString zoomText() const;
    // "32%", and "<1%" for a scale that would round to nothing.
    static QString percentText(qreal shownScale);

signals:
    void zoomOutClicked();
    void zoomInClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QToolButton* m_out;
    QLabel* m_value;
    QToolButton* m_in;
};

}  // namespace tarn
