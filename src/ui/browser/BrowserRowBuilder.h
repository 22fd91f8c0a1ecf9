#pragma once

#include "ui/browser/BrowserRow.h"

#include "app/state/ChunkedList.h"
#include "app/transfers/TransferTask.h"
#include "core/storage/StorageModels.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarn {

// What the rows of one folder are built from: the listing on screen and the upload
// and rename tasks of that folder, in queue order. The builder keeps no pointer
// into them beyond the call.
struct BrowserRowInputs {
    std::string_view currentPrefix;
    EntriesView<ObjectPrefix> prefixes;
    // Every listed object; the folder's own marker and keys ending in "/" are left out
    // by the builder.
    EntriesView<ObjectItem> objects;
    std::span<const TransferTask* const> uploads;
    std::span<const TransferTask* const> renames;
};

// The rows of the object table, built from the listing and the transfer queue alone:
// the parent row below the root, the uploads of the folder (a finished upload that
// was renamed since shows the last rename of its chain; of two uploads of one key
// only the newer shows), then the folders and the objects, where an entry being
// renamed shows as its rename task and an entry an upload replaces does not show at
// all. A key appears at most once, at its first place.
namespace BrowserRowBuilder {

// With `objectsStart`, also where the rows of the objects begin (after the parent,
// the uploads and the folders).
std::vector<BrowserRow> build(const BrowserRowInputs& inputs, std::size_t* objectsStart = nullptr);

// The rows a listing grown at its end adds to what build() made of it before, for the
// same tasks: those of the prefixes from `firstPrefix` on (they go right before the
// objects' rows) and of the objects from `firstObject` on (they go at the end). The
// listing's own entries never repeat a key (a page adds only keys the listing does
// not hold yet), so only placeholders can repeat one: `shownTasks` are the tasks the
// rows show already.
struct Extension {
    std::vector<BrowserRow> folders;
    std::vector<BrowserRow> objects;
};
Extension extend(const BrowserRowInputs& inputs, std::size_t firstPrefix, std::size_t firstObject,
                 const std::unordered_set<Uuid>& shownTasks);

// The task that ends the chain of renames starting at `task`: each step is the first
// rename, not seen yet, whose source is what the previous step left behind.
const TransferTask* terminalRename(const TransferTask& task, std::span<const TransferTask* const> renames);

// The key a task leaves behind: for a file its placeholder key, for a folder the
// destination of its folder rename (with "/" at the end); none otherwise.
std::optional<std::string> renameDestIdentity(const TransferTask& task);

// A row's key: the object key, the folder prefix, ".." or "upload:" and the task ID.
// Folders and objects are read from `inputs`, which must be what the row was built
// from (or that listing grown at its end).
std::string key(const BrowserRow& row, const BrowserRowInputs& inputs);
// The key of a folder or object row, or of the parent row, without a copy; empty for
// a placeholder (whose key is made from its task ID: use key()).
std::string_view listedKey(const BrowserRow& row, const BrowserRowInputs& inputs);
// The hash a row of this key carries.
std::size_t hashOf(std::string_view key);
// Whether the row's key is `key`, whose hashOf() is `keyHash`.
bool hasKey(const BrowserRow& row, std::string_view key, std::size_t keyHash, const BrowserRowInputs& inputs);

}  // namespace BrowserRowBuilder

}  // namespace tarn
