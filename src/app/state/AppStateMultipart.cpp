#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/storage/CancelledError.h"
#include "core/storage/S3Error.h"

#include <algorithm>
#include <unordered_set>

namespace tarn {

void AppState::openMultipartUploads() {
    setSelectedUploadIDs({});
    setMultipartUploads({});
    setHasMoreUploads(false);
    setIsLoadingUploads(true);
    setShowingTempFiles(true);
    startDetached(loadMultipartUploads(true));
}

void AppState::reloadMultipartUploads() { startDetached(loadMultipartUploads(true)); }

void AppState::loadMoreMultipartUploads() {
    if (m_hasMoreUploads) startDetached(loadMultipartUploads(false));
}

QCoro::Task<> AppState::loadMultipartUploads(bool reset) {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) {
        // The sheet must not wait for a page that never comes.
        if (reset) setIsLoadingUploads(false);
        co_return;
    }
    if (reset) {
        m_uploadsKeyMarker.reset();
        m_uploadsUploadIdMarker.reset();
        setHasMoreUploads(false);
    } else if (m_isLoadingUploads) {
        co_return;
    }
    setIsLoadingUploads(true);
    // A reload replaces the load before it: the older page is dropped whenever it comes.
    const int load = ++m_uploadsLoad;
    const std::optional<std::string> keyMarker = m_uploadsKeyMarker;
    const std::optional<std::string> uploadIdMarker = m_uploadsUploadIdMarker;

    const QPointer<AppState> self(this);
    auto list = [&client = m_client, &store = m_secretStore, &bucket, &keyMarker, &uploadIdMarker,
                 stop = m_lifetimeStop.get_token()] {
        return client.listMultipartUploads(*bucket, storedCredentials(store, *bucket), keyMarker, uploadIdMarker,
                                           stop);
    };
    std::optional<MultipartUploadListing> page;
    std::exception_ptr failure;
    try {
        MultipartUploadListing listed = co_await inBackground(list);
        page = std::move(listed);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || load != m_uploadsLoad) co_return;
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const CancelledError&) {
        } catch (...) {
            sendToast({TransferCenter::describe(failure), ToastKind::error});
        }
        setHasMoreUploads(false);
        setIsLoadingUploads(false);
        co_return;
    }
    if (m_selectedBucketID != bucket->id) {
        setIsLoadingUploads(false);
        co_return;
    }
    if (reset) {
        setMultipartUploads(std::move(page->uploads));
    } else {
        std::vector<MultipartUpload> uploads = m_multipartUploads;
        std::unordered_set<std::string> listed;
        for (const MultipartUpload& upload : uploads) listed.insert(upload.uploadId);
        for (MultipartUpload& upload : page->uploads) {
            if (listed.insert(upload.uploadId).second) uploads.push_back(std::move(upload));
        }
        setMultipartUploads(std::move(uploads));
    }
    m_uploadsKeyMarker = page->nextKeyMarker;
    m_uploadsUploadIdMarker = page->nextUploadIdMarker;
    setHasMoreUploads(page->isTruncated && (page->nextKeyMarker || page->nextUploadIdMarker));
    setIsLoadingUploads(false);
}

void AppState::abortSelectedUploads() {
    std::vector<MultipartUpload> chosen;
    for (const MultipartUpload& upload : m_multipartUploads) {
        if (m_selectedUploadIDs.contains(upload.uploadId)) chosen.push_back(upload);
    }
    abort(std::move(chosen));
}

void AppState::abort(std::vector<MultipartUpload> uploads) {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket || uploads.empty()) return;
    startDetached(abortUploads(*bucket, std::move(uploads)));
}

QCoro::Task<> AppState::abortUploads(BucketConfig bucket, std::vector<MultipartUpload> uploads) {
    const QPointer<AppState> self(this);
    std::vector<std::string> aborted;
    std::exception_ptr failure;
    // The closure lives in run()'s frame for as long as the operation runs.
    std::function<QCoro::Task<>()> operation = [this, &bucket, &uploads, &aborted, &failure] {
        return abortEach(bucket, uploads, &aborted, &failure);
    };
    const QString status = L10n::t(QStringLiteral("status_loading"));
    co_await run(status, std::move(operation));
    if (!self) co_return;

    // Only what the server dropped leaves the list and the selection: an upload whose
    // abort failed, or that was never tried, is still there to be aborted again.
    const std::unordered_set<std::string> gone(aborted.begin(), aborted.end());
    std::vector<MultipartUpload> remaining;
    for (const MultipartUpload& upload : m_multipartUploads) {
        if (!gone.contains(upload.uploadId)) remaining.push_back(upload);
    }
    setMultipartUploads(std::move(remaining));
    KeySet selected = m_selectedUploadIDs;
    for (const std::string& id : aborted) selected.erase(id);
    setSelectedUploadIDs(std::move(selected));

    if (failure) sendToast({TransferCenter::describe(failure), ToastKind::error});
    recordHistory(L10n::t(QStringLiteral("abort_upload")),
                  L10n::t(L10n::countKey(QStringLiteral("abort_upload_count"), static_cast<qint64>(aborted.size())),
                          static_cast<qint64>(aborted.size())),
                  bucket.bucketName, !failure);
}

QCoro::Task<> AppState::abortEach(BucketConfig bucket, std::vector<MultipartUpload> uploads,
                                  std::vector<std::string>* aborted, std::exception_ptr* failure) {
    const QPointer<AppState> self(this);
    for (const MultipartUpload& upload : uploads) {
        auto drop = [&client = m_client, &store = m_secretStore, &bucket, &upload, stop = m_lifetimeStop.get_token()] {
            try {
                client.abortMultipartUpload(upload.key, upload.uploadId, bucket, storedCredentials(store, bucket),
                                            stop);
            } catch (const S3Error& error) {
                // An upload the server no longer knows has no parts left to drop.
                if (!error.isNoSuchUpload()) throw;
            }
        };
        try {
            co_await inBackground(drop);
        } catch (...) {
            // The first failure ends the walk; the uploads after it are not tried.
            *failure = std::current_exception();
        }
        if (!self || *failure) co_return;
        aborted->push_back(upload.uploadId);
        // A task that failed part-way would otherwise resume the upload just dropped.
        transfers().forgetUploadSession(bucket.id, upload.uploadId);
    }
}

}  // namespace tarn
