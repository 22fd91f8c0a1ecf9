#pragma once

#include "core/values/Url.h"
#include "core/values/Uuid.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// A bucket has no ID at the service; its UUID is derived from the account and the
// name, so settings, favourites and stored CDN keys follow it across re-imports and
// machines with nothing stored to remember it.
//
// The UUID is the first 16 bytes of SHA-256 over "host|region|accessKeyID|bucket"
// (host lower-cased), with version bits 5 and the RFC 4122 variant. It is not an
// RFC 4122 name-based UUID: no namespace, SHA-256 rather than SHA-1.
namespace BucketIdentity {

// IPv6 endpoints contribute their host without brackets ("::1").
Uuid deterministicID(const Url& endpoint, std::string_view region, std::string_view accessKeyID,
                     std::string_view bucketName);
Uuid deterministicID(const std::optional<std::string>& host, std::string_view region, std::string_view accessKeyID,
                     std::string_view bucketName);
// The schema-1 form without the access key, kept only for migration.
Uuid legacyDeterministicID(const std::optional<std::string>& host, std::string_view region,
                           std::string_view bucketName);

// Exposed for tests of the hashing step itself.
Uuid uuidFromCanonical(std::string_view canonical);

}  // namespace BucketIdentity

}  // namespace tarn
