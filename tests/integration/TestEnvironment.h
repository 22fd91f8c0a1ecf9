#pragma once

#include <optional>
#include <string>

namespace tarn::test {

// The S3-compatible server that scripts/test starts (or that the caller named).
struct S3TestServer {
    std::string endpoint;  // e.g. http://localhost:PORT
    std::string accessKey;
    std::string secretKey;
    std::string region = "us-east-1";  // the region every test request is signed for
};

// Absent when TARN_TEST_S3_ENDPOINT is unset; tests then skip with a message.
std::optional<S3TestServer> s3TestServer();

// The configured keys (TARN_TEST_S3_ACCESS_KEY and TARN_TEST_S3_SECRET_KEY, or
// the test script's own when unset) for a server at `endpoint`: the one place a
// test takes keys from, also for a stand-in server of its own.
S3TestServer s3TestServerAt(std::string endpoint);

// A bucket name no other test (or earlier run against the same server) uses.
std::string uniqueBucketName(const std::string& stem);

}  // namespace tarn::test

#define TARN_REQUIRE_S3_SERVER(var)                                                          \
    const auto var##Optional = ::tarn::test::s3TestServer();                                 \
    if (!var##Optional) GTEST_SKIP() << "TARN_TEST_S3_ENDPOINT is not set; run scripts/test"; \
    const ::tarn::test::S3TestServer& var = *var##Optional
