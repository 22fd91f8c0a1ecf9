#include "ui/window/SeparatorSplitterHandle.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/TintedBlurView.h"
#include "ui/window/SeparatorSplitter.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarn {

SeparatorSplitterHandle::SeparatorSplitterHandle(Qt::Orientation orientation, SeparatorSplitter* parent)
    : QSplitterHandle(orientation, parent)
    , m_splitter(parent)
{
}

void SeparatorSplitterHandle::dragTo(int position)
{
    const int divider = m_splitter->indexOf(this) - 1;
    // The splitter still holds the result to the panes' minimum and maximum widths.
    moveSplitter(m_splitter->constrain(position, divider));
}

void SeparatorSplitterHandle::paintEvent(QPaintEvent*)
{
    // QSplitterHandle widens a thin handle with margins for grabbing; only the
    // contents rectangle is the line itself, a separator laid over the panes' surface.
    QPainter painter(this);
    painter.fillRect(contentsRect(), TarnTheme::over(TarnTheme::color(ThemeColor::separator),
                                                     TintedBlurView::surfaceColor(TintedBlurView::paneTintAlpha)));
}

void SeparatorSplitterHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_grabOffset = along(event->position().toPoint());
    }
    QSplitterHandle::mousePressEvent(event);
}

void SeparatorSplitterHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint inSplitter = m_splitter->mapFromGlobal(event->globalPosition().toPoint());
    dragTo(along(inSplitter) - m_grabOffset);
}

int SeparatorSplitterHandle::along(const QPoint& point) const
{
    return orientation() == Qt::Horizontal ? point.x() : point.y();
}

}  // namespace tarn
