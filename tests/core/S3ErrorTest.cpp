#include "core/storage/S3Error.h"

#include <gtest/gtest.h>

using tarn::S3Error;

TEST(S3Error, FixedDescriptions) {
    EXPECT_STREQ(S3Error::invalidURL().what(), "Invalid endpoint URL.");
    EXPECT_STREQ(S3Error::missingSecret().what(), "Missing access secret.");
    EXPECT_STREQ(S3Error::unexpectedResponse().what(), "Unexpected storage response.");
    for (const auto& error : {S3Error::invalidURL(), S3Error::missingSecret(), S3Error::unexpectedResponse()}) {
        EXPECT_FALSE(error.statusCode());
        EXPECT_FALSE(error.errorCode());
        EXPECT_FALSE(error.errorMessage());
    }
}

TEST(S3Error, ReadsCodeAndMessageOfErrorBodies) {
    struct Case {
        int status;
        std::string body;
        std::optional<std::string> code;
        std::optional<std::string> message;
        std::string description;
    };
    const std::string html = "<html><body><h1>502 Bad Gateway</h1></body></html>";
    const Case cases[] = {
        {404,
         "<?xml version=\"1.0\"?>\n<Error><Code>NoSuchKey</Code><Message>The specified key does not exist."
         "</Message></Error>",
         "NoSuchKey", "The specified key does not exist.",
         "Storage request failed (404 NoSuchKey). The specified key does not exist."},
        {403, "<Error><Code>AccessDenied</Code><Message>Access Denied</Message></Error>", "AccessDenied",
         "Access Denied", "Storage request failed (403 AccessDenied). Access Denied"},
        {400, "<Error><Code>Bad</Code></Error>", "Bad", std::nullopt, "Storage request failed (400 Bad). "},
        {400, "<Error><Code>   </Code></Error>", std::nullopt, std::nullopt,
         "Storage request failed (400). <Error><Code>   </Code></Error>"},
        {400, "<Error><Code>\n  Spaced\n</Code><Message>a &amp;lt; b</Message></Error>", "Spaced", "a &lt; b",
         "Storage request failed (400 Spaced). a &lt; b"},
        {400, "<Error><Code>X</Code><Message>&lt;b&gt; &quot;q&quot; &#39;s&apos; &amp;</Message></Error>", "X",
         "<b> \"q\" 's' &", "Storage request failed (400 X). <b> \"q\" 's' &"},
        {502, html, std::nullopt, std::nullopt, "Storage request failed (502). " + html},
        {500, "", std::nullopt, std::nullopt, "Storage request failed (500). "},
        // Tags with attributes or prefixes are not the element we look for.
        {400, "<Error><Code a=\"1\">X</Code><s3:Message>m</s3:Message></Error>", std::nullopt, std::nullopt,
         "Storage request failed (400). <Error><Code a=\"1\">X</Code><s3:Message>m</s3:Message></Error>"},
        // The closing tag is searched only after the opening one.
        {400, "</Code><Code>Late</Code>", "Late", std::nullopt, "Storage request failed (400 Late). "},
    };
    for (const auto& c : cases) {
        const S3Error error = S3Error::requestFailed(c.status, c.body);
        EXPECT_EQ(error.statusCode(), c.status);
        EXPECT_EQ(error.errorCode(), c.code) << c.body;
        EXPECT_EQ(error.errorMessage(), c.message) << c.body;
        EXPECT_EQ(error.errorDescription(), c.description) << c.body;
    }
}

TEST(S3Error, ErrorDocumentsSentWithSuccess) {
    const std::string failure =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>InternalError</Code>"
        "<Message>We encountered an internal error.</Message></Error>";
    const auto error = S3Error::fromErrorDocument(200, failure);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->statusCode(), 200);
    EXPECT_EQ(error->errorCode(), "InternalError");
    EXPECT_EQ(error->body(), failure);

    EXPECT_TRUE(S3Error::fromErrorDocument(200, "\xEF\xBB\xBF <!-- note --><Error/>"));
    EXPECT_TRUE(S3Error::fromErrorDocument(200, "<Error xmlns=\"x\"><Code>A</Code></Error>"));
    for (const char* body : {"", "   ", "<?xml version=\"1.0\"?><CopyObjectResult><ETag>\"a\"</ETag></CopyObjectResult>",
                             "<CompleteMultipartUploadResult><Error>nested</Error></CompleteMultipartUploadResult>",
                             "<Errors/>", "<?xml version=\"1.0\"", "not xml <Error>"}) {
        EXPECT_FALSE(S3Error::fromErrorDocument(200, body)) << body;
    }
}

TEST(S3Error, ASuccessIsOneOnlyWhenItsBodyIsTheResultDocument) {
    struct Case {
        std::string body;
        std::optional<S3Error::Kind> failure;  // none: the copy was made
        std::optional<std::string> code;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CopyObjectResult><ETag>\"a\"</ETag></CopyObjectResult>",
         std::nullopt, std::nullopt},
        {"\xEF\xBB\xBF<!-- n --><CopyObjectResult xmlns=\"http://s3.amazonaws.com/doc/2006-03-01/\"/>", std::nullopt,
         std::nullopt},
        // As a server built on botocore's shapes names it.
        {"<CopyObjectResponse><ETag>\"a\"</ETag></CopyObjectResponse>", std::nullopt, std::nullopt},
        // A document type before the error does not hide it.
        {"<?xml version=\"1.0\"?><!DOCTYPE Error><Error><Code>InternalError</Code></Error>",
         S3Error::Kind::requestFailed, "InternalError"},
        {"<Error><Code>SlowDown</Code><Message>cut", S3Error::Kind::requestFailed, "SlowDown"},
        {"", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"   \n", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<html><body>Welcome to nginx!</body></html>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<!DOCTYPE html><html><p>Moved<br></html>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<CopyObjectResult><ETag>\"a\"</ETag>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<s3:CopyObjectResult xmlns:s3=\"x\"/>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<CompleteMultipartUploadResult/>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<CopyObjectResponses/>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<CopyResponse/>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"<CopyObjectResult/><CopyObjectResult/>", S3Error::Kind::unexpectedResponse, std::nullopt},
        {"\xff\xfe<CopyObjectResult/>", S3Error::Kind::unexpectedResponse, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<S3Error> error = S3Error::fromResultDocument(200, c.body, "CopyObjectResult");
        ASSERT_EQ(error.has_value(), c.failure.has_value()) << c.body;
        if (!error) continue;
        EXPECT_EQ(error->kind(), *c.failure) << c.body;
        EXPECT_EQ(error->errorCode(), c.code) << c.body;
    }
    EXPECT_TRUE(S3Error::fromErrorDocument(200, "<?xml version=\"1.0\"?><!DOCTYPE Error><Error/>"));
}

TEST(S3Error, ADescriptionWithoutACodeKeepsTheSignatureEchoesOut) {
    const std::string signature(64, 'f');
    const std::string stringToSign = "AWS4-HMAC-SHA256\n20240501T000000Z\n" + std::string(80, 'c');
    const std::string body = "<Refused><StringToSign>" + stringToSign + "</StringToSign><SignatureProvided>" +
                             signature + "</SignatureProvided></Refused>";
    const S3Error error = S3Error::requestFailed(403, body);
    EXPECT_EQ(error.errorDescription(), "Storage request failed (403). <Refused><StringToSign>" +
                                            stringToSign.substr(0, 48) +
                                            "…</StringToSign><SignatureProvided>…</SignatureProvided></Refused>");
    // What the server said stays as it was, for whoever reads the error itself.
    EXPECT_EQ(error.body(), body);
}
