#include "core/storage/PartStalledError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/S3Signer.h"
#include "core/storage/S3XmlBodies.h"
#include "core/storage/TransportError.h"
#include "core/text/Utf8.h"

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

// How much of a refused part's answer is kept for the log and the error.
constexpr std::size_t kKeptBodyBytes = 4096;
// A part's request may stand idle for twice the stall limit, and never less than
// this, before the exchange gives up on it by itself.
constexpr double kMinimumPartIdleSeconds = 60;
// Progress of a part is reported each time at least 1/50 more of it has gone out.
constexpr std::int64_t kProgressSteps = 50;

}  // namespace

std::string S3Client::createMultipartUpload(const std::string& key, const BucketConfig& bucket,
                                            const S3Credentials& credentials,
                                            const std::optional<std::string>& contentType, std::stop_token stop) {
    const S3Request request = signedRequest("POST", S3RequestBuilder::createMultipartUploadURL(bucket, key), bucket,
                                            credentials, {}, contentType);
    const std::vector<std::uint8_t> body = send(request, true, std::move(stop));
    std::optional<std::string> uploadId = S3XmlBodies::xmlValue(asText(body), "UploadId");
    if (!uploadId) throw S3Error::unexpectedResponse();
    return std::move(*uploadId);
}

S3Client::PartResponse S3Client::uploadPart(const std::string& key, const std::string& uploadId, int partNumber,
                                            std::span<const std::uint8_t> data, const BucketConfig& bucket,
                                            const S3Credentials& credentials,
                                            std::chrono::duration<double> stallTimeout,
                                            const PartProgress& onProgress, std::stop_token stop) {
    // The part goes out from the caller's buffer; libcurl copies it piece by piece
    // into its own send buffer and no other copy is made.
    BodySource body{static_cast<std::int64_t>(data.size()), [data](std::int64_t offset, std::span<std::uint8_t> buffer) {
                        const std::span<const std::uint8_t> piece =
                            data.subspan(static_cast<std::size_t>(offset), buffer.size());
                        std::copy(piece.begin(), piece.end(), buffer.begin());
                        return piece.size();
                    }};
    return uploadPart(key, uploadId, partNumber, std::move(body), S3Signer::sha256Hex(data), bucket, credentials,
                      stallTimeout, onProgress, std::move(stop));
}

S3Client::PartResponse S3Client::uploadPart(const std::string& key, const std::string& uploadId, int partNumber,
                                            BodySource body, const std::string& sha256Hex, const BucketConfig& bucket,
                                            const S3Credentials& credentials,
                                            std::chrono::duration<double> stallTimeout,
                                            const PartProgress& onProgress, std::stop_token stop) {
    S3Request request;
    request.method = "PUT";
    request.url = S3RequestBuilder::uploadPartURL(bucket, key, partNumber, uploadId);
    S3Signer::sign(request, bucket.region, credentials, std::chrono::system_clock::now(), sha256Hex);
    request.idleTimeout =
        std::chrono::seconds(static_cast<long long>(std::ceil(std::max(2 * stallTimeout.count(), kMinimumPartIdleSeconds))));

    const std::int64_t expected = body.size;
    std::int64_t sent = 0;
    std::int64_t reported = 0;
    ExchangeOptions options;
    options.body = std::move(body);
    options.stopToken = std::move(stop);
    options.stallTimeout = stallTimeout;
    // A success carries no body, or an error document: nothing near this size.
    options.maxBodyBytes = kMaxDocumentBytes;
    options.onProgress = [&](const TransferProgress& progress) {
        // Totals that repeat or fall back (a resend on a fresh connection) report nothing.
        if (progress.sent <= sent) return;
        sent = progress.sent;
        if (sent >= expected || (sent - reported) * kProgressSteps >= expected) {
            reported = sent;
            if (onProgress) onProgress(sent);
        }
    };

    HttpResponse response;
    try {
        response = HttpExchange::perform(request, options);
    } catch (const TransportError& error) {
        if (error.kind() == TransportError::Kind::stalled) throw PartStalledError(stallTimeout.count());
        throw;
    }
    if (response.statusCode < 100 || response.statusCode > 999) throw S3Error::unexpectedResponse();

    PartResponse answer;
    answer.statusCode = response.statusCode;
    answer.requestID = headerValue(response.headers, "x-amz-request-id");
    answer.retryAfter = headerValue(response.headers, "Retry-After");
    if (response.statusCode >= 200 && response.statusCode <= 299) {
        answer.etag = headerValue(response.headers, "ETag");
    } else {
        answer.body = Utf8::repaired(response.bodyText().substr(0, kKeptBodyBytes));
    }
    return answer;
}

void S3Client::completeMultipartUpload(const std::string& key, const std::string& uploadId,
                                       std::vector<UploadPart> parts, const BucketConfig& bucket,
                                       const S3Credentials& credentials, std::stop_token stop) {
    const std::string xml = S3XmlBodies::buildCompleteMultipartUploadXML(std::move(parts));
    const S3Request request =
        signedRequest("POST", S3RequestBuilder::completeMultipartUploadURL(bucket, key, uploadId), bucket, credentials,
                      {xml.begin(), xml.end()}, "application/xml");
    const HttpResponse response = transport(request, plainExchange(std::move(stop)), true, true);
    // The server answers 200 as soon as it starts joining the parts; only the result
    // document says the object exists (a join that fails afterwards sends an error).
    if (std::optional<S3Error> error =
            S3Error::fromResultDocument(response.statusCode, response.bodyText(), "CompleteMultipartUploadResult")) {
        throw std::move(*error);
    }
}

bool S3Client::multipartUploadExists(const std::string& key, const std::string& uploadId, const BucketConfig& bucket,
                                     const S3Credentials& credentials, std::stop_token stop) {
    try {
        send(signedRequest("GET", S3RequestBuilder::listPartsURL(bucket, key, uploadId), bucket, credentials), true,
             std::move(stop));
    } catch (const S3Error& error) {
        if (error.isNoSuchUpload()) return false;
        throw;
    }
    return true;
}

void S3Client::abortMultipartUpload(const std::string& key, const std::string& uploadId, const BucketConfig& bucket,
                                    const S3Credentials& credentials, std::stop_token stop) {
    const S3Request request =
        signedRequest("DELETE", S3RequestBuilder::abortMultipartUploadURL(bucket, key, uploadId), bucket, credentials);
    send(request, true, std::move(stop));
}

}  // namespace tarn
