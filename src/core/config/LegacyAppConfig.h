#pragma once

#include "core/config/ConfigModels.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

// The JSON readers and writers below are declared against the forward declarations
// only: the configuration store includes this header, and through it most of the
// application, which has no use for the whole JSON library (ConfigJson.h has it).
namespace jsonio {
template <class T>
struct Tag;
}  // namespace jsonio

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
LegacyStorageProfile decode(jsonio::Tag<LegacyStorageProfile>, const nlohmann::json& value, const std::string& path);
LegacyAppConfig decode(jsonio::Tag<LegacyAppConfig>, const nlohmann::json& value, const std::string& path);

nlohmann::json encode(const LegacyStorageProfile& value);
nlohmann::json encode(const LegacyAppConfig& value);

}  // namespace tarn
