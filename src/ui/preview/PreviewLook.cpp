#include "ui/preview/PreviewLook.h"

#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnTheme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QToolButton>
#include <QWidget>

namespace tarn::PreviewLook {

QString cssColor(const QColor& color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2);
}

void setTextColor(QWidget* widget, ThemeColor role)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, TarnTheme::color(role));
    palette.setColor(QPalette::Text, TarnTheme::color(role));
    widget->setPalette(palette);
}

void paintControlPill(QWidget* widget)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath pill;
    const QRectF bounds = QRectF(widget->rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    pill.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    QColor fill = TarnTheme::color(ThemeColor::toolTipBackground);
    fill.setAlphaF(0.92f);
    painter.fillPath(pill, fill);
    painter.setPen(QPen(TarnTheme::color(ThemeColor::hairlineBorder), 1));
    painter.drawPath(pill);
}

QToolButton* controlButton(const QString& icon, const QString& toolTipKey, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(MingCute::icon(icon, TarnTheme::color(ThemeColor::label)));
    button->setIconSize(MingCute::iconSize(13));
    button->setAutoRaise(true);
    button->setToolTip(L10n::t(toolTipKey));
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace tarn::PreviewLook
