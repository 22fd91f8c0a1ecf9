#include "core/config/ConfigJson.h"

#include <gtest/gtest.h>

using namespace tarn;
using nlohmann::json;

namespace {

Uuid uuid(const char* text) { return *Uuid::parse(text); }

AppConfig fullConfig() {
    AppConfig config;
    config.schemaVersion = 2;
    config.profiles.push_back(StorageProfile{uuid("11111111-2222-4333-8444-555555555555"), "工作账户",
                                             *Url::parse("https://s3.cn-east.example.com"), "cn-east",
                                             "AKIDEXAMPLE", {"media", "backups"}});
    config.bucketSettings["AAAAAAAA-BBBB-5CCC-8DDD-EEEEEEEEEEEE"] =
        BucketSettings{"Photos", {PublicDomain{uuid("99999999-8888-4777-8666-555555555555"), "https",
                                               "cdn.example.com:8443", true}}};
    config.bucketSettings["00000000-0000-5000-8000-000000000001"] = BucketSettings{std::nullopt, {}};
    config.favoriteBucketIDs = {uuid("AAAAAAAA-BBBB-5CCC-8DDD-EEEEEEEEEEEE")};
    config.recentBucketIDs = {uuid("00000000-0000-5000-8000-000000000001"),
                              uuid("AAAAAAAA-BBBB-5CCC-8DDD-EEEEEEEEEEEE")};
    config.history.push_back(OperationHistoryEntry{uuid("12345678-1234-4234-8234-123456789ABC"),
                                                   *IsoDate::parse("2024-05-01T08:30:00Z"), "media", "Upload",
                                                   "a.jpg", true, 1048576, 2.5});
    config.history.push_back(OperationHistoryEntry{uuid("12345678-1234-4234-8234-123456789ABD"),
                                                   *IsoDate::parse("2024-05-01T08:31:00Z"), "media", "Delete",
                                                   "b.jpg", false, std::nullopt, std::nullopt});
    config.favoriteDirectories = {
        FavoriteDirectory{uuid("AAAAAAAA-BBBB-5CCC-8DDD-EEEEEEEEEEEE"), "media", "photos/2024/"}};
    config.languageCode = "en";
    config.debugLogging = true;
    config.previewSizeLimitBytes = 1024;
    config.multipartPartSizeMB = 32;
    return config;
}

AppConfig decoded(const json& document) { return ConfigJson::decodeAppConfig(document.dump()); }

}  // namespace

TEST(ConfigJson, FullConfigurationRoundTrips) {
    const AppConfig config = fullConfig();
    const std::string text = ConfigJson::encodeAppConfig(config);
    EXPECT_EQ(ConfigJson::decodeAppConfig(text), config);

    const json written = json::parse(text);
    EXPECT_EQ(written["history"][0]["date"], "2024-05-01T08:30:00Z");
    EXPECT_FALSE(written["history"][1].contains("bytes"));
    EXPECT_FALSE(written["history"][1].contains("duration"));
    EXPECT_FALSE(written["bucketSettings"]["00000000-0000-5000-8000-000000000001"].contains("displayName"));
    EXPECT_EQ(written["profiles"][0]["id"], "11111111-2222-4333-8444-555555555555");
}

TEST(ConfigJson, WritesAllElevenKeysSortedAndPretty) {
    const std::string text = ConfigJson::encodeAppConfig(AppConfig{});
    const std::vector<std::string> keys = {"bucketSettings",   "debugLogging",          "favoriteBucketIDs",
                                           "favoriteDirectories", "history",             "languageCode",
                                           "multipartPartSizeMB", "previewSizeLimitBytes", "profiles",
                                           "recentBucketIDs",  "schemaVersion"};
    std::size_t last = 0;
    for (const auto& key : keys) {
        const std::size_t pos = text.find("\"" + key + "\"");
        ASSERT_NE(pos, std::string::npos) << key;
        EXPECT_GT(pos, last) << key << " is out of order";
        last = pos;
    }
    EXPECT_NE(text.find("\"history\": []"), std::string::npos);
    EXPECT_NE(text.find('\n'), std::string::npos);
}

TEST(ConfigJson, AbsentKeysTakeTheirDefaults) {
    const AppConfig empty = decoded(json::object());
    EXPECT_EQ(empty.schemaVersion, 0);
    EXPECT_TRUE(empty.profiles.empty());
    EXPECT_TRUE(empty.bucketSettings.empty());
    EXPECT_EQ(empty.languageCode, "zh");
    EXPECT_FALSE(empty.debugLogging);
    EXPECT_EQ(empty.previewSizeLimitBytes, 52428800);
    EXPECT_EQ(empty.multipartPartSizeMB, 10);

    EXPECT_EQ(decoded({{"languageCode", nullptr}, {"multipartPartSizeMB", nullptr}}).languageCode, "zh");
    EXPECT_EQ(decoded({{"multipartPartSizeMB", 16.0}}).multipartPartSizeMB, 16);
}

TEST(ConfigJson, OneBadValueFailsTheWholeDocument) {
    const json goodProfile = {{"id", "11111111-2222-4333-8444-555555555555"},
                              {"name", "n"},
                              {"endpoint", "https://s3.example.com"},
                              {"region", "r"},
                              {"accessKeyID", "k"},
                              {"bucketNames", json::array()}};
    const json goodEntry = {{"id", "12345678-1234-4234-8234-123456789ABC"},
                            {"date", "2024-05-01T08:30:00Z"},
                            {"bucketName", "b"},
                            {"action", "a"},
                            {"detail", "d"},
                            {"succeeded", true}};
    ASSERT_NO_THROW(decoded({{"profiles", {goodProfile}}, {"history", {goodEntry}}}));

    auto without = [](json object, const char* key) {
        object.erase(key);
        return object;
    };
    auto with = [](json object, const char* key, json value) {
        object[key] = std::move(value);
        return object;
    };
    const std::vector<std::pair<const char*, json>> cases = {
        {"debugLogging as 1", {{"debugLogging", 1}}},
        {"languageCode as number", {{"languageCode", 5}}},
        {"schemaVersion with fraction", {{"schemaVersion", 1.5}}},
        {"part size beyond 64 bits", {{"multipartPartSizeMB", 18446744073709551615ULL}}},
        {"profiles as object", {{"profiles", json::object()}}},
        {"profile without id", {{"profiles", {without(goodProfile, "id")}}}},
        {"profile with null name", {{"profiles", {with(goodProfile, "name", nullptr)}}}},
        {"profile with bad UUID", {{"profiles", {with(goodProfile, "id", "not-a-uuid")}}}},
        {"profile with unparsable endpoint", {{"profiles", {with(goodProfile, "endpoint", "https://a b")}}}},
        {"bucket names not strings", {{"profiles", {with(goodProfile, "bucketNames", {1, 2})}}}},
        {"history date with fraction", {{"history", {with(goodEntry, "date", "2024-05-01T08:30:00.5Z")}}}},
        {"history date without time", {{"history", {with(goodEntry, "date", "2024-05-01")}}}},
        {"history without succeeded", {{"history", {without(goodEntry, "succeeded")}}}},
        {"history bytes as text", {{"history", {with(goodEntry, "bytes", "12")}}}},
        {"settings without publicDomains", {{"bucketSettings", {{"X", {{"displayName", "n"}}}}}}},
        {"favourite bucket ID not a UUID", {{"favoriteBucketIDs", {"nope"}}}},
    };
    for (const auto& [name, document] : cases) {
        EXPECT_THROW(decoded(document), JsonDecodeError) << name;
    }
    EXPECT_THROW(ConfigJson::decodeAppConfig("{not json"), JsonDecodeError);
    EXPECT_THROW(ConfigJson::decodeAppConfig("[]"), JsonDecodeError);
}

TEST(ConfigJson, DecodeErrorNamesThePlace) {
    try {
        decoded({{"profiles", {{{"id", "bad"}}}}});
        FAIL() << "expected a decoding error";
    } catch (const JsonDecodeError& error) {
        EXPECT_NE(std::string(error.what()).find("profiles[0].id"), std::string::npos) << error.what();
    }
}

TEST(ConfigJson, LowerCaseSettingsKeysAreKeptAsWritten) {
    const AppConfig config =
        decoded({{"bucketSettings", {{"aaaaaaaa-bbbb-5ccc-8ddd-eeeeeeeeeeee", {{"publicDomains", json::array()}}}}}});
    EXPECT_EQ(config.bucketSettings.count("aaaaaaaa-bbbb-5ccc-8ddd-eeeeeeeeeeee"), 1u);
    EXPECT_EQ(config.bucketSettings.count("AAAAAAAA-BBBB-5CCC-8DDD-EEEEEEEEEEEE"), 0u);
}

TEST(ConfigJson, NonFiniteDurationCannotBeWritten) {
    AppConfig config = fullConfig();
    config.history[0].duration = std::numeric_limits<double>::infinity();
    EXPECT_THROW(ConfigJson::encodeAppConfig(config), JsonEncodeError);
}

namespace {

BucketConfig decodeBucket(const json& extra) {
    json object = {{"id", "AAAAAAAA-BBBB-5CCC-8DDD-EEEEEEEEEEEE"},
                   {"displayName", "Media"},
                   {"bucketName", "media"},
                   {"endpoint", "https://s3.example.com"},
                   {"region", "r"},
                   {"accessKeyID", "k"}};
    object.update(extra);
    return decode(jsonio::Tag<BucketConfig>{}, object, "bucket");
}

}  // namespace

TEST(ConfigJson, PublicBaseUrlBecomesOneDomain) {
    struct Case {
        json extra;
        std::optional<std::pair<std::string, std::string>> domain;  // scheme, host
    };
    const Case cases[] = {
        {{{"publicBaseURL", "https://cdn.example.com:8443/some/path?q=1"}},
         std::pair<std::string, std::string>{"https", "cdn.example.com:8443"}},
        {{{"publicBaseURL", "https://cdn.example.com:8443/p"}, {"publicDomains", json::array()}},
         std::pair<std::string, std::string>{"https", "cdn.example.com:8443"}},
        {{{"publicBaseURL", "https://cdn.example.com:443"}},
         std::pair<std::string, std::string>{"https", "cdn.example.com:443"}},
        {{{"publicBaseURL", "http://cdn.example.com"}}, std::pair<std::string, std::string>{"http", "cdn.example.com"}},
        {{{"publicBaseURL", "http://[2001:db8::1]:81"}},
         std::pair<std::string, std::string>{"http", "[2001:db8::1]:81"}},
        {{{"publicBaseURL", "cdn.example.com/images"}}, std::nullopt},
        {{{"publicBaseURL", "mailto:someone@example.com"}}, std::nullopt},
        // A scheme without a host: no public domain, and no host taken from the path.
        {{{"publicBaseURL", "https://"}}, std::nullopt},
        {{{"publicBaseURL", "https:///images"}}, std::nullopt},
        {json::object(), std::nullopt},
    };
    for (const auto& c : cases) {
        const BucketConfig bucket = decodeBucket(c.extra);
        if (!c.domain) {
            EXPECT_TRUE(bucket.publicDomains.empty()) << c.extra.dump();
            continue;
        }
        ASSERT_EQ(bucket.publicDomains.size(), 1u) << c.extra.dump();
        EXPECT_EQ(bucket.publicDomains[0].scheme, c.domain->first);
        EXPECT_EQ(bucket.publicDomains[0].host, c.domain->second);
        EXPECT_FALSE(bucket.publicDomains[0].hasCDNAuthKey);
        ASSERT_TRUE(bucket.publicBaseURL);
        EXPECT_EQ(bucket.publicBaseURL->absoluteString(), c.extra["publicBaseURL"]);
    }
    // Each reading mints a fresh identity for the converted domain.
    const json extra = {{"publicBaseURL", "https://cdn.example.com"}};
    EXPECT_NE(decodeBucket(extra).publicDomains[0].id, decodeBucket(extra).publicDomains[0].id);
}

TEST(ConfigJson, ExplicitDomainsWinOverPublicBaseUrl) {
    const json domain = {{"id", "99999999-8888-4777-8666-555555555555"},
                         {"scheme", "http"},
                         {"host", "a.example"},
                         {"hasCDNAuthKey", true}};
    const BucketConfig bucket =
        decodeBucket({{"publicBaseURL", "https://other.example"}, {"publicDomains", {domain}}});
    ASSERT_EQ(bucket.publicDomains.size(), 1u);
    EXPECT_EQ(bucket.publicDomains[0].host, "a.example");

    const json written = encode(bucket);
    EXPECT_EQ(written["publicBaseURL"], "https://other.example");
    EXPECT_EQ(decode(jsonio::Tag<BucketConfig>{}, written, ""), bucket);
}

TEST(ConfigJson, PublicDomainBaseUrl) {
    const PublicDomain domain{Uuid::random(), "https", "cdn.example.com:8443", false};
    ASSERT_TRUE(domain.baseURL());
    EXPECT_EQ(domain.baseURL()->port(), 8443);
    EXPECT_EQ(domain.displayName(), "cdn.example.com:8443");
    EXPECT_FALSE((PublicDomain{Uuid::random(), "https", "bad host", false}.baseURL()));
}
