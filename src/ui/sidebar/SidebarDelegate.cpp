#include "ui/sidebar/SidebarDelegate.h"

#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/sidebar/SidebarModel.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/PlainText.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace tarn {
namespace {

constexpr int kContentInset = 18;  // icons and group titles start here
constexpr int kIconBox = 18;
constexpr int kIconPointSize = 14;
constexpr int kButtonBox = 18;
constexpr int kButtonPointSize = 12;
constexpr int kGearTrailing = 4;   // from the selection's right edge
constexpr int kStarToGear = 2;
constexpr int kTextToStar = 4;
constexpr int kTextTrailing = 6;
constexpr int kGroupBottomPadding = 5;
// A pixel above the usual 10, so that Chinese titles stay legible on a screen of
// ordinary density.
constexpr int kGroupFontSize = 11;
constexpr int kRowFontSize = 13;

SidebarNode::Kind kindOf(const QModelIndex& index)
{
    return static_cast<SidebarNode::Kind>(index.data(SidebarModel::kindRole).toInt());
}

// A glyph centred in a box, sharp at the painter's pixel ratio.
void paintIcon(QPainter* painter, const QString& name, qreal pointSize, const QColor& color, const QRect& box)
{
    const QSize size = MingCute::iconSize(pointSize);
    const QRect square(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
                       size.width(), size.height());
    MingCute::icon(name, color).paint(painter, square);
}

// Whether the row is drawn as the focused selection (white text on the accent).
bool isEmphasized(const QStyleOptionViewItem& option)
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool active = option.state.testFlag(QStyle::State_Active);
    return selected && active && option.widget != nullptr && option.widget->hasFocus();
}

}  // namespace

SidebarDelegate::Layout SidebarDelegate::layout(const QRect& row, bool withButtons)
{
    Layout result;
    result.selection = row.adjusted(selectionInset, 1, -selectionInset, -1);
    const int centreY = row.center().y();
    const int iconX = row.left() + kContentInset;
    result.icon = QRect(iconX, centreY - kIconBox / 2 + 1, kIconBox, kIconBox);
    const int textLeft = result.icon.right() + 1 + 6;
    int textRight = result.selection.right() - kTextTrailing;
    if (withButtons) {
        const int gearRight = result.selection.right() - kGearTrailing;
        result.gear = QRect(gearRight - kButtonBox + 1, centreY - kButtonBox / 2 + 1, kButtonBox, kButtonBox);
        result.star = result.gear.translated(-(kButtonBox + kStarToGear), 0);
        textRight = result.star.left() - kTextToStar;
    }
    result.text = QRect(textLeft, row.top(), std::max(0, textRight - textLeft + 1), row.height());
    return result;
}

SidebarDelegate::SidebarDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void SidebarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (kindOf(index) == SidebarNode::Kind::group) {
        paintGroup(painter, option, index);
    } else {
        paintRow(painter, option, index);
    }
    painter->restore();
}

void SidebarDelegate::paintGroup(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFont font = TarnTheme::font(kGroupFontSize, QFont::DemiBold);
    const QRect text = option.rect.adjusted(kContentInset, 0, -(selectionInset + kTextTrailing), -kGroupBottomPadding);
    painter->setFont(font);
    painter->setPen(TarnTheme::color(ThemeColor::secondaryLabel));
    const QString title = QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, text.width());
    painter->drawText(text, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, title);
}

void SidebarDelegate::paintRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const SidebarNode::Kind kind = kindOf(index);
    const bool isBucket = kind == SidebarNode::Kind::bucket;
    const Layout parts = layout(option.rect, isBucket);
    const bool emphasized = isEmphasized(option);

    if (option.state.testFlag(QStyle::State_Selected)) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(parts.selection), selectionRadius, selectionRadius);
        painter->fillPath(shape, TarnTheme::color(emphasized ? ThemeColor::selectedContentBackground
                                                             : ThemeColor::unemphasizedSelectedContentBackground));
    }

    const QColor iconColor = TarnTheme::color(emphasized ? ThemeColor::selectedText : ThemeColor::secondaryLabel);
    paintIcon(painter, isBucket ? QStringLiteral("storage_fill") : QStringLiteral("folder.fill"), kIconPointSize,
              iconColor, parts.icon);

    const QFont font = TarnTheme::font(kRowFontSize);
    painter->setFont(font);
    painter->setPen(TarnTheme::color(emphasized ? ThemeColor::selectedText : ThemeColor::label));
    const QString text = QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, parts.text.width());
    painter->drawText(parts.text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);

    if (isBucket) {
        const bool favorite = index.data(SidebarModel::favoriteRole).toBool();
        const QColor quiet = TarnTheme::color(emphasized ? ThemeColor::secondaryLabel : ThemeColor::tertiaryLabel);
        paintIcon(painter, favorite ? QStringLiteral("star.fill") : QStringLiteral("star"), kButtonPointSize,
                  favorite ? TarnTheme::color(ThemeColor::systemOrange) : quiet, parts.star);
        paintIcon(painter, QStringLiteral("gearshape"), kButtonPointSize, quiet, parts.gear);
    }
}

QSize SidebarDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {option.rect.width(), kindOf(index) == SidebarNode::Kind::group ? groupHeight : rowHeight};
}

SidebarDelegate::Button SidebarDelegate::buttonAt(const QStyleOptionViewItem& option, const QModelIndex& index,
                                                  const QPoint& position)
{
    if (kindOf(index) != SidebarNode::Kind::bucket) {
        return Button::none;
    }
    const Layout parts = layout(option.rect, true);
    if (parts.star.contains(position)) {
        return Button::star;
    }
    if (parts.gear.contains(position)) {
        return Button::gear;
    }
    return Button::none;
}

bool SidebarDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const Button button = buttonAt(option, index, mouse->position().toPoint());
    if (type != QEvent::MouseButtonRelease) {
        // A press on a button is the button's: the row is not selected by it.
        if (button == Button::none || mouse->button() != Qt::LeftButton) {
            m_pressedButton = Button::none;
            return false;
        }
        m_pressedIndex = index;
        m_pressedButton = button;
        return true;
    }
    const Button pressed = m_pressedButton;
    const bool sameRow = m_pressedIndex == index;
    m_pressedButton = Button::none;
    m_pressedIndex = QPersistentModelIndex();
    if (pressed == Button::none) {
        return false;
    }
    if (pressed == button && sameRow && mouse->button() == Qt::LeftButton) {
        emit(button == Button::star ? starClicked(index) : gearClicked(index));
    }
    return true;
}

bool SidebarDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                const QModelIndex& index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QString tip;
    switch (buttonAt(option, index, event->pos())) {
    case Button::star:
        tip = L10n::t(QStringLiteral("favorite"));
        break;
    case Button::gear:
        tip = L10n::t(QStringLiteral("settings"));
        break;
    case Button::none:
        // The whole name, when the row cuts it.
        if (kindOf(index) != SidebarNode::Kind::group) {
            const QString text = index.data().toString();
            const Layout parts = layout(option.rect, kindOf(index) == SidebarNode::Kind::bucket);
            if (QFontMetrics(TarnTheme::font(kRowFontSize)).horizontalAdvance(text) > parts.text.width()) {
                tip = text;
            }
        }
        break;
    }
    if (tip.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPos(), PlainText::toolTip(tip), view->viewport(), option.rect);
    }
    return true;
}

}  // namespace tarn
