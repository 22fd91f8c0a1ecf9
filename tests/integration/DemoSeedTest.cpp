#include "DemoSeed.h"

#include "S3TestBuckets.h"
#include "TestEnvironment.h"
#include "core/TestFiles.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <variant>

namespace tarn::test {
namespace {

// What `scripts/run --demo` writes must be what the program reads: the account in a
// current configuration, its secret under the name the program builds from the
// account's bucket, and the sample files in that bucket.
TEST(DemoSeed, WritesAnAccountTheProgramFindsWithItsBucketFilled)
{
    TARN_REQUIRE_S3_SERVER(server);
    if (std::getenv("TARN_TEST_KEYRING") == nullptr) GTEST_SKIP() << "not run under scripts/test";

    TemporaryFolder folder;
    std::filesystem::create_directories(folder.path() / "samples/docs");
    writeFile(folder.path() / "samples/README.md", "# Demo\n");
    writeFile(folder.path() / "samples/docs/guide.md", "guide");
    writeFile(folder.path() / "logo.png", "png");
    std::vector<DemoSeed::SampleFile> files = DemoSeed::samplesIn(folder.path() / "samples");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].first, "README.md");
    EXPECT_EQ(files[1].first, "docs/guide.md");
    files.emplace_back("images/logo.png", folder.path() / "logo.png");

    const DemoSeed::Account account{"Demo", *Url::parse(server.endpoint), server.region, server.accessKey,
                                    server.secretKey, uniqueBucketName("demo")};
    DemoSeed::fillBucket(account, files);
    DemoSeed::fillBucket(account, files);  // a second run finds the bucket there

    const ConfigStore configStore(folder.path() / "config/config.json");
    KeychainSecretStore secretStore("tarn-test.demo-seed");
    const StorageProfile written = DemoSeed::writeAccount(account, "en", configStore, secretStore);

    const ConfigStore::RawLoad raw = configStore.loadRaw();
    ASSERT_TRUE(std::holds_alternative<AppConfig>(raw));
    const AppConfig& config = std::get<AppConfig>(raw);
    EXPECT_EQ(config.schemaVersion, AppConfig::currentSchemaVersion);
    EXPECT_EQ(config.languageCode, "en");
    ASSERT_EQ(config.profiles.size(), 1u);
    EXPECT_EQ(config.profiles.front(), written);
    EXPECT_THAT(written.bucketNames, ::testing::ElementsAre(account.bucketName));

    const BucketConfig bucket = DemoSeed::bucketOf(account);
    const std::optional<std::string> secret = secretStore.secret(KeychainSecretStore::accountSecretAccount(bucket));
    secretStore.deleteSecret(KeychainSecretStore::accountSecretAccount(bucket));
    EXPECT_EQ(secret, server.secretKey);

    S3Client client;
    std::vector<std::string> keys;
    for (const ObjectItem& item : client.listObjects(bucket, credentialsOf(server), "")) keys.push_back(item.key);
    EXPECT_THAT(keys, ::testing::UnorderedElementsAre("README.md", "docs/guide.md", "images/logo.png"));
}

}  // namespace
}  // namespace tarn::test
