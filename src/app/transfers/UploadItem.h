#pragma once

#include <filesystem>
#include <string>

namespace tarn {

// One local file of an upload and the object key it goes to.
struct UploadItem {
    std::filesystem::path fileURL;
    std::string key;

    bool operator==(const UploadItem&) const = default;
};

}  // namespace tarn
