#include "S3TestBuckets.h"

#include "core/storage/HttpExchange.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/TransportError.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace tarn::test {

namespace {

constexpr int kWriters = 8;

// A plain signed PUT; the test set-up needs no more of the storage protocol than that.
// A connection that broke before its answer is tried again: several tests filling
// buckets at once open many connections, more than a small server (or a checking
// proxy before it) accepts at a time, and a PUT may be sent twice.
void put(const S3TestServer& server, const BucketConfig& bucket, const std::string& url, std::string_view content,
         const std::vector<HttpHeader>& headers = {}) {
    constexpr int kAttempts = 5;
    std::optional<HttpResponse> answered;
    for (int attempt = 1; !answered; ++attempt) {
        // Signed anew each time, so that a late attempt is not refused as stale.
        const S3Request request = S3RequestBuilder::request("PUT", url, bucket, credentialsOf(server),
                                                            {content.begin(), content.end()}, std::nullopt, headers,
                                                            std::chrono::system_clock::now());
        try {
            answered = HttpExchange::perform(request);
        } catch (const TransportError& error) {
            if (error.kind() != TransportError::Kind::failed || attempt == kAttempts) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(50 * attempt));
        }
    }
    const HttpResponse& response = *answered;
    if (response.statusCode != 200) {
        throw std::runtime_error("PUT " + url + " answered " + std::to_string(response.statusCode) + ": " +
                                 std::string(response.bodyText()));
    }
}

}  // namespace

S3Credentials credentialsOf(const S3TestServer& server) {
    return {server.accessKey, server.secretKey};
}

BucketConfig createBucket(const S3TestServer& server, const std::string& stem) {
    BucketConfig bucket;
    bucket.bucketName = uniqueBucketName(stem);
    bucket.displayName = bucket.bucketName;
    bucket.endpoint = *Url::parse(server.endpoint);
    bucket.region = server.region;
    // Reached with the server's keys: an account made from this bucket signs with them.
    bucket.accessKeyID = server.accessKey;
    // A PUT on the bucket's own URL creates it.
    put(server, bucket, S3RequestBuilder::objectURL(bucket, ""), "");
    return bucket;
}

void putObjects(const S3TestServer& server, const BucketConfig& bucket, const std::vector<std::string>& keys,
                std::string_view content) {
    std::atomic<std::size_t> next = 0;
    std::exception_ptr failure;
    std::mutex failureLock;
    {
        std::vector<std::jthread> writers;
        for (int i = 0; i < kWriters; ++i) {
            writers.emplace_back([&] {
                try {
                    for (std::size_t k = next++; k < keys.size(); k = next++) {
                        put(server, bucket, S3RequestBuilder::objectURL(bucket, keys[k]), content);
                    }
                } catch (...) {
                    const std::lock_guard lock(failureLock);
                    if (!failure) failure = std::current_exception();
                    next = keys.size();
                }
            });
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void putObject(const S3TestServer& server, const BucketConfig& bucket, const std::string& key, std::string_view content,
               const std::vector<HttpHeader>& headers) {
    put(server, bucket, S3RequestBuilder::objectURL(bucket, key), content, headers);
}

}  // namespace tarn::test
