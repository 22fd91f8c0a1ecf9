#include "core/config/KeychainSecretStore.h"

#include <gtest/gtest.h>

// Account names only: they need no keyring, and every caller must build the same
// names to find the same items.

using namespace tarn;

TEST(KeychainSecretStore, AccountNameOfAStorageAccount) {
    const std::pair<const char*, const char*> cases[] = {
        {"https://s3.example.com", "s3acct|s3.example.com|us-east-1|AKID"},
        {"https://S3.Example.COM", "s3acct|S3.Example.COM|us-east-1|AKID"},  // capitals kept
        {"http://s3.example.com:9000/base?x=1", "s3acct|s3.example.com|us-east-1|AKID"},  // no port, no path
        {"http://[2001:db8::1]:9000", "s3acct|2001:db8::1|us-east-1|AKID"},
        {"s3.example.com", "s3acct|s3.example.com|us-east-1|AKID"},  // no host: the whole text
        {"s3.example.com/base", "s3acct|s3.example.com/base|us-east-1|AKID"},
    };
    for (const auto& [endpoint, account] : cases) {
        EXPECT_EQ(KeychainSecretStore::accountSecretAccount(*Url::parse(endpoint), "us-east-1", "AKID"), account)
            << endpoint;
    }
    // Region and key as stored, even when empty.
    EXPECT_EQ(KeychainSecretStore::accountSecretAccount(*Url::parse("https://h"), "", ""), "s3acct|h||");

    BucketConfig bucket;
    bucket.endpoint = *Url::parse("https://Cos.Example.com:443");
    bucket.region = "ap-guangzhou";
    bucket.accessKeyID = "AK|1";
    EXPECT_EQ(KeychainSecretStore::accountSecretAccount(bucket), "s3acct|Cos.Example.com|ap-guangzhou|AK|1");
}

TEST(KeychainSecretStore, AccountNameOfACdnTokenKey) {
    const Uuid bucket = *Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e");
    const Uuid domain = *Uuid::parse("7C9E6679-7425-40DE-944B-E07FC1F90AE7");
    const std::string account = KeychainSecretStore::cdnAccount(bucket, domain);
    EXPECT_EQ(account, "0F8FAD5B-D9CB-469F-A165-70867728950E:cdn:7C9E6679-7425-40DE-944B-E07FC1F90AE7");
    EXPECT_EQ(account.size(), 77u);
}

TEST(KeychainError, DescriptionsNameTheCause) {
    using Kind = KeychainError::Kind;
    EXPECT_EQ(KeychainError(Kind::failed, "No such secret collection at path: /").errorDescription(),
              "The keyring returned an error: No such secret collection at path: /.");
    EXPECT_EQ(KeychainError(Kind::unavailable, "Could not connect: No such file or directory").errorDescription(),
              "The keyring (Secret Service) is not available: Could not connect: No such file or directory.");
    EXPECT_EQ(KeychainError(Kind::timedOut, "no answer within 60 s").what(),
              std::string("The keyring did not answer in time: no answer within 60 s."));
    EXPECT_EQ(KeychainError(Kind::invalidSecret, "").errorDescription(), "The secret is not valid UTF-8 text.");
    EXPECT_EQ(KeychainError(Kind::failed, "Done.").storeMessage(), "Done.");
    EXPECT_EQ(KeychainError(Kind::failed, "Done.").errorDescription(), "The keyring returned an error: Done.");
}
