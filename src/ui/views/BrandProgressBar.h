#pragma once

#include <QRectF>
#include <QWidget>

class QPainter;

namespace tarn {

// The thin brand-coloured progress bar of the status bar and the transfer rows: a
// faint outline with a glowing fill, 4 pixels high in a 14-pixel-high widget.
class BrandProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit BrandProgressBar(QWidget* parent = nullptr);

    // The share of the width to fill, as given; drawing clamps it (see clamp).
    double fraction() const { return m_fraction; }
    void setFraction(double fraction);

    // Below 0 is empty; 1 or more, and a value that is not a number, is full.
    static double clamp(double fraction);

    QRectF trackRect() const;
    QRectF barRect() const;

    // Draws the bar's look into a 4-pixel-high track rectangle: what the widget
    // paints, for views that draw many bars themselves (a list's rows).
    static void paint(QPainter& painter, const QRectF& track, double fraction);
    // The same with a fill of another colour (red for a failed transfer).
    static void paint(QPainter& painter, const QRectF& track, double fraction, const QColor& fill);
    // The same with the track's outline in another colour too.
    static void paint(QPainter& painter, const QRectF& track, double fraction, const QColor& fill,
                      const QColor& outline);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_fraction = 0;
};

}  // namespace tarn
