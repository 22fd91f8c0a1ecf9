#pragma once

#include <QList>
#include <QRectF>
#include <QWidget>

namespace tarn {

class LoopingAnimation;

// Grey placeholder bars of varied widths that slowly "breathe" while a list loads,
// drawn at a slow pace and only while they can be seen.
class SkeletonListView : public QWidget {
    Q_OBJECT

public:
    SkeletonListView(int rows, qreal rowHeight, qreal spacing, QWidget* parent = nullptr);

    int rows() const { return m_rows; }
    // Where the bars are drawn at the current width.
    QList<QRectF> barRects() const;
    // The opacity the bars are drawn with now (0.55 to 1 while breathing).
    qreal breath() const { return m_breath; }
    // Frames are being drawn: breathing, and the bars can be seen.
    bool isDrawingFrames() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_rows;
    qreal m_rowHeight;
    qreal m_spacing;
    qreal m_breath = 1.0;
    LoopingAnimation* m_breathing = nullptr;
};

}  // namespace tarn
