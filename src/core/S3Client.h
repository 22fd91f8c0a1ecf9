#pragma once

#include "core/ConfigModels.h"
#include "core/HttpExchange.h"
#include "core/S3Request.h"
#include "core/StorageModels.h"
#include "core/UploadPart.h"
#include "core/Url.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The one storage client of the program. Every operation is a blocking call on the
// calling thread that returns its result or throws: S3Error (refused request, bad
// URL, unusable answer), XmlParseError (an answer that is not XML), TransportError
// (no answer) or CancelledError (the stop token was triggered). Operations may run
// on many threads at once; the client keeps nothing between calls but the logger.
class S3Client {
public:
    // Receives one line of the request log at a time, from any thread, concurrently.
    using Logger = std::function<void(std::string_view line)>;

    S3Client();
    ~S3Client();
    S3Client(const S3Client&) = delete;
    S3Client& operator=(const S3Client&) = delete;

    // Sets, replaces or (with an empty function) removes the logger, also while
    // exchanges run: each line goes to the logger current when it is written.
    void setLogger(Logger logger);
    // The current logger; empty when there is none.
    Logger logger() const;

    // ---- Listings (S3ClientListing.cpp) ----

    // The buckets of the account at `endpoint`, with the totals of the maker's
    // service (0 and 0 elsewhere).
    std::vector<S3BucketInfo> listBuckets(const Url& endpoint, const std::string& region,
                                          const S3Credentials& credentials, std::stop_token stop = {});
    // One page of objects and folders under `prefix`; an absent token asks for the
    // first page.
    S3Listing listPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                       const std::string& delimiter, const std::optional<std::string>& continuationToken,
                       std::stop_token stop = {});
    // Every page, objects and folders each in page order; never truncated.
    S3Listing list(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                   const std::string& delimiter, std::stop_token stop = {});
    // Every object under `prefix`, flat, in page order.
    std::vector<ObjectItem> listObjects(const BucketConfig& bucket, const S3Credentials& credentials,
                                        const std::string& prefix, std::stop_token stop = {});
    // One page of unfinished multipart uploads (at most 1,000), after the markers.
    MultipartUploadListing listMultipartUploads(const BucketConfig& bucket, const S3Credentials& credentials,
                                                const std::optional<std::string>& keyMarker,
                                                const std::optional<std::string>& uploadIdMarker,
                                                std::stop_token stop = {});

    // ---- Object operations ----

    // ---- Multipart operations ----

    // Defined in S3ClientMultipart.cpp.

    // The answer to one part upload, whatever its status.
    struct PartResponse {
        int statusCode = 0;
        std::optional<std::string> requestID;   // "x-amz-request-id"
        std::optional<std::string> retryAfter;  // "Retry-After", raw text
        std::optional<std::string> etag;        // "ETag" of a 2xx answer; absent for any other
        // Empty for a 2xx answer; otherwise the first 4096 bytes of the body as text,
        // ill-formed UTF-8 shown as U+FFFD.
        std::string body;

        bool operator==(const PartResponse&) const = default;
    };
    // Receives the total of part bytes sent so far, about fifty times per part and
    // always once the whole part is out.
    using PartProgress = std::function<void(std::int64_t sent)>;

    // Starts a multipart upload and returns its upload ID.
    std::string createMultipartUpload(const std::string& key, const BucketConfig& bucket,
                                      const S3Credentials& credentials, const std::optional<std::string>& contentType,
                                      std::stop_token stop = {});
    // Sends part `partNumber` (from 1). Not logged: the multipart engine writes its own
    // lines. Any HTTP status is an answer, not an error. The part's bytes are borrowed
    // for the exchange (not copied) and are back in `data` when the call returns or
    // throws. Throws PartStalledError when the count of bytes sent stands still for
    // `stallTimeout` (the wait for the answer included), TransportError when no answer
    // came, CancelledError on a stop request, S3Error::invalidURL.
    PartResponse uploadPart(const std::string& key, const std::string& uploadId, int partNumber,
                            std::vector<std::uint8_t>& data, const BucketConfig& bucket,
                            const S3Credentials& credentials, std::chrono::duration<double> stallTimeout,
                            const PartProgress& onProgress, std::stop_token stop = {});
    // Joins the parts, given in any order, into the object. A 200 answer that carries
    // an error document (the server can fail after it has begun to answer) throws
    // S3Error::requestFailed with that document's code and message.
    void completeMultipartUpload(const std::string& key, const std::string& uploadId, std::vector<UploadPart> parts,
                                 const BucketConfig& bucket, const S3Credentials& credentials,
                                 std::stop_token stop = {});
    // Drops an unfinished upload and the parts stored for it.
    void abortMultipartUpload(const std::string& key, const std::string& uploadId, const BucketConfig& bucket,
                              const S3Credentials& credentials, std::stop_token stop = {});

private:
    // ---- Transport and request log (S3Client.cpp) ----

    // Runs one exchange of the request as it stands; HttpExchange::perform with
    // options of the caller's choosing, for example.
    using Perform = std::function<HttpResponse(const S3Request& request)>;

    // Logs the request, runs `perform`, logs the answer and returns the body of a
    // 2xx answer. Any other status throws S3Error::requestFailed; errors of
    // `perform` pass through unchanged. `logsBody`: whether a successful textual
    // body is logged.
    std::vector<std::uint8_t> send(const S3Request& request, bool logsBody, const Perform& perform);
    // The same over a plain exchange of the request and its body.
    std::vector<std::uint8_t> send(const S3Request& request, bool logsBody, std::stop_token stop = {});
    // The same, returning the answer's status and headers; the success line has no
    // byte count, and a textual body is always logged. The body is dropped.
    HttpResponse sendReturningResponse(const S3Request& request, std::stop_token stop = {});
    HttpResponse sendReturningResponse(const S3Request& request, const Perform& perform);
    static Perform plainExchange(std::stop_token stop);

    // Writes one line through the current logger, if any.
    void log(std::string_view line) const;
    // Whether a logger is set; lines that take work to build are built only then.
    bool isLogging() const;
    void logBody(std::span<const std::uint8_t> body, const std::string* contentType) const;
    void logFailedRequest(const S3Request& request) const;
    static std::string truncatedBody(std::span<const std::uint8_t> body);
    HttpResponse transport(const S3Request& request, const Perform& perform, bool countsBytes, bool logsBody);

    // ---- Listing helpers (S3ClientListing.cpp) ----

    S3Listing fetchListPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                            const std::optional<std::string>& delimiter,
                            const std::optional<std::string>& continuationToken, std::stop_token stop);
    S3Listing allPages(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                       const std::optional<std::string>& delimiter, std::stop_token stop);

    // ---- Object operation helpers ----

    // ---- Multipart helpers ----

    std::atomic<std::shared_ptr<const Logger>> m_logger;
};

}  // namespace tarn
