#pragma once

#include "ui/theme/ThemeColor.h"

#include <QColor>
#include <QString>

class QWidget;

namespace tarn {

// Small helpers the preview views share to take the theme's colours.
namespace PreviewLook {

// A colour of the table as CSS ("rgba(255,255,255,0.88)"), for style sheets and pages.
QString cssColor(const QColor& color);

// Text in a widget (a label, or the text of a view) drawn in a colour of the table.
void setTextColor(QWidget* widget, ThemeColor role);

// The translucent pill the zoom and page controls float in over a preview,
// filling the widget's whole rectangle.
void paintControlPill(QWidget* widget);

}  // namespace PreviewLook

}  // namespace tarn
