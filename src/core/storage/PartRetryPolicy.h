#pragma once

#include "core/values/IsoDate.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// How the parts of a multipart upload are retried. Times are in seconds.
struct PartRetryPolicy {
    static constexpr double defaultStallTimeout = 30.0;

    // Attempts per part in all, the first one included; values below 1 count as 1.
    int maxAttempts = 4;
    // The waits before the 2nd, 3rd, 4th attempt; later attempts reuse the last one.
    std::vector<double> baseDelays{1.0, 2.0, 4.0};
    // Share of a wait added on top at random, so parallel parts do not retry in step.
    double jitter = 0.25;
    // Upper bound of a wait that the server asked for with "Retry-After".
    double retryAfterCap = 30.0;
    // An attempt whose bytes sent stand still this long is cut (and retried).
    double stallTimeout = defaultStallTimeout;

    // The wait after attempt `afterAttempt` (from 1) failed. `retryAfter`: the
    // server's wish, which takes the place of the base delay; `random` in [0, 1].
    double delay(int afterAttempt, std::optional<double> retryAfter, double random) const;

    // Whether an answer with this HTTP status is worth another attempt (time-outs,
    // throttling, a client that gave up, server errors).
    static bool isRetryableStatus(int statusCode);
    // Whether a thrown error is a passing one: a stalled part, a time limit, or a
    // network failure of TransientErrors. Storage errors and cancellation are not.
    static bool isRetryable(const std::exception_ptr& error);
    // Seconds to wait from `now` by the value of a "Retry-After" header: a decimal
    // number of seconds, or an HTTP date ("Wed, 21 Oct 2015 07:28:00 GMT", 0 when it
    // is not in the future). Absent for an absent, empty, negative or unreadable value.
    static std::optional<double> parseRetryAfter(const std::optional<std::string>& header, TimePoint now);

    bool operator==(const PartRetryPolicy&) const = default;
};

}  // namespace tarn
