#include "ui/preview/PreviewLook.h"

#include "ui/theme/TarnTheme.h"

#include <QPalette>
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

}  // namespace tarn::PreviewLook
