#include "core/config/LegacyAppConfig.h"

#include "core/config/ConfigJson.h"

#include "TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tarn;
using nlohmann::json;

namespace {

LegacyAppConfig decodeLegacy(const json& document) { return decode(Tag<LegacyAppConfig>{}, document, ""); }

json oneBucketProfile() {
    return json::parse(R"({"id": "AAAAAAAA-0000-4000-8000-00000000000A", "name": "Work", "buckets": [
        {"id": "11111111-0000-4000-8000-000000000001", "displayName": "media", "bucketName": "media",
         "endpoint": "https://s3.example.com", "region": "r1", "accessKeyID": "AK",
         "publicBaseURL": "https://cdn.example.com:8443/static"}]})");
}

}  // namespace

TEST(LegacyAppConfig, RoundTripsThroughItsJsonForm) {
    const LegacyAppConfig legacy = decodeLegacy(json::parse(test::readTestData("config/legacy.json")));
    ASSERT_EQ(legacy.profiles.size(), 3u);
    EXPECT_EQ(legacy.profiles[1].buckets[0].publicDomains[0].id.toString(), "DDDDDDDD-0000-4000-8000-000000000003");
    EXPECT_EQ(legacy.multipartPartSizeMB, 16);
    EXPECT_EQ(decodeLegacy(encode(legacy)), legacy);
    EXPECT_EQ(encode(legacy).size(), 9u);
}

TEST(LegacyAppConfig, OldPublicBaseURLBecomesOneDomain) {
    const LegacyAppConfig legacy = decodeLegacy(json{{"profiles", json::array({oneBucketProfile()})}});
    const auto& domains = legacy.profiles[0].buckets[0].publicDomains;
    ASSERT_EQ(domains.size(), 1u);
    EXPECT_EQ(domains[0].host, "cdn.example.com:8443");
    EXPECT_FALSE(domains[0].hasCDNAuthKey);
}

TEST(LegacyAppConfig, IsReadWholeOrNotAtAll) {
    struct Case {
        const char* what;
        json document;
        const char* errorMentions;
    };
    json noBuckets = oneBucketProfile();
    noBuckets.erase("buckets");
    json bucketWithoutRegion = oneBucketProfile();
    bucketWithoutRegion["buckets"][0].erase("region");
    const std::vector<Case> cases = {
        {"profile without buckets", {{"profiles", json::array({noBuckets})}}, "profiles[0].buckets"},
        {"bucket without region", {{"profiles", json::array({bucketWithoutRegion})}}, "profiles[0].buckets[0].region"},
        {"optional key of the wrong type", {{"debugLogging", 1}}, "debugLogging"},
        {"favourite that is not a UUID", {{"favoriteBucketIDs", {"media"}}}, "favoriteBucketIDs[0]"},
    };
    for (const Case& c : cases) {
        try {
            decodeLegacy(c.document);
            ADD_FAILURE() << c.what << " decoded";
        } catch (const JsonDecodeError& error) {
            EXPECT_THAT(error.what(), ::testing::HasSubstr(c.errorMentions)) << c.what;
        }
    }
    EXPECT_EQ(decodeLegacy(json{{"languageCode", nullptr}}).languageCode, "zh");
}
