#include "ui/theme/TarnStyle.h"

#include <QStyleFactory>

namespace tarn {

TarnStyle::TarnStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

int TarnStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const
{
    if (hint == SH_ScrollBar_Transient) {
        return 1;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int TarnStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_ScrollBarExtent) {
        return 10;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

}  // namespace tarn
