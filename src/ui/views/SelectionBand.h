#pragma once

#include <QStyledItemDelegate>

class QPainter;

namespace tarn {

// The selection of a table row as one rounded band: the cells of the row paint their
// parts of it without a seam between them (each overlaps its neighbours and clips
// to itself), its ends are rounded, and it keeps clear of the view's visible edges,
// so that a table scrolled or squeezed sideways never runs it into a divider.
namespace SelectionBand {

// A cell's text keeps this far from the cell's leading and trailing edges.
constexpr int textLeading = 4;
constexpr int textTrailing = 6;

// Whether the selection is the emphasised one (the view has the keyboard focus in an
// active window): the accent's step, else the quiet grey.
bool isEmphasized(const QStyleOptionViewItem& option);
void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index);

}  // namespace SelectionBand

// A table's cells as plain text (elided as the view asks) over the band.
class SelectionBandDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace tarn
