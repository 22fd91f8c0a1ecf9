#pragma once

#include "core/values/Uuid.h"

#include <QString>

#include <string>
#include <vector>

namespace tarn {

// What a delete confirmation is about to delete: taken from the selection when the
// confirmation opens, so that the selection may change before the user confirms.
struct DeleteRequest {
    Uuid bucketID;                            // the bucket of the listing it was made in
    std::vector<std::string> objectKeys;      // in the order of the selected objects
    std::vector<std::string> folderPrefixes;  // each ends in "/"
    QString title;                            // the one entry's name, or "Delete N items"

    bool operator==(const DeleteRequest&) const = default;
};

}  // namespace tarn
