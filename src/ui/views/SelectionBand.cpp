#include "ui/views/SelectionBand.h"

#include "ui/theme/TarnTheme.h"

#include <QAbstractItemView>
#include <QPainter>

#include <algorithm>

namespace tarn {
namespace {

constexpr qreal kRadius = 6;
// The band is inset from the row's top and bottom, and from the view's sides.
constexpr int kVerticalInset = 1;
constexpr int kSideInset = 4;

}  // namespace

bool SelectionBand::isEmphasized(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool focused = view != nullptr && view->hasFocus();
    return option.state.testFlag(QStyle::State_Selected) && option.state.testFlag(QStyle::State_Active) && focused;
}

void SelectionBand::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!option.state.testFlag(QStyle::State_Selected)) {
        return;
    }
    const QColor fill = isEmphasized(option) ? TarnTheme::color(ThemeColor::selectedContentBackground)
                                             : TarnTheme::color(ThemeColor::unemphasizedSelectedContentBackground);
    const int columns = index.model() != nullptr ? index.model()->columnCount(index.parent()) : 1;
    // The visible part of the row, in the painter's (the viewport's) coordinates.
    int visibleLeft = option.rect.left();
    int visibleRight = option.rect.right();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) {
        visibleLeft = kSideInset;
        visibleRight = view->viewport()->width() - 1 - kSideInset;
    }
    const bool first = index.column() == 0 || option.rect.left() <= visibleLeft;
    const bool last = index.column() == columns - 1 || option.rect.right() >= visibleRight;
    QRectF band = QRectF(option.rect).adjusted(0, kVerticalInset, 0, -kVerticalInset);
    // Ends inside the visible part; between cells the band runs on past the cell (and
    // is clipped to it), so that neighbouring cells meet without a seam.
    band.setLeft(first ? std::max<qreal>(band.left(), visibleLeft) : band.left() - kRadius * 2);
    band.setRight(last ? std::min<qreal>(band.right() + 1, visibleRight + 1) : band.right() + 1 + kRadius * 2);
    if (band.width() <= 0) {
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setClipRect(option.rect);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(band, kRadius, kRadius);
    painter->restore();
}

void SelectionBandDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    SelectionBand::paint(painter, option, index);
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QRect text = option.rect.adjusted(SelectionBand::textLeading, 0, -SelectionBand::textTrailing, 0);
    const bool emphasized = SelectionBand::isEmphasized(option);
    painter->save();
    painter->setFont(item.font);
    painter->setPen(TarnTheme::color(emphasized ? ThemeColor::selectedText : ThemeColor::label));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(item.text, item.textElideMode, text.width()));
    painter->restore();
}

}  // namespace tarn
