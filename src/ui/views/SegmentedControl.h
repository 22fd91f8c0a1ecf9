#pragma once

#include <QWidget>

namespace tarn {

// A row of icon buttons joined into one rounded control, one segment per action: it
// shows each action's icon, tooltip and enabled state, and triggers the action on a
// click; an action with a menu opens the menu under its segment instead. Segments
// act like buttons and keep no selection. A single action makes a bordered button.
class SegmentedControl : public QWidget {
    Q_OBJECT

public:
    static constexpr int segmentWidth = 36;
    static constexpr int controlHeight = 28;
    static constexpr int cornerRadius = 6;
    static constexpr qreal iconPointSize = 15;

    explicit SegmentedControl(const QList<QAction*>& actions, QWidget* parent = nullptr);

    int segmentCount() const;
    QAction* segmentAction(int segment) const;
    QRect segmentRect(int segment) const;
    // The segment under a point; -1 for none.
    int segmentAt(const QPoint& point) const;
    // The segments drawn lighter now: under the pointer, being pressed; -1 for none.
    int hoveredSegment() const { return m_hovered; }
    int pressedSegment() const { return m_pressed; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void actionEvent(QActionEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool isSegmentEnabled(int segment) const;
    void setHovered(int segment);
    void openMenu(int segment);

    int m_hovered = -1;
    int m_pressed = -1;
};

}  // namespace tarn
