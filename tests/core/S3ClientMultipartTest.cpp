#include "LoopbackHttpServer.h"
#include "MultipartTestSupport.h"

#include "core/storage/PartStalledError.h"
#include "core/storage/ResponseTooLargeError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3Signer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

using tarn::S3Client;
using tarn::S3Error;
using tarn::test::kMultipartCredentials;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using testing::ElementsAre;
using testing::StartsWith;

namespace {

std::vector<std::uint8_t> patternBytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

}  // namespace

TEST(S3ClientMultipart, CreateReadsTheUploadIdAndLogsLikeEveryRequest) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                          "<InitiateMultipartUploadResult><Bucket>media</Bucket><Key>a b.bin</Key>"
                                          "<UploadId>VXBsb2FkIElE+/=</UploadId></InitiateMultipartUploadResult>");
    });
    S3Client client;
    const tarn::test::LogLines log(client);
    const tarn::BucketConfig bucket = tarn::test::loopbackBucket(server);

    EXPECT_EQ(client.createMultipartUpload("a b.bin", bucket, kMultipartCredentials, "video/mp4"), "VXBsb2FkIElE+/=");
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/media/a%20b.bin?uploads");
    ASSERT_NE(request.header("Content-Type"), nullptr);
    EXPECT_EQ(*request.header("Content-Type"), "video/mp4");
    EXPECT_THAT(log.all(), ElementsAre(StartsWith("→ POST "), StartsWith("← 200 "), StartsWith("  body: ")));

    client.createMultipartUpload("b.bin", bucket, kMultipartCredentials, std::nullopt);
    const RecordedRequest untyped = server.requests().at(1);
    EXPECT_TRUE(untyped.header("Content-Type") == nullptr || untyped.header("Content-Type")->empty());
}

TEST(S3ClientMultipart, CreateWithoutAnUploadIdIsAnUnexpectedResponse) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {}, "<InitiateMultipartUploadResult/>");
    });
    S3Client client;
    try {
        client.createMultipartUpload("a.bin", tarn::test::loopbackBucket(server), kMultipartCredentials, std::nullopt);
        FAIL() << "an answer without an upload ID was accepted";
    } catch (const S3Error& error) {
        EXPECT_EQ(error.kind(), S3Error::Kind::unexpectedResponse);
    }
}

TEST(S3ClientMultipart, PartGoesOutSignedWithItsBytesAndTheBytesComeBack) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"ETag", "\"0f343b0931126a20f133d67c2b018a3b\""},
                                                {"x-amz-request-id", "REQ-7"}},
                                          "");
    });
    S3Client client;
    const tarn::test::LogLines log(client);
    const std::vector<std::uint8_t> original = patternBytes(3 * 1024 * 1024 + 17);
    std::vector<std::uint8_t> data = original;
    std::vector<std::int64_t> reports;

    const S3Client::PartResponse response =
        client.uploadPart("dir/movie.mkv", "up+id", 2, data, tarn::test::loopbackBucket(server), kMultipartCredentials,
                          std::chrono::seconds(30), [&](std::int64_t sent) { reports.push_back(sent); });

    EXPECT_EQ(response, (S3Client::PartResponse{200, "REQ-7", std::nullopt, "\"0f343b0931126a20f133d67c2b018a3b\"", ""}));
    EXPECT_TRUE(data == original) << "the part's bytes were not given back intact";
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "PUT");
    EXPECT_EQ(request.target, "/media/dir/movie.mkv?partNumber=2&uploadId=up%2Bid");
    EXPECT_TRUE(request.body == std::string(original.begin(), original.end()));
    ASSERT_NE(request.header("x-amz-content-sha256"), nullptr);
    EXPECT_EQ(*request.header("x-amz-content-sha256"), tarn::S3Signer::sha256Hex(original));
    EXPECT_EQ(request.header("Content-Type"), nullptr);
    // Part uploads leave the log to the multipart engine.
    EXPECT_TRUE(log.all().empty());

    // Progress is thinned to steps of at least 1/50 of the part, ending on the whole part.
    ASSERT_FALSE(reports.empty());
    EXPECT_LE(reports.size(), 51u);
    EXPECT_EQ(reports.back(), static_cast<std::int64_t>(original.size()));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    for (std::size_t i = 1; i + 1 < reports.size(); ++i) {
        EXPECT_GE((reports[i] - reports[i - 1]) * 50, static_cast<std::int64_t>(original.size()));
    }
}

TEST(S3ClientMultipart, RefusedPartIsAnAnswerToClassifyNotAnError) {
    std::string longBody(4095, 'e');
    longBody += "é";  // cut in the middle of its two bytes at 4096
    longBody += std::string(200, 'z');
    struct Case {
        int status;
        std::vector<tarn::HttpHeader> headers;
        std::string body;
        S3Client::PartResponse expected;
    };
    const Case cases[] = {
        {503,
         {{"Retry-After", "7"}, {"x-amz-request-id", "R503"}, {"ETag", "\"ignored\""}},
         "<Error><Code>SlowDown</Code></Error>",
         {503, "R503", "7", std::nullopt, "<Error><Code>SlowDown</Code></Error>"}},
        {500, {}, longBody, {500, std::nullopt, std::nullopt, std::nullopt, std::string(4095, 'e') + "\xEF\xBF\xBD"}},
        // Stored, but without the ETag the completion needs.
        {200, {{"x-amz-request-id", "R200"}}, "", {200, "R200", std::nullopt, std::nullopt, ""}},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&](const RecordedRequest&) { return LoopbackHttpServer::answer(c.status, c.headers, c.body); });
        S3Client client;
        std::vector<std::uint8_t> data = patternBytes(1000);
        const S3Client::PartResponse response =
            client.uploadPart("a.bin", "u", 1, data, tarn::test::loopbackBucket(server), kMultipartCredentials,
                              std::chrono::seconds(30), {});
        EXPECT_EQ(response, c.expected) << c.status;
        EXPECT_EQ(data.size(), 1000u);
    }
}

TEST(S3ClientMultipart, PartAnswerWithAnEndlessBodyFailsAtOnce) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        tarn::test::ScriptedAnswer answer{"HTTP/1.1 200 OK\r\nContent-Length: 209715200\r\n\r\n" +
                                          std::string(1024, 'x')};
        answer.hangAfter = answer.bytes.size();
        return answer;
    });
    S3Client client;
    const std::vector<std::uint8_t> original = patternBytes(1000);
    std::vector<std::uint8_t> data = original;
    EXPECT_THROW(client.uploadPart("a.bin", "u", 1, data, tarn::test::loopbackBucket(server), kMultipartCredentials,
                                   std::chrono::seconds(30), {}),
                 tarn::ResponseTooLargeError);
    EXPECT_TRUE(data == original);
}

TEST(S3ClientMultipart, ServerThatTakesThePartAndNeverAnswersIsAStall) {
    // The server reads the whole part, then stays silent.
    LoopbackHttpServer server([](const RecordedRequest&) { return tarn::test::ScriptedAnswer{"", 0}; });
    S3Client client;
    const std::vector<std::uint8_t> original = patternBytes(64 * 1024);
    std::vector<std::uint8_t> data = original;
    const auto start = std::chrono::steady_clock::now();
    try {
        client.uploadPart("a.bin", "u", 1, data, tarn::test::loopbackBucket(server), kMultipartCredentials,
                          std::chrono::milliseconds(400), {});
        FAIL() << "a silent server was not noticed";
    } catch (const tarn::PartStalledError& error) {
        EXPECT_EQ(error.seconds(), 0.4);
        EXPECT_STREQ(error.what(), "No progress for 0 s; connection closed.");
    }
    // Cut on the stall limit, long before the request's own 60-second idle limit.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(data == original);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(S3ClientMultipart, CompleteSendsThePartsInOrder) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                          "<CompleteMultipartUploadResult><ETag>\"x-3\"</ETag>"
                                          "</CompleteMultipartUploadResult>");
    });
    S3Client client;
    client.completeMultipartUpload("a.bin", "u-1", {{3, "\"c\""}, {1, "\"a\""}, {2, "b&<>"}},
                                   tarn::test::loopbackBucket(server), kMultipartCredentials);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/media/a.bin?uploadId=u-1");
    ASSERT_NE(request.header("Content-Type"), nullptr);
    EXPECT_EQ(*request.header("Content-Type"), "application/xml");
    EXPECT_EQ(request.body,
              "<CompleteMultipartUpload>"
              "<Part><PartNumber>1</PartNumber><ETag>\"a\"</ETag></Part>"
              "<Part><PartNumber>2</PartNumber><ETag>b&amp;&lt;&gt;</ETag></Part>"
              "<Part><PartNumber>3</PartNumber><ETag>\"c\"</ETag></Part>"
              "</CompleteMultipartUpload>");
}

TEST(S3ClientMultipart, CompletionCountsOnlyWithItsResultDocument) {
    // What a 200 carries when the join did not happen, or when what answered was not
    // the server: none of it is an uploaded object.
    const std::string answers[] = {
        "",
        "<?xml version=\"1.0\"?><!DOCTYPE Error><Error><Code>InternalError</Code></Error>",
        "<html><body>Service temporarily unavailable</body></html>",
        "<InitiateMultipartUploadResult><UploadId>u-1</UploadId></InitiateMultipartUploadResult>",
        "<CompleteMultipartUploadResult><ETag>\"x-3\"</ETag>",
    };
    for (const std::string& body : answers) {
        LoopbackHttpServer server([&](const RecordedRequest&) {
            return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, body);
        });
        EXPECT_THROW(S3Client().completeMultipartUpload("a.bin", "u-1", {{1, "\"a\""}},
                                                        tarn::test::loopbackBucket(server), kMultipartCredentials),
                     S3Error)
            << body;
    }
}

TEST(S3ClientMultipart, CompletionThatFailsAfterTheServerSent200IsAnError) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}},
                                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<Error><Code>InternalError</Code>"
                                          "<Message>We encountered an internal error. Please try again.</Message>"
                                          "<RequestId>656c76696e6727732072657175657374</RequestId></Error>");
    });
    S3Client client;
    try {
        client.completeMultipartUpload("a.bin", "u-1", {{1, "\"a\""}}, tarn::test::loopbackBucket(server),
                                       kMultipartCredentials);
        FAIL() << "a failed completion was reported as success";
    } catch (const S3Error& error) {
        EXPECT_EQ(error.kind(), S3Error::Kind::requestFailed);
        EXPECT_EQ(error.statusCode(), 200);
        EXPECT_EQ(error.errorCode(), "InternalError");
        EXPECT_EQ(error.errorMessage(), "We encountered an internal error. Please try again.");
    }
}

TEST(S3ClientMultipart, AbortDeletesTheUpload) {
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(204, {}, ""); });
    S3Client client;
    client.abortMultipartUpload("a b.bin", "u/1", tarn::test::loopbackBucket(server), kMultipartCredentials);
    const RecordedRequest request = server.requests().at(0);
    EXPECT_EQ(request.method, "DELETE");
    EXPECT_EQ(request.target, "/media/a%20b.bin?uploadId=u%2F1");
    EXPECT_TRUE(request.body.empty());
}
