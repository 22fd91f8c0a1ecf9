#include "core/storage/S3BucketListParser.h"
#include "core/storage/XmlParseError.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace tarn;

TEST(S3BucketListParser, SumsTheMakersTotals) {
    const std::vector<S3BucketInfo> expected{
        // Every element ending in "Bytes" or "Files" counts.
        {"media", 1073741824 + 512, 1200 + 3},
        // A sum past the 64-bit range stays at the bound; unreadable totals are 0.
        {"backups", INT64_MAX, 0},
        // An entry without a name is still an entry.
        {"", 0, 0},
    };
    EXPECT_EQ(S3BucketListParser::parse(test::readTestData("xml/bucket-list-totals.xml")), expected);
}

TEST(S3BucketListParser, ServicesWithoutTotalsGiveZero) {
    const std::vector<S3BucketInfo> expected{{"amzn-s3-demo-bucket", 0, 0}, {"examplebucket", 0, 0}};
    EXPECT_EQ(S3BucketListParser::parse(test::readTestData("xml/bucket-list-plain.xml")), expected);
}

TEST(S3BucketListParser, IgnoresEverythingOutsideBuckets) {
    EXPECT_TRUE(S3BucketListParser::parse("<Error><Code>AccessDenied</Code><Name>x</Name></Error>").empty());
    EXPECT_TRUE(S3BucketListParser::parse("<ListAllMyBucketsResult><Buckets/></ListAllMyBucketsResult>").empty());
}

TEST(S3BucketListParser, MalformedDocumentsFail) {
    for (const std::string document : {"", "<Buckets><Bucket><Name>a</Bucket>", "{\"buckets\": []}"}) {
        EXPECT_THROW(S3BucketListParser::parse(document), XmlParseError) << document;
    }
}
