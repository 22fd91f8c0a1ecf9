#include "ui/transfers/TransferRowDelegate.h"

#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"
#include "ui/transfers/TransferPanelModel.h"
#include "ui/views/BrandProgressBar.h"
#include "ui/views/PlainText.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace tarn {
namespace {

constexpr int kLeading = 14;          // icon and header text from the row's leading edge
constexpr int kIconBox = 18;
constexpr qreal kIconPoints = 15;
constexpr int kIconToText = 10;
constexpr int kTrailing = 12;         // the buttons from the row's trailing edge
constexpr int kButtonSide = 20;
constexpr int kButtonSpacing = 2;
constexpr qreal kButtonIconPoints = 12;
constexpr int kTextToButtons = 10;
constexpr int kTitleToBar = 6;
constexpr qreal kBarHeight = 4;
constexpr int kBarToDetail = 4;
constexpr int kTitleToDetail = 3;     // in a row without a bar
constexpr int kHeaderBaselineGap = 4;  // header text above the row's bottom edge

TransferRowContent contentOf(const QModelIndex& index)
{
    return index.data(TransferPanelModel::ContentRole).value<TransferRowContent>();
}

bool isHeader(const QModelIndex& index)
{
    return index.data(TransferPanelModel::RowKindRole).toInt() == static_cast<int>(TransferPanelModel::RowKind::header);
}

}  // namespace

TransferRowDelegate::TransferRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
    , m_headerFont(TarnTheme::font(11))
    , m_titleFont(TarnTheme::font(12))
    , m_detailFont(TarnTheme::font(10))
{
}

QSize TransferRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    // The width is the view's: rows span it whatever their text.
    return {0, isHeader(index) ? TransferPanelModel::headerHeight : TransferPanelModel::taskRowHeight};
}

TransferRowDelegate::Layout TransferRowDelegate::layout(const QRect& row, const TransferRowContent& content) const
{
    Layout parts;
    // Buttons: retry, then cancel, flush with the trailing edge; the text and the bar
    // end 10 pixels before the first one shown (or before the edge).
    int buttonsLeft = row.left() + row.width() - kTrailing;
    const int centreY = row.top() + (row.height() - kButtonSide) / 2;
    if (content.showsCancel) {
        buttonsLeft -= kButtonSide;
        parts.cancel = QRect(buttonsLeft, centreY, kButtonSide, kButtonSide);
    }
    if (content.showsRetry) {
        if (parts.cancel) {
            buttonsLeft -= kButtonSpacing;
        }
        buttonsLeft -= kButtonSide;
        parts.retry = QRect(buttonsLeft, centreY, kButtonSide, kButtonSide);
    }

    parts.icon = QRect(row.left() + kLeading, row.top() + (row.height() - kIconBox) / 2, kIconBox, kIconBox);
    const int textLeft = parts.icon.right() + 1 + kIconToText;
    const int textRight = buttonsLeft - kTextToButtons;  // exclusive
    const int textWidth = std::max(0, textRight - textLeft);

    // Title, bar and detail as one block centred in the row: the fonts' line heights
    // (tall for CJK faces) decide its height, not fixed offsets that would clip them.
    // A finished row has no bar, and no empty band where it was: its detail follows
    // the title.
    const int titleHeight = QFontMetrics(m_titleFont).height();
    const int detailHeight = QFontMetrics(m_detailFont).height();
    const int middle = content.showsProgress ? kTitleToBar + static_cast<int>(kBarHeight) + kBarToDetail : kTitleToDetail;
    const int block = titleHeight + middle + detailHeight;
    const int top = row.top() + std::max(0, (row.height() - block) / 2);
    parts.title = QRect(textLeft, top, textWidth, titleHeight);
    if (content.showsProgress) {
        parts.bar = QRectF(textLeft, parts.title.bottom() + 1 + kTitleToBar, textWidth, kBarHeight);
    }
    parts.detail = QRect(textLeft, parts.title.bottom() + 1 + middle, textWidth, detailHeight);
    return parts;
}

std::optional<QRect> TransferRowDelegate::buttonRect(const QRect& row, const QModelIndex& index, RowButton button) const
{
    if (!index.isValid() || isHeader(index)) {
        return std::nullopt;
    }
    const Layout parts = layout(row, contentOf(index));
    return button == RowButton::retry ? parts.retry : parts.cancel;
}

std::optional<TransferRowDelegate::RowButton> TransferRowDelegate::buttonAt(const QRect& row,
                                                                             const TransferRowContent& content,
                                                                             const QPoint& point) const
{
    const Layout parts = layout(row, content);
    if (parts.retry && parts.retry->contains(point)) {
        return RowButton::retry;
    }
    if (parts.cancel && parts.cancel->contains(point)) {
        return RowButton::cancel;
    }
    return std::nullopt;
}

void TransferRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    if (isHeader(index)) {
        paintHeader(*painter, option.rect, index.data(Qt::DisplayRole).toString());
    } else {
        const TransferRowContent content = contentOf(index);
        if (content.hasTask) {
            const qreal ratio = painter->device()->devicePixelRatioF();
            const std::optional<RowButton> pressed =
                m_pressedIndex == index ? m_pressedButton : std::optional<RowButton>();
            paintTask(*painter, option.rect, content, pressed, ratio);
        }
    }
    painter->restore();
}

void TransferRowDelegate::paintHeader(QPainter& painter, const QRect& row, const QString& caption) const
{
    const QFontMetrics metrics(m_headerFont);
    const QRect text(row.left() + kLeading, row.bottom() + 1 - kHeaderBaselineGap - metrics.height(),
                     std::max(0, row.width() - 2 * kLeading), metrics.height());
    painter.setFont(m_headerFont);
    painter.setPen(TarnTheme::color(ThemeColor::tertiaryLabel));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(caption, Qt::ElideRight, text.width()));
}

void TransferRowDelegate::paintTask(QPainter& painter, const QRect& row, const TransferRowContent& content,
                                    std::optional<RowButton> pressed, qreal pixelRatio) const
{
    const Layout parts = layout(row, content);

    const QPixmap icon = MingCute::pixmap(content.iconName, kIconPoints, TarnTheme::color(content.iconTint), pixelRatio);
    if (!icon.isNull()) {
        const QSizeF side = icon.deviceIndependentSize();
        painter.drawPixmap(QPointF(parts.icon.left() + (parts.icon.width() - side.width()) / 2,
                                   parts.icon.top() + (parts.icon.height() - side.height()) / 2),
                           icon);
    }

    painter.setFont(m_titleFont);
    painter.setPen(TarnTheme::color(ThemeColor::label));
    painter.drawText(parts.title, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(m_titleFont).elidedText(content.title, Qt::ElideMiddle, parts.title.width()));

    if (content.showsProgress) {
        BrandProgressBar::paint(painter, parts.bar, content.fraction);
    }

    painter.setFont(m_detailFont);
    painter.setPen(TarnTheme::color(ThemeColor::secondaryLabel));
    painter.drawText(parts.detail, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(m_detailFont).elidedText(content.detail, Qt::ElideRight, parts.detail.width()));

    if (parts.retry) {
        paintButton(painter, *parts.retry, QStringLiteral("arrow.clockwise"), pressed == RowButton::retry, pixelRatio);
    }
    if (parts.cancel) {
        paintButton(painter, *parts.cancel, QStringLiteral("xmark.circle"), pressed == RowButton::cancel, pixelRatio);
    }
}

void TransferRowDelegate::paintButton(QPainter& painter, const QRect& rect, const QString& iconName, bool pressed,
                                      qreal pixelRatio) const
{
    const bool hovered = m_hoverPoint && rect.contains(*m_hoverPoint);
    if (hovered) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        // A faint fill under the pointer, stronger while pressed.
        painter.setBrush(pressed ? TarnTheme::color(ThemeColor::quaternaryLabel, 0.26)
                                 : TarnTheme::color(ThemeColor::quaternaryLabel));
        painter.drawRoundedRect(QRectF(rect), 5, 5);
    }
    const QPixmap glyph = MingCute::pixmap(iconName, kButtonIconPoints, TarnTheme::color(ThemeColor::label), pixelRatio);
    if (!glyph.isNull()) {
        const QSizeF side = glyph.deviceIndependentSize();
        painter.drawPixmap(QPointF(rect.left() + (rect.width() - side.width()) / 2,
                                   rect.top() + (rect.height() - side.height()) / 2),
                           glyph);
    }
}

bool TransferRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                      const QModelIndex& index)
{
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if ((!press && !release) || isHeader(index)) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return false;
    }
    const std::optional<RowButton> hit = buttonAt(option.rect, contentOf(index), mouse->position().toPoint());
    if (press) {
        m_pressedIndex = hit ? QPersistentModelIndex(index) : QPersistentModelIndex();
        m_pressedButton = hit;
        return hit.has_value();
    }

    const bool clicked = hit && m_pressedButton == hit && m_pressedIndex == index;
    const bool hadPress = m_pressedButton.has_value();
    m_pressedIndex = QPersistentModelIndex();
    m_pressedButton.reset();
    if (!clicked) {
        return hadPress;
    }
    auto* panel = qobject_cast<TransferPanelModel*>(model);
    if (panel == nullptr) {
        return true;
    }
    // The queue may remove the row's task at once (cancel); the row stays, empty,
    // until the next refresh rebuilds the rows.
    if (*hit == RowButton::retry) {
        panel->retry(index);
    } else {
        panel->dismiss(index);
    }
    return true;
}

bool TransferRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                    const QModelIndex& index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip || !index.isValid() || isHeader(index)) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const TransferRowContent content = contentOf(index);
    const Layout parts = layout(option.rect, content);
    QString tip;
    QRect area;
    if (parts.retry && parts.retry->contains(event->pos())) {
        tip = L10n::t(QStringLiteral("retry"));
        area = *parts.retry;
    } else if (parts.cancel && parts.cancel->contains(event->pos())) {
        tip = L10n::t(QStringLiteral("cancel"));
        area = *parts.cancel;
    } else if (!content.detailToolTip.isEmpty() && parts.detail.contains(event->pos())) {
        tip = content.detailToolTip;
        area = parts.detail;
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), PlainText::toolTip(tip), view->viewport(), area);
    return true;
}

}  // namespace tarn
