#pragma once

#include <string>

namespace tarn {

// One part of a multipart upload that the server has stored.
struct UploadPart {
    int number = 0;    // from 1
    std::string etag;  // exactly as the server returned it, quotes included

    bool operator==(const UploadPart&) const = default;
};

}  // namespace tarn
