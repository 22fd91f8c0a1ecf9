#pragma once

#include "ui/inspector/InspectorDetails.h"

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace tarn {

// The pieces the inspector's cards are made of, each a new widget for the caller to
// place: titles, rows of details, link rows, separators and the cards around them.
namespace InspectorRows {

// The title over a section: "Preview", "Details", "Share".
QWidget* sectionTitle(const QString& text);

// A label and its value on one line, the value cut in the middle when it is too long;
// with a copy button when the row has a text to copy, which hands it to `copy`.
QWidget* metaRow(const DetailRow& row, const std::function<void(const QString&)>& copy);

// A flat button with an icon before its title, aligned left like a row.
QWidget* linkRow(const QString& title, const QString& iconName, std::function<void()> action);

// A hairline between two rows.
QWidget* separator();

// Views one under the other, a separator between each two.
QWidget* vCard(const QList<QWidget*>& views);

// A section: its title and, under it, its content.
QWidget* section(const QString& title, QWidget* content);

}  // namespace InspectorRows

}  // namespace tarn
