#include "core/config/LegacyAppConfig.h"

#include "core/config/ConfigJson.h"

namespace tarn {

using namespace jsonio;

LegacyStorageProfile decode(Tag<LegacyStorageProfile>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    return LegacyStorageProfile{
        reader.required<Uuid>("id"),
        reader.required<std::string>("name"),
        reader.required<std::vector<BucketConfig>>("buckets"),
    };
}

LegacyAppConfig decode(Tag<LegacyAppConfig>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    LegacyAppConfig config;
    config.profiles = reader.optionalOr<std::vector<LegacyStorageProfile>>("profiles", {});
    ConfigJson::decodeSharedFields(reader, config);
    return config;
}

nlohmann::json encode(const LegacyStorageProfile& value) {
    return {{"id", encode(value.id)}, {"name", value.name}, {"buckets", encode(value.buckets)}};
}

nlohmann::json encode(const LegacyAppConfig& value) {
    nlohmann::json object = {{"profiles", encode(value.profiles)}};
    ConfigJson::encodeSharedFields(value, object);
    return object;
}

}  // namespace tarn
