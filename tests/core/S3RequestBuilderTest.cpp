#include "core/storage/S3RequestBuilder.h"

#include "core/storage/S3Error.h"
#include "core/storage/S3Signer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

using namespace tarn;

namespace {

const S3Credentials kCredentials{"AKIDEXAMPLE", "secret"};
const TimePoint kTime = std::chrono::sys_days{std::chrono::year{2024} / 3 / 15};

BucketConfig bucketAt(const std::string& endpoint, const std::string& name = "media") {
    BucketConfig bucket;
    bucket.bucketName = name;
    bucket.endpoint = *Url::parse(endpoint);
    bucket.region = "eu-central-1";
    return bucket;
}

S3Error::Kind errorKindOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const S3Error& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no S3Error thrown";
    return S3Error::Kind::unexpectedResponse;
}

}  // namespace

TEST(S3RequestBuilder, ObjectUrlsUseOnlySchemeHostAndPort) {
    struct Case {
        const char* endpoint;
        const char* key;
        const char* url;
    };
    const Case cases[] = {
        {"https://s3.example.com", "photos/a b.jpg", "https://media.s3.example.com/photos/a%20b.jpg"},
        {"https://s3.example.com:9000/base/path?x=1#f", "a.txt", "https://media.s3.example.com:9000/a.txt"},
        {"https://user:pw@s3.example.com/", "a.txt", "https://media.s3.example.com/a.txt"},
        {"http://localhost:9000", "a.txt", "http://media.localhost:9000/a.txt"},
        {"https://s3.example.com", "", "https://media.s3.example.com/"},
        {"https://s3.example.com", "dir/", "https://media.s3.example.com/dir/"},
        {"https://s3.example.com", "/a//b", "https://media.s3.example.com//a//b"},
        {"https://s3.example.com", "a~-._+=&?#%:@.txt",
         "https://media.s3.example.com/a~-._%2B%3D%26%3F%23%25%3A%40.txt"},
        {"https://s3.example.com", "a%20b", "https://media.s3.example.com/a%2520b"},
        // No host name "bucket.<address>" exists: IP endpoints are addressed path-style.
        {"http://127.0.0.1:9000/base", "a b.txt", "http://127.0.0.1:9000/media/a%20b.txt"},
        {"http://127.0.0.1:9000", "", "http://127.0.0.1:9000/media/"},
        {"https://10.1.2.3", "x", "https://10.1.2.3/media/x"},
        {"http://[2001:db8::1]:9000", "x", "http://[2001:db8::1]:9000/media/x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S3RequestBuilder::objectURL(bucketAt(c.endpoint), c.key), c.url) << c.endpoint << " " << c.key;
        EXPECT_EQ(S3RequestBuilder::virtualHostedObjectURL(bucketAt(c.endpoint), c.key), c.url);
    }
}

TEST(S3RequestBuilder, BucketUrlsAndTheirQueries) {
    const BucketConfig bucket = bucketAt("https://s3.example.com");
    const BucketConfig ip = bucketAt("http://127.0.0.1:9000");
    const std::string root = "https://media.s3.example.com/";
    EXPECT_EQ(S3RequestBuilder::listURL(bucket, std::nullopt, std::nullopt, std::nullopt),
              root + "?list-type=2&prefix=");
    EXPECT_EQ(S3RequestBuilder::listURL(bucket, "a b/", "", std::nullopt),
              root + "?list-type=2&prefix=a%20b%2F&delimiter=");
    EXPECT_EQ(S3RequestBuilder::listURL(bucket, "p", "/", "t+k=="),
              root + "?list-type=2&prefix=p&delimiter=%2F&continuation-token=t%2Bk%3D%3D");
    EXPECT_EQ(S3RequestBuilder::listURL(ip, "p", "/", std::nullopt),
              "http://127.0.0.1:9000/media?list-type=2&prefix=p&delimiter=%2F");
    EXPECT_EQ(S3RequestBuilder::deleteObjectsURL(bucket), root + "?delete");
    EXPECT_EQ(S3RequestBuilder::listMultipartUploadsURL(bucket, "", "", 1000), root + "?uploads&max-uploads=1000");
    EXPECT_EQ(S3RequestBuilder::listMultipartUploadsURL(bucket, std::nullopt, "u1", 50),
              root + "?uploads&max-uploads=50&upload-id-marker=u1");
    EXPECT_EQ(S3RequestBuilder::listMultipartUploadsURL(bucket, "k/1", "u1", 50),
              root + "?uploads&max-uploads=50&key-marker=k%2F1&upload-id-marker=u1");
    EXPECT_EQ(S3RequestBuilder::createMultipartUploadURL(bucket, "a b"), root + "a%20b?uploads");
    EXPECT_EQ(S3RequestBuilder::uploadPartURL(bucket, "a b", 7, "id/+="),
              root + "a%20b?partNumber=7&uploadId=id%2F%2B%3D");
    EXPECT_EQ(S3RequestBuilder::abortMultipartUploadURL(bucket, "k", "id"), root + "k?uploadId=id");
    EXPECT_EQ(S3RequestBuilder::completeMultipartUploadURL(bucket, "k", "id"), root + "k?uploadId=id");
}

TEST(S3RequestBuilder, QueryItemsDecodeToWhatWasGiven) {
    const std::vector<QueryItem> items = {
        {"delete", std::nullopt}, {"prefix", ""}, {"a b", "c&d=e+f%g"}, {"é", "😀/~"}, {"x", "?#[]"}};
    const std::string text = S3Signer::encodeQuery(items);
    EXPECT_EQ(text, "delete&prefix=&a%20b=c%26d%3De%2Bf%25g&%C3%A9=%F0%9F%98%80%2F~&x=%3F%23%5B%5D");
    EXPECT_EQ(S3Signer::decodeQuery(text), items);
}

TEST(S3RequestBuilder, CopySourceEscapesTheKeyButNotTheBucket) {
    EXPECT_EQ(S3RequestBuilder::copySource("media", "a b/c.txt", false), "/media/a%20b/c.txt");
    EXPECT_EQ(S3RequestBuilder::copySource("media", "a b/c.txt", true), "/media/a%20b/c.txt?move=true");
    EXPECT_EQ(S3RequestBuilder::copySource("my.bucket", "x/+?é", false), "/my.bucket/x/%2B%3F%C3%A9");
}

TEST(S3RequestBuilder, EndpointsAndBucketNamesThatNameNoServer) {
    struct Case {
        const char* endpoint;
        const char* bucketName;
    };
    const Case cases[] = {
        {"s3.example.com", "media"},          // no scheme, so no host
        {"/just/a/path", "media"},            // no host
        {"ftp://s3.example.com", "media"},    // not spoken by the transport
        {"https://s3.example.com", ""},       // would name the endpoint itself
        {"https://s3.example.com", "evil.com/x"},
        {"https://s3.example.com", "a@b"},
        {"https://s3.example.com", "a:1"},
        {"https://s3.example.com", "a b"},
        {"http://127.0.0.1:9000", "a/b"},
    };
    for (const Case& c : cases) {
        const BucketConfig bucket = bucketAt(c.endpoint, c.bucketName);
        EXPECT_EQ(errorKindOf([&] { S3RequestBuilder::objectURL(bucket, "k"); }), S3Error::Kind::invalidURL)
            << c.endpoint << " " << c.bucketName;
        EXPECT_EQ(errorKindOf([&] { S3RequestBuilder::listURL(bucket, std::nullopt, std::nullopt, std::nullopt); }),
                  S3Error::Kind::invalidURL);
        EXPECT_EQ(errorKindOf([&] {
                      S3RequestBuilder::presignedDownloadURL(bucket, "k", kCredentials, 60, {}, kTime);
                  }),
                  S3Error::Kind::invalidURL);
    }
    EXPECT_STREQ(S3Error::invalidURL().what(), "Invalid endpoint URL.");
}

TEST(S3RequestBuilder, RequestCarriesExactlyWhatIsSigned) {
    const BucketConfig bucket = bucketAt("http://localhost:9000");
    const std::string url = S3RequestBuilder::objectURL(bucket, "a.txt");

    const S3Request empty = S3RequestBuilder::request("GET", url, bucket, kCredentials, {}, std::nullopt, {}, kTime);
    EXPECT_TRUE(empty.body.empty());
    EXPECT_EQ(empty.idleTimeout, std::chrono::seconds(60));
    EXPECT_EQ(empty.method, "GET");
    EXPECT_EQ(empty.url, url);
    EXPECT_EQ(empty.header("Content-Type"), nullptr);
    EXPECT_EQ(*empty.header("host"), "media.localhost:9000");
    EXPECT_EQ(*empty.header("x-amz-content-sha256"),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    std::vector<std::string> names;
    for (const HttpHeader& header : empty.headers) names.push_back(header.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Host", "x-amz-date", "x-amz-content-sha256", "Authorization"}));

    // An empty content type is still sent; an extra header replaces one of the same
    // name whatever its case, and the replacement is what gets signed.
    const S3Request put = S3RequestBuilder::request(
        "PUT", url, bucket, kCredentials, {'a', 'b'}, "", {{"content-type", "text/plain"}, {"X-Amz-Meta-A", "1"}},
        kTime);
    EXPECT_EQ(put.body, (std::vector<std::uint8_t>{'a', 'b'}));
    ASSERT_NE(put.header("Content-Type"), nullptr);
    EXPECT_EQ(*put.header("Content-Type"), "text/plain");
    EXPECT_EQ(std::count_if(put.headers.begin(), put.headers.end(),
                            [](const HttpHeader& h) { return h.name == "content-type" || h.name == "Content-Type"; }),
              1);
    EXPECT_NE(put.header("Authorization")->find("SignedHeaders=content-type;host;x-amz-content-sha256;x-amz-date;"
                                                "x-amz-meta-a,"),
              std::string::npos);
}

TEST(S3RequestBuilder, HeadersThatCannotBeSentAsSignedAreRefused) {
    const BucketConfig bucket = bucketAt("https://s3.example.com");
    const std::string url = S3RequestBuilder::objectURL(bucket, "a.txt");
    const std::vector<std::vector<HttpHeader>> bad = {
        {{"x-amz-meta-a", "one\r\nx-amz-acl: public-read"}},
        {{"x-amz-meta-a", "trailing newline\n"}},
        {{"x-amz-meta-a", std::string("nul\0byte", 8)}},
        {{"bad name", "v"}},
        {{"", "v"}},
        {{"x-amz-meta-a:", "v"}},
    };
    for (const auto& headers : bad) {
        EXPECT_THROW(S3RequestBuilder::request("PUT", url, bucket, kCredentials, {}, std::nullopt, headers, kTime),
                     std::invalid_argument)
            << headers[0].name;
    }
}

TEST(S3RequestBuilder, PresignedDownloadKeepsExtraItemsFirst) {
    const BucketConfig bucket = bucketAt("https://s3.example.com");
    const std::string url = S3RequestBuilder::presignedDownloadURL(
        bucket, "a b.png", kCredentials, 600, {{"x-oss-process", "image/resize,w_200"}, {"torrent", std::nullopt}},
        kTime);
    const std::string prefix = "https://media.s3.example.com/a%20b.png?x-oss-process=image%2Fresize%2Cw_200&torrent&"
                               "X-Amz-Algorithm=AWS4-HMAC-SHA256&X-Amz-Credential=AKIDEXAMPLE%2F20240315%2F"
                               "eu-central-1%2Fs3%2Faws4_request&X-Amz-Date=20240315T000000Z&X-Amz-Expires=600&"
                               "X-Amz-SignedHeaders=host&X-Amz-Signature=";
    ASSERT_EQ(url.substr(0, prefix.size()), prefix);
    EXPECT_EQ(url.size(), prefix.size() + 64);
}
