#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "core/storage/CancelledError.h"
#include "core/storage/MakerService.h"
#include "core/storage/S3Error.h"

#include <QLoggingCategory>

#include <algorithm>

namespace tarn {

namespace {

Q_LOGGING_CATEGORY(pagingLog, "tarn.paging")

// The pause before a further page that failed without an answer is asked for again.
constexpr std::chrono::seconds pageRetryPause{2};

}  // namespace

QCoro::Task<> AppState::run(QString status, std::function<QCoro::Task<>()> operation) {
    const QPointer<AppState> self(this);
    ++m_runningOperations;
    setIsLoading(true);
    setStatusText(std::move(status));
    std::exception_ptr failure;
    try {
        co_await operation();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const CancelledError&) {
            // Stopped on purpose: nothing to tell.
        } catch (...) {
            // In the user's words, as the transfer queue tells its failures; the
            // error's own text goes to the debug log.
            sendFailureToast("operation", failure);
        }
    }
    // Ready as soon as any operation ends, even while others still run.
    setStatusText(L10n::t(QStringLiteral("status_ready")));
    --m_runningOperations;
    setIsLoading(m_runningOperations > 0);
}

void AppState::cancelLoadMore() {
    m_loadMoreStop.request_stop();
    setIsLoadingMore(false);
}

void AppState::loadMoreObjects() {
    if (!m_hasMoreObjects || m_isLoadingMore) return;
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) return;
    std::string listPrefix = effectivePrefix(m_currentPrefix);
    setIsLoadingMore(true);
    m_loadMoreStop.request_stop();
    m_loadMoreStop = std::stop_source();
    startDetached(loadNextPage(std::move(*bucket), std::move(listPrefix), m_nextPageToken, listingBasis(),
                               m_loadMoreStop.get_token()));
}

ListingBasis AppState::listingBasis() const {
    return {m_listingGeneration, m_objects.snapshot(), m_prefixes.snapshot(), m_objectIndex, m_prefixIndex};
}

QCoro::Task<> AppState::loadNextPage(BucketConfig bucket, std::string listPrefix, std::optional<std::string> token,
                                     ListingBasis basis, std::stop_token stop) {
    const QPointer<AppState> self(this);
    // The page is sorted out against the listing where it is fetched: what is new in
    // it, and the indexes with it, come back ready.
    auto fetch = [&client = m_client, &store = m_secretStore, &bucket, &listPrefix, &token, &basis, stop] {
        return ListingPage::further(client.listPage(bucket, storedCredentials(store, bucket), listPrefix, "/", token, stop),
                                    basis);
    };
    while (!stop.stop_requested()) {
        bool retry = false;
        try {
            ListingPage page = co_await inBackground(fetch);
            if (!self || stop.stop_requested()) co_return;
            appendPage(std::move(page));
        } catch (const CancelledError&) {
            co_return;
        } catch (const S3Error& error) {
            if (!self || stop.stop_requested()) co_return;
            // The server said no: asking again would get the same answer.
            if (error.kind() == S3Error::Kind::requestFailed) {
                setHasMoreObjects(false);
            } else {
                retry = true;
            }
        } catch (const std::exception& error) {
            if (!self || stop.stop_requested()) co_return;
            qCDebug(pagingLog) << "a further page failed, retrying:" << error.what();
            retry = true;
        }
        if (!retry) break;
        co_await stoppableSleep(pageRetryPause, stop);
        if (!self) co_return;
    }
    // A load that was cancelled leaves the flag to whoever cancelled it: a newer
    // load may already have raised it again.
    if (self && !stop.stop_requested()) setIsLoadingMore(false);
}

void AppState::appendPage(S3Listing page) { appendPage(ListingPage::further(std::move(page), listingBasis())); }

void AppState::appendPage(ListingPage page) {
    // Pages can repeat what an earlier one listed (objects written meanwhile): the
    // page holds only what the listing did not, found without a scan of the folder.
    if (page.generation != m_listingGeneration) return;  // a page of a listing replaced since
    if (page.objectsBefore != m_objects.size() || page.prefixesBefore != m_prefixes.size()) {
        // Sorted out against fewer entries than are shown now: again, against these.
        page = ListingPage::further(std::move(page.listing), listingBasis());
    }
    for (ObjectItem& item : page.listing.objects) m_objects.push_back(std::move(item));
    m_objectIndex = std::move(page.objectIndex);
    emit objectsChanged();
    for (ObjectPrefix& prefix : page.listing.prefixes) m_prefixes.push_back(std::move(prefix));
    m_prefixIndex = std::move(page.prefixIndex);
    emit prefixesChanged();
    m_nextPageToken = std::move(page.listing.nextContinuationToken);
    setHasMoreObjects(page.listing.isTruncated);
}

bool AppState::hasServiceUsage(const BucketConfig& bucket) { return MakerService::isStorageEndpoint(bucket.endpoint); }

void AppState::loadBucketUsage(const BucketConfig& bucket) {
    if (const auto cached = m_bucketUsageCache.find(bucket.id); cached != m_bucketUsageCache.end()) {
        setBucketUsage(cached->second);
        return;
    }
    if (hasServiceUsage(bucket)) {
        setBucketUsage(std::nullopt);
        return;
    }
    // A count under way began after the bucket's last change (every change starts a
    // count of its own): it gives the current figures, and starting again would only
    // list the whole bucket twice.
    if (m_usageBucketID == bucket.id) return;
    startUsageCount(bucket);
}

void AppState::recountBucketUsage(const Uuid& bucketID) {
    const std::vector<BucketConfig> buckets = allBuckets();
    const auto bucket = std::find_if(buckets.begin(), buckets.end(),
                                     [&](const BucketConfig& candidate) { return candidate.id == bucketID; });
    // The maker's service keeps its own totals, which the bucket sync brings.
    if (bucket == buckets.end() || hasServiceUsage(*bucket)) return;
    if (m_bucketUsageCache.erase(bucketID) > 0) emit bucketUsageCacheChanged();
    // Another bucket is counted when it is shown again. The line keeps the old figures
    // until the new count is in.
    if (m_selectedBucketID == bucketID) startUsageCount(*bucket);
}

void AppState::startUsageCount(const BucketConfig& bucket) {
    // A count under way may have counted pages from before a change: it publishes nothing.
    m_usageStop.request_stop();
    m_usageStop = std::stop_source();
    m_usageBucketID = bucket.id;
    startDetached(countBucketUsage(bucket, m_usageStop.get_token()));
}

QCoro::Task<> AppState::countBucketUsage(BucketConfig bucket, std::stop_token stop) {
    const QPointer<AppState> self(this);
    // Every object of the bucket, counted page by page where it is listed: nothing of a
    // page is kept, and only the two figures come back to the main thread.
    auto count = [&client = m_client, &store = m_secretStore, &bucket, stop]() -> std::optional<BucketUsage> {
        BucketUsage usage;
        const S3Client::PageHandler add = [&usage](S3Listing& page) { usage.add(page.objects); };
        try {
            client.forEachPage(bucket, storedCredentials(store, bucket), {}, std::nullopt, add, stop);
        } catch (const std::exception& error) {
            // Usage is a nicety: a failed count (no secret, a listing that never ends)
            // leaves the line as it was.
            qCDebug(pagingLog) << "the usage count failed:" << error.what();
            return std::nullopt;
        }
        return usage;
    };
    const std::optional<BucketUsage> usage = co_await inBackground(count);
    if (!self || stop.stop_requested()) co_return;
    m_usageBucketID.reset();
    if (!usage || m_selectedBucketID != bucket.id) co_return;
    setBucketUsage(usage);
    m_bucketUsageCache[bucket.id] = *usage;
    emit bucketUsageCacheChanged();
}

}  // namespace tarn
