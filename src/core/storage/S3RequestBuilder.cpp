#include "core/storage/S3RequestBuilder.h"

#include "core/storage/S3Error.h"
#include "core/storage/S3Signer.h"

#include <algorithm>
#include <utility>

namespace tarn::S3RequestBuilder {

namespace {

// Characters a bucket name may hold and still be one label of a host name; anything
// else ("/", "@", ":", "?") would change which server the URL names.
bool isUsableBucketName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_';
    });
}

// "scheme://" and "host[:port]" of an http or https endpoint. A user and password in
// the endpoint are left out: S3 does not read them, and every URL ends up in the log.
std::pair<std::string, std::string> schemeAndAuthority(const Url& endpoint) {
    const std::optional<std::string>& scheme = endpoint.scheme();
    std::optional<std::string> host = endpoint.hostForAuthority();
    if (!scheme || (*scheme != "http" && *scheme != "https") || !host) throw S3Error::invalidURL();
    if (endpoint.port()) host->append(":").append(std::to_string(*endpoint.port()));
    return {*scheme + "://", std::move(*host)};
}

// The bucket's URL: with a key, the object's URL; with query items, that query.
std::string bucketURL(const BucketConfig& bucket, std::optional<std::string_view> key,
                      const std::vector<QueryItem>& query = {}) {
    const Url& endpoint = bucket.endpoint;
    auto [url, authority] = schemeAndAuthority(endpoint);
    if (!isUsableBucketName(bucket.bucketName)) throw S3Error::invalidURL();

    // "bucket.127.0.0.1" names no host, so IP-address endpoints are addressed path-style.
    const bool pathStyle = endpoint.hostIsIpLiteral();
    if (!pathStyle) url.append(bucket.bucketName).append(".");
    url += authority;
    url += '/';
    if (pathStyle) {
        url += bucket.bucketName;
        if (key) url += '/';
    }
    if (key) url += S3Signer::awsEncodeSegments(*key);
    if (!query.empty()) url.append("?").append(S3Signer::encodeQuery(query));
    return url;
}

}  // namespace

std::string accountURL(const Url& endpoint) {
    auto [url, authority] = schemeAndAuthority(endpoint);
    url += authority;
    // The rest as written: path and query, without a fragment, which is never sent.
    const std::string_view text = endpoint.absoluteString();
    std::string_view rest = text.substr(std::min(text.find_first_of("/?#", text.find("://") + 3), text.size()));
    url += rest.substr(0, rest.find('#'));
    return url;
}

std::string objectURL(const BucketConfig& bucket, std::string_view key) { return bucketURL(bucket, key); }

std::string virtualHostedObjectURL(const BucketConfig& bucket, std::string_view key) { return objectURL(bucket, key); }

std::string listURL(const BucketConfig& bucket, const std::optional<std::string>& prefix,
                    const std::optional<std::string>& delimiter, const std::optional<std::string>& continuationToken) {
    std::vector<QueryItem> query{{"list-type", "2"}, {"prefix", prefix.value_or("")}};
    if (delimiter) query.push_back({"delimiter", *delimiter});
    if (continuationToken) query.push_back({"continuation-token", *continuationToken});
    return bucketURL(bucket, std::nullopt, query);
}

std::string deleteObjectsURL(const BucketConfig& bucket) {
    return bucketURL(bucket, std::nullopt, {{"delete", std::nullopt}});
}

std::string listMultipartUploadsURL(const BucketConfig& bucket, const std::optional<std::string>& keyMarker,
                                    const std::optional<std::string>& uploadIdMarker, int maxUploads) {
    std::vector<QueryItem> query{{"uploads", std::nullopt}, {"max-uploads", std::to_string(maxUploads)}};
    if (keyMarker && !keyMarker->empty()) query.push_back({"key-marker", *keyMarker});
    if (uploadIdMarker && !uploadIdMarker->empty()) query.push_back({"upload-id-marker", *uploadIdMarker});
    return bucketURL(bucket, std::nullopt, query);
}

std::string createMultipartUploadURL(const BucketConfig& bucket, std::string_view key) {
    return bucketURL(bucket, key, {{"uploads", std::nullopt}});
}

std::string uploadPartURL(const BucketConfig& bucket, std::string_view key, int partNumber, std::string_view uploadId) {
    return bucketURL(bucket, key, {{"partNumber", std::to_string(partNumber)}, {"uploadId", std::string(uploadId)}});
}

std::string abortMultipartUploadURL(const BucketConfig& bucket, std::string_view key, std::string_view uploadId) {
    return bucketURL(bucket, key, {{"uploadId", std::string(uploadId)}});
}

std::string completeMultipartUploadURL(const BucketConfig& bucket, std::string_view key, std::string_view uploadId) {
    return abortMultipartUploadURL(bucket, key, uploadId);
}

std::string listPartsURL(const BucketConfig& bucket, std::string_view key, std::string_view uploadId) {
    return bucketURL(bucket, key, {{"max-parts", "1"}, {"uploadId", std::string(uploadId)}});
}

std::string copySource(std::string_view bucketName, std::string_view key, bool move) {
    std::string source = "/";
    source.append(bucketName).append("/").append(S3Signer::awsEncodeSegments(key));
    // The maker's service moves the object instead of copying it when asked so.
    if (move) source += "?move=true";
    return source;
}

S3Request request(std::string method, std::string url, const BucketConfig& bucket, const S3Credentials& credentials,
                  std::vector<std::uint8_t> body, const std::optional<std::string>& contentType,
                  const std::vector<HttpHeader>& headers, TimePoint time) {
    S3Request request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.body = std::move(body);
    if (contentType) request.setHeader("Content-Type", *contentType);
    for (const HttpHeader& header : headers) request.setHeader(header.name, header.value);
    S3Signer::sign(request, bucket.region, credentials, time);
    return request;
}

std::string presignedDownloadURL(const BucketConfig& bucket, std::string_view key, const S3Credentials& credentials,
                                 std::int64_t expiresIn, const std::vector<QueryItem>& extraQuery, TimePoint time) {
    return S3Signer::presignedURL("GET", bucketURL(bucket, key, extraQuery), bucket.region, credentials, expiresIn,
                                  time);
}

}  // namespace tarn::S3RequestBuilder
