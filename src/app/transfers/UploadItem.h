#pragma once

#include <filesystem>
#include <string>

namespace tarn {

// One local file of an upload and the object key it goes to; or a sub-folder the
// scan could not open, which fails the upload under its own name (its key is the
// folder's, with its closing "/").
struct UploadItem {
    std::filesystem::path fileURL;
    std::string key;
    bool isUnreadableFolder = false;

    bool operator==(const UploadItem&) const = default;
};

}  // namespace tarn
