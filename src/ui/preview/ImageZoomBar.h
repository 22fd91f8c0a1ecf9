#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace tarn {

// The small pill over an image preview's corner: zoom out, the zoom in percent of the
// fitted size, zoom in.
class ImageZoomBar : public QWidget {
    Q_OBJECT

public:
    explicit ImageZoomBar(QWidget* parent = nullptr);

    void setZoom(qreal zoom, qreal minimum, qreal maximum);
    QString zoomText() const;

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
