#include "core/storage/S3Signer.h"

#include "core/storage/S3Error.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

using namespace tarn;
using namespace std::chrono;

namespace {

const S3Credentials kCredentials{"AKIDEXAMPLE", "secret"};
const TimePoint kTime = sys_days{year{2024} / 3 / 15} + hours{8} + minutes{9} + seconds{10};

S3Request requestFor(std::string url) {
    S3Request request;
    request.url = std::move(url);
    return request;
}

// The first line of the text that starts with `prefix`.
std::string lineStartingWith(const std::string& text, const std::string& prefix) {
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        if (text.compare(begin, prefix.size(), prefix) == 0) return text.substr(begin, end - begin);
        begin = end + 1;
    }
    return "";
}

}  // namespace

TEST(S3Signer, HostIsWhatTheWireCarries) {
    struct Case {
        const char* url;
        const char* host;
    };
    const Case cases[] = {
        {"https://media.s3.example.com/a", "media.s3.example.com"},
        {"http://media.localhost:9000/a", "media.localhost:9000"},
        {"http://h.example.com:80/a", "h.example.com"},
        {"https://h.example.com:443/a", "h.example.com"},
        {"http://h.example.com:443/a", "h.example.com:443"},
        {"HTTPS://Media.S3.Example.COM:9000", "media.s3.example.com:9000"},
        {"https://user:pw@h.example.com/a?x=1", "h.example.com"},
        {"http://127.0.0.1:9000/media/a", "127.0.0.1:9000"},
        {"http://[::1]:9000/media/a", "[::1]:9000"},
        {"https://[2001:db8::1]/media", "[2001:db8::1]"},
    };
    for (const Case& c : cases) {
        S3Request request = requestFor(c.url);
        const S3Signer::SigningStages stages = S3Signer::sign(request, "us-east-1", kCredentials, kTime);
        ASSERT_NE(request.header("Host"), nullptr) << c.url;
        EXPECT_EQ(*request.header("Host"), c.host) << c.url;
        EXPECT_EQ(lineStartingWith(stages.canonicalRequest, "host:"), std::string("host:") + c.host) << c.url;

        const S3Signer::PresignedURL presigned = S3Signer::presign("GET", c.url, "us-east-1", kCredentials, 60, kTime);
        EXPECT_EQ(lineStartingWith(presigned.stages.canonicalRequest, "host:"), std::string("host:") + c.host);
    }
}

TEST(S3Signer, UrlsWithoutHostAreRefusedAndLeaveTheRequestAlone) {
    for (const char* url : {"", "media.s3.example.com/a", "https:///a", "https://:9000/a", "http://h:port/a",
                            "http://h:99999/a", "http://[::1/a", "/a?b=c"}) {
        S3Request request = requestFor(url);
        request.headers.push_back({"Range", "bytes=0-0"});
        const S3Request before = request;
        try {
            S3Signer::sign(request, "us-east-1", kCredentials, kTime);
            ADD_FAILURE() << "signed " << url;
        } catch (const S3Error& error) {
            EXPECT_EQ(error.kind(), S3Error::Kind::invalidURL) << url;
        }
        EXPECT_EQ(request, before) << url;
        EXPECT_THROW(S3Signer::presignedURL("GET", url, "us-east-1", kCredentials, 60, kTime), S3Error) << url;
    }
}

TEST(S3Signer, RefusedHeadersLeaveTheRequestAlone) {
    S3Request request = requestFor("https://media.s3.example.com/a");
    request.headers.push_back({"x-amz-meta-a", "one\r\nx-amz-acl: public-read"});
    const S3Request before = request;
    EXPECT_THROW(S3Signer::sign(request, "us-east-1", kCredentials, kTime), std::invalid_argument);
    EXPECT_EQ(request, before);
}

TEST(S3Signer, SigningAgainReplacesTheEarlierSignature) {
    S3Request original = requestFor("https://media.s3.example.com/a?x=1");
    original.method = "PUT";
    original.body = {'h', 'i'};
    original.headers.push_back({"Content-Type", "text/plain"});

    S3Request retried = original;
    S3Signer::sign(retried, "us-east-1", kCredentials, kTime);
    S3Signer::sign(retried, "us-east-1", kCredentials, kTime + hours{1});
    S3Request fresh = original;
    S3Signer::sign(fresh, "us-east-1", kCredentials, kTime + hours{1});
    EXPECT_EQ(retried, fresh);
    EXPECT_EQ(retried.headers.size(), 5u);
    EXPECT_EQ(*retried.header("x-amz-date"), "20240315T090910Z");
}

TEST(S3Signer, BodySentFromElsewhereIsSignedByItsHash) {
    S3Request carried = requestFor("https://media.s3.example.com/big.bin");
    carried.method = "PUT";
    carried.body = {'h', 'i'};
    S3Request streamed = carried;
    streamed.body.clear();

    S3Signer::sign(carried, "us-east-1", kCredentials, kTime);
    S3Signer::sign(streamed, "us-east-1", kCredentials, kTime, S3Signer::sha256Hex(carried.body));
    EXPECT_EQ(streamed.headers, carried.headers);

    // Only a hash can stand in the header: nothing else is smuggled in.
    for (const std::string& notAHash : {std::string("UNSIGNED-PAYLOAD"), std::string(64, 'A'),
                                        std::string(63, 'a') + "\n", std::string()}) {
        S3Request request = requestFor("https://media.s3.example.com/a");
        EXPECT_THROW(S3Signer::sign(request, "us-east-1", kCredentials, kTime, notAHash), std::invalid_argument);
    }
}

TEST(S3Signer, SentValuesKeepTheirFormWhileTheSignedFormIsFolded) {
    S3Request request = requestFor("https://media.s3.example.com/a");
    request.headers.push_back({"X-Amz-Meta-Note", " \t a  b \t c  "});
    const S3Signer::SigningStages stages = S3Signer::sign(request, "us-east-1", kCredentials, kTime);
    EXPECT_EQ(*request.header("x-amz-meta-note"), " \t a  b \t c  ");
    EXPECT_EQ(lineStartingWith(stages.canonicalRequest, "x-amz-meta-note:"), "x-amz-meta-note:a b c");
}

TEST(S3Signer, EmptyMethodIsSignedAndSentAsGet) {
    S3Request request = requestFor("https://media.s3.example.com/a");
    request.method.clear();
    const S3Signer::SigningStages stages = S3Signer::sign(request, "us-east-1", kCredentials, kTime);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(stages.canonicalRequest.substr(0, 4), "GET\n");
    EXPECT_EQ(S3Signer::presign("", "https://media.s3.example.com/a", "us-east-1", kCredentials, 60, kTime)
                  .stages.canonicalRequest.substr(0, 4),
              "GET\n");
}

TEST(S3Signer, TimeIsUtcToTheSecondRoundedDown) {
    const TimePoint lastMoment = sys_days{year{2024} / 2 / 29} + hours{23} + minutes{59} + milliseconds{59999};
    S3Request request = requestFor("https://media.s3.example.com/a");
    const S3Signer::SigningStages stages = S3Signer::sign(request, "eu-west-1", kCredentials, lastMoment);
    EXPECT_EQ(*request.header("x-amz-date"), "20240229T235959Z");
    EXPECT_EQ(stages.stringToSign.substr(0, stages.stringToSign.rfind('\n')),
              "AWS4-HMAC-SHA256\n20240229T235959Z\n20240229/eu-west-1/s3/aws4_request");
    EXPECT_NE(request.header("Authorization")->find("Credential=AKIDEXAMPLE/20240229/eu-west-1/s3/aws4_request, "),
              std::string::npos);
}

TEST(S3Signer, PathAndQueryAreDecodedOnceAndEncodedOnce) {
    EXPECT_EQ(S3Signer::canonicalPath(""), "/");
    EXPECT_EQ(S3Signer::canonicalPath("/a b/é~"), "/a%20b/%C3%A9~");
    EXPECT_EQ(S3Signer::awsEncode("a/b c%d"), "a%2Fb%20c%25d");
    EXPECT_EQ(S3Signer::awsEncodeSegments("a/b c%d"), "a/b%20c%25d");
    EXPECT_EQ(S3Signer::percentDecode("a%20b%2x%zz%"), "a b%2x%zz%");

    S3Request request = requestFor("https://media.s3.example.com/k%20x/%C3%A9?b&a=%2B+&&c=1=2");
    const S3Signer::SigningStages stages = S3Signer::sign(request, "us-east-1", kCredentials, kTime);
    EXPECT_EQ(stages.canonicalRequest.substr(0, stages.canonicalRequest.find("\nhost:")),
              "GET\n/k%20x/%C3%A9\na=%2B%2B&b=&c=1%3D2");
}

TEST(S3Signer, CanonicalQuerySortsEncodedNamesThenValues) {
    EXPECT_EQ(S3Signer::canonicalQuery(std::vector<QueryItem>{}), "");
    EXPECT_EQ(S3Signer::canonicalQuery(std::vector<QueryItem>{{"delete", std::nullopt}}), "delete=");
    EXPECT_EQ(S3Signer::canonicalQuery(std::vector<QueryItem>{{"b", "2"}, {"a", "z"}, {"a", "y"}, {"a", ""}}),
              "a=&a=y&a=z&b=2");
    EXPECT_EQ(S3Signer::canonicalQuery(std::vector<QueryItem>{{"a b", "1"}, {"a+b", "2"}, {"a", "3"}, {"B", "4"}}),
              "B=4&a=3&a%20b=1&a%2Bb=2");
}

TEST(S3Signer, PresignedUrlKeepsExistingItemsThenSigningItems) {
    const S3Signer::PresignedURL presigned =
        S3Signer::presign("GET", "https://media.s3.example.com/a%20b?z=1&delete&a=%2F", "us-east-1", kCredentials,
                          -5, kTime);
    const std::string expectedStart =
        "https://media.s3.example.com/a%20b?z=1&delete&a=%2F&X-Amz-Algorithm=AWS4-HMAC-SHA256&X-Amz-Credential="
        "AKIDEXAMPLE%2F20240315%2Fus-east-1%2Fs3%2Faws4_request&X-Amz-Date=20240315T080910Z&X-Amz-Expires=-5&"
        "X-Amz-SignedHeaders=host&X-Amz-Signature=";
    EXPECT_EQ(presigned.url, expectedStart + presigned.stages.signature);
    EXPECT_EQ(presigned.stages.canonicalRequest,
              "GET\n/a%20b\nX-Amz-Algorithm=AWS4-HMAC-SHA256&X-Amz-Credential=AKIDEXAMPLE%2F20240315%2Fus-east-1%2F"
              "s3%2Faws4_request&X-Amz-Date=20240315T080910Z&X-Amz-Expires=-5&X-Amz-SignedHeaders=host&a=%2F&"
              "delete=&z=1\nhost:media.s3.example.com\n\nhost\nUNSIGNED-PAYLOAD");
}
