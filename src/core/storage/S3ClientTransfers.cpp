#include "core/preview/MIMETypeDetector.h"
#include "core/preview/ObjectPreview.h"
#include "core/storage/DownloadOverrunError.h"
#include "core/storage/DownloadTarget.h"
#include "core/storage/FileBody.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Signer.h"
#include "core/storage/StagedFile.h"
#include "core/storage/WriteBatcher.h"

#include <charconv>
#include <chrono>
#include <optional>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Upload progress moves on in steps of at least this much of the whole.
constexpr double kUploadProgressStep = 0.02;
// The same for downloads into a folder.
constexpr double kDownloadProgressStep = 0.01;
// Downloads reach the file in writes of this size rather than one per piece the
// network hands over (at most libcurl's receive buffer, often 16 KiB): a system call
// per piece costs more CPU time than copying the pieces into a batch, and a batch
// much larger than this costs more again, since the kernel's copy of it into the
// page cache no longer finds it in the processor's cache (1 MiB: 2-3 times the CPU).
constexpr std::size_t kDownloadWriteBytes = 64 * 1024;

// Reports a growing fraction in steps of at least `step`: the first value always,
// then one whenever it has grown by the step since the last one reported.
class FractionThrottle {
public:
    FractionThrottle(const S3Client::FractionProgress& onProgress, double step)
        : m_onProgress(onProgress), m_step(step) {}

    void offer(double fraction) {
        if (fraction - m_last < m_step) return;
        m_last = fraction;
        m_onProgress(fraction);
    }
    // Completion is always reported, as exactly 1, also when 1 was just reported.
    void finish() {
        m_last = 1.0;
        m_onProgress(1.0);
    }
    double last() const { return m_last; }

private:
    const S3Client::FractionProgress& m_onProgress;
    double m_step;
    double m_last = -1.0;
};

}  // namespace

void S3Client::upload(const LocalFile& file, const BucketConfig& bucket, const S3Credentials& credentials,
                      const std::optional<std::string>& key, const FractionProgress& onProgress, std::stop_token stop) {
    S3Request request;
    request.method = "PUT";
    request.url = singleObjectURL(bucket, key.value_or(file.path.filename().string()));
    request.setHeader("Content-Type", MIMETypeDetector::contentType(file.path));
    FileBody body(file, kMaxUploadRequestSize);
    // Signed once the file has been read: hashing a large file takes a while.
    const std::string payloadHash = body.sha256Hex(stop);
    S3Signer::sign(request, bucket.region, credentials, std::chrono::system_clock::now(), payloadHash);

    std::optional<FractionThrottle> throttle;
    if (onProgress) throttle.emplace(onProgress, kUploadProgressStep);
    const Perform perform = [&](const S3Request& sent) {
        ExchangeOptions options;
        options.body = body.source();
        options.stopToken = stop;
        if (throttle) {
            options.onProgress = [&](const TransferProgress& progress) {
                if (progress.sendTotal <= 0 || progress.sent <= 0) return;
                const double fraction = static_cast<double>(progress.sent) / static_cast<double>(progress.sendTotal);
                if (fraction >= 1.0) {
                    if (throttle->last() < 1.0) throttle->finish();
                } else {
                    throttle->offer(fraction);
                }
            };
        }
        return HttpExchange::perform(sent, options);
    };
    send(request, true, perform);
    // An empty file never reports a byte sent; the caller still learns it is done.
    if (throttle && throttle->last() < 1.0) throttle->finish();
}

std::vector<std::uint8_t> S3Client::downloadData(const std::string& key, const BucketConfig& bucket,
                                                 const S3Credentials& credentials, std::stop_token stop) {
    return send(signedRequest("GET", singleObjectURL(bucket, key), bucket, credentials), true,
                plainExchange(std::move(stop), std::nullopt));
}

fs::path S3Client::downloadObject(const std::string& key, const BucketConfig& bucket, const S3Credentials& credentials,
                                  const fs::path& folder, const std::optional<std::string>& fileName,
                                  const FractionProgress& onProgress, std::stop_token stop) {
    return downloadObject(key, std::nullopt, bucket, credentials, folder, fileName, onProgress, std::move(stop));
}

fs::path S3Client::downloadObject(const ObjectItem& object, const BucketConfig& bucket,
                                  const S3Credentials& credentials, const fs::path& folder,
                                  const std::optional<std::string>& fileName, const FractionProgress& onProgress,
                                  std::stop_token stop) {
    return downloadObject(object.key, object.size, bucket, credentials, folder, fileName, onProgress, std::move(stop));
}

fs::path S3Client::downloadObject(const std::string& key, std::optional<std::int64_t> listedSize,
                                  const BucketConfig& bucket, const S3Credentials& credentials, const fs::path& folder,
                                  const std::optional<std::string>& fileName, const FractionProgress& onProgress,
                                  std::stop_token stop) {
    const DownloadTarget target =
        DownloadTarget::inFolder(folder, fileName.value_or(ObjectPreview::fileName(key)));
    const S3Request request = signedRequest("GET", singleObjectURL(bucket, key), bucket, credentials);
    fs::create_directories(folder);
    target.checkExistingPieces();

    if (!onProgress) {
        streamToFile(request, key, listedSize, target, {}, std::move(stop));
        return target.path();
    }
    FractionThrottle throttle(onProgress, kDownloadProgressStep);
    streamToFile(
        request, key, listedSize, target,
        [&](std::int64_t written, std::int64_t expected) {
            if (expected > 0) throttle.offer(static_cast<double>(written) / static_cast<double>(expected));
        },
        std::move(stop));
    throttle.finish();
    return target.path();
}

void S3Client::downloadToFile(const std::string& key, const fs::path& target, const BucketConfig& bucket,
                              const S3Credentials& credentials, const ByteProgress& onProgress, std::stop_token stop) {
    downloadToFile(key, DownloadTarget::file(target), bucket, credentials, onProgress, std::move(stop));
}

void S3Client::downloadToFile(const std::string& key, const DownloadTarget& target, const BucketConfig& bucket,
                              const S3Credentials& credentials, const ByteProgress& onProgress, std::stop_token stop) {
    target.checkExistingPieces();
    streamToFile(signedRequest("GET", singleObjectURL(bucket, key), bucket, credentials), key, std::nullopt, target,
                 onProgress, std::move(stop));
}

void S3Client::downloadToFile(const ObjectItem& object, const DownloadTarget& target, const BucketConfig& bucket,
                              const S3Credentials& credentials, const ByteProgress& onProgress, std::stop_token stop) {
    target.checkExistingPieces();
    streamToFile(signedRequest("GET", singleObjectURL(bucket, object.key), bucket, credentials), object.key,
                 object.size, target, onProgress, std::move(stop));
}

void S3Client::streamToFile(const S3Request& request, const std::string& key, std::optional<std::int64_t> listedSize,
                            const DownloadTarget& target, const ByteProgress& onBytes, std::stop_token stop) {
    std::optional<StagedFile> file;
    WriteBatcher batches(kDownloadWriteBytes, [&file](std::span<const std::uint8_t> bytes) { file->write(bytes); });
    std::int64_t expected = -1;
    // The most the body may hold: the listed size, and what the answer announces.
    std::optional<std::int64_t> bound = listedSize;
    std::int64_t received = 0;
    // The folder and the file come into being only once the server agreed to send.
    const auto open = [&](const HttpResponse& head) {
        if (const std::string* length = head.header("Content-Length")) {
            std::int64_t value = -1;
            const auto [end, error] = std::from_chars(length->data(), length->data() + length->size(), value);
            if (error == std::errc() && end == length->data() + length->size() && value >= 0) expected = value;
        }
        // An answer that announces more than was listed would be cut short anyway:
        // nothing of it is fetched.
        if (bound && expected > *bound) throw DownloadOverrunError(key, *bound);
        if (expected >= 0 && (!bound || expected < *bound)) bound = expected;
        file.emplace(target.openParentFolder(), target.fileName(), target.path(), StagedFile::Access::usual);
    };
    const Perform perform = [&](const S3Request& sent) {
        ExchangeOptions options;
        options.stopToken = stop;
        options.onBody = [&](const HttpResponse& head, std::span<const std::uint8_t> chunk) {
            if (!file) open(head);
            received += static_cast<std::int64_t>(chunk.size());
            if (bound && received > *bound) throw DownloadOverrunError(key, *bound);
            batches.append(chunk);
            if (onBytes) onBytes(batches.size(), expected);
            return true;
        };
        return HttpExchange::perform(sent, options);
    };
    // No body is kept, so the log shows the exchange without a byte count or body.
    const HttpResponse response = transport(request, perform, false, false);
    if (!file) {
        open(response);
        if (onBytes) onBytes(0, expected);
    }
    batches.flush();
    file->commit();
}

}  // namespace tarn
