#include "ui/inspector/ActionTile.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace tarn {

namespace {

constexpr qreal kIconPointSize = 15;
constexpr int kIconTitleSpacing = 3;
constexpr int kTitlePixelSize = 10;
constexpr int kSmallestTitlePixelSize = 8;
constexpr qreal kCornerRadius = 8;

}  // namespace

ActionTile::ActionTile(const QString& title, const QString& iconName, bool destructive, QWidget* parent)
    : QAbstractButton(parent)
    , m_iconName(iconName)
    , m_destructive(destructive)
{
    setText(title);
    setToolTip(title);
    setAccessibleName(title);
    setFont(TarnTheme::font(kTitlePixelSize));
    setFixedHeight(tileHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

QSize ActionTile::sizeHint() const
{
    return {QFontMetrics(font()).horizontalAdvance(text()) + 12, tileHeight};
}

QSize ActionTile::minimumSizeHint() const
{
    // Four tiles share the row evenly; a title too long for its quarter is cut.
    return {40, tileHeight};
}

void ActionTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(tile, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, TarnTheme::color(ThemeColor::controlFill));
    if (isDown()) {
        painter.fillPath(shape, TarnTheme::color(ThemeColor::controlPressedFill));
    } else if (m_hovered) {
        painter.fillPath(shape, TarnTheme::color(ThemeColor::controlHoverFill));
    }
    if (hasFocus()) {
        painter.setPen(QPen(TarnTheme::color(ThemeColor::controlAccent), 1.5));
        painter.drawPath(shape);
    }

    const QColor color = TarnTheme::color(m_destructive ? ThemeColor::systemRed : ThemeColor::label);
    const QSize iconSize = MingCute::iconSize(kIconPointSize);
    const QFontMetrics metrics(font());
    const int contentHeight = iconSize.height() + kIconTitleSpacing + metrics.height();
    const int top = (height() - contentHeight) / 2;
    const QPixmap icon = MingCute::pixmap(m_iconName, kIconPointSize, color, devicePixelRatioF());
    painter.drawPixmap(QPoint((width() - iconSize.width()) / 2, top), icon);
    painter.setPen(color);
    const QRect titleRect(2, top + iconSize.height() + kIconTitleSpacing, width() - 4, metrics.height());
    // A title a little too long for a narrow pane is set smaller before it is cut.
    QFont titleFont = font();
    for (int size = kTitlePixelSize; size > kSmallestTitlePixelSize; --size) {
        if (QFontMetrics(titleFont).horizontalAdvance(text()) <= titleRect.width()) {
            break;
        }
        titleFont.setPixelSize(size - 1);
    }
    painter.setFont(titleFont);
    painter.drawText(titleRect, Qt::AlignCenter,
                     QFontMetrics(titleFont).elidedText(text(), Qt::ElideRight, titleRect.width()));
}

void ActionTile::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ActionTile::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace tarn
