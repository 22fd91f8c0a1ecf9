#include "DemoSeed.h"

#include "core/config/BucketIdentity.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/values/Uuid.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace tarn::DemoSeed {

namespace {

// A bucket is made by a PUT on its own URL; the storage client has no such operation,
// since the program never creates buckets.
void createBucket(const BucketConfig& bucket, const S3Credentials& credentials)
{
    const S3Request request = S3RequestBuilder::request("PUT", S3RequestBuilder::objectURL(bucket, ""), bucket,
                                                        credentials, {}, std::nullopt, {},
                                                        std::chrono::system_clock::now());
    const HttpResponse response = HttpExchange::perform(request);
    // 409 is the server saying the bucket is there already (and ours).
    if (response.statusCode != 200 && response.statusCode != 409) {
        throw std::runtime_error("creating the bucket " + bucket.bucketName + " answered " +
                                 std::to_string(response.statusCode) + ": " + std::string(response.bodyText()));
    }
}

}  // namespace

std::vector<SampleFile> samplesIn(const std::filesystem::path& folder)
{
    std::vector<SampleFile> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.emplace_back(entry.path().lexically_relative(folder).generic_string(), entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

BucketConfig bucketOf(const Account& account)
{
    BucketConfig bucket;
    bucket.id = BucketIdentity::deterministicID(account.endpoint, account.region, account.accessKeyID,
                                                account.bucketName);
    bucket.displayName = account.bucketName;
    bucket.bucketName = account.bucketName;
    bucket.endpoint = account.endpoint;
    bucket.region = account.region;
    bucket.accessKeyID = account.accessKeyID;
    return bucket;
}

void fillBucket(const Account& account, const std::vector<SampleFile>& files)
{
    const BucketConfig bucket = bucketOf(account);
    const S3Credentials credentials{account.accessKeyID, account.secretAccessKey};
    createBucket(bucket, credentials);
    S3Client client;
    for (const auto& [key, file] : files) {
        client.upload(file, bucket, credentials, key);
    }
}

StorageProfile writeAccount(const Account& account, const std::string& languageCode, const ConfigStore& configStore,
                            KeychainSecretStore& secretStore)
{
    StorageProfile profile;
    profile.id = Uuid::random();
    profile.name = account.name;
    profile.endpoint = account.endpoint;
    profile.region = account.region;
    profile.accessKeyID = account.accessKeyID;
    profile.bucketNames = {account.bucketName};

    AppConfig config = ConfigStore::defaultConfig();
    config.languageCode = languageCode;
    config.profiles = {profile};
    configStore.save(config);
    secretStore.save(account.secretAccessKey, KeychainSecretStore::accountSecretAccount(
                                                  account.endpoint, account.region, account.accessKeyID));
    return profile;
}

}  // namespace tarn::DemoSeed
