#pragma once

#include "core/config/CDNKeyMove.h"
#include "core/config/ConfigModels.h"

#include <map>
#include <vector>

namespace tarn {

struct LegacyAppConfig;

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
