#pragma once

#include "app/state/KeySet.h"
#include "app/state/UploadConflictMode.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tarn {

// What a batch of handed files and folders becomes in the queue: one entry per
// handed item that still has files to send, with the figures its task shows. Made
// off the main thread (it walks every folder and reads every file's size), then
// handed to the main thread, where the state decides about conflicts and the queue
// makes the tasks.
struct UploadPlan {
    struct Entry {
        std::size_t index = 0;  // the item's position among the handed ones
        std::filesystem::path url;  // as UploadScanner::handedPath gives it
        bool isFolder = false;
        int fileCount = 0;
        std::int64_t bytes = 0;
        // The existing keys that this item's files, or the free names a rename would
        // pick for them, can meet: a task keeps these rather than the whole folder's,
        // which a drop of many files into a large folder would copy once per task.
        KeySet existingKeys;
    };

    std::vector<Entry> entries;
    int skipped = 0;            // files left out under `skip` because their key exists
    bool conflictSeen = false;  // a file of the batch targets an existing key

    // Expands each of `urls` as UploadScanner::items does into `directory`. Under
    // `skip` the files whose key is in `existingKeys` are left out (and counted); an
    // item left without files gets no entry. Safe on any thread; touches no state.
    static UploadPlan make(const std::vector<std::filesystem::path>& urls, std::string_view directory,
                           UploadConflictMode mode, const KeySet& existingKeys);
};

}  // namespace tarn
