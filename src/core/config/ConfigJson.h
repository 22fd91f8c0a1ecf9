#pragma once

#include "core/config/ConfigModels.h"
#include "core/config/JsonFields.h"

#include <string>
#include <string_view>

namespace tarn {

// The JSON form of the configuration records: required keys, defaults for absent
// ones, and a wrongly typed value failing the whole document (JsonDecodeError).
// They live beside the records so that the list and map readers of JsonFields.h
// find them by argument-dependent lookup.
using jsonio::Tag;

StorageProfile decode(Tag<StorageProfile>, const nlohmann::json& value, const std::string& path);
PublicDomain decode(Tag<PublicDomain>, const nlohmann::json& value, const std::string& path);
BucketSettings decode(Tag<BucketSettings>, const nlohmann::json& value, const std::string& path);
FavoriteDirectory decode(Tag<FavoriteDirectory>, const nlohmann::json& value, const std::string& path);
OperationHistoryEntry decode(Tag<OperationHistoryEntry>, const nlohmann::json& value, const std::string& path);
BucketConfig decode(Tag<BucketConfig>, const nlohmann::json& value, const std::string& path);
AppConfig decode(Tag<AppConfig>, const nlohmann::json& value, const std::string& path);

nlohmann::json encode(const StorageProfile& value);
nlohmann::json encode(const PublicDomain& value);
nlohmann::json encode(const BucketSettings& value);
nlohmann::json encode(const FavoriteDirectory& value);
nlohmann::json encode(const OperationHistoryEntry& value);
nlohmann::json encode(const BucketConfig& value);
nlohmann::json encode(const AppConfig& value);

namespace ConfigJson {

// The settings that every generation of the file keeps under the same keys with
// the same defaults: everything but the schema number, the profiles and the
// per-bucket settings.
template <class Config>
void decodeSharedFields(const jsonio::ObjectReader& reader, Config& config) {
    config.favoriteBucketIDs = reader.optionalOr<std::vector<Uuid>>("favoriteBucketIDs", {});
    config.recentBucketIDs = reader.optionalOr<std::vector<Uuid>>("recentBucketIDs", {});
    config.history = reader.optionalOr<std::vector<OperationHistoryEntry>>("history", {});
    config.favoriteDirectories = reader.optionalOr<std::vector<FavoriteDirectory>>("favoriteDirectories", {});
    config.languageCode = reader.optionalOr<std::string>("languageCode", "zh");
    config.debugLogging = reader.optionalOr<bool>("debugLogging", false);
    config.previewSizeLimitBytes =
        reader.optionalOr<std::int64_t>("previewSizeLimitBytes", AppConfig::defaultPreviewSizeLimitBytes);
    config.multipartPartSizeMB =
        reader.optionalOr<std::int64_t>("multipartPartSizeMB", AppConfig::defaultMultipartPartSizeMB);
}

template <class Config>
void encodeSharedFields(const Config& config, nlohmann::json& object) {
    using jsonio::encode;
    object["favoriteBucketIDs"] = encode(config.favoriteBucketIDs);
    object["recentBucketIDs"] = encode(config.recentBucketIDs);
    object["history"] = encode(config.history);
    object["favoriteDirectories"] = encode(config.favoriteDirectories);
    object["languageCode"] = config.languageCode;
    object["debugLogging"] = config.debugLogging;
    object["previewSizeLimitBytes"] = config.previewSizeLimitBytes;
    object["multipartPartSizeMB"] = config.multipartPartSizeMB;
}

// Parses JSON text; text that is not JSON fails with JsonDecodeError, so callers
// meet one error type for every way a configuration can be unreadable.
nlohmann::json parse(std::string_view text);
// Parses and decodes a whole configuration document; text that is not JSON fails
// with JsonDecodeError as well.
AppConfig decodeAppConfig(std::string_view text);
// Pretty-printed, keys sorted, dates as whole-second UTC; text that is not UTF-8
// is written with U+FFFD in place of the bad bytes.
std::string encodeAppConfig(const AppConfig& config);
// The text form of any JSON value as the configuration file writes it.
std::string pretty(const nlohmann::json& value);

}  // namespace ConfigJson

}  // namespace tarn
