#include "ui/transfers/TransferListView.h"

#include "ui/transfers/TransferRowDelegate.h"

#include <QMouseEvent>

namespace tarn {

TransferListView::TransferListView(QWidget* parent)
    : QListView(parent)
    , m_delegate(new TransferRowDelegate(this))
{
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    setDragEnabled(false);
    setMouseTracking(true);
    // The rows lie on the panel's surface.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
}

void TransferListView::mouseMoveEvent(QMouseEvent* event)
{
    hoverAt(event->position().toPoint());
    QListView::mouseMoveEvent(event);
}

void TransferListView::leaveEvent(QEvent* event)
{
    hoverAt(std::nullopt);
    QListView::leaveEvent(event);
}

void TransferListView::hoverAt(const std::optional<QPoint>& point)
{
    m_delegate->setHoverPoint(point);
    viewport()->update();
}

}  // namespace tarn
