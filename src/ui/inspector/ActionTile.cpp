#include "ui/inspector/ActionTile.h"

#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

constexpr qreal kIconPointSize = 15;
constexpr int kIconTitleSpacing = 3;
constexpr int kTitlePixelSize = 10;
constexpr int kTitleInset = 2;
constexpr qreal kCornerRadius = 8;
// A wrapped title's lines sit closer than the font's own line height (which has room
// for CJK ascenders twice over), so that two lines leave the icon clear of the edge.
constexpr qreal kWrappedLineStep = 1.2;

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

QStringList ActionTile::titleLines(int width) const
{
    const int textWidth = std::max(1, width - 2 * kTitleInset);
    const QFontMetrics metrics(font());
    const int room = tileHeight - MingCute::iconSize(kIconPointSize).height() - kIconTitleSpacing;
    const int maxLines = std::max(1, room / metrics.height());
    QTextLayout layout(text(), font());
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrapping);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(textWidth);
        if (lines.size() == maxLines - 1) {
            // The last line there is room for takes the rest, cut if it must be.
            lines.append(metrics.elidedText(text().mid(line.textStart()).trimmed(), Qt::ElideRight, textWidth));
            break;
        }
        lines.append(text().mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

QSize ActionTile::minimumSizeHint() const
{
    // Four tiles share the row evenly; a title too long for its quarter is cut.
    return {40, tileHeight};
}

int ActionTile::rowLineCount() const
{
    int lines = static_cast<int>(titleLines(width()).size());
    if (parentWidget() != nullptr) {
        for (const ActionTile* tile : parentWidget()->findChildren<ActionTile*>(Qt::FindDirectChildrenOnly)) {
            if (tile->isVisible() || tile == this) {
                lines = std::max(lines, static_cast<int>(tile->titleLines(tile->width()).size()));
            }
        }
    }
    return lines;
}

int ActionTile::lineStep(int lines) const
{
    const int natural = QFontMetrics(font()).height();
    if (lines <= 1) {
        return natural;
    }
    return std::min(natural, static_cast<int>(std::ceil(font().pixelSize() * kWrappedLineStep)));
}

QRect ActionTile::iconRect() const
{
    return iconRect(rowLineCount());
}

QRect ActionTile::iconRect(int lines) const
{
    const QSize iconSize = MingCute::iconSize(kIconPointSize);
    const int contentHeight = iconSize.height() + kIconTitleSpacing + lines * lineStep(lines);
    const int top = std::max(0, (height() - contentHeight) / 2);
    return {QPoint((width() - iconSize.width()) / 2, top), iconSize};
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
    // The row's line count wraps every title of the row: once a paint.
    const int rowLines = rowLineCount();
    const QRect iconArea = iconRect(rowLines);
    const QStringList lines = titleLines(width());
    const int step = lineStep(rowLines);
    const QPixmap icon = MingCute::pixmap(m_iconName, kIconPointSize, color, devicePixelRatioF());
    painter.drawPixmap(iconArea.topLeft(), icon);
    painter.setPen(color);
    painter.setFont(font());
    // Each line centred on its step; the text of a line may reach a little past it.
    const int lineHeight = QFontMetrics(font()).height();
    int y = iconArea.bottom() + 1 + kIconTitleSpacing;
    for (const QString& line : lines) {
        painter.drawText(QRect(kTitleInset, y - (lineHeight - step) / 2, width() - 2 * kTitleInset, lineHeight),
                         Qt::AlignCenter, line);
        y += step;
    }
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
