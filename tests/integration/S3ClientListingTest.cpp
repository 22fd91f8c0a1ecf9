#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "core/storage/CancelledError.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

using tarn::S3Client;
using testing::ElementsAre;
using testing::MatchesRegex;

namespace {

std::vector<std::string> keysOf(const std::vector<tarn::ObjectItem>& objects) {
    std::vector<std::string> keys;
    for (const tarn::ObjectItem& object : objects) keys.push_back(object.key);
    return keys;
}

std::vector<std::string> prefixesOf(const tarn::S3Listing& listing) {
    std::vector<std::string> prefixes;
    for (const tarn::ObjectPrefix& prefix : listing.prefixes) prefixes.push_back(prefix.prefix);
    return prefixes;
}

// The keys of a folder of 2,500 objects: more than two of the server's 1,000-key pages.
std::vector<std::string> manyKeys() {
    std::vector<std::string> keys;
    char name[32];
    for (int i = 0; i < 2500; ++i) {
        std::snprintf(name, sizeof name, "many/obj-%05d", i);
        keys.emplace_back(name);
    }
    return keys;
}

struct CapturedLines {
    std::mutex mutex;
    std::vector<std::string> lines;

    S3Client::Logger logger() {
        return [this](std::string_view line) {
            const std::lock_guard lock(mutex);
            lines.emplace_back(line);
        };
    }
    std::size_t count(std::string_view start) {
        const std::lock_guard lock(mutex);
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(start); }));
    }
};

}  // namespace

TEST(S3ClientListing, ListsTheBucketsOfTheAccount) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig first = tarn::test::createBucket(server, "buckets-a");
    const tarn::BucketConfig second = tarn::test::createBucket(server, "buckets-b");
    S3Client client;
    CapturedLines log;
    client.setLogger(log.logger());

    const auto buckets = client.listBuckets(first.endpoint, server.region, tarn::test::credentialsOf(server));
    for (const auto& name : {first.bucketName, second.bucketName}) {
        // A server without the maker's totals reports none, read as 0 and 0.
        EXPECT_THAT(buckets, testing::Contains(tarn::S3BucketInfo{name, 0, 0})) << name;
    }
    EXPECT_EQ(log.count("listBuckets(localhost) → " + std::to_string(buckets.size()) + " 个桶 ["), 1u);
    EXPECT_EQ(log.count("  body: "), 0u);
}

TEST(S3ClientListing, ListsAFolderOfManyObjectsAcrossPagesInOrder) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "many");
    const std::vector<std::string> keys = manyKeys();
    std::vector<std::string> stored = keys;
    stored.insert(stored.end(), {"many-sibling.txt", "other/x"});
    tarn::test::putObjects(server, bucket, stored);
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    S3Client client;
    CapturedLines log;
    client.setLogger(log.logger());

    EXPECT_EQ(keysOf(client.listObjects(bucket, credentials, "many/")), keys);
    EXPECT_EQ(log.count("← 200 "), 3u);

    const tarn::S3Listing first = client.listPage(bucket, credentials, "many/", "/", std::nullopt);
    ASSERT_EQ(first.objects.size(), 1000u);
    ASSERT_TRUE(first.isTruncated);
    ASSERT_TRUE(first.nextContinuationToken);
    const tarn::S3Listing second = client.listPage(bucket, credentials, "many/", "/", first.nextContinuationToken);
    ASSERT_FALSE(second.objects.empty());
    EXPECT_EQ(second.objects.front().key, keys[1000]);
    EXPECT_EQ(second.objects.front().size, 1);
    EXPECT_TRUE(second.objects.front().lastModified);

    // A stop request that arrives while the first page is answered ends the listing
    // before the next page is asked for.
    std::stop_source stop;
    log.lines.clear();
    client.setLogger([&, write = log.logger()](std::string_view line) {
        write(line);
        if (line.starts_with("← 200 ")) stop.request_stop();
    });
    EXPECT_THROW(client.listObjects(bucket, credentials, "many/", stop.get_token()), tarn::CancelledError);
    EXPECT_EQ(log.count("← "), 1u);
    EXPECT_THAT(log.lines.back(), MatchesRegex("✗ \\[[0-9]+ms\\] The operation was cancelled\\."));
}

TEST(S3ClientListing, ListsFoldersWithTheDelimiter) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "folders");
    tarn::test::putObjects(server, bucket, {"a.txt", "docs/x.md", "docs/deep/y.md", "photos/2024/p.jpg", "z/"});
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    S3Client client;

    const tarn::S3Listing root = client.list(bucket, credentials, "", "/");
    EXPECT_THAT(keysOf(root.objects), ElementsAre("a.txt"));
    EXPECT_THAT(prefixesOf(root), ElementsAre("docs/", "photos/", "z/"));
    EXPECT_FALSE(root.isTruncated);

    const tarn::S3Listing docs = client.listPage(bucket, credentials, "docs/", "/", std::nullopt);
    EXPECT_THAT(keysOf(docs.objects), ElementsAre("docs/x.md"));
    EXPECT_THAT(prefixesOf(docs), ElementsAre("docs/deep/"));

    // A folder marker lists as an object inside its own folder.
    EXPECT_THAT(keysOf(client.list(bucket, credentials, "z/", "/").objects), ElementsAre("z/"));
}

TEST(S3ClientListing, KeysWithSpacesPlusPercentAndNonAsciiLettersRoundTrip) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "keys");
    const std::vector<std::string> keys = {"100% done/a+b=c&d.txt", "sp ace/two  spaces .txt", "ünï/日本語 ファイル.txt",
                                           "ünï/résumé.pdf"};
    tarn::test::putObjects(server, bucket, keys);
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    S3Client client;

    std::vector<std::string> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(keysOf(client.listObjects(bucket, credentials, "")), sorted);
    for (const std::string folder : {"100% done/", "sp ace/", "ünï/"}) {
        const tarn::S3Listing page = client.listPage(bucket, credentials, folder, "/", std::nullopt);
        ASSERT_FALSE(page.objects.empty()) << folder;
        for (const tarn::ObjectItem& object : page.objects) EXPECT_TRUE(object.key.starts_with(folder)) << object.key;
    }
    EXPECT_THAT(prefixesOf(client.list(bucket, credentials, "", "/")), ElementsAre("100% done/", "sp ace/", "ünï/"));
}

TEST(S3ClientListing, UnfinishedMultipartUploadsAreListed) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "uploads");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    for (const std::string key : {"big one.iso", "video.mp4"}) {
        const tarn::S3Request start = tarn::S3RequestBuilder::request(
            "POST", tarn::S3RequestBuilder::createMultipartUploadURL(bucket, key), bucket, credentials, {},
            std::nullopt, {}, std::chrono::system_clock::now());
        ASSERT_EQ(tarn::HttpExchange::perform(start).statusCode, 200);
    }
    S3Client client;
    const tarn::MultipartUploadListing listing =
        client.listMultipartUploads(bucket, credentials, std::nullopt, std::nullopt);
    ASSERT_EQ(listing.uploads.size(), 2u);
    EXPECT_EQ(listing.uploads[0].key, "big one.iso");
    EXPECT_FALSE(listing.uploads[0].uploadId.empty());
    EXPECT_TRUE(listing.uploads[0].initiated);
    EXPECT_FALSE(listing.isTruncated);
}

TEST(S3ClientListing, MissingBucketIsAStorageErrorWithStatusAndCode) {
    TARN_REQUIRE_S3_SERVER(server);
    tarn::BucketConfig missing;
    missing.bucketName = tarn::test::uniqueBucketName("missing");
    missing.endpoint = *tarn::Url::parse(server.endpoint);
    missing.region = server.region;
    S3Client client;
    CapturedLines log;
    client.setLogger(log.logger());
    try {
        client.listPage(missing, tarn::test::credentialsOf(server), "", "/", std::nullopt);
        FAIL() << "listed a bucket that does not exist";
    } catch (const tarn::S3Error& error) {
        EXPECT_EQ(error.statusCode(), 404);
        EXPECT_EQ(error.errorCode(), "NoSuchBucket");
    }
    // The signature is cut short in the log; the credential scope before it stays readable.
    EXPECT_THAT(log.lines, ElementsAre(testing::StartsWith("→ GET http://" + missing.bucketName + ".localhost:"),
                                       MatchesRegex("← 404 \\[[0-9]+ms\\] .*"),
                                       MatchesRegex("  request headers: Authorization: AWS4-HMAC-SHA256 "
                                                    "Credential=[^;]{20}…; Host: .*; x-amz-content-sha256: "
                                                    "e3b0c442[0-9a-f]{56}; x-amz-date: [0-9]{8}T[0-9]{6}Z"),
                                       testing::HasSubstr("<Code>NoSuchBucket</Code>")));
}
