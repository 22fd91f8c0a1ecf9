#pragma once

#include "core/values/IsoDate.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace tarn {

// An open multipart upload on the server and the local file it was started for, so
// that a later attempt of the same transfer continues it with the parts already
// stored instead of starting over. Lives in memory with its transfer only.
struct MultipartSession {
    // What a local file looked like: enough to tell that it is still the same file.
    struct FileStamp {
        std::int64_t size = 0;             // 0 when unknown
        std::optional<TimePoint> modified;  // absent when unknown

        // The stamp of the file at `path` now; size 0 and no date when its attributes
        // cannot be read. Never throws for a missing or unreadable file.
        static FileStamp of(const std::filesystem::path& path);

        bool operator==(const FileStamp&) const = default;
    };

    std::string uploadId;
    // The object key being written; may differ from `itemKey` when a conflict was
    // resolved by writing under another name.
    std::string key;
    std::string itemKey;
    // The part size the upload was cut with: the fitted one (MultipartPlan::partSize,
    // MultipartUploader::partSize()), not the setting. A resumed run uses it, whatever
    // the setting says now.
    std::int64_t partSize = 0;
    FileStamp file;

    // Whether the upload can go on for the item `itemKey` whose file now has the
    // stamp `file`: same item, same size, same modification date (both unknown counts
    // as the same), and the key being written is not among those to avoid.
    bool canResume(const std::string& itemKey, const FileStamp& file, const std::set<std::string>& avoiding) const;

    bool operator==(const MultipartSession&) const = default;
};

}  // namespace tarn
