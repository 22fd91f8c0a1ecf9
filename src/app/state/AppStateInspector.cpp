#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/preview/ObjectPreview.h"
#include "core/preview/PreviewCache.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/MakerService.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"
#include "core/storage/StagedFile.h"
#include "core/text/ByteFormatter.h"

#include <QImageReader>
#include <QMetaObject>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <span>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Objects up to this size are fetched without showing progress.
constexpr std::int64_t kQuietDownloadBytes = 512000;
// Lifetimes of the presigned preview links, in seconds.
constexpr std::int64_t kMediaLinkLifetime = 3600;
constexpr std::int64_t kResizedImageLinkLifetime = 600;
// What the image service returns for a width of 1000 pixels is a few hundred KB; a
// larger answer is not the rendition asked for and is not kept in memory.
constexpr std::size_t kMaxResizedImageBytes = 16 * 1024 * 1024;
// The decodability test reads at most this many pixels on the longer side, so a
// huge photo costs what a thumbnail does where the decoder can scale as it reads.
constexpr int kProbeSide = 256;
constexpr std::int64_t kMaxProbePixels = 16'000'000;

QString text(const char* key) { return L10n::t(QString::fromLatin1(key)); }

QString describe(const std::exception_ptr& error) { return TransferCenter::describe(error); }

QUrl fileURL(const fs::path& file) { return QUrl::fromLocalFile(QString::fromStdString(file.string())); }

// The cached copy's name with its extension replaced by the rendition's suffix.
std::string resizedImageName(const std::string& cachedName) {
    const std::size_t dot = cachedName.find('.');
    return cachedName.substr(0, dot) + "_w1000.jpg";
}

bool isDecodable(const fs::path& file) {
    QImageReader reader(QString::fromStdString(file.string()));
    if (!reader.canRead()) return false;
    const QSize size = reader.size();
    // A decoder that cannot scale while it reads decodes the whole image: beyond this
    // the header it could read is taken as the answer.
    if (size.isValid() && static_cast<std::int64_t>(size.width()) * size.height() > kMaxProbePixels) return true;
    if (size.isValid() && std::max(size.width(), size.height()) > kProbeSide) {
        reader.setScaledSize(size.scaled(kProbeSide, kProbeSide, Qt::KeepAspectRatio));
    }
    return !reader.read().isNull();
}

}  // namespace

QCoro::Task<> AppState::loadObjectDetails(ObjectItem item) {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) co_return;
    const QPointer<AppState> self(this);
    QCoro::Task<std::optional<std::string>> reading = resolvedSecret(*bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!self || !secret) co_return;
    auto fetch = [&client = m_client, &bucket, &item, &secret, stop = m_lifetimeStop.get_token()] {
        return client.details(item, *bucket, S3Credentials{bucket->accessKeyID, *secret}, stop);
    };
    std::optional<ObjectDetails> details;
    try {
        ObjectDetails fetched = co_await inBackground(fetch);
        details = std::move(fetched);
    } catch (const std::exception&) {
        // Without details the inspector shows what the listing knows.
    }
    if (!self || !details) co_return;
    if (m_selectedBucketID != bucket->id) co_return;
    const std::optional<ObjectItem> inspected = inspectorObject();
    if (!inspected || inspected->key != item.key) co_return;
    setObjectDetails(std::move(details));
}

bool AppState::isInspected(const std::string& key, int epoch) const {
    if (m_inspectorEpoch != epoch) return false;
    const std::optional<ObjectItem> inspected = inspectorObject();
    return inspected && inspected->key == key;
}

bool AppState::looksLikeImage(const ObjectItem& item) const {
    if (ObjectPreview::isInlineImagePreview(item.key)) return true;
    if (m_objectDetails && m_objectDetails->contentType && m_objectDetails->contentType->starts_with("image/")) {
        return true;
    }
    return ObjectPreview::inferredContentType(item.key).starts_with("image/");
}

bool AppState::hasImageService(const BucketConfig& bucket) { return MakerService::isStorageEndpoint(bucket.endpoint); }

QCoro::Task<> AppState::loadInlinePreview(ObjectItem item, int epoch) {
    const QPointer<AppState> self(this);
    const std::optional<BucketConfig> bucket = selectedBucket();
    std::optional<std::string> storedType;
    if (m_objectDetails && m_objectDetails->item.key == item.key) storedType = m_objectDetails->contentType;
    std::optional<std::string_view> storedTypeView;
    if (storedType) storedTypeView = *storedType;

    // Audio and video stream from the server; nothing is downloaded.
    if (ObjectPreview::isInlineMediaPreview(item.key)) {
        std::optional<std::string> link;
        if (bucket) {
            QCoro::Task<std::optional<std::string>> reading = resolvedSecret(*bucket);
            const std::optional<std::string> secret = co_await reading;
            if (!self || !isInspected(item.key, epoch)) co_return;
            if (secret) {
                try {
                    link = S3RequestBuilder::presignedDownloadURL(*bucket, item.key,
                                                                  S3Credentials{bucket->accessKeyID, *secret},
                                                                  kMediaLinkLifetime, {}, std::chrono::system_clock::now());
                } catch (const std::exception&) {
                }
            }
        }
        setInlinePreviewState(link ? InlinePreviewState::ready(item.key, QUrl(QString::fromStdString(*link)))
                                   : InlinePreviewState::unsupported(text("preview_unsupported")));
        co_return;
    }

    // The image service's own formats are zip containers: only its resized image shows them.
    if (ObjectPreview::isGlintRenderable(item.key, storedTypeView)) {
        if (!bucket) {
            setInlinePreviewState(InlinePreviewState::empty());
        } else if (!hasImageService(*bucket)) {
            setInlinePreviewState(InlinePreviewState::unsupported(text("preview_unsupported")));
        } else {
            QCoro::Task<> showing = showResizedImage(item, *bucket, epoch);
            co_await showing;
        }
        co_return;
    }

    const bool image = looksLikeImage(item);
    if (!ObjectPreview::supportsInlinePreview(item.key) && !image &&
        !ObjectPreview::isProbablyText(item.key, storedTypeView)) {
        setInlinePreviewState(InlinePreviewState::unsupported(text("preview_unsupported")));
        co_return;
    }
    const std::int64_t limit = m_config.previewSizeLimitBytes;
    if (item.size > limit) {
        setInlinePreviewState(InlinePreviewState::unsupported(
            L10n::t(QStringLiteral("preview_too_large"), QString::fromStdString(ByteFormatter::string(limit)))));
        co_return;
    }
    if (!bucket) {
        setInlinePreviewState(InlinePreviewState::empty());
        co_return;
    }
    const bool quiet = item.size <= kQuietDownloadBytes;
    if (quiet) {
        setInlinePreviewState(InlinePreviewState::loading(item.key));
    } else {
        setPreviewDownloadFraction(0);
        setInlinePreviewState(InlinePreviewState::downloading(item.key));
    }

    std::optional<fs::path> copy;
    std::exception_ptr failure;
    try {
        QCoro::Task<fs::path> fetching = previewObjectURL(item, *bucket, quiet ? std::nullopt : std::optional(epoch));
        fs::path fetched = co_await fetching;
        copy = std::move(fetched);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;

    if (copy) {
        if (!isInspected(item.key, epoch)) co_return;
        if (image) {
            QCoro::Task<bool> probing = decodesAsImage(*copy);
            const bool decodes = co_await probing;
            if (!self || !isInspected(item.key, epoch)) co_return;
            if (!decodes) {
                // Only the image service can turn it into something shown; an image
                // nothing can decode is not previewed. Without the service's answer
                // the copy itself is shown, for the pane to make of it what it can.
                if (hasImageService(*bucket)) {
                    QCoro::Task<> showing =
                        showResizedImage(item, *bucket, epoch, InlinePreviewState::ready(item.key, fileURL(*copy)));
                    co_await showing;
                } else {
                    setInlinePreviewState(InlinePreviewState::unsupported(text("preview_unsupported")));
                }
                co_return;
            }
        }
        setInlinePreviewState(InlinePreviewState::ready(item.key, fileURL(*copy)));
        co_return;
    }

    const InlinePreviewState failed = InlinePreviewState::failed(describe(failure));
    if (image && hasImageService(*bucket)) {
        // The download's error is the one shown should the resized image fail too.
        QCoro::Task<> showing = showResizedImage(item, *bucket, epoch, failed);
        co_await showing;
        co_return;
    }
    if (isInspected(item.key, epoch)) setInlinePreviewState(failed);
}

QCoro::Task<> AppState::showResizedImage(ObjectItem item, BucketConfig bucket, int epoch,
                                         std::optional<InlinePreviewState> whenUnavailable) {
    const QPointer<AppState> self(this);
    std::optional<fs::path> resized;
    std::exception_ptr failure;
    try {
        QCoro::Task<fs::path> fetching = glintPreviewURL(item, bucket);
        fs::path fetched = co_await fetching;
        resized = std::move(fetched);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !isInspected(item.key, epoch)) co_return;
    if (!resized) {
        setInlinePreviewState(whenUnavailable ? std::move(*whenUnavailable)
                                              : InlinePreviewState::failed(describe(failure)));
        co_return;
    }
    QCoro::Task<bool> probing = decodesAsImage(*resized);
    const bool decodes = co_await probing;
    if (!self || !isInspected(item.key, epoch)) co_return;
    setInlinePreviewState(decodes ? InlinePreviewState::ready(item.key, fileURL(*resized))
                                  : InlinePreviewState::unsupported(text("preview_unsupported")));
}

QCoro::Task<fs::path> AppState::previewObjectURL(ObjectItem item, BucketConfig bucket,
                                                 std::optional<int> progressEpoch) {
    std::optional<std::string> eTag = knownETag(item.key);
    if (!eTag) eTag = item.eTag;
    const std::string name = PreviewCache::fileName(item.key, item.size, item.lastModified, eTag);

    // Progress arrives on the download's thread: each value is handed to the main
    // thread, where it is shown only while the object is still the one inspected.
    // The state waits for its background work before it goes, so it outlives the calls.
    S3Client::FractionProgress onProgress;
    if (progressEpoch) {
        onProgress = [this, key = item.key, epoch = *progressEpoch](double fraction) {
            QMetaObject::invokeMethod(
                this,
                [this, key, epoch, fraction] {
                    if (isInspected(key, epoch)) setPreviewDownloadFraction(std::min(fraction, 1.0));
                },
                Qt::QueuedConnection);
        };
    }
    auto fetch = [&client = m_client, &store = m_secretStore, &folders = m_privateFolder, &bucket, &item, &name,
                  &onProgress, stop = m_lifetimeStop.get_token()] {
        const fs::path folder = folders.previewCacheFolder(bucket.id);
        const fs::path file = folder / name;
        // A copy of the expected size is this version of the object: the name holds its ETag.
        std::error_code error;
        if (fs::is_regular_file(fs::symlink_status(file, error))) {
            const std::uintmax_t size = fs::file_size(file, error);
            if (!error && size == static_cast<std::uintmax_t>(item.size)) return file;
        }
        // No more than listed, which is within the preview's limit: a body that goes on
        // is cut off there.
        return client.downloadObject(item, bucket, storedCredentials(store, bucket), folder, name, onProgress, stop);
    };
    co_return co_await inBackground(fetch);
}

QCoro::Task<fs::path> AppState::glintPreviewURL(ObjectItem item, BucketConfig bucket) {
    std::optional<std::string> eTag = knownETag(item.key);
    if (!eTag) eTag = item.eTag;
    const std::string name = resizedImageName(PreviewCache::fileName(item.key, item.size, item.lastModified, eTag));
    auto fetch = [&store = m_secretStore, &folders = m_privateFolder, &bucket, &item, &name,
                  stop = m_lifetimeStop.get_token()] {
        const std::vector<QueryItem> width{{"w", "1000"}};
        S3Request request;
        request.url = S3RequestBuilder::presignedDownloadURL(bucket, item.key, storedCredentials(store, bucket),
                                                             kResizedImageLinkLifetime, width, std::chrono::system_clock::now());
        ExchangeOptions options;
        options.maxBodyBytes = kMaxResizedImageBytes;
        options.stopToken = stop;
        const HttpResponse response = HttpExchange::perform(request, options);
        if (response.statusCode < 200 || response.statusCode > 299) throw S3Error::unexpectedResponse();
        const fs::path folder = folders.previewCacheFolder(bucket.id);
        StagedFile file(folder / name, StagedFile::Access::ownerOnly);
        file.write(std::span<const std::uint8_t>(response.body));
        file.commit();
        return folder / name;
    };
    co_return co_await inBackground(fetch);
}

QCoro::Task<bool> AppState::decodesAsImage(fs::path file) {
    auto probe = [&file] { return isDecodable(file); };
    co_return co_await inBackground(probe);
}

void AppState::togglePreviewPanel() {
    setShowingPreview(!m_showingPreview);
    if (m_showingPreview) startDetached(refreshInspector());
}

}  // namespace tarn
