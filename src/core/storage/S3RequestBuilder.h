#pragma once

#include "core/config/ConfigModels.h"
#include "core/storage/S3Request.h"
#include "core/storage/StorageModels.h"
#include "core/values/IsoDate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The URLs and signed requests of every storage operation. A bucket is addressed
// virtual-hosted (the bucket name is the first label of the endpoint's host), except
// on an endpoint whose host is an IP address, where no such host name exists: there
// the bucket is the first piece of the path. Only the endpoint's scheme, host and
// explicit port are used. Object keys are percent-encoded piece by piece, so their
// "/" separators survive. The URL functions throw S3Error::invalidURL for an endpoint
// without an http or https scheme or without a host, and for a bucket name that
// cannot stand in a host name.
namespace tarn::S3RequestBuilder {

// The account-wide URL of an endpoint (the bucket list): the endpoint with its path
// and query as written, without user, password or fragment.
std::string accountURL(const Url& endpoint);
std::string objectURL(const BucketConfig& bucket, std::string_view key);
// The same as objectURL, path-style on IP-address endpoints.
std::string virtualHostedObjectURL(const BucketConfig& bucket, std::string_view key);
// "list-type=2", "prefix" (empty when absent), then "delimiter" and
// "continuation-token" when given (an empty delimiter is still sent).
std::string listURL(const BucketConfig& bucket, const std::optional<std::string>& prefix,
                    const std::optional<std::string>& delimiter, const std::optional<std::string>& continuationToken);
std::string deleteObjectsURL(const BucketConfig& bucket);
// "uploads", "max-uploads", then each marker only when it is present and not empty.
std::string listMultipartUploadsURL(const BucketConfig& bucket, const std::optional<std::string>& keyMarker,
                                    const std::optional<std::string>& uploadIdMarker, int maxUploads);
std::string createMultipartUploadURL(const BucketConfig& bucket, std::string_view key);
std::string uploadPartURL(const BucketConfig& bucket, std::string_view key, int partNumber, std::string_view uploadId);
std::string abortMultipartUploadURL(const BucketConfig& bucket, std::string_view key, std::string_view uploadId);
std::string completeMultipartUploadURL(const BucketConfig& bucket, std::string_view key, std::string_view uploadId);
// The first stored part of an upload ("max-parts" 1): whether the upload still exists.
std::string listPartsURL(const BucketConfig& bucket, std::string_view key, std::string_view uploadId);

// The value of "x-amz-copy-source": "/bucket/encoded-key", with "?move=true" when the
// server is to move the object rather than copy it.
std::string copySource(std::string_view bucketName, std::string_view key, bool move);

// A request signed with the bucket's region at `time`: "Content-Type" when a content
// type is given (also an empty one), then the extra headers, each replacing a header
// of the same name. Throws what S3Signer::sign throws.
S3Request request(std::string method, std::string url, const BucketConfig& bucket, const S3Credentials& credentials,
                  std::vector<std::uint8_t> body, const std::optional<std::string>& contentType,
                  const std::vector<HttpHeader>& headers, TimePoint time);

// A GET link to the object with the extra query items, valid for `expiresIn` seconds
// from `time`.
std::string presignedDownloadURL(const BucketConfig& bucket, std::string_view key, const S3Credentials& credentials,
                                 std::int64_t expiresIn, const std::vector<QueryItem>& extraQuery, TimePoint time);

}  // namespace tarn::S3RequestBuilder
