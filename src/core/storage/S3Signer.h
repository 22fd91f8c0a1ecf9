#pragma once

#include "core/storage/S3Request.h"
#include "core/storage/StorageModels.h"
#include "core/values/IsoDate.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// AWS Signature Version 4 ("AWS4-HMAC-SHA256", service "s3") in its two forms:
// headers on a request about to be sent, and query items on a URL that anyone may
// open until it expires. The signing time is always passed in, so a signature is a
// pure function of its inputs.
namespace tarn::S3Signer {

// The texts a signature is computed from, for tests and diagnostics.
struct SigningStages {
    std::string canonicalRequest;
    std::string stringToSign;
    std::string signature;
};

struct PresignedURL {
    std::string url;
    SigningStages stages;
};

// Signs the request in place: sets "Host" (with the port when it is not the scheme's
// default), "x-amz-date", "x-amz-content-sha256" (the SHA-256 of the request's own
// body) and "Authorization", replacing headers of those names. Every other header
// the request carries is signed as it stands. An empty method becomes "GET".
// Throws S3Error::invalidURL when the URL has no scheme or host, and
// std::invalid_argument for a header that cannot be sent as signed (an empty or
// malformed name, a line break in a value); the request is then left unchanged.
SigningStages sign(S3Request& request, std::string_view region, const S3Credentials& credentials,
                   TimePoint time);
// The same for a body that is sent from elsewhere (BodySource) while the request's
// own body stays empty: `payloadHash` is that body's SHA-256 in lower-case hex.
SigningStages sign(S3Request& request, std::string_view region, const S3Credentials& credentials, TimePoint time,
                   std::string payloadHash);

// The URL with the signing items appended to its query (existing items first, in
// their order), valid for `expiresIn` seconds from `time`. Only "host" is signed.
// Throws S3Error::invalidURL when the URL has no scheme or host.
std::string presignedURL(std::string_view method, std::string_view url, std::string_view region,
                         const S3Credentials& credentials, std::int64_t expiresIn, TimePoint time);
PresignedURL presign(std::string_view method, std::string_view url, std::string_view region,
                     const S3Credentials& credentials, std::int64_t expiresIn, TimePoint time);

// Percent-encoding with the one unreserved set of every encoding in the storage
// client (A-Z a-z 0-9 - . _ ~); every other byte becomes "%XX", upper-case hex.
std::string awsEncode(std::string_view text);
// The same, keeping each "/" so that the pieces of an object key stay separate.
std::string awsEncodeSegments(std::string_view path);
// The path as it is signed: the decoded path encoded piece by piece; "/" when empty.
std::string canonicalPath(std::string_view decodedPath);
// Encoded "name=value" pairs sorted by name, then value, joined by "&"; an item
// without a value counts as having the empty value.
std::string canonicalQuery(std::span<const QueryItem> items);
// The query text of the items, in their order, names and values encoded with the
// unreserved set: decoding it gives back exactly the items.
std::string encodeQuery(std::span<const QueryItem> items);
// The decoded items of a query text ("a=1&b"); "+" stands for itself.
std::vector<QueryItem> decodeQuery(std::string_view query);
std::string percentDecode(std::string_view text);
std::string sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace tarn::S3Signer
