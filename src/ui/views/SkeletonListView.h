#pragma once

#include <QList>
#include <QRectF>
#include <QWidget>

class QAbstractAnimation;

namespace tarn {

// Grey placeholder bars of varied widths that slowly "breathe" while a list loads.
class SkeletonListView : public QWidget {
    Q_OBJECT

public:
    SkeletonListView(int rows, qreal rowHeight, qreal spacing, QWidget* parent = nullptr);

    int rows() const { return m_rows; }
    // Where the bars are drawn at the current width.
    QList<QRectF> barRects() const;
    // The opacity the bars are drawn with now (0.55 to 1 while breathing).
    qreal breath() const { return m_breath; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_rows;
    qreal m_rowHeight;
    qreal m_spacing;
    qreal m_breath = 1.0;
    QAbstractAnimation* m_breathing = nullptr;
};

}  // namespace tarn
