#include "core/storage/S3BucketListParser.h"
#include "core/storage/S3Client.h"
#include "core/storage/ListingScope.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3ListParser.h"
#include "core/storage/S3MultipartUploadsParser.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3Signer.h"

#include <chrono>
#include <cstdint>

namespace tarn {

namespace {

// The bucket summary line names at most this many buckets.
constexpr std::size_t kSummarisedBuckets = 20;
// The page size asked for when listing unfinished uploads.
constexpr int kUploadsPerPage = 1000;

std::string bucketSummary(const Url& endpoint, const std::vector<S3BucketInfo>& buckets) {
    std::string line = "listBuckets(" + endpoint.host().value_or(endpoint.absoluteString()) + ") → " +
                       std::to_string(buckets.size()) + " 个桶 [";
    for (std::size_t i = 0; i < buckets.size() && i < kSummarisedBuckets; ++i) {
        if (i > 0) line += ", ";
        const S3BucketInfo& bucket = buckets[i];
        line += bucket.name + "(" + std::to_string(bucket.totalBytes) + "B/" + std::to_string(bucket.totalFiles) +
                "f)";
    }
    if (buckets.size() > kSummarisedBuckets) line += " …";
    return line + "]";
}

// Tells a listing whose continuation tokens come round again, in constant memory
// however many pages pass: a set of every token would grow with the listing, which
// a server that never ends its pages makes endless. The token just before and one
// token kept at each power-of-two step (Brent's cycle finding) catch a token that
// repeats at once, and any longer round of tokens within twice its length.
class RepeatWatch {
public:
    bool seenBefore(const std::string& token) {
        if (token == m_previous || token == m_kept) return true;
        m_previous = token;
        if (++m_sinceKept == m_span) {
            m_kept = token;
            m_sinceKept = 0;
            m_span *= 2;
        }
        return false;
    }

private:
    std::string m_previous;
    std::string m_kept;
    std::uint64_t m_sinceKept = 0;
    std::uint64_t m_span = 1;
};

}  // namespace

std::vector<S3BucketInfo> S3Client::listBuckets(const Url& endpoint, const std::string& region,
                                                const S3Credentials& credentials, std::stop_token stop) {
    // The account's bucket list lives at the endpoint itself, not under a bucket.
    S3Request request;
    request.method = "GET";
    request.url = S3RequestBuilder::accountURL(endpoint);
    S3Signer::sign(request, region, credentials, std::chrono::system_clock::now());

    const std::vector<std::uint8_t> body = send(request, false, std::move(stop));
    std::vector<S3BucketInfo> buckets = S3BucketListParser::parse(asText(body));
    if (isLogging()) log(bucketSummary(endpoint, buckets));
    return buckets;
}

S3Listing S3Client::listPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                             const std::string& delimiter, const std::optional<std::string>& continuationToken,
                             std::stop_token stop) {
    return fetchListPage(bucket, credentials, prefix, delimiter, continuationToken, std::move(stop));
}

S3Listing S3Client::list(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                         const std::string& delimiter, std::stop_token stop) {
    return allPages(bucket, credentials, prefix, delimiter, std::move(stop));
}

std::vector<ObjectItem> S3Client::listObjects(const BucketConfig& bucket, const S3Credentials& credentials,
                                              const std::string& prefix, std::stop_token stop) {
    return std::move(allPages(bucket, credentials, prefix, std::nullopt, std::move(stop)).objects);
}

MultipartUploadListing S3Client::listMultipartUploads(const BucketConfig& bucket, const S3Credentials& credentials,
                                                      const std::optional<std::string>& keyMarker,
                                                      const std::optional<std::string>& uploadIdMarker,
                                                      std::stop_token stop) {
    const S3Request request = signedRequest(
        "GET", S3RequestBuilder::listMultipartUploadsURL(bucket, keyMarker, uploadIdMarker, kUploadsPerPage), bucket,
        credentials);
    return S3MultipartUploadsParser::parse(asText(send(request, true, std::move(stop))));
}

S3Listing S3Client::fetchListPage(const BucketConfig& bucket, const S3Credentials& credentials,
                                  const std::string& prefix, const std::optional<std::string>& delimiter,
                                  const std::optional<std::string>& continuationToken, std::stop_token stop) {
    const S3Request request =
        signedRequest("GET", S3RequestBuilder::listURL(bucket, prefix, delimiter, continuationToken), bucket,
                      credentials);
    S3Listing page = S3ListParser::parse(asText(send(request, true, std::move(stop))));
    // A server that ignores the prefix would have a folder delete or move act on the
    // whole bucket.
    ListingScope::requireWithin(page, prefix);
    return page;
}

S3Listing S3Client::allPages(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                             const std::optional<std::string>& delimiter, std::stop_token stop) {
    S3Listing all;
    const PageHandler gather = [&all](S3Listing& page) {
        all.objects.insert(all.objects.end(), std::make_move_iterator(page.objects.begin()),
                           std::make_move_iterator(page.objects.end()));
        all.prefixes.insert(all.prefixes.end(), std::make_move_iterator(page.prefixes.begin()),
                            std::make_move_iterator(page.prefixes.end()));
    };
    forEachPage(bucket, credentials, prefix, delimiter, gather, std::move(stop));
    return all;
}

void S3Client::forEachPage(const BucketConfig& bucket, const S3Credentials& credentials, const std::string& prefix,
                           const std::optional<std::string>& delimiter, const PageHandler& onPage,
                           std::stop_token stop) {
    std::optional<std::string> token;
    RepeatWatch repeats;
    while (true) {
        S3Listing page = fetchListPage(bucket, credentials, prefix, delimiter, token, stop);
        onPage(page);
        if (!page.isTruncated) return;
        // A truncated page without a token (or with only the marker of the first
        // listing version) cannot be continued. Ending there would have a folder
        // delete, move or total act on part of the folder as if it were all.
        if (!page.nextContinuationToken || page.nextContinuationToken->empty()) throw S3Error::unexpectedResponse();
        // A server that hands back a token it was already given would have the
        // listing run for ever.
        if (repeats.seenBefore(*page.nextContinuationToken)) throw S3Error::unexpectedResponse();
        token = std::move(page.nextContinuationToken);
    }
}

}  // namespace tarn
