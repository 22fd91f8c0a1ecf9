#include "core/crypto/Crypto.h"
#include "core/storage/ArchivedObjectError.h"
#include "core/storage/CancelledError.h"
#include "core/storage/MakerService.h"
#include "core/storage/PrefixNavigator.h"
#include "core/storage/RefusedInputError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3DeleteResultParser.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3XmlBodies.h"
#include "core/storage/UserMetadata.h"
#include "core/text/AsciiCase.h"

#include <algorithm>
#include <stdexcept>

namespace tarn {

namespace {

// The most keys one multi-object delete may carry.
constexpr std::size_t kDeleteBatchSize = 1000;
// The part of an object's body the head reads at most. A server that ignores the
// range sends the whole object; reading stops here instead.
constexpr std::size_t kHeadBodyBytes = 4096;
constexpr std::string_view kFolderContentType = "application/x-directory";
// A copy keeps the source's storage class only when it is sent again: without it the
// copy goes to the server's default class (STANDARD on S3).
constexpr std::string_view kStorageClassHeader = "x-amz-storage-class";

std::vector<std::uint8_t> asBytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// Throws the failure a success status stands for when its body is an error document.
void throwIfErrorDocument(std::string_view body) {
    if (std::optional<S3Error> error = S3Error::fromErrorDocument(200, body)) throw *error;
}

ObjectDetails detailsFrom(const ObjectItem& item, const std::vector<HttpHeader>& headers) {
    ObjectDetails details;
    details.item = item;
    details.contentType = headerValue(headers, "Content-Type");
    details.eTag = headerValue(headers, "ETag");
    if (!details.eTag) details.eTag = item.eTag;
    details.cacheControl = headerValue(headers, "Cache-Control");
    details.contentDisposition = headerValue(headers, "Content-Disposition");
    details.contentEncoding = headerValue(headers, "Content-Encoding");
    details.contentLanguage = headerValue(headers, "Content-Language");
    details.expires = headerValue(headers, "Expires");
    // S3 names the class only when it is not STANDARD; the listed one stands otherwise.
    if (std::optional<std::string> storageClass = headerValue(headers, kStorageClassHeader)) {
        details.item.storageClass = std::move(storageClass);
    }
    for (const HttpHeader& header : headers) {
        if (!AsciiCase::startsWith(header.name, UserMetadata::headerPrefix)) continue;
        // The name keeps the case the server reported it in.
        std::string name = header.name.substr(UserMetadata::headerPrefix.size());
        if (!name.empty()) details.metadata.emplace(std::move(name), header.value);
    }
    return details;
}

// The server refuses to read or copy an object of an archive class (GLACIER,
// DEEP_ARCHIVE) that has not been restored.
bool refusesArchivedObject(const S3Error& error) {
    const std::optional<std::string> code = error.errorCode();
    return code == "InvalidObjectState" || code == "ObjectNotInActiveTierError";
}

// A plain exchange that keeps at most the first kHeadBodyBytes of a success body
// and then stops reading.
std::function<HttpResponse(const S3Request&)> firstBytesOnly(std::stop_token stop) {
    return [stop = std::move(stop)](const S3Request& request) {
        std::vector<std::uint8_t> kept;
        ExchangeOptions options;
        options.stopToken = stop;
        options.onBody = [&kept](const HttpResponse&, std::span<const std::uint8_t> chunk) {
            const std::size_t taken = std::min(kHeadBodyBytes - kept.size(), chunk.size());
            kept.insert(kept.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(taken));
            return kept.size() < kHeadBodyBytes;
        };
        HttpResponse response = HttpExchange::perform(request, options);
        // A refusal's body is collected as usual: it says why (a missing key, an
        // archived object).
        if (response.statusCode >= 200 && response.statusCode <= 299) response.body = std::move(kept);
        return response;
    };
}

void checkFolderName(const std::string& name) {
    // The key without the parent, between slashes: "/a/b/" for "a/b" and "/a/b/".
    const std::string pieces = "/" + PrefixNavigator::folderKey(name, "");
    if (pieces == "//") throw RefusedInputError(RefusedInputError::Reason::emptyName, name, "A folder needs a name.");
    if (pieces.find("/./") != std::string::npos || pieces.find("/../") != std::string::npos) {
        throw RefusedInputError(RefusedInputError::Reason::dotName, name,
                                "\"" + name + "\" cannot be a folder name: \".\" and \"..\" are not allowed.");
    }
}

}  // namespace

std::string S3Client::singleObjectURL(const BucketConfig& bucket, const std::string& key) {
    if (key.empty()) {
        throw RefusedInputError(RefusedInputError::Reason::emptyName, key, "An object key cannot be empty.");
    }
    return S3RequestBuilder::objectURL(bucket, key);
}

ObjectDetails S3Client::details(const ObjectItem& item, const BucketConfig& bucket, const S3Credentials& credentials,
                                std::stop_token stop) {
    const std::string url = singleObjectURL(bucket, item.key);
    HttpResponse response;
    try {
        const S3Request firstByte =
            signedRequest("GET", url, bucket, credentials, {}, std::nullopt, {{"Range", "bytes=0-0"}});
        response = sendReturningResponse(firstByte, firstBytesOnly(stop));
    } catch (const S3Error& error) {
        // S3 refuses every byte range of an empty object with 416, and any byte of an
        // archived one; their headers are then read without a body.
        if (error.statusCode() != 416 && !refusesArchivedObject(error)) throw;
        response = sendReturningResponse(signedRequest("HEAD", url, bucket, credentials), std::move(stop));
    }
    return detailsFrom(item, response.headers);
}

std::optional<std::string> S3Client::storageClass(const std::string& key, const BucketConfig& bucket,
                                                  const S3Credentials& credentials, std::stop_token stop) {
    const HttpResponse response =
        sendReturningResponse(signedRequest("HEAD", singleObjectURL(bucket, key), bucket, credentials), std::move(stop));
    return headerValue(response.headers, kStorageClassHeader);
}

void S3Client::createFolder(const std::string& name, const std::string& parentPrefix, const BucketConfig& bucket,
                            const S3Credentials& credentials, std::stop_token stop) {
    checkFolderName(name);
    putDirectoryMarker(PrefixNavigator::folderKey(name, parentPrefix), bucket, credentials, std::move(stop));
}

void S3Client::putDirectoryMarker(const std::string& key, const BucketConfig& bucket, const S3Credentials& credentials,
                                  std::stop_token stop) {
    send(signedRequest("PUT", singleObjectURL(bucket, key), bucket, credentials, {}, std::string(kFolderContentType)),
         true, std::move(stop));
}

void S3Client::moveObject(const std::string& from, const std::string& to, const BucketConfig& bucket,
                          const S3Credentials& credentials, std::stop_token stop) {
    moveObject(ObjectItem{from}, to, bucket, credentials, std::move(stop));
}

void S3Client::moveObject(const ObjectItem& from, const std::string& to, const BucketConfig& bucket,
                          const S3Credentials& credentials, std::stop_token stop) {
    // Copying onto itself and then deleting the source would delete the object.
    if (from.key == to) return;
    if (MakerService::isStorageEndpoint(bucket.endpoint)) {
        copyObject(from.key, to, bucket, credentials, true, {}, std::move(stop));
        return;
    }
    // Other servers treat the move suffix as part of the key or ignore it, so the
    // source goes only once its copy is known to exist. A copy stopped on its way may
    // have been made all the same, and the object would stay twice: once asked for,
    // the copy and the delete are not stopped.
    if (stop.stop_requested()) throw CancelledError();
    std::vector<HttpHeader> headers;
    const std::optional<std::string> kept =
        from.storageClass ? from.storageClass : storageClass(from.key, bucket, credentials, stop);
    if (kept) headers.push_back({std::string(kStorageClassHeader), *kept});
    if (stop.stop_requested()) throw CancelledError();
    copyObject(from.key, to, bucket, credentials, false, headers, {});
    deleteObject(from.key, bucket, credentials);
}

void S3Client::deleteObject(const std::string& key, const BucketConfig& bucket, const S3Credentials& credentials,
                            std::stop_token stop) {
    send(signedRequest("DELETE", singleObjectURL(bucket, key), bucket, credentials), true, std::move(stop));
}

void S3Client::deleteObjects(const std::vector<std::string>& keys, const BucketConfig& bucket,
                             const S3Credentials& credentials, std::stop_token stop) {
    if (keys.empty()) return;
    const std::string url = S3RequestBuilder::deleteObjectsURL(bucket);
    std::vector<DeleteFailure> failures;
    for (std::size_t start = 0; start < keys.size(); start += kDeleteBatchSize) {
        const auto first = keys.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = keys.begin() + static_cast<std::ptrdiff_t>(std::min(start + kDeleteBatchSize, keys.size()));
        const std::string xml = S3XmlBodies::buildDeleteXML({first, last});
        const Crypto::Md5Digest digest = Crypto::md5(xml);
        const std::vector<std::uint8_t> answer =
            send(signedRequest("POST", url, bucket, credentials, asBytes(xml), "application/xml",
                               {{"Content-MD5", Crypto::base64(digest)}}),
                 true, stop);
        throwIfErrorDocument(asText(answer));
        // Quiet mode lists only the keys that were not deleted.
        std::vector<DeleteFailure> refused = S3DeleteResultParser::failures(asText(answer));
        failures.insert(failures.end(), std::make_move_iterator(refused.begin()),
                        std::make_move_iterator(refused.end()));
    }
    if (!failures.empty()) throw DeleteObjectsError(std::move(failures), keys.size());
}

void S3Client::updateMetadata(const std::string& key, const std::map<std::string, std::string>& metadata,
                              const std::optional<std::string>& contentType, const BucketConfig& bucket,
                              const S3Credentials& credentials, std::stop_token stop) {
    UserMetadata::check(metadata);
    // REPLACE resets every stored header that is not sent again.
    const ObjectDetails current = details(ObjectItem{key}, bucket, credentials, stop);
    std::vector<HttpHeader> headers{{"x-amz-metadata-directive", "REPLACE"}};
    if (const std::optional<std::string>& type = contentType ? contentType : current.contentType) {
        headers.push_back({"Content-Type", *type});
    }
    const std::pair<const char*, const std::optional<std::string>&> kept[] = {
        {"Cache-Control", current.cacheControl},
        {"Content-Disposition", current.contentDisposition},
        {"Content-Encoding", current.contentEncoding},
        {"Content-Language", current.contentLanguage},
        {"Expires", current.expires},
    };
    for (const auto& [name, value] : kept) {
        if (value) headers.push_back({name, *value});
    }
    if (current.item.storageClass) headers.push_back({std::string(kStorageClassHeader), *current.item.storageClass});
    for (const auto& [name, value] : metadata)
        headers.push_back({std::string(UserMetadata::headerPrefix) + name, value});
    copyObject(key, key, bucket, credentials, false, headers, std::move(stop));
}

void S3Client::copyObject(const std::string& from, const std::string& to, const BucketConfig& bucket,
                          const S3Credentials& credentials, bool move, const std::vector<HttpHeader>& headers,
                          std::stop_token stop) {
    if (from.empty()) {
        throw RefusedInputError(RefusedInputError::Reason::emptyName, from, "An object key cannot be empty.");
    }
    std::vector<HttpHeader> all{{"x-amz-copy-source", S3RequestBuilder::copySource(bucket.bucketName, from, move)}};
    all.insert(all.end(), headers.begin(), headers.end());
    try {
        // The server answers 200 before it copies: a copy that then fails, or an answer
        // that is not the server's at all, must not pass for one that was made, or a
        // move would delete its only source.
        const std::vector<std::uint8_t> answer =
            send(signedRequest("PUT", singleObjectURL(bucket, to), bucket, credentials, {}, std::nullopt, all), true,
                 std::move(stop));
        if (std::optional<S3Error> error = S3Error::fromResultDocument(200, asText(answer), "CopyObjectResult")) {
            throw std::move(*error);
        }
    } catch (const S3Error& error) {
        if (!refusesArchivedObject(error)) throw;
        std::optional<std::string> storageClass = headerValue(headers, kStorageClassHeader);
        throw ArchivedObjectError(from, storageClass ? std::move(*storageClass) : error.errorCode().value_or(""));
    }
}

}  // namespace tarn
