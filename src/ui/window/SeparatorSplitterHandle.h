#pragma once

#include <QSplitterHandle>

namespace tarn {

class SeparatorSplitter;

// A divider drawn as the theme's separator line. A drag asks the splitter's
// constraint for the position to use before it moves the divider.
class SeparatorSplitterHandle : public QSplitterHandle {
    Q_OBJECT

public:
    SeparatorSplitterHandle(Qt::Orientation orientation, SeparatorSplitter* parent);

    // Moves the divider as a drag to `position` would (splitter coordinates).
    void dragTo(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int along(const QPoint& point) const;

    SeparatorSplitter* m_splitter;
    int m_grabOffset = 0;
};

}  // namespace tarn
