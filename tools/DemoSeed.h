#pragma once

#include "core/config/ConfigModels.h"
#include "core/values/Url.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

class ConfigStore;
class KeychainSecretStore;

// What `scripts/run --demo` shows a newcomer without a storage account: a bucket of
// a few sample files on a local test server, and a configuration holding one account
// for it, with its secret in the keyring. Written through the program's own core, so
// that the program finds everything where it looks.
namespace DemoSeed {

struct Account {
    std::string name;
    Url endpoint;
    std::string region;
    std::string accessKeyID;
    std::string secretAccessKey;
    std::string bucketName;
};

// One file to store: its key and where it is on disk.
using SampleFile = std::pair<std::string, std::filesystem::path>;

// Every regular file below `folder`, keyed by its path relative to it ("/"-separated),
// in key order.
std::vector<SampleFile> samplesIn(const std::filesystem::path& folder);

// The account's bucket as the program builds it from the account.
BucketConfig bucketOf(const Account& account);

// Creates the bucket (one that exists already is used as it is) and stores the
// files in it. Throws what the storage client throws.
void fillBucket(const Account& account, const std::vector<SampleFile>& files);

// Writes a current configuration with the account as its only one, in the language
// given, and saves the account's secret under the name the program reads it by.
// Returns the account as written.
StorageProfile writeAccount(const Account& account, const std::string& languageCode, const ConfigStore& configStore,
                            KeychainSecretStore& secretStore);

}  // namespace DemoSeed
}  // namespace tarn
