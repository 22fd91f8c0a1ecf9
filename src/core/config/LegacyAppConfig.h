#pragma once

#include "core/config/ConfigJson.h"
#include "core/config/ConfigModels.h"

#include <string_view>

namespace tarn {

// The configuration as the schema-less older generation wrote it: each profile
// carries full bucket records with IDs of their own, and there is no per-bucket
// settings map. It is only ever read, to be migrated (ConfigMigrator.h).

struct LegacyStorageProfile {
    Uuid id;
    std::string name;
    std::vector<BucketConfig> buckets;

    bool operator==(const LegacyStorageProfile&) const = default;
};

struct LegacyAppConfig {
    std::vector<LegacyStorageProfile> profiles;
    std::vector<Uuid> favoriteBucketIDs;
    std::vector<Uuid> recentBucketIDs;
    std::vector<OperationHistoryEntry> history;
    std::vector<FavoriteDirectory> favoriteDirectories;
    std::string languageCode = "zh";
    bool debugLogging = false;
    std::int64_t previewSizeLimitBytes = AppConfig::defaultPreviewSizeLimitBytes;
    std::int64_t multipartPartSizeMB = AppConfig::defaultMultipartPartSizeMB;

    bool operator==(const LegacyAppConfig&) const = default;
};

// Same strictness as the current records: every key of LegacyAppConfig is
// optional, all three of LegacyStorageProfile are required, and a wrongly typed
// value fails the whole document.
LegacyStorageProfile decode(Tag<LegacyStorageProfile>, const nlohmann::json& value, const std::string& path);
LegacyAppConfig decode(Tag<LegacyAppConfig>, const nlohmann::json& value, const std::string& path);

nlohmann::json encode(const LegacyStorageProfile& value);
nlohmann::json encode(const LegacyAppConfig& value);

}  // namespace tarn
