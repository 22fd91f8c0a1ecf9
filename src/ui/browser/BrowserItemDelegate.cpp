#include "ui/browser/BrowserItemDelegate.h"

#include "ui/browser/BrowserRow.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include "ui/views/BrandProgressBar.h"

#include "app/transfers/TransferTask.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>

namespace tarn {
namespace {

constexpr int kIconLeading = 2;
constexpr int kIconGap = 6;
constexpr int kTextLeading = 4;
constexpr int kTextTrailing = 6;
constexpr qreal kSelectionRadius = 6;
// The selection band is inset from the table's edges, as an inset table draws it.
constexpr int kSelectionInset = 1;
constexpr int kPlaceholderBarWidth = 80;
constexpr int kPlaceholderBarTrailing = 10;
constexpr int kPlaceholderBarGap = 8;

BrowserRow::Kind kindOf(const QModelIndex& index)
{
    return static_cast<BrowserRow::Kind>(index.data(BrowserTableModel::RowKindRole).toInt());
}

}  // namespace

BrowserItemDelegate::BrowserItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QSize BrowserItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(option)
    Q_UNUSED(index)
    return {100, 28};
}

bool BrowserItemDelegate::isEmphasized(const QStyleOptionViewItem& option)
{
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool focused = view != nullptr && view->hasFocus();
    return option.state.testFlag(QStyle::State_Selected) && option.state.testFlag(QStyle::State_Active) && focused;
}

void BrowserItemDelegate::paintSelection(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    if (!option.state.testFlag(QStyle::State_Selected)) {
        return;
    }
    const QColor fill = isEmphasized(option) ? TarnTheme::color(ThemeColor::selectedContentBackground)
                                             : TarnTheme::color(ThemeColor::unemphasizedSelectedContentBackground);
    // One rounded band across the row: the first cell rounds its left end, the last
    // its right end, and the cells between are plain.
    const int columns = index.model() != nullptr ? index.model()->columnCount() : 1;
    const bool first = index.column() == 0;
    const bool last = index.column() == columns - 1;
    QRectF band = QRectF(option.rect).adjusted(0, kSelectionInset, 0, -kSelectionInset);
    if (!first) {
        band.setLeft(band.left() - kSelectionRadius * 2);
    }
    if (!last) {
        band.setRight(band.right() + kSelectionRadius * 2);
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setClipRect(option.rect);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(band, kSelectionRadius, kSelectionRadius);
    painter->restore();
}

QRect BrowserItemDelegate::paintIconAndName(QPainter* painter, const QStyleOptionViewItem& option,
                                            const QString& iconName, const QColor& iconColor, const QString& name,
                                            const QColor& nameColor) const
{
    const QRect cell = option.rect;
    const QRect box(cell.left() + kIconLeading, cell.top() + (cell.height() - iconBox) / 2, iconBox, iconBox);
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = MingCute::pixmap(iconName, iconPointSize, iconColor, ratio);
    if (!pixmap.isNull()) {
        const QSizeF size = pixmap.deviceIndependentSize();
        painter->drawPixmap(QPointF(box.left() + (box.width() - size.width()) / 2,
                                    box.top() + (box.height() - size.height()) / 2),
                            pixmap);
    }
    const QRect text(box.right() + 1 + kIconGap, cell.top(), cell.right() - kTextTrailing - box.right() - kIconGap,
                     cell.height());
    painter->setFont(TarnTheme::font(13));
    painter->setPen(nameColor);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
    return text;
}

void BrowserItemDelegate::paintSecondaryText(QPainter* painter, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const
{
    const QRect text = option.rect.adjusted(kTextLeading, 0, -kTextTrailing, 0);
    const QString value = index.data(Qt::DisplayRole).toString();
    painter->setFont(TarnTheme::font(13));
    painter->setPen(isEmphasized(option) ? TarnTheme::color(ThemeColor::selectedText)
                                         : TarnTheme::color(ThemeColor::secondaryLabel));
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(value, Qt::ElideRight, text.width()));
}

void BrowserItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    paintSelection(painter, option, index);
    const BrowserRow::Kind kind = kindOf(index);
    if (kind == BrowserRow::Kind::uploading) {
        paintPlaceholder(painter, option, index);
        return;
    }
    if (index.column() != BrowserTableModel::nameColumn) {
        paintSecondaryText(painter, option, index);
        return;
    }

    painter->save();
    const bool emphasized = isEmphasized(option);
    const QColor nameColor = emphasized ? TarnTheme::color(ThemeColor::selectedText) : TarnTheme::color(ThemeColor::label);
    const QColor iconColor =
        emphasized ? TarnTheme::color(ThemeColor::selectedText) : TarnTheme::color(ThemeColor::secondaryLabel);
    const QString name = index.data(Qt::DisplayRole).toString();
    switch (kind) {
    case BrowserRow::Kind::object:
        paintIconAndName(painter, option, QStringLiteral("document_line"), iconColor, name, nameColor);
        break;
    case BrowserRow::Kind::parent:
        paintIconAndName(painter, option, QStringLiteral("arrow.uturn.backward"), iconColor, name, nameColor);
        break;
    case BrowserRow::Kind::folder: {
        // The name, then a smaller, dimmed " /" on the same baseline, lifted by one.
        const QRect text = paintIconAndName(painter, option, QStringLiteral("folder_2_line"), iconColor, name,
                                            nameColor);
        const int used = painter->fontMetrics().horizontalAdvance(name);
        if (used < text.width()) {
            const int baseline = text.top() + (text.height() + painter->fontMetrics().ascent() -
                                               painter->fontMetrics().descent()) / 2;
            QColor slash = nameColor;
            slash.setAlphaF(emphasized ? 0.6f : 0.5f * nameColor.alphaF());
            painter->setFont(TarnTheme::font(11));
            painter->setPen(slash);
            painter->drawText(QPoint(text.left() + used, baseline - 1), QStringLiteral(" /"));
        }
        break;
    }
    case BrowserRow::Kind::uploading:
        break;
    }
    painter->restore();
}

void BrowserItemDelegate::paintPlaceholder(QPainter* painter, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    if (index.column() != BrowserTableModel::nameColumn) {
        paintSecondaryText(painter, option, index);
        return;
    }
    painter->save();
    const QVariant state = index.data(BrowserTableModel::TaskStateRole);
    const bool done = state.isValid() && static_cast<TransferState>(state.toInt()) == TransferState::succeeded;
    const bool emphasized = isEmphasized(option);
    const QColor nameColor = emphasized ? TarnTheme::color(ThemeColor::selectedText)
                             : done     ? TarnTheme::color(ThemeColor::label)
                                        : TarnTheme::color(ThemeColor::secondaryLabel);
    const QColor iconColor = done ? TarnTheme::color(ThemeColor::secondaryLabel)
                                  : TarnTheme::color(ThemeColor::tertiaryLabel);
    const auto* model = qobject_cast<const BrowserTableModel*>(index.model());
    const TransferTask* task = model != nullptr ? model->task(index.row()) : nullptr;
    const bool folder = task != nullptr && task->isFolder;
    QStyleOptionViewItem nameOption = option;
    if (task != nullptr && !done) {
        // Progress at the trailing end while the task has not succeeded.
        const QRectF track(option.rect.right() - kPlaceholderBarTrailing - kPlaceholderBarWidth,
                           option.rect.top() + (option.rect.height() - 4) / 2.0, kPlaceholderBarWidth, 4);
        BrandProgressBar::paint(*painter, track, task->fraction());
        nameOption.rect.setRight(static_cast<int>(track.left()) - kPlaceholderBarGap);
    }
    paintIconAndName(painter, nameOption, folder ? QStringLiteral("folder_2_line") : QStringLiteral("document_line"),
                     iconColor, index.data(Qt::DisplayRole).toString(), nameColor);
    painter->restore();
}

}  // namespace tarn
