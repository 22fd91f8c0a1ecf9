#pragma once

#include "core/config/ConfigModels.h"
#include "core/config/LegacyAppConfig.h"

#include <map>
#include <vector>

namespace tarn {

// The CDN token key stored for domain `domainID` of bucket `oldBucketID` has to
// move to the same domain of bucket `newBucketID`, because the bucket's ID changed.
struct CDNKeyMove {
    Uuid oldBucketID;
    Uuid newBucketID;
    Uuid domainID;

    bool operator==(const CDNKeyMove&) const = default;
};

struct MigrationResult {
    AppConfig config;                // always at the current schema
    std::map<Uuid, Uuid> idMap;      // old bucket ID to new bucket ID
    std::vector<CDNKeyMove> cdnMoves;
};

// Turns older configurations into the current schema, where a bucket's ID is
// scoped by its account (host, region, access key ID). Pure and total: malformed
// files are already rejected when they are decoded.
namespace ConfigMigrator {

// The schema-less form: buckets are regrouped into one profile per account.
MigrationResult migrate(const LegacyAppConfig& legacy);
// Schema 1 (and below): bucket IDs without the access key are replaced by the
// account-scoped ones. A configuration above schema 1 comes back as it is, marked
// with the current schema number.
MigrationResult upgradeToAccountScopedBucketIDs(const AppConfig& config);

}  // namespace ConfigMigrator

}  // namespace tarn
