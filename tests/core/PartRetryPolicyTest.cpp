#include "core/storage/CancelledError.h"
#include "core/storage/PartRetryPolicy.h"
#include "core/storage/PartStalledError.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

using tarn::PartRetryPolicy;
using tarn::TimePoint;

namespace {

TimePoint at(std::int64_t secondsSinceEpoch) {
    return TimePoint(std::chrono::seconds(secondsSinceEpoch));
}

// 2015-10-21 07:28:00 UTC
constexpr std::int64_t kOctober21 = 1445412480;

}  // namespace

TEST(PartRetryPolicy, DefaultsTryAPartFourTimesWithGrowingWaits) {
    const PartRetryPolicy policy;
    EXPECT_EQ(policy.maxAttempts, 4);
    EXPECT_EQ(policy.stallTimeout, 30.0);

    struct Case {
        int afterAttempt;
        std::optional<double> retryAfter;
        double random;
        double expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {1, std::nullopt, 0.0, 1.0},
             {1, std::nullopt, 1.0, 1.25},
             {2, std::nullopt, 0.0, 2.0},
             {2, std::nullopt, 1.0, 2.5},
             {3, std::nullopt, 0.5, 4.5},
             {3, std::nullopt, 1.0, 5.0},
             // Past the end of the list the last wait is used again.
             {7, std::nullopt, 0.0, 4.0},
             // The server's wish replaces the base delay, with jitter, up to the cap.
             {1, 10.0, 0.0, 10.0},
             {1, 10.0, 1.0, 12.5},
             {3, 0.0, 1.0, 0.0},
             {1, 120.0, 0.0, 30.0},
             {1, 29.0, 1.0, 30.0},
             {1, -5.0, 1.0, 0.0},
         }) {
        EXPECT_DOUBLE_EQ(policy.delay(c.afterAttempt, c.retryAfter, c.random), c.expected)
            << "after attempt " << c.afterAttempt << ", Retry-After " << c.retryAfter.value_or(-1) << ", random "
            << c.random;
    }

    PartRetryPolicy none;
    none.baseDelays.clear();
    EXPECT_EQ(none.delay(2, std::nullopt, 1.0), 0.0);
    EXPECT_EQ(none.delay(2, 3.0, 0.0), 3.0);
}

TEST(PartRetryPolicy, ReadsRetryAfterAsSecondsOrAnHttpDate) {
    const TimePoint now = at(kOctober21);
    struct Case {
        std::optional<std::string> header;
        std::optional<double> expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {std::nullopt, std::nullopt},
             {"", std::nullopt},
             {" \t ", std::nullopt},
             {"120", 120.0},
             {"0", 0.0},
             {" 1.5\t", 1.5},
             {"+3", 3.0},
             {".5", 0.5},
             // A negative number is no wait at all, and not read as a date either.
             {"-5", std::nullopt},
             {"1e3", std::nullopt},
             {"12 s", std::nullopt},
             {"inf", std::nullopt},
             {std::string(400, '9'), std::nullopt},
             {"Wed, 21 Oct 2015 07:28:10 GMT", 10.0},
             {"  Wed, 21 Oct 2015 07:30:00 GMT ", 120.0},
             // Dates now or in the past mean: go on at once.
             {"Wed, 21 Oct 2015 07:28:00 GMT", 0.0},
             {"Tue, 20 Oct 2015 07:28:00 GMT", 0.0},
             {"Thu, 22 Oct 2015 07:28:00 UTC", 86400.0},
             {"Wed, 21 Oct 2015 07:28:10 PST", std::nullopt},
             {"Wed, 32 Oct 2015 07:28:10 GMT", std::nullopt},
             {"Wed, 21 Okt 2015 07:28:10 GMT", std::nullopt},
             {"Wed, 21 Oct 2015 24:28:10 GMT", std::nullopt},
             {"Xyz, 21 Oct 2015 07:28:10 GMT", std::nullopt},
             {"Wed, 21 Oct 2015 07:28 GMT", std::nullopt},
             {"Wednesday, 21-Oct-15 07:28:10 GMT", std::nullopt},
             {"2015-10-21T07:28:10Z", std::nullopt},
         }) {
        EXPECT_EQ(PartRetryPolicy::parseRetryAfter(c.header, now), c.expected) << c.header.value_or("(absent)");
    }
    EXPECT_EQ(PartRetryPolicy::parseRetryAfter("Thu, 29 Feb 2024 23:59:59 GMT", at(1709251199 - 30)), 30.0);
    EXPECT_EQ(PartRetryPolicy::parseRetryAfter("Thu, 29 Feb 2023 23:59:59 GMT", at(0)), std::nullopt);
}

TEST(PartRetryPolicy, RetriesThrottlingTimeoutsAndServerErrorsOnly) {
    for (const int status : {408, 429, 499, 500, 502, 503, 504, 599}) {
        EXPECT_TRUE(PartRetryPolicy::isRetryableStatus(status)) << status;
    }
    for (const int status : {200, 204, 301, 400, 401, 403, 404, 409, 411, 413, 498, 600}) {
        EXPECT_FALSE(PartRetryPolicy::isRetryableStatus(status)) << status;
    }
}

TEST(PartRetryPolicy, TellsPassingNetworkFaultsFromLastingOnes) {
    using tarn::TransportError;
    struct Case {
        const char* name;
        std::exception_ptr error;
        bool retryable;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"stalled part", std::make_exception_ptr(tarn::PartStalledError(30)), true},
             {"idle limit", std::make_exception_ptr(TransportError::idleTimeout(std::chrono::seconds(60))), true},
             {"connection reset while receiving",
              std::make_exception_ptr(TransportError::failed(CURLE_RECV_ERROR, "", ECONNRESET)), true},
             {"connection lost while sending",
              std::make_exception_ptr(TransportError::failed(CURLE_SEND_ERROR, "", EPIPE)), true},
             {"connection refused",
              std::make_exception_ptr(TransportError::failed(CURLE_COULDNT_CONNECT, "", ECONNREFUSED)), true},
             {"host not found", std::make_exception_ptr(TransportError::failed(CURLE_COULDNT_RESOLVE_HOST, "", 0)),
              true},
             {"timed out", std::make_exception_ptr(TransportError::failed(CURLE_OPERATION_TIMEDOUT, "", 0)), true},
             {"TLS handshake", std::make_exception_ptr(TransportError::failed(CURLE_SSL_CONNECT_ERROR, "", 0)), true},
             {"empty reply", std::make_exception_ptr(TransportError::failed(CURLE_GOT_NOTHING, "", 0)), true},
             {"malformed reply", std::make_exception_ptr(TransportError::failed(CURLE_WEIRD_SERVER_REPLY, "", 0)),
              true},
             // An errno speaks only for the codes of a failed socket call; on any other
             // code it is left over from an earlier exchange and says nothing.
             {"other code, network unreachable",
              std::make_exception_ptr(TransportError::failed(CURLE_FAILED_INIT, "", ENETUNREACH)), false},
             {"malformed URL after a refused connection",
              std::make_exception_ptr(TransportError::failed(CURLE_URL_MALFORMAT, "", ECONNREFUSED)), false},
             {"unsupported protocol after a reset",
              std::make_exception_ptr(TransportError::failed(CURLE_UNSUPPORTED_PROTOCOL, "", ECONNRESET)), false},
             {"untrusted certificate after a refused connection",
              std::make_exception_ptr(TransportError::failed(CURLE_PEER_FAILED_VERIFICATION, "", ECONNREFUSED)),
              false},
             {"unsupported protocol",
              std::make_exception_ptr(TransportError::failed(CURLE_UNSUPPORTED_PROTOCOL, "", 0)), false},
             {"malformed URL", std::make_exception_ptr(TransportError::failed(CURLE_URL_MALFORMAT, "", 0)), false},
             {"untrusted certificate",
              std::make_exception_ptr(TransportError::failed(CURLE_PEER_FAILED_VERIFICATION, "", 0)), false},
             {"socket errno ECONNABORTED", std::make_exception_ptr(std::system_error(ECONNABORTED, std::generic_category())),
              true},
             {"file not found", std::make_exception_ptr(std::system_error(ENOENT, std::generic_category())), false},
             {"refused request", std::make_exception_ptr(tarn::S3Error::requestFailed(503, "")), false},
             {"unexpected answer", std::make_exception_ptr(tarn::S3Error::unexpectedResponse()), false},
             {"cancelled", std::make_exception_ptr(tarn::CancelledError()), false},
             {"anything else", std::make_exception_ptr(std::runtime_error("x")), false},
             {"nothing", nullptr, false},
         }) {
        EXPECT_EQ(PartRetryPolicy::isRetryable(c.error), c.retryable) << c.name;
    }
}
