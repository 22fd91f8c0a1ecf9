#include "core/config/ConfigMigrator.h"

#include "core/config/BucketIdentity.h"
#include "core/config/LegacyAppConfig.h"
#include "core/text/AsciiCase.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace tarn::ConfigMigrator {

namespace {

// The legacy file's buckets are regrouped by the account they belong to.
struct AccountKey {
    std::string host;
    std::string region;
    std::string accessKeyID;

    auto operator<=>(const AccountKey&) const = default;
};

struct Account {
    Url endpoint;  // of the account's first bucket
    std::string name;
    std::vector<std::string> bucketNames;
};

// An endpoint without a host still separates accounts by its whole text.
AccountKey accountKey(const BucketConfig& bucket) {
    return AccountKey{AsciiCase::lowercased(bucket.endpoint.host().value_or(bucket.endpoint.absoluteString())),
                      bucket.region, bucket.accessKeyID};
}

std::string uniqueName(const std::string& name, const std::set<std::string>& used) {
    const std::string base = name.empty() ? "Profile" : name;
    if (!used.contains(base)) return base;
    for (int n = 2;; ++n) {
        std::string candidate = base + " (" + std::to_string(n) + ")";
        if (!used.contains(candidate)) return candidate;
    }
}

// Unknown IDs are dropped, and two old IDs of one bucket leave one entry behind.
std::vector<Uuid> remap(const std::vector<Uuid>& ids, const std::map<Uuid, Uuid>& idMap) {
    std::vector<Uuid> result;
    std::set<Uuid> emitted;
    for (const Uuid& id : ids) {
        const auto it = idMap.find(id);
        if (it == idMap.end() || !emitted.insert(it->second).second) continue;
        result.push_back(it->second);
    }
    return result;
}

void appendMoves(std::vector<CDNKeyMove>& moves, const Uuid& oldID, const Uuid& newID,
                 const std::vector<PublicDomain>& domains) {
    for (const PublicDomain& domain : domains) moves.push_back(CDNKeyMove{oldID, newID, domain.id});
}

// Buckets that meet under one new ID keep the first display name and the first
// non-empty domain list.
void mergeSettings(std::map<std::string, BucketSettings>& settings, const std::string& key,
                   const std::optional<std::string>& displayName, const std::vector<PublicDomain>& domains) {
    BucketSettings& entry = settings[key];
    if (!entry.displayName) entry.displayName = displayName;
    if (entry.publicDomains.empty()) entry.publicDomains = domains;
}

}  // namespace

MigrationResult migrate(const LegacyAppConfig& legacy) {
    std::map<AccountKey, Account> accounts;
    std::vector<AccountKey> accountOrder;
    std::set<std::string> usedNames;
    MigrationResult result;
    AppConfig& config = result.config;

    for (const LegacyStorageProfile& profile : legacy.profiles) {
        for (const BucketConfig& bucket : profile.buckets) {
            const AccountKey key = accountKey(bucket);
            auto [it, isNew] = accounts.try_emplace(key, Account{bucket.endpoint, {}, {}});
            Account& account = it->second;
            if (isNew) {
                accountOrder.push_back(key);
                account.name = uniqueName(profile.name, usedNames);
                usedNames.insert(account.name);
            }
            if (std::find(account.bucketNames.begin(), account.bucketNames.end(), bucket.bucketName) ==
                account.bucketNames.end()) {
                account.bucketNames.push_back(bucket.bucketName);
            }

            const Uuid newID =
                BucketIdentity::deterministicID(bucket.endpoint, key.region, key.accessKeyID, bucket.bucketName);
            result.idMap[bucket.id] = newID;

            std::optional<std::string> displayName;
            if (bucket.displayName != bucket.bucketName) displayName = bucket.displayName;
            if (displayName || !bucket.publicDomains.empty()) {
                mergeSettings(config.bucketSettings, newID.toString(), displayName, bucket.publicDomains);
            }
            if (bucket.id != newID) appendMoves(result.cdnMoves, bucket.id, newID, bucket.publicDomains);
        }
    }

    for (const AccountKey& key : accountOrder) {
        Account& account = accounts.at(key);
        // std::string orders by unsigned bytes, which for UTF-8 is code point order.
        std::sort(account.bucketNames.begin(), account.bucketNames.end());
        config.profiles.push_back(StorageProfile{Uuid::random(), account.name, account.endpoint, key.region,
                                                 key.accessKeyID, account.bucketNames});
    }

    config.schemaVersion = AppConfig::currentSchemaVersion;
    config.favoriteBucketIDs = remap(legacy.favoriteBucketIDs, result.idMap);
    config.recentBucketIDs = remap(legacy.recentBucketIDs, result.idMap);
    for (FavoriteDirectory directory : legacy.favoriteDirectories) {
        const auto it = result.idMap.find(directory.bucketID);
        if (it == result.idMap.end()) continue;
        directory.bucketID = it->second;
        config.favoriteDirectories.push_back(std::move(directory));
    }
    config.history = legacy.history;
    config.languageCode = legacy.languageCode;
    config.debugLogging = legacy.debugLogging;
    config.previewSizeLimitBytes = legacy.previewSizeLimitBytes;
    config.multipartPartSizeMB = legacy.multipartPartSizeMB;
    return result;
}

MigrationResult upgradeToAccountScopedBucketIDs(const AppConfig& input) {
    MigrationResult result{input, {}, {}};
    AppConfig& config = result.config;
    config.schemaVersion = AppConfig::currentSchemaVersion;
    if (input.schemaVersion > AppConfig::profileCentricSchemaVersion) return result;

    for (const StorageProfile& profile : input.profiles) {
        const auto& host = profile.endpoint.host();
        for (const std::string& bucketName : profile.bucketNames) {
            const Uuid oldID = BucketIdentity::legacyDeterministicID(host, profile.region, bucketName);
            const Uuid newID = BucketIdentity::deterministicID(host, profile.region, profile.accessKeyID, bucketName);
            if (oldID != newID) result.idMap[oldID] = newID;
        }
    }

    for (const auto& [oldID, newID] : result.idMap) {
        auto entry = config.bucketSettings.extract(oldID.toString());
        if (entry.empty()) continue;
        appendMoves(result.cdnMoves, oldID, newID, entry.mapped().publicDomains);
        config.bucketSettings.insert_or_assign(newID.toString(), std::move(entry.mapped()));
    }

    config.favoriteBucketIDs = remap(input.favoriteBucketIDs, result.idMap);
    config.recentBucketIDs = remap(input.recentBucketIDs, result.idMap);
    for (FavoriteDirectory& directory : config.favoriteDirectories) {
        const auto it = result.idMap.find(directory.bucketID);
        if (it != result.idMap.end()) directory.bucketID = it->second;
    }
    return result;
}

}  // namespace tarn::ConfigMigrator
