#pragma once

#include "core/storage/StorageModels.h"

#include <QString>

#include <optional>
#include <vector>

namespace tarn {

// One line of the inspector's details card: a label, a value, and the text its copy
// button puts on the clipboard (none: no button).
struct DetailRow {
    QString label;
    QString value;
    std::optional<QString> copyText;

    bool operator==(const DetailRow&) const = default;
};

// What the details card lists, from what the state knows of the selection. Pure: the
// pane builds its rows from these, and tests check them without a widget.
namespace InspectorDetails {

// An object: its full key (copyable), kind, content type (the stored one when the
// details carry it, else the one its extension implies), size, storage class
// ("STANDARD" when the listing names none), the date when it has one, the ETag when
// one is known, then its user metadata by key in ascending order, labelled with the
// keys themselves. The date is written as everywhere else in the window.
std::vector<DetailRow> objectRows(const ObjectItem& object, const std::optional<ObjectDetails>& details);

// A folder: its prefix (copyable) and its kind.
std::vector<DetailRow> folderRows(const ObjectPrefix& prefix);

}  // namespace InspectorDetails

}  // namespace tarn
