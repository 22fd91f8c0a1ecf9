#pragma once

#include <QStyledItemDelegate>

namespace tarn {

class BrowserTableModel;

// Paints the cells of the object table: a folder or file icon and the name (a
// folder's with a smaller, dimmed " /", the parent row's ".." without), and the size
// and date in the secondary colour. A selected row is one rounded band across its
// cells, bright while the table has the focus in the active window. Placeholder rows
// of uploads and renames go through paintPlaceholder(), which a subclass may replace.
class BrowserItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int iconBox = 17;
    static constexpr qreal iconPointSize = 14;

    explicit BrowserItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Whether the row is drawn as the bright selection of the focused table.
    static bool isEmphasized(const QStyleOptionViewItem& option);

protected:
    // One cell of a placeholder row. This one draws the title with a dimmed icon, the
    // bytes sent of the total and the finishing date.
    virtual void paintPlaceholder(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const;

    void paintSelection(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // The icon at the cell's leading edge and the name after it; the rectangle the
    // name was given.
    QRect paintIconAndName(QPainter* painter, const QStyleOptionViewItem& option, const QString& iconName,
                           const QColor& iconColor, const QString& name, const QColor& nameColor) const;
    void paintSecondaryText(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

}  // namespace tarn
