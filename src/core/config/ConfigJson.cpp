#include "core/config/ConfigJson.h"

namespace tarn {

// Record readers use the strict value readers of JsonFields.h.
using namespace jsonio;

namespace {

// The older single public address becomes one public domain: scheme and host
// (with an explicit port) only, so path, query and user information are dropped.
std::vector<PublicDomain> domainsFromPublicBaseURL(const Url& url) {
    if (!url.scheme() || !url.host()) return {};
    std::string host = *url.hostForAuthority();
    if (url.port()) {
        host += ':';
        host += std::to_string(*url.port());
    }
    return {PublicDomain{Uuid::random(), *url.scheme(), host, false}};
}

}  // namespace

StorageProfile decode(Tag<StorageProfile>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    return StorageProfile{
        reader.required<Uuid>("id"),
        reader.required<std::string>("name"),
        reader.required<Url>("endpoint"),
        reader.required<std::string>("region"),
        reader.required<std::string>("accessKeyID"),
        reader.required<std::vector<std::string>>("bucketNames"),
    };
}

PublicDomain decode(Tag<PublicDomain>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    return PublicDomain{
        reader.required<Uuid>("id"),
        reader.required<std::string>("scheme"),
        reader.required<std::string>("host"),
        reader.required<bool>("hasCDNAuthKey"),
    };
}

BucketSettings decode(Tag<BucketSettings>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    BucketSettings settings;
    settings.displayName = reader.optional<std::string>("displayName");
    settings.publicDomains = reader.required<std::vector<PublicDomain>>("publicDomains");
    return settings;
}

FavoriteDirectory decode(Tag<FavoriteDirectory>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    return FavoriteDirectory{
        reader.required<Uuid>("bucketID"),
        reader.required<std::string>("bucketName"),
        reader.required<std::string>("prefix"),
    };
}

OperationHistoryEntry decode(Tag<OperationHistoryEntry>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    OperationHistoryEntry entry;
    entry.id = reader.required<Uuid>("id");
    entry.date = reader.required<TimePoint>("date");
    entry.bucketName = reader.required<std::string>("bucketName");
    entry.action = reader.required<std::string>("action");
    entry.detail = reader.required<std::string>("detail");
    entry.succeeded = reader.required<bool>("succeeded");
    entry.bytes = reader.optional<std::int64_t>("bytes");
    entry.duration = reader.optional<double>("duration");
    return entry;
}

BucketConfig decode(Tag<BucketConfig>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    BucketConfig bucket;
    bucket.id = reader.required<Uuid>("id");
    bucket.displayName = reader.required<std::string>("displayName");
    bucket.bucketName = reader.required<std::string>("bucketName");
    bucket.endpoint = reader.required<Url>("endpoint");
    bucket.region = reader.required<std::string>("region");
    bucket.accessKeyID = reader.required<std::string>("accessKeyID");
    bucket.publicBaseURL = reader.optional<Url>("publicBaseURL");
    bucket.publicDomains = reader.optionalOr<std::vector<PublicDomain>>("publicDomains", {});
    if (bucket.publicDomains.empty() && bucket.publicBaseURL) {
        bucket.publicDomains = domainsFromPublicBaseURL(*bucket.publicBaseURL);
    }
    return bucket;
}

AppConfig decode(Tag<AppConfig>, const nlohmann::json& value, const std::string& path) {
    const ObjectReader reader(value, path);
    AppConfig config;
    config.schemaVersion = reader.optionalOr<std::int64_t>("schemaVersion", 0);
    config.profiles = reader.optionalOr<std::vector<StorageProfile>>("profiles", {});
    config.bucketSettings = reader.optionalOr<std::map<std::string, BucketSettings>>("bucketSettings", {});
    ConfigJson::decodeSharedFields(reader, config);
    return config;
}

nlohmann::json encode(const StorageProfile& value) {
    return {{"id", encode(value.id)},
            {"name", value.name},
            {"endpoint", encode(value.endpoint)},
            {"region", value.region},
            {"accessKeyID", value.accessKeyID},
            {"bucketNames", encode(value.bucketNames)}};
}

nlohmann::json encode(const PublicDomain& value) {
    return {{"id", encode(value.id)},
            {"scheme", value.scheme},
            {"host", value.host},
            {"hasCDNAuthKey", value.hasCDNAuthKey}};
}

nlohmann::json encode(const BucketSettings& value) {
    nlohmann::json object = {{"publicDomains", encode(value.publicDomains)}};
    if (value.displayName) object["displayName"] = *value.displayName;
    return object;
}

nlohmann::json encode(const FavoriteDirectory& value) {
    return {{"bucketID", encode(value.bucketID)}, {"bucketName", value.bucketName}, {"prefix", value.prefix}};
}

nlohmann::json encode(const OperationHistoryEntry& value) {
    nlohmann::json object = {{"id", encode(value.id)},
                             {"date", encode(value.date)},
                             {"bucketName", value.bucketName},
                             {"action", value.action},
                             {"detail", value.detail},
                             {"succeeded", value.succeeded}};
    if (value.bytes) object["bytes"] = *value.bytes;
    if (value.duration) object["duration"] = encode(*value.duration);
    return object;
}

nlohmann::json encode(const BucketConfig& value) {
    nlohmann::json object = {{"id", encode(value.id)},
                             {"displayName", value.displayName},
                             {"bucketName", value.bucketName},
                             {"endpoint", encode(value.endpoint)},
                             {"region", value.region},
                             {"accessKeyID", value.accessKeyID},
                             {"publicDomains", encode(value.publicDomains)}};
    if (value.publicBaseURL) object["publicBaseURL"] = encode(*value.publicBaseURL);
    return object;
}

nlohmann::json encode(const AppConfig& value) {
    nlohmann::json object = {{"schemaVersion", value.schemaVersion},
                             {"profiles", encode(value.profiles)},
                             {"bucketSettings", encode(value.bucketSettings)}};
    ConfigJson::encodeSharedFields(value, object);
    return object;
}

namespace ConfigJson {

nlohmann::json parse(std::string_view text) {
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw JsonDecodeError(std::string("The configuration is not valid JSON: ") + error.what());
    } catch (const nlohmann::json::exception& error) {
        // A number beyond any 64-bit value ("1e400") is valid JSON that the parser
        // cannot hold; it is an unreadable file like any other.
        throw JsonDecodeError(std::string("The configuration holds a value that cannot be read: ") + error.what());
    }
}

AppConfig decodeAppConfig(std::string_view text) { return decode(Tag<AppConfig>{}, parse(text), ""); }

std::string encodeAppConfig(const AppConfig& config) { return pretty(encode(config)); }

std::string pretty(const nlohmann::json& value) {
    // nlohmann::json keeps object members in a std::map, so keys come out sorted.
    // Text that is not UTF-8 (a local file name in the history) is written with
    // U+FFFD in place of the bad bytes: refusing it would block every later save.
    return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace ConfigJson

}  // namespace tarn
