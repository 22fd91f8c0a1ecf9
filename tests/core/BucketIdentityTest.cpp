#include "core/config/BucketIdentity.h"

#include <gtest/gtest.h>

using namespace tarn;

TEST(BucketIdentity, WorkedExample) {
    EXPECT_EQ(BucketIdentity::uuidFromCanonical("abc").toString(), "BA7816BF-8F01-5FEA-8141-40DE5DAE2223");
}

TEST(BucketIdentity, CanonicalTextIsHostRegionKeyBucket) {
    EXPECT_EQ(BucketIdentity::deterministicID(std::string("s3.example.com"), "r1", "AK", "media"),
              BucketIdentity::uuidFromCanonical("s3.example.com|r1|AK|media"));
    EXPECT_EQ(BucketIdentity::legacyDeterministicID(std::string("s3.example.com"), "r1", "media"),
              BucketIdentity::uuidFromCanonical("s3.example.com|r1|media"));
    EXPECT_EQ(BucketIdentity::deterministicID(std::nullopt, "r", "k", "b"),
              BucketIdentity::uuidFromCanonical("|r|k|b"));
    EXPECT_EQ(BucketIdentity::deterministicID(std::nullopt, "r", "k", "b"),
              BucketIdentity::deterministicID(std::string(), "r", "k", "b"));
    // An IPv6 endpoint contributes its host without brackets.
    EXPECT_EQ(BucketIdentity::deterministicID(*Url::parse("http://[2001:DB8::1]:9000"), "r", "k", "b"),
              BucketIdentity::uuidFromCanonical("2001:db8::1|r|k|b"));
}

TEST(BucketIdentity, OnlyTheHostIsCaseFolded) {
    const Uuid base = BucketIdentity::deterministicID(*Url::parse("https://s3.example.com"), "r", "AK", "media");
    for (const char* endpoint : {"https://S3.EXAMPLE.com", "http://s3.example.com", "https://s3.example.com:8443/x"}) {
        EXPECT_EQ(BucketIdentity::deterministicID(*Url::parse(endpoint), "r", "AK", "media"), base) << endpoint;
    }
    EXPECT_EQ(BucketIdentity::deterministicID(std::string("s3.example.com"), "r", "AK", "media"), base);
    EXPECT_NE(BucketIdentity::deterministicID(*Url::parse("https://s3.example.com"), "R", "AK", "media"), base);
    EXPECT_NE(BucketIdentity::deterministicID(*Url::parse("https://s3.example.com"), "r", "ak", "media"), base);
    EXPECT_NE(BucketIdentity::deterministicID(*Url::parse("https://s3.example.com"), "r", "AK", "Media"), base);
    EXPECT_NE(BucketIdentity::legacyDeterministicID(std::string("s3.example.com"), "r", "media"), base);
}

TEST(BucketIdentity, VersionAndVariantDigits) {
    for (const char* bucket : {"a", "b", "media", "", "长名字"}) {
        const std::string text = BucketIdentity::deterministicID(std::string("h"), "r", "k", bucket).toString();
        EXPECT_EQ(text[14], '5') << text;
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
    }
}
