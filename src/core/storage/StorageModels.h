#pragma once

#include "core/values/IsoDate.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The values the storage client hands to the rest of the program. In memory only.

struct S3Credentials {
    std::string accessKeyID;
    std::string secretAccessKey;

    bool operator==(const S3Credentials&) const = default;
};

struct ObjectItem {
    std::string key;
    std::int64_t size = 0;
    std::optional<TimePoint> lastModified;
    std::optional<std::string> storageClass;
    std::optional<std::string> eTag;

    const std::string& id() const { return key; }
    bool operator==(const ObjectItem&) const = default;
};

struct ObjectPrefix {
    std::string prefix;

    const std::string& id() const { return prefix; }
    // The folder's own name: the last non-empty piece between "/" separators, or
    // the prefix itself when it has none ("/" stays "/").
    std::string displayName() const;
    bool operator==(const ObjectPrefix&) const = default;
};

struct S3Listing {
    std::vector<ObjectItem> objects;
    std::vector<ObjectPrefix> prefixes;
    bool isTruncated = false;
    std::optional<std::string> nextContinuationToken;

    bool operator==(const S3Listing&) const = default;
};

struct ObjectDetails {
    ObjectItem item;
    std::optional<std::string> contentType;
    std::optional<std::string> eTag;
    std::map<std::string, std::string> metadata;  // user metadata, name to value
    // Stored headers that a metadata replacement must send again to keep them.
    std::optional<std::string> cacheControl;
    std::optional<std::string> contentDisposition;
    std::optional<std::string> contentEncoding;
    std::optional<std::string> contentLanguage;
    std::optional<std::string> expires;

    bool operator==(const ObjectDetails&) const = default;
};

struct MultipartUpload {
    std::string key;
    std::string uploadId;
    std::optional<TimePoint> initiated;
    std::optional<std::string> storageClass;

    const std::string& id() const { return uploadId; }
    bool operator==(const MultipartUpload&) const = default;
};

struct MultipartUploadListing {
    std::vector<MultipartUpload> uploads;
    bool isTruncated = false;
    std::optional<std::string> nextKeyMarker;
    std::optional<std::string> nextUploadIdMarker;

    bool operator==(const MultipartUploadListing&) const = default;
};

struct S3BucketInfo {
    std::string name;
    std::int64_t totalBytes = 0;  // 0 when the service reports no totals
    std::int64_t totalFiles = 0;

    bool operator==(const S3BucketInfo&) const = default;
};

struct BucketUsage {
    std::int64_t objectCount = 0;
    std::int64_t totalBytes = 0;

    static BucketUsage of(const std::vector<ObjectItem>& objects);
    // Counts the objects in as well, one page of a listing at a time.
    void add(const std::vector<ObjectItem>& objects);
    bool operator==(const BucketUsage&) const = default;
};

}  // namespace tarn
