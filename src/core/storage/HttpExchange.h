#pragma once

#include "core/storage/S3Request.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The answer of one exchange.
struct HttpResponse {
    int statusCode = 0;
    // The final answer's headers in the order they arrived, names as the server wrote
    // them (interim 1xx answers are not kept).
    std::vector<HttpHeader> headers;
    // The body, unless a body sink took it (see ExchangeOptions::onBody).
    std::vector<std::uint8_t> body;
    // True when a body sink stopped the exchange before the body's end.
    bool stoppedEarly = false;
    // True when the body of an answer outside 2xx was longer than an error keeps
    // (S3Error::kMaxBodyBytes): `body` holds that much, and the rest was not read.
    bool bodyCut = false;
    std::chrono::steady_clock::duration elapsed{};

    const std::string* header(std::string_view name) const { return findHeader(headers, name); }
    std::string_view bodyText() const { return {reinterpret_cast<const char*>(body.data()), body.size()}; }
};

// Byte counts of a running exchange. A total is -1 while it is unknown (an answer
// without a length).
struct TransferProgress {
    std::int64_t sent = 0;
    std::int64_t sendTotal = 0;
    std::int64_t received = 0;
    std::int64_t receiveTotal = -1;

    bool operator==(const TransferProgress&) const = default;
};

// A request body read while it goes out, in place of S3Request::body, so that a large
// body need not be in memory as a whole, nor be copied into the request.
struct BodySource {
    std::int64_t size = 0;
    // Fills `buffer` with the body's bytes from `offset` on and returns how many it
    // wrote: the whole buffer, or all that is left of the body. Reads come in order;
    // a resend on a fresh connection starts again from 0. What it throws ends the
    // exchange and passes through.
    std::function<std::size_t(std::int64_t offset, std::span<std::uint8_t> buffer)> read;
};

struct ExchangeOptions {
    // Sends the body from here; the request's own body must then be empty.
    std::optional<BodySource> body;
    // Takes the body of a 2xx answer chunk by chunk instead of collecting it in
    // HttpResponse::body; the response it is given carries the status and headers.
    // Returning false ends the exchange at once, without an error (stoppedEarly).
    // The body of any other status is always collected, so it can be reported, up to
    // the size an error keeps (see HttpResponse::bodyCut).
    std::function<bool(const HttpResponse& head, std::span<const std::uint8_t> chunk)> onBody;
    // A 2xx body collected in HttpResponse::body may be at most this long: a longer
    // one ends the exchange with ResponseTooLargeError as soon as its announced length
    // or the bytes received pass the limit. None: no limit.
    std::optional<std::size_t> maxBodyBytes;
    // Called whenever a byte count changed.
    std::function<void(const TransferProgress&)> onProgress;
    // A stop request ends the exchange with CancelledError within milliseconds.
    std::stop_token stopToken;
    // Name lookup, connection and TLS set-up together.
    std::chrono::milliseconds connectTimeout{30000};
    // Part uploads: fail with TransportError::Kind::stalled when the count of bytes
    // sent has not grown for this long. The clock keeps running once the body is out,
    // so a server that takes the bytes and never answers is caught too.
    std::optional<std::chrono::duration<double>> stallTimeout;
};

// Sends storage requests with libcurl on the calling thread, exactly as given: the
// method, the URL, the request's headers and body, nothing else but the length
// (no Expect, Accept, agent or default content type; an empty PUT goes out with
// "Content-Length: 0", never chunked). Any status is an answer, not an error.
// Connections and name lookups are kept per thread for the next exchange; nothing
// else outlives a call. Safe to call from many threads at once.
namespace HttpExchange {

// Throws CancelledError on a stop request, TransportError when no answer came (or
// the transfer stood still past S3Request::idleTimeout, where zero means no limit,
// or past the stall limit), ResponseTooLargeError for a body over the options'
// limit, std::invalid_argument for a header that cannot be sent as it stands (see
// checkSendable), and whatever a callback of the options throws.
HttpResponse perform(const S3Request& request, const ExchangeOptions& options = {});

}  // namespace HttpExchange

}  // namespace tarn
