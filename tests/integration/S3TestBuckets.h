#pragma once

#include "TestEnvironment.h"

#include "core/config/ConfigModels.h"
#include "core/storage/S3Request.h"
#include "core/storage/StorageModels.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarn::test {

S3Credentials credentialsOf(const S3TestServer& server);

// A new, empty bucket on the test server under a name no other run uses, with the
// server's access key ID.
BucketConfig createBucket(const S3TestServer& server, const std::string& stem);

// Stores an object with `content` under each key, several at a time.
void putObjects(const S3TestServer& server, const BucketConfig& bucket, const std::vector<std::string>& keys,
                std::string_view content = "x");

// Stores one object with headers of the test's choosing (a storage class, a type),
// as another program would.
void putObject(const S3TestServer& server, const BucketConfig& bucket, const std::string& key, std::string_view content,
               const std::vector<HttpHeader>& headers);

}  // namespace tarn::test
