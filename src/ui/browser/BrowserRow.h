#pragma once

#include "core/values/Uuid.h"

#include <cstddef>
#include <cstdint>

namespace tarn {

// One row of the object table. A row says where its data lives instead of holding a
// copy of it: a folder or an object by its position in the listing's prefixes or
// objects, a placeholder by the ID of its transfer task. A folder of 100,000 objects
// thus costs 100,000 rows of a few bytes, and what a cell shows is read when it is
// drawn. The listing only grows at its end between two builds (further pages), so a
// position stays what it was until the rows are built again.
struct BrowserRow {
    enum class Kind : std::uint8_t {
        uploading,  // a running or finished upload, or the rename that stands for a moved entry
        folder,
        object,
        parent,  // ".."
    };

    Kind kind = Kind::parent;
    // Placeholders: whether the task's completedAt is set (part of the signature).
    bool taskCompleted = false;
    // Folders: index into the prefixes; objects: index into the objects.
    std::uint32_t position = 0;
    // The hash of the row's key. Rows are told apart by it when the table decides
    // whether it must reload, and keys are found by it without comparing strings.
    std::size_t keyHash = 0;
    // Placeholders: the task shown.
    Uuid taskID;

    // Whether two rows have the same reload signature: the key, and for a placeholder
    // whether its task has completed. Sizes, dates and progress are not part of it.
    bool sameSignature(const BrowserRow& other) const
    {
        return kind == other.kind && keyHash == other.keyHash && taskCompleted == other.taskCompleted &&
               taskID == other.taskID;
    }
};

}  // namespace tarn
