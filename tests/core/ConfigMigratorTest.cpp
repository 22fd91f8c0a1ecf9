#include "core/config/BucketIdentity.h"
#include "core/config/ConfigMigrator.h"
#include "core/config/LegacyAppConfig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tarn;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

Uuid uuid(const char* text) { return *Uuid::parse(text); }
Url url(const char* text) { return *Url::parse(text); }

const Uuid kOld1 = uuid("11111111-0000-4000-8000-000000000001");
const Uuid kOld2 = uuid("11111111-0000-4000-8000-000000000002");
const Uuid kOld3 = uuid("11111111-0000-4000-8000-000000000003");
const Uuid kUnknown = uuid("99999999-0000-4000-8000-000000000009");

BucketConfig bucket(Uuid id, std::string name, const char* endpoint = "https://s3.example.com",
                    std::string region = "r1", std::string key = "AK", std::string displayName = "",
                    std::vector<PublicDomain> domains = {}) {
    BucketConfig result{id, displayName.empty() ? name : displayName, std::move(name), url(endpoint),
                        std::move(region), std::move(key)};
    result.publicDomains = std::move(domains);
    return result;
}

PublicDomain domain(const char* id, const char* host) { return PublicDomain{uuid(id), "https", host, true}; }

LegacyAppConfig legacyWith(std::vector<LegacyStorageProfile> profiles) {
    LegacyAppConfig legacy;
    legacy.profiles = std::move(profiles);
    return legacy;
}

std::vector<std::string> profileNames(const AppConfig& config) {
    std::vector<std::string> names;
    for (const auto& profile : config.profiles) names.push_back(profile.name);
    return names;
}

Uuid newID(const char* host, const char* region, const char* key, const char* name) {
    return BucketIdentity::deterministicID(std::string(host), region, key, name);
}

}  // namespace

TEST(ConfigMigrator, LegacyWithoutProfilesKeepsTheSettingsAndDropsBucketReferences) {
    LegacyAppConfig legacy;
    legacy.favoriteBucketIDs = {kOld1};
    legacy.recentBucketIDs = {kOld2};
    legacy.favoriteDirectories = {FavoriteDirectory{kOld1, "media", "a/"}};
    legacy.history = {OperationHistoryEntry{kOld3, *IsoDate::parse("2024-01-01T00:00:00Z"), "media", "Upload", "x",
                                            true, 5, std::nullopt}};
    legacy.languageCode = "en";
    legacy.debugLogging = true;
    legacy.previewSizeLimitBytes = 7;
    legacy.multipartPartSizeMB = 64;

    const MigrationResult result = ConfigMigrator::migrate(legacy);
    AppConfig expected;
    expected.schemaVersion = 2;
    expected.history = legacy.history;
    expected.languageCode = "en";
    expected.debugLogging = true;
    expected.previewSizeLimitBytes = 7;
    expected.multipartPartSizeMB = 64;
    EXPECT_EQ(result.config, expected);
    EXPECT_THAT(result.idMap, IsEmpty());
    EXPECT_THAT(result.cdnMoves, IsEmpty());
}

TEST(ConfigMigrator, ProfileNamesAreMadeUniquePerAccount) {
    struct Case {
        const char* what;
        std::vector<LegacyStorageProfile> profiles;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"empty names",
         {{kUnknown, "", {bucket(kOld1, "a", "https://one.example")}},
          {kUnknown, "", {bucket(kOld2, "b", "https://two.example")}},
          {kUnknown, "Profile (2)", {bucket(kOld3, "c", "https://three.example")}}},
         {"Profile", "Profile (2)", "Profile (2) (2)"}},
        {"one legacy profile, two access keys",
         {{kUnknown, "Work", {bucket(kOld1, "a", "https://s3.example.com", "r1", "K1"),
                              bucket(kOld2, "b", "https://s3.example.com", "r1", "K2")}}},
         {"Work", "Work (2)"}},
        {"case-sensitive and untrimmed",
         {{kUnknown, "work", {bucket(kOld1, "a", "https://one.example")}},
          {kUnknown, "Work", {bucket(kOld2, "b", "https://two.example")}},
          {kUnknown, " ", {bucket(kOld3, "c", "https://three.example")}}},
         {"work", "Work", " "}},
        {"a profile without buckets leaves nothing",
         {{kUnknown, "Empty", {}}, {kUnknown, "Empty", {bucket(kOld1, "a")}}},
         {"Empty"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(profileNames(ConfigMigrator::migrate(legacyWith(c.profiles)).config), c.expected) << c.what;
    }
}

TEST(ConfigMigrator, BucketsAreGroupedByHostRegionAndAccessKey) {
    const MigrationResult result = ConfigMigrator::migrate(legacyWith({
        {kUnknown, "First", {bucket(kOld1, "b", "https://S3.Example.com", "r1", "AK"),
                             bucket(kOld2, "A", "https://s3.example.com:9000/path", "r1", "AK")}},
        {kUnknown, "Second", {bucket(kOld3, "a", "http://s3.EXAMPLE.com", "r1", "AK"),
                              bucket(kUnknown, "b", "https://s3.example.com", "r1", "AK"),
                              bucket(kUnknown, "c", "https://s3.example.com", "R1", "AK"),
                              bucket(kUnknown, "d", "https://s3.example.com", "r1", "ak")}},
    }));
    ASSERT_EQ(result.config.profiles.size(), 3u);
    const StorageProfile& merged = result.config.profiles[0];
    EXPECT_EQ(merged.name, "First");
    EXPECT_EQ(merged.endpoint.absoluteString(), "https://S3.Example.com");
    EXPECT_EQ(merged.region, "r1");
    EXPECT_EQ(merged.accessKeyID, "AK");
    EXPECT_THAT(merged.bucketNames, ElementsAre("A", "a", "b"));
    EXPECT_EQ(result.config.profiles[1].region, "R1");
    EXPECT_EQ(result.config.profiles[2].accessKeyID, "ak");
    EXPECT_NE(result.config.profiles[0].id, result.config.profiles[1].id);

    EXPECT_EQ(result.idMap.at(kOld1), newID("s3.example.com", "r1", "AK", "b"));
    EXPECT_EQ(result.idMap.at(kOld2), newID("s3.example.com", "r1", "AK", "A"));
    // The last bucket seen under an old ID decides its entry.
    EXPECT_EQ(result.idMap.at(kUnknown), newID("s3.example.com", "r1", "ak", "d"));
}

TEST(ConfigMigrator, EndpointsWithoutHostAreSeparateAccountsWithEmptyHostIDs) {
    const MigrationResult result = ConfigMigrator::migrate(legacyWith({
        {kUnknown, "P", {bucket(kOld1, "media", "one.example/s3"), bucket(kOld2, "media", "two.example/s3")}},
    }));
    EXPECT_THAT(profileNames(result.config), ElementsAre("P", "P (2)"));
    const Uuid expected = BucketIdentity::deterministicID(std::nullopt, "r1", "AK", "media");
    EXPECT_EQ(result.idMap.at(kOld1), expected);
    EXPECT_EQ(result.idMap.at(kOld2), expected);
}

TEST(ConfigMigrator, BucketSettingsAndCdnKeyMoves) {
    const Uuid mediaID = newID("s3.example.com", "r1", "AK", "media");
    const PublicDomain d1 = domain("DDDDDDDD-0000-4000-8000-000000000001", "cdn.example.com");
    const PublicDomain d2 = domain("DDDDDDDD-0000-4000-8000-000000000002", "img.example.com:8080");
    const PublicDomain d3 = domain("DDDDDDDD-0000-4000-8000-000000000003", "other.example.com");

    {
        SCOPED_TRACE("display name equal to the bucket name and no domains");
        const auto result = ConfigMigrator::migrate(legacyWith({{kUnknown, "P", {bucket(kOld1, "media")}}}));
        EXPECT_THAT(result.config.bucketSettings, IsEmpty());
        EXPECT_THAT(result.cdnMoves, IsEmpty());
    }
    {
        SCOPED_TRACE("a display name alone");
        const auto result = ConfigMigrator::migrate(
            legacyWith({{kUnknown, "P", {bucket(kOld1, "media", "https://s3.example.com", "r1", "AK", "Photos")}}}));
        EXPECT_EQ(result.config.bucketSettings.at(mediaID.toString()), (BucketSettings{"Photos", {}}));
        EXPECT_THAT(result.cdnMoves, IsEmpty());
    }
    {
        SCOPED_TRACE("two domains move in order");
        const auto result = ConfigMigrator::migrate(legacyWith(
            {{kUnknown, "P", {bucket(kOld1, "media", "https://s3.example.com", "r1", "AK", "", {d1, d2})}}}));
        EXPECT_EQ(result.config.bucketSettings.at(mediaID.toString()), (BucketSettings{std::nullopt, {d1, d2}}));
        EXPECT_THAT(result.cdnMoves,
                    ElementsAre(CDNKeyMove{kOld1, mediaID, d1.id}, CDNKeyMove{kOld1, mediaID, d2.id}));
    }
    {
        SCOPED_TRACE("buckets meeting under one new ID: first display name, first non-empty domains");
        const auto result = ConfigMigrator::migrate(legacyWith({
            {kUnknown, "A", {bucket(kOld1, "media", "https://s3.example.com", "r1", "AK")}},
            {kUnknown, "B", {bucket(kOld2, "media", "https://S3.example.com", "r1", "AK", "Second", {d1})}},
            {kUnknown, "C", {bucket(kOld3, "media", "https://s3.example.com", "r1", "AK", "Third", {d2, d3})}},
        }));
        EXPECT_EQ(result.config.bucketSettings.at(mediaID.toString()), (BucketSettings{"Second", {d1}}));
        EXPECT_THAT(result.cdnMoves, ElementsAre(CDNKeyMove{kOld2, mediaID, d1.id}, CDNKeyMove{kOld3, mediaID, d2.id},
                                                 CDNKeyMove{kOld3, mediaID, d3.id}));
        EXPECT_THAT(result.config.profiles[0].bucketNames, ElementsAre("media"));
    }
    {
        SCOPED_TRACE("a domain made from an old public base URL moves under its fresh ID");
        BucketConfig old = bucket(kOld1, "media");
        old.publicDomains = {PublicDomain{Uuid::random(), "https", "old.example.com:8443", false}};
        const auto result = ConfigMigrator::migrate(legacyWith({{kUnknown, "P", {old}}}));
        const auto& kept = result.config.bucketSettings.at(mediaID.toString()).publicDomains;
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_THAT(result.cdnMoves, ElementsAre(CDNKeyMove{kOld1, mediaID, kept[0].id}));
    }
    {
        SCOPED_TRACE("a bucket whose ID is already the new one has nothing to move");
        const auto result = ConfigMigrator::migrate(
            legacyWith({{kUnknown, "P", {bucket(mediaID, "media", "https://s3.example.com", "r1", "AK", "", {d1})}}}));
        EXPECT_THAT(result.cdnMoves, IsEmpty());
        EXPECT_EQ(result.idMap.at(mediaID), mediaID);
    }
}

TEST(ConfigMigrator, FavouritesAndRecentsAreRemappedAndDeduplicated) {
    LegacyAppConfig legacy = legacyWith({
        {kUnknown, "P", {bucket(kOld1, "media"), bucket(kOld2, "media", "https://S3.EXAMPLE.COM"), bucket(kOld3, "logs")}},
    });
    const Uuid media = newID("s3.example.com", "r1", "AK", "media");
    const Uuid logs = newID("s3.example.com", "r1", "AK", "logs");
    legacy.favoriteBucketIDs = {kOld1, kUnknown, kOld1};
    legacy.recentBucketIDs = {kOld3, kOld2, kUnknown, kOld1};
    legacy.favoriteDirectories = {FavoriteDirectory{kUnknown, "gone", "x/"}, FavoriteDirectory{kOld2, "media", "a/"},
                                  FavoriteDirectory{kOld1, "media", "a/"}};

    const AppConfig config = ConfigMigrator::migrate(legacy).config;
    EXPECT_THAT(config.favoriteBucketIDs, ElementsAre(media));
    EXPECT_THAT(config.recentBucketIDs, ElementsAre(logs, media));
    // Folders of unknown buckets go; the rest keep their order, duplicates included.
    EXPECT_THAT(config.favoriteDirectories,
                ElementsAre(FavoriteDirectory{media, "media", "a/"}, FavoriteDirectory{media, "media", "a/"}));
}

TEST(ConfigMigrator, UpgradeLeavesSchemaTwoAlone) {
    AppConfig config;
    config.schemaVersion = 2;
    config.profiles = {StorageProfile{kOld1, "P", url("https://s3.example.com"), "r1", "AK", {"media"}}};
    config.favoriteBucketIDs = {kUnknown};
    const MigrationResult result = ConfigMigrator::upgradeToAccountScopedBucketIDs(config);
    EXPECT_EQ(result.config, config);
    EXPECT_THAT(result.idMap, IsEmpty());
    EXPECT_THAT(result.cdnMoves, IsEmpty());
}

TEST(ConfigMigrator, UpgradeWithoutProfilesEmptiesTheBucketLists) {
    AppConfig config;
    config.schemaVersion = 1;
    config.bucketSettings["77777777-0000-4000-8000-000000000007"] = BucketSettings{"Orphan", {}};
    config.favoriteBucketIDs = {kUnknown};
    config.recentBucketIDs = {kUnknown};
    config.favoriteDirectories = {FavoriteDirectory{kUnknown, "gone", "b/"}};

    AppConfig expected = config;
    expected.schemaVersion = 2;
    expected.favoriteBucketIDs.clear();
    expected.recentBucketIDs.clear();
    EXPECT_EQ(ConfigMigrator::upgradeToAccountScopedBucketIDs(config).config, expected);
}

TEST(ConfigMigrator, UpgradeMovesSettingsToAccountScopedIDs) {
    const auto host = std::optional<std::string>("s3.example.com");
    const Uuid oldMedia = BucketIdentity::legacyDeterministicID(host, "r1", "media");
    const Uuid oldDocs = BucketIdentity::legacyDeterministicID(host, "r1", "docs");
    const Uuid k1Docs = newID("s3.example.com", "r1", "K1", "docs");
    const Uuid k2Media = newID("s3.example.com", "r1", "K2", "media");
    const PublicDomain d1 = domain("DDDDDDDD-0000-4000-8000-000000000001", "cdn.example.com");
    const PublicDomain d2 = domain("DDDDDDDD-0000-4000-8000-000000000002", "img.example.com");

    AppConfig config;
    config.schemaVersion = 1;
    config.profiles = {StorageProfile{kOld1, "One", url("https://S3.example.com"), "r1", "K1", {"media", "docs"}},
                       StorageProfile{kOld2, "Two", url("https://s3.example.com:9000"), "r1", "K2", {"media"}}};
    config.bucketSettings[oldMedia.toString()] = BucketSettings{"Shared", {d1, d2}};
    config.bucketSettings[oldDocs.toString()] = BucketSettings{std::nullopt, {}};
    config.favoriteBucketIDs = {oldDocs, kUnknown, oldMedia, oldDocs};
    config.favoriteDirectories = {FavoriteDirectory{kUnknown, "gone", "b/"}, FavoriteDirectory{oldDocs, "docs", "a/"}};

    const MigrationResult result = ConfigMigrator::upgradeToAccountScopedBucketIDs(config);
    // Both accounts share the old media ID; the later profile takes it.
    EXPECT_EQ(result.idMap, (std::map<Uuid, Uuid>{{oldMedia, k2Media}, {oldDocs, k1Docs}}));
    EXPECT_EQ(result.config.bucketSettings, (std::map<std::string, BucketSettings>{
                                                {k2Media.toString(), BucketSettings{"Shared", {d1, d2}}},
                                                {k1Docs.toString(), BucketSettings{std::nullopt, {}}}}));
    EXPECT_THAT(result.cdnMoves,
                ElementsAre(CDNKeyMove{oldMedia, k2Media, d1.id}, CDNKeyMove{oldMedia, k2Media, d2.id}));
    EXPECT_THAT(result.config.favoriteBucketIDs, ElementsAre(k1Docs, k2Media));
    EXPECT_THAT(result.config.favoriteDirectories,
                ElementsAre(FavoriteDirectory{kUnknown, "gone", "b/"}, FavoriteDirectory{k1Docs, "docs", "a/"}));
    EXPECT_EQ(result.config.profiles, config.profiles);
    EXPECT_EQ(result.config.schemaVersion, 2);
}
