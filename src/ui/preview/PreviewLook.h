#pragma once

#include "ui/theme/ThemeColor.h"

#include <QColor>
#include <QString>

class QToolButton;
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

// A button of such a pill: a 13-point icon in the label colour with its tooltip
// (a text key), flat, and never taking the keyboard from the preview.
QToolButton* controlButton(const QString& icon, const QString& toolTipKey, QWidget* parent);

}  // namespace PreviewLook

}  // namespace tarn
