#include "ui/views/ClearTableHeaderView.h"

#include "ui/theme/TarnTheme.h"

#include <QPainter>
#include <QStyle>

namespace tarn {

ClearTableHeaderView::ClearTableHeaderView(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent)
{
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ClearTableHeaderView::paintEvent(QPaintEvent*)
{
    // The base class would fill the space after the last section with an empty
    // bevel; only the sections themselves are drawn.
    if (count() == 0 || model() == nullptr) {
        return;
    }
    QPainter painter(viewport());
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical)) {
            continue;
        }
        const int position = sectionViewportPosition(logical);
        const int size = sectionSize(logical);
        const QRect section = orientation() == Qt::Horizontal ? QRect(position, 0, size, viewport()->height())
                                                              : QRect(0, position, viewport()->width(), size);
        if (section.intersects(viewport()->rect())) {
            painter.save();
            paintSection(&painter, section, logical);
            painter.restore();
        }
    }
}

void ClearTableHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid() || model() == nullptr) {
        return;
    }
    const QString title = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const QVariant alignmentValue = model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
    const Qt::Alignment alignment =
        alignmentValue.isValid() ? Qt::Alignment(alignmentValue.toInt()) : defaultAlignment();
    // The cells' own text margin, so titles start where the column's text does.
    const int inset = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const QRect textRect = rect.adjusted(inset, 0, -inset, 0);
    painter->setFont(font());
    painter->setPen(TarnTheme::color(ThemeColor::secondaryLabel));
    painter->drawText(textRect, static_cast<int>(alignment),
                      painter->fontMetrics().elidedText(title, Qt::ElideRight, textRect.width()));
}

}  // namespace tarn
