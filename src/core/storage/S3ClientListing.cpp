#include "core/storage/S3BucketListParser.h"
#include "core/storage/S3Client.h"
#include "core/storage/ListingScope.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3ListParser.h"
#include "core/storage/S3MultipartUploadsParser.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3Signer.h"

#include <chrono>
#include <set>

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
    std::optional<std::string> token;
    std::set<std::string> tokensSent;
    while (true) {
        S3Listing page = fetchListPage(bucket, credentials, prefix, delimiter, token, stop);
        all.objects.insert(all.objects.end(), std::make_move_iterator(page.objects.begin()),
                           std::make_move_iterator(page.objects.end()));
        all.prefixes.insert(all.prefixes.end(), std::make_move_iterator(page.prefixes.begin()),
                            std::make_move_iterator(page.prefixes.end()));
        if (!page.isTruncated) return all;
        // A truncated page without a token (or with only the marker of the first
        // listing version) cannot be continued. Returning what was gathered would have
        // a folder delete, move or total act on part of the folder as if it were all.
        if (!page.nextContinuationToken || page.nextContinuationToken->empty()) throw S3Error::unexpectedResponse();
        // A server that hands back a token it was already given would have the loop
        // run, and memory grow, for ever.
        if (!tokensSent.insert(*page.nextContinuationToken).second) throw S3Error::unexpectedResponse();
        token = std::move(page.nextContinuationToken);
    }
}

}  // namespace tarn
