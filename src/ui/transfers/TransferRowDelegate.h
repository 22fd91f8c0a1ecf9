#pragma once

#include "ui/transfers/TransferRowContent.h"

#include <QFont>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QRect>
#include <QStyledItemDelegate>

#include <optional>

namespace tarn {

// Paints every row of the transfer panel (section headers and task rows) and runs
// the task rows' two buttons, so that no row needs a widget of its own.
//
// A task row: the kind's icon, the title, the progress bar while the task is
// active, the detail line, and at the trailing edge retry and cancel where the
// task's state offers them. A button acts on release over the button it was pressed
// on, as a push button does; its tool tip names it, and the detail line's tool tip
// holds a failure text in full.
class TransferRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    enum class RowButton { retry, cancel };

    // Where the parts of a task row lie, in the coordinates of the row's rectangle.
    struct Layout {
        QRect icon;
        QRect title;
        QRectF bar;  // the 4-pixel track; empty in a row without progress
        QRect detail;
        std::optional<QRect> retry;
        std::optional<QRect> cancel;
    };

    explicit TransferRowDelegate(QObject* parent = nullptr);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    Layout layout(const QRect& row, const TransferRowContent& content) const;
    // Where a row's button lies (the row given by its rectangle in the view), or
    // none when the row does not offer it.
    std::optional<QRect> buttonRect(const QRect& row, const QModelIndex& index, RowButton button) const;

    // The pointer's place over the view, for the look of the button under it; none
    // when the pointer has left.
    void setHoverPoint(const std::optional<QPoint>& point) { m_hoverPoint = point; }

private:
    void paintHeader(QPainter& painter, const QRect& row, const QString& caption) const;
    void paintTask(QPainter& painter, const QRect& row, const TransferRowContent& content,
                   std::optional<RowButton> pressed, qreal pixelRatio) const;
    void paintButton(QPainter& painter, const QRect& rect, const QString& iconName, bool pressed,
                     qreal pixelRatio) const;
    std::optional<RowButton> buttonAt(const QRect& row, const TransferRowContent& content, const QPoint& point) const;

    QFont m_headerFont;
    QFont m_titleFont;
    QFont m_detailFont;
    std::optional<QPoint> m_hoverPoint;
    // The button a press went down on, until its release.
    QPersistentModelIndex m_pressedIndex;
    std::optional<RowButton> m_pressedButton;
};

}  // namespace tarn
