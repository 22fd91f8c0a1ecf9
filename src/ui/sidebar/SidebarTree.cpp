#include "ui/sidebar/SidebarTree.h"

#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace tarn {

SidebarTree::SidebarTree(QWidget* parent)
    : QTreeView(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(0);
    setUniformRowHeights(false);
    setAnimated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Moves without a button reach the pane too: it brightens the logo over the list.
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    // The pane's surface shows through the list.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    clear.setColor(QPalette::AlternateBase, Qt::transparent);
    setPalette(clear);
}

void SidebarTree::setBottomInset(int inset)
{
    if (inset == m_bottomInset) {
        return;
    }
    m_bottomInset = inset;
    updateGeometries();
}

int SidebarTree::contentBottom() const
{
    const QAbstractItemModel* list = model();
    if (list == nullptr || list->rowCount() == 0) {
        return 0;
    }
    // The last visible row: the last group's last child when the group is open.
    QModelIndex last = list->index(list->rowCount() - 1, 0);
    while (isExpanded(last) && list->rowCount(last) > 0) {
        last = list->index(list->rowCount(last) - 1, 0, last);
    }
    return visualRect(last).bottom() + 1 + verticalOffset();
}

QItemSelectionModel::SelectionFlags SidebarTree::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (!index.isValid() || !index.flags().testFlag(Qt::ItemIsSelectable)) {
        return QItemSelectionModel::NoUpdate;
    }
    if (event != nullptr) {
        switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return QItemSelectionModel::NoUpdate;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // A right click opens the row's menu and leaves the selection alone.
            if (static_cast<const QMouseEvent*>(event)->button() != Qt::LeftButton) {
                return QItemSelectionModel::NoUpdate;
            }
            break;
        default:
            break;
        }
    }
    // Never a toggle: a row chosen again stays selected.
    return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
}

void SidebarTree::updateGeometries()
{
    QTreeView::updateGeometries();
    extendScrollRange();
}

void SidebarTree::extendScrollRange()
{
    if (m_bottomInset <= 0) {
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int maximum = std::max(0, contentBottom() + m_bottomInset - viewport()->height());
    if (maximum > bar->maximum()) {
        bar->setRange(0, maximum);
    }
}

}  // namespace tarn
