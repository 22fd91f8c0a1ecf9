#pragma once

#include <QPersistentModelIndex>
#include <QRect>
#include <QStyledItemDelegate>

namespace tarn {

// Paints every row of the sidebar: group headers in small upper-case secondary text;
// buckets and favourite folders with their icon and name on an inset, rounded
// selection; bucket rows also with the favourite star and the settings gear, whose
// clicks it reports instead of selecting the row.
class SidebarDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 28;
    static constexpr int groupHeight = 30;
    // The selection lies this far inside the row on the left and right, 1 pixel
    // above and below, with this corner radius.
    static constexpr int selectionInset = 9;
    static constexpr int selectionRadius = 6;

    // Where the parts of a row lie in a row's rectangle.
    struct Layout {
        QRect selection;
        QRect icon;
        QRect text;
        QRect star;  // empty when the row has none
        QRect gear;
    };
    static Layout layout(const QRect& row, bool withButtons);

    explicit SidebarDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

signals:
    void starClicked(const QModelIndex& index);
    void gearClicked(const QModelIndex& index);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    enum class Button { none, star, gear };
    static Button buttonAt(const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& position);
    void paintGroup(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;

    // The button a press went down on, so that only a release over the same one counts.
    QPersistentModelIndex m_pressedIndex;
    Button m_pressedButton = Button::none;
};

}  // namespace tarn
