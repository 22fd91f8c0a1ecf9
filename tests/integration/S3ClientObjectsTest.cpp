#include "S3TestBuckets.h"
#include "TestEnvironment.h"
#include "core/TestFiles.h"

#include "core/storage/ArchivedObjectError.h"
#include "core/storage/CancelledError.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

using tarn::S3Client;
using testing::ElementsAre;

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLargeSize = 20 * 1024 * 1024;

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

std::string asString(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> keysIn(S3Client& client, const tarn::BucketConfig& bucket,
                                const tarn::S3Credentials& credentials) {
    std::vector<std::string> keys;
    for (const tarn::ObjectItem& item : client.listObjects(bucket, credentials, "")) keys.push_back(item.key);
    return keys;
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Stores an object with headers of the test's choosing, as another program would.
void putWithHeaders(const tarn::test::S3TestServer& server, const tarn::BucketConfig& bucket, const std::string& key,
                    const std::string& content, const std::vector<tarn::HttpHeader>& headers) {
    const tarn::S3Request request = tarn::S3RequestBuilder::request(
        "PUT", tarn::S3RequestBuilder::objectURL(bucket, key), bucket, tarn::test::credentialsOf(server),
        {content.begin(), content.end()}, std::nullopt, headers, std::chrono::system_clock::now());
    ASSERT_EQ(tarn::HttpExchange::perform(request).statusCode, 200);
}

// The storage class each listed key has, in listing order.
std::vector<std::pair<std::string, std::string>> classesIn(S3Client& client, const tarn::BucketConfig& bucket,
                                                           const tarn::S3Credentials& credentials) {
    std::vector<std::pair<std::string, std::string>> classes;
    for (const tarn::ObjectItem& item : client.listObjects(bucket, credentials, "")) {
        classes.emplace_back(item.key, item.storageClass.value_or("?"));
    }
    return classes;
}

}  // namespace

TEST(S3ClientObjects, UploadsAndDownloadsEmptySmallAndLargeObjectsWithAnyKey) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "transfers");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    tarn::test::TemporaryFolder local;
    S3Client client;

    struct Case {
        std::string key;
        std::size_t size;
        std::string contentType;
    };
    const Case cases[] = {
        {"empty file.txt", 0, "text/plain"},
        {"docs/a+b ünï 日本.json", 1000, "application/json"},
        {"big/20 MiB+.bin", kLargeSize, "application/octet-stream"},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const std::string content = randomBytes(c.size, seed++);
        const fs::path source = local.path() / ("source" + fs::path(c.key).extension().string());
        tarn::test::writeFile(source, content);

        std::vector<double> sent;
        client.upload(source, bucket, credentials, c.key, [&](double fraction) { sent.push_back(fraction); });
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), 1.0);
        EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end()));
        if (c.size == kLargeSize) {
            EXPECT_GT(sent.size(), 5u);
        }

        const tarn::ObjectDetails details = client.details({c.key}, bucket, credentials);
        EXPECT_EQ(details.contentType, c.contentType);

        EXPECT_EQ(asString(client.downloadData(c.key, bucket, credentials)), content);

        const fs::path target = local.path() / "out" / "deeper" / "copy.bin";
        std::pair<std::int64_t, std::int64_t> lastBytes{-2, -2};
        client.downloadToFile(c.key, target, bucket, credentials, [&](std::int64_t written, std::int64_t expected) {
            lastBytes = {written, expected};
        });
        EXPECT_EQ(lastBytes, std::make_pair(std::int64_t(c.size), std::int64_t(c.size)));
        EXPECT_TRUE(tarn::test::readFile(target) == content);

        std::vector<double> received;
        const fs::path saved = client.downloadObject(c.key, bucket, credentials, local.path() / "folder", std::nullopt,
                                                     [&](double fraction) { received.push_back(fraction); });
        EXPECT_EQ(saved, local.path() / "folder" / fs::path(c.key).filename());
        EXPECT_TRUE(tarn::test::readFile(saved) == content);
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received.back(), 1.0);
    }
    // Without a key the file's own name is the key.
    const fs::path named = local.path() / "named + ü.txt";
    tarn::test::writeFile(named, "hello");
    client.upload(named, bucket, credentials);
    EXPECT_EQ(asString(client.downloadData("named + ü.txt", bucket, credentials)), "hello");
    // Nothing but the downloads' own files stayed behind.
    EXPECT_THAT(filesIn(local.path() / "out"), ElementsAre("deeper/copy.bin"));
}

TEST(S3ClientObjects, DownloadIntoAFolderKeepsTheKeysLayoutAndRefusesEscapingKeys) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "layout");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    tarn::test::putObjects(
        server, bucket,
        {"photos/2024/a b.jpg", "photos/c+d.txt", "photos/../escape.txt", "photos/sub/../../up.txt", "photos/x/"});
    tarn::test::TemporaryFolder local;
    const fs::path destination = local.path() / "Downloads" / "photos";
    S3Client client;

    std::vector<std::string> refused;
    for (const tarn::ObjectItem& item : client.listObjects(bucket, credentials, "photos/")) {
        if (item.key.ends_with("/")) continue;
        const std::string relative = item.key.substr(std::string("photos/").size());
        try {
            EXPECT_EQ(client.downloadObject(item.key, bucket, credentials, destination, relative),
                      destination / relative);
        } catch (const std::invalid_argument& error) {
            refused.push_back(item.key);
            EXPECT_THAT(error.what(), testing::HasSubstr("would lead out of the folder"));
        }
    }
    EXPECT_THAT(refused, ElementsAre("photos/../escape.txt", "photos/sub/../../up.txt"));
    EXPECT_THAT(filesIn(local.path()), ElementsAre("Downloads/photos/2024/a b.jpg", "Downloads/photos/c+d.txt"));
    EXPECT_THROW(client.downloadObject("photos/c+d.txt", bucket, credentials, destination, "/tmp/absolute.txt"),
                 std::invalid_argument);
    // A key with ".." pieces is still an ordinary object to read, move and delete.
    EXPECT_EQ(asString(client.downloadData("photos/../escape.txt", bucket, credentials)), "x");
}

TEST(S3ClientObjects, DownloadStoppedHalfWayLeavesThePreviousFileIntact) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "stopped");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    const std::string content = randomBytes(kLargeSize, 7);
    tarn::test::putObjects(server, bucket, {"large.bin"}, content);
    tarn::test::TemporaryFolder local;
    const fs::path target = local.path() / "large.bin";
    tarn::test::writeFile(target, "the previous version");
    S3Client client;

    std::stop_source stop;
    std::int64_t written = 0;
    EXPECT_THROW(client.downloadToFile(
                     "large.bin", target, bucket, credentials,
                     [&](std::int64_t bytes, std::int64_t) {
                         written = bytes;
                         stop.request_stop();
                     },
                     stop.get_token()),
                 tarn::CancelledError);
    EXPECT_GT(written, 0);
    EXPECT_EQ(tarn::test::readFile(target), "the previous version");
    EXPECT_THAT(filesIn(local.path()), ElementsAre("large.bin"));

    client.downloadToFile("large.bin", target, bucket, credentials);
    EXPECT_TRUE(tarn::test::readFile(target) == content);
    EXPECT_THAT(filesIn(local.path()), ElementsAre("large.bin"));
}

TEST(S3ClientObjects, HeadOfEmptyAndNonEmptyObjects) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "head");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    putWithHeaders(server, bucket, "empty.txt", "", {{"Content-Type", "text/plain"}, {"x-amz-meta-kind", "none"}});
    putWithHeaders(server, bucket, "pic.png", "not really a png",
                   {{"Content-Type", "image/png"}, {"x-amz-meta-Author", "Ann"}});
    S3Client client;

    // S3 refuses a byte range of an empty object; the head is read all the same.
    const tarn::ObjectDetails empty = client.details({"empty.txt", 0}, bucket, credentials);
    EXPECT_EQ(empty.contentType, "text/plain");
    EXPECT_EQ(empty.eTag, "\"d41d8cd98f00b204e9800998ecf8427e\"");
    EXPECT_EQ(empty.metadata, (std::map<std::string, std::string>{{"kind", "none"}}));
    client.updateMetadata("empty.txt", {{"kind", "still none"}}, std::nullopt, bucket, credentials);
    const tarn::ObjectDetails updated = client.details({"empty.txt", 0}, bucket, credentials);
    EXPECT_EQ(updated.contentType, "text/plain");
    EXPECT_EQ(updated.metadata, (std::map<std::string, std::string>{{"kind", "still none"}}));

    const tarn::ObjectDetails pic = client.details({"pic.png", 16}, bucket, credentials);
    EXPECT_EQ(pic.item.size, 16);
    EXPECT_EQ(pic.contentType, "image/png");
    ASSERT_TRUE(pic.eTag);
    EXPECT_THAT(*pic.eTag, testing::MatchesRegex("\"[0-9a-f]{32}\""));
    ASSERT_EQ(pic.metadata.size(), 1u);
    EXPECT_EQ(pic.metadata.begin()->second, "Ann");

    try {
        client.details({"missing.txt"}, bucket, credentials);
        ADD_FAILURE() << "a missing object has no head";
    } catch (const tarn::S3Error& error) {
        EXPECT_EQ(error.statusCode(), 404);
        // The server's reason is kept for the failure text.
        EXPECT_EQ(error.errorCode(), "NoSuchKey");
    }
}

TEST(S3ClientObjects, MetadataReplacementKeepsContentTypeAndCacheControl) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "metadata");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    putWithHeaders(server, bucket, "notes/read me.md", "# Notes",
                   {{"Content-Type", "text/markdown"},
                    {"Cache-Control", "max-age=600"},
                    {"Content-Disposition", "attachment; filename=\"notes.md\""},
                    {"x-amz-meta-old", "gone soon"}});
    S3Client client;

    client.updateMetadata("notes/read me.md", {{"color", "blue"}, {"reviewer", "Ann Lee"}}, std::nullopt, bucket,
                          credentials);
    tarn::ObjectDetails details = client.details({"notes/read me.md"}, bucket, credentials);
    EXPECT_EQ(details.metadata, (std::map<std::string, std::string>{{"color", "blue"}, {"reviewer", "Ann Lee"}}));
    EXPECT_EQ(details.contentType, "text/markdown");
    EXPECT_EQ(details.cacheControl, "max-age=600");
    EXPECT_EQ(details.contentDisposition, "attachment; filename=\"notes.md\"");

    client.updateMetadata("notes/read me.md", {}, "text/plain", bucket, credentials);
    details = client.details({"notes/read me.md"}, bucket, credentials);
    EXPECT_TRUE(details.metadata.empty());
    EXPECT_EQ(details.contentType, "text/plain");
    EXPECT_EQ(details.cacheControl, "max-age=600");
    EXPECT_EQ(asString(client.downloadData("notes/read me.md", bucket, credentials)), "# Notes");

    // Refused metadata changes nothing on the server.
    EXPECT_THROW(client.updateMetadata("notes/read me.md", {{"bad name", "v"}}, std::nullopt, bucket, credentials),
                 std::invalid_argument);
    EXPECT_THROW(client.updateMetadata("notes/read me.md", {{"ok", "naïve"}}, std::nullopt, bucket, credentials),
                 std::invalid_argument);
    EXPECT_EQ(client.details({"notes/read me.md"}, bucket, credentials), details);
}

TEST(S3ClientObjects, FoldersMovesAndRenamesLeaveExactlyOneObject) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "moves");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    putWithHeaders(server, bucket, "from dir/a+b ü.txt", "payload", {{"Content-Type", "text/plain"}});
    S3Client client;

    client.createFolder("photos", "2024/", bucket, credentials);
    client.putDirectoryMarker("to dir/", bucket, credentials);
    EXPECT_EQ(client.details({"2024/photos/"}, bucket, credentials).contentType, "application/x-directory");

    client.moveObject("from dir/a+b ü.txt", "to dir/a+b ü.txt", bucket, credentials);
    EXPECT_THAT(keysIn(client, bucket, credentials), ElementsAre("2024/photos/", "to dir/", "to dir/a+b ü.txt"));
    client.moveObject("to dir/a+b ü.txt", "to dir/renamed.txt", bucket, credentials);
    EXPECT_THAT(keysIn(client, bucket, credentials), ElementsAre("2024/photos/", "to dir/", "to dir/renamed.txt"));
    EXPECT_EQ(asString(client.downloadData("to dir/renamed.txt", bucket, credentials)), "payload");
    EXPECT_EQ(client.details({"to dir/renamed.txt"}, bucket, credentials).contentType, "text/plain");

    // A source that does not exist fails the move and deletes nothing.
    EXPECT_THROW(client.moveObject("nothing.txt", "to dir/renamed.txt", bucket, credentials), tarn::S3Error);
    EXPECT_EQ(asString(client.downloadData("to dir/renamed.txt", bucket, credentials)), "payload");
}

// A move elsewhere than on the maker's service, and a metadata edit, are copies: each
// keeps the object's storage class, whether the caller knows it from a listing or
// not. An archived object is refused and left where it is.
TEST(S3ClientObjects, MovesAndMetadataEditsKeepTheStorageClass) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "classes");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    putWithHeaders(server, bucket, "ia.txt", "seldom read", {{"x-amz-storage-class", "STANDARD_IA"}});
    putWithHeaders(server, bucket, "listed/ia.txt", "seldom read", {{"x-amz-storage-class", "STANDARD_IA"}});
    putWithHeaders(server, bucket, "cold.txt", "archived", {{"x-amz-storage-class", "GLACIER"}});
    putWithHeaders(server, bucket, "plain.txt", "often read", {});
    S3Client client;
    EXPECT_EQ(client.storageClass("ia.txt", bucket, credentials), "STANDARD_IA");

    client.moveObject("ia.txt", "moved/ia.txt", bucket, credentials);
    const tarn::ObjectItem listed = client.list(bucket, credentials, "listed/", "/").objects.at(0);
    ASSERT_EQ(listed.storageClass, "STANDARD_IA");
    client.moveObject(listed, "moved/listed.txt", bucket, credentials);
    client.moveObject("plain.txt", "moved/plain.txt", bucket, credentials);
    client.updateMetadata("moved/ia.txt", {{"reviewed", "yes"}}, std::nullopt, bucket, credentials);
    const tarn::ObjectDetails edited = client.details({"moved/ia.txt"}, bucket, credentials);
    EXPECT_EQ(edited.metadata, (std::map<std::string, std::string>{{"reviewed", "yes"}}));
    EXPECT_EQ(edited.item.storageClass, "STANDARD_IA");

    // Not restored: neither moved nor edited, and nothing deleted. Its head is read all
    // the same.
    EXPECT_EQ(client.details({"cold.txt"}, bucket, credentials).item.storageClass, "GLACIER");
    try {
        client.moveObject("cold.txt", "moved/cold.txt", bucket, credentials);
        ADD_FAILURE() << "an archived object was moved";
    } catch (const tarn::ArchivedObjectError& error) {
        EXPECT_EQ(error.key(), "cold.txt");
        EXPECT_EQ(error.storageClass(), "GLACIER");
    }
    EXPECT_THROW(client.updateMetadata("cold.txt", {{"k", "v"}}, std::nullopt, bucket, credentials),
                 tarn::ArchivedObjectError);

    EXPECT_THAT(classesIn(client, bucket, credentials),
                ElementsAre(std::pair<std::string, std::string>{"cold.txt", "GLACIER"},
                            std::pair<std::string, std::string>{"moved/ia.txt", "STANDARD_IA"},
                            std::pair<std::string, std::string>{"moved/listed.txt", "STANDARD_IA"},
                            std::pair<std::string, std::string>{"moved/plain.txt", "STANDARD"}));
}

TEST(S3ClientObjects, DeletesOneObjectAndABatchOf2500) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "deletes");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    std::vector<std::string> keys;
    char name[32];
    for (int i = 0; i < 2500; ++i) {
        std::snprintf(name, sizeof name, "batch/obj %05d+ü", i);
        keys.emplace_back(name);
    }
    std::vector<std::string> stored = keys;
    stored.insert(stored.end(), {"keep.txt", "single.txt"});
    tarn::test::putObjects(server, bucket, stored);
    S3Client client;

    client.deleteObject("single.txt", bucket, credentials);
    client.deleteObjects(keys, bucket, credentials);
    EXPECT_THAT(keysIn(client, bucket, credentials), ElementsAre("keep.txt"));
}
