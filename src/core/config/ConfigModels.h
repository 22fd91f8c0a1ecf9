#pragma once

#include "core/values/IsoDate.h"
#include "core/values/Url.h"
#include "core/values/Uuid.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// The records of the configuration file. Their JSON form is in ConfigJson.h.

struct StorageProfile {
    Uuid id;
    std::string name;
    Url endpoint;
    std::string region;
    std::string accessKeyID;
    std::vector<std::string> bucketNames;

    bool operator==(const StorageProfile&) const = default;
};

struct PublicDomain {
    Uuid id;
    std::string scheme;  // "http" or "https"
    std::string host;    // with ":port" when a port is used
    bool hasCDNAuthKey = false;

    // scheme + "://" + host as a URL; absent when that text does not parse.
    std::optional<Url> baseURL() const;
    const std::string& displayName() const { return host; }

    bool operator==(const PublicDomain&) const = default;
};

struct BucketSettings {
    std::optional<std::string> displayName;
    std::vector<PublicDomain> publicDomains;

    bool operator==(const BucketSettings&) const = default;
};

struct FavoriteDirectory {
    Uuid bucketID;
    std::string bucketName;
    std::string prefix;

    bool operator==(const FavoriteDirectory&) const = default;
};

struct OperationHistoryEntry {
    Uuid id;
    TimePoint date;
    std::string bucketName;
    std::string action;
    std::string detail;
    bool succeeded = false;
    std::optional<std::int64_t> bytes;
    std::optional<double> duration;  // seconds

    bool operator==(const OperationHistoryEntry&) const = default;
};

// One bucket with everything needed to reach it; built at run time from a profile,
// and the per-bucket record of the schema-less older file.
struct BucketConfig {
    Uuid id;
    std::string displayName;
    std::string bucketName;
    Url endpoint;
    std::string region;
    std::string accessKeyID;
    std::optional<Url> publicBaseURL;
    std::vector<PublicDomain> publicDomains;

    bool operator==(const BucketConfig&) const = default;
};

struct AppConfig {
    static constexpr std::int64_t currentSchemaVersion = 2;
    static constexpr std::int64_t profileCentricSchemaVersion = 1;
    static constexpr std::int64_t defaultPreviewSizeLimitBytes = 52428800;  // 50 MiB
    static constexpr std::int64_t defaultMultipartPartSizeMB = 10;

    std::int64_t schemaVersion = 0;
    std::vector<StorageProfile> profiles;
    std::map<std::string, BucketSettings> bucketSettings;  // keyed by upper-case bucket UUID text
    std::vector<Uuid> favoriteBucketIDs;
    std::vector<Uuid> recentBucketIDs;
    std::vector<OperationHistoryEntry> history;
    std::vector<FavoriteDirectory> favoriteDirectories;
    std::string languageCode = "zh";
    bool debugLogging = false;
    std::int64_t previewSizeLimitBytes = defaultPreviewSizeLimitBytes;
    std::int64_t multipartPartSizeMB = defaultMultipartPartSizeMB;

    bool operator==(const AppConfig&) const = default;
};

}  // namespace tarn
