#include "app/state/AppState.h"

#include "app/state/SecretToolCommand.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/KeychainError.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/CancelledError.h"
#include "core/storage/S3Error.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace tarn {

namespace {

// The recent buckets the sidebar offers.
constexpr std::size_t maxRecentBuckets = 8;

}  // namespace

void AppState::setSelectedBucketID(std::optional<Uuid> selectedBucketID) {
    publish(m_selectedBucketID, std::move(selectedBucketID), &AppState::selectedBucketIDChanged);
}

void AppState::setObjects(std::vector<ObjectItem> objects) {
    ListingIndex<ObjectItem> index = ListingIndex<ObjectItem>::of(objects);
    setObjects(ChunkedList<ObjectItem>(std::move(objects)), std::move(index));
}

void AppState::setPrefixes(std::vector<ObjectPrefix> prefixes) {
    ListingIndex<ObjectPrefix> index = ListingIndex<ObjectPrefix>::of(prefixes);
    setPrefixes(ChunkedList<ObjectPrefix>(std::move(prefixes)), std::move(index));
}

void AppState::setObjects(ChunkedList<ObjectItem> objects, ListingIndex<ObjectItem> index) {
    // A folder of 100,000 objects takes hundreds of thousands of frees to let go of.
    discardInBackground(std::exchange(m_objects, std::move(objects)));
    m_objectIndex = std::move(index);
    m_listedKeys.reset();
    ++m_listingGeneration;
    emit objectsChanged();
}

void AppState::setPrefixes(ChunkedList<ObjectPrefix> prefixes, ListingIndex<ObjectPrefix> index) {
    discardInBackground(std::exchange(m_prefixes, std::move(prefixes)));
    m_prefixIndex = std::move(index);
    ++m_listingGeneration;
    emit prefixesChanged();
}

template <class T>
void AppState::discardInBackground(T doomed) {
    if (doomed.empty()) return;
    // Held by a copyable job, let go of on the pool's thread.
    auto held = std::make_shared<T>(std::move(doomed));
    m_workers.start([held]() mutable { held.reset(); });
}

std::optional<std::size_t> AppState::listedObject(std::string_view key) const {
    return m_objectIndex.find(key, m_objects);
}

std::optional<std::size_t> AppState::listedPrefix(std::string_view key) const {
    return m_prefixIndex.find(key, m_prefixes);
}

void AppState::setCurrentPrefix(std::string currentPrefix) {
    publish(m_currentPrefix, std::move(currentPrefix), &AppState::currentPrefixChanged);
}

void AppState::setIsLoading(bool isLoading) {
    publish(m_isLoading, isLoading, &AppState::isLoadingChanged);
}

void AppState::setStatusText(QString statusText) {
    publish(m_statusText, std::move(statusText), &AppState::statusTextChanged);
}

void AppState::setBucketUsage(std::optional<BucketUsage> bucketUsage) {
    publish(m_bucketUsage, std::move(bucketUsage), &AppState::bucketUsageChanged);
}

void AppState::setBucketUsageCache(BucketUsageCache bucketUsageCache) {
    publish(m_bucketUsageCache, std::move(bucketUsageCache), &AppState::bucketUsageCacheChanged);
}

void AppState::setHasMoreObjects(bool hasMoreObjects) {
    publish(m_hasMoreObjects, hasMoreObjects, &AppState::hasMoreObjectsChanged);
}

void AppState::setIsLoadingMore(bool isLoadingMore) {
    publish(m_isLoadingMore, isLoadingMore, &AppState::isLoadingMoreChanged);
}

void AppState::setIsSearching(bool isSearching) {
    publish(m_isSearching, isSearching, &AppState::isSearchingChanged);
}

void AppState::setListingFailure(QString listingFailure) {
    if (listingFailure == m_listingFailure) return;
    m_listingFailure = std::move(listingFailure);
    emit listingFailureChanged();
}

void AppState::setSearchText(std::string searchText) {
    const bool changed = searchText != m_searchText;
    publish(m_searchText, std::move(searchText), &AppState::searchTextChanged);
    if (changed && !m_suppressSearchReload) scheduleSearch();
}

void AppState::clearSearchQuietly() {
    m_suppressSearchReload = true;
    setSearchText({});
    m_suppressSearchReload = false;
}

void AppState::scheduleSearch() {
    m_searchStop.request_stop();
    m_searchStop = std::stop_source();
    startDetached(runSearch(m_searchStop.get_token()));
}

QCoro::Task<> AppState::runSearch(std::stop_token stop) {
    const QPointer<AppState> self(this);
    const bool waited = co_await stoppableSleep(searchDebounce, stop);
    if (!self || !waited) co_return;
    // A listing that has begun runs to its end, even when a later change starts
    // another search meanwhile.
    setIsSearching(true);
    co_await loadDirectory(m_navigationTarget);
    if (!self) co_return;
    setIsSearching(false);
}

void AppState::beginNavigation(std::string directory) {
    ++m_navigation;
    m_navigationTarget = std::move(directory);
    // A search still waiting for its pause would list a text the move has cleared.
    m_searchStop.request_stop();
}

void AppState::switchBucket(std::optional<Uuid> bucketID, std::string directory) {
    if (bucketID != m_selectedBucketID) closeBucketScopedSheets();
    ++m_bucketSession;
    beginNavigation(directory);
    m_backStack.clear();
    m_forwardStack.clear();
    cancelLoadMore();
    m_nextPageToken.reset();
    setHasMoreObjects(false);
    m_pendingSelectKey.reset();
    m_pendingSelectShouldReveal = false;
    setSelectedBucketID(bucketID);
    m_listingBucketID = bucketID;
    setSelectedObjectKey(std::nullopt);
    setSelectedObjectKeys({});
    setObjects({});
    setPrefixes({});
    setListingFailure({});
    setCurrentPrefix(std::move(directory));
    clearSearchQuietly();
    ++m_inspectorEpoch;
    setObjectDetails(std::nullopt);
    setInlinePreviewState(InlinePreviewState::empty());
    // The count of the previous bucket would be thrown away; its listing stops.
    m_usageStop.request_stop();
    m_usageBucketID.reset();
    std::optional<BucketUsage> usage;
    if (bucketID) {
        if (const auto cached = m_bucketUsageCache.find(*bucketID); cached != m_bucketUsageCache.end()) {
            usage = cached->second;
        }
    }
    setBucketUsage(usage);
    if (!bucketID) return;
    updateRecentBucket();
    startDetached(loadDirectory(m_currentPrefix));
}

void AppState::showBucket(std::optional<Uuid> bucketID) {
    if (bucketID != m_selectedBucketID) {
        switchBucket(std::move(bucketID), {});
        return;
    }
    updateRecentBucket();
    refreshDirectory();
}

void AppState::updateRecentBucket() {
    if (!m_selectedBucketID) return;
    std::vector<Uuid>& recent = m_config.recentBucketIDs;
    std::vector<Uuid> updated = recent;
    std::erase(updated, *m_selectedBucketID);
    updated.insert(updated.begin(), *m_selectedBucketID);
    if (updated.size() > maxRecentBuckets) updated.resize(maxRecentBuckets);
    // A list that stays as it was is not written again: start-up opens the most
    // recent bucket, and must not rewrite a file it did not need to change.
    if (updated == recent) return;
    recent = std::move(updated);
    saveConfig();
}

void AppState::closeBucketScopedSheets() {
    setShowingNewFolder(false);
    setShowingRenameMove(false);
    setShowingShareSheet(false);
    setShowingEditMetadata(false);
    setShowingTempFiles(false);
    setMultipartUploads({});
    setSelectedUploadIDs({});
}

void AppState::refreshDirectory() { startDetached(loadDirectory(m_navigationTarget)); }

QCoro::Task<> AppState::loadDirectory(std::string directory) {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) co_return;
    cancelLoadMore();
    const QPointer<AppState> self(this);
    const int session = m_bucketSession;
    const int navigation = m_navigation;
    std::string listPrefix = effectivePrefix(directory);
    const TimePoint listedAt = std::chrono::system_clock::now();
    std::function<QCoro::Task<>()> operation = [this, bucket = *bucket, directory, listPrefix = std::move(listPrefix),
                                                listedAt, session, navigation] {
        return listFirstPage(bucket, directory, listPrefix, listedAt, session, navigation);
    };
    const QString status = L10n::t(QStringLiteral("status_loading"));
    co_await run(status, std::move(operation));
    if (!self || m_bucketSession != session || m_selectedBucketID != bucket->id) co_return;
    // A failed move leaves the user where the last listing put them.
    if (m_navigation == navigation && m_currentPrefix != directory) m_navigationTarget = m_currentPrefix;
    loadBucketUsage(*bucket);
}

QCoro::Task<> AppState::listFirstPage(BucketConfig bucket, std::string directory, std::string listPrefix,
                                      TimePoint listedAt, int session, int navigation) {
    const QPointer<AppState> self(this);
    // Whether the answer still belongs to what the user looks at: not for another bucket,
    // nor for a folder the user has left again.
    const auto current = [&] {
        return self && m_bucketSession == session && m_navigation == navigation && m_selectedBucketID == bucket.id;
    };
    // The page's indexes are made where it is fetched.
    auto list = [&client = m_client, &store = m_secretStore, &bucket, &listPrefix, stop = m_lifetimeStop.get_token()] {
        return ListingPage::first(
            client.listPage(bucket, storedCredentials(store, bucket), listPrefix, "/", std::nullopt, stop));
    };
    ListingPage page;
    try {
        page = co_await inBackground(list);
    } catch (const CancelledError&) {
        throw;
    } catch (...) {
        // Told where the rows would be, and not only in a toast that goes by: a
        // folder that could not be listed must not pass for an empty one.
        // A failed move into another folder leaves the user in a folder that listed well.
        if (current() && directory == m_currentPrefix) {
            setListingFailure(listingFailureText(bucket, std::current_exception()));
        }
        throw;  // run() toasts it
    }
    S3Listing& listing = page.listing;
    if (!current()) co_return;
    setListingFailure({});

    const std::optional<ObjectItem> before = inspectorObject();
    // A next page requested while this listing ran belongs to the listing it replaces.
    cancelLoadMore();
    m_navigationTarget = directory;
    setCurrentPrefix(std::move(directory));
    setObjects(ChunkedList<ObjectItem>(std::move(listing.objects)), std::move(page.objectIndex));
    setPrefixes(ChunkedList<ObjectPrefix>(std::move(listing.prefixes)), std::move(page.prefixIndex));
    m_nextPageToken = std::move(listing.nextContinuationToken);
    setHasMoreObjects(listing.isTruncated);
    setSelectedObjectKey(std::nullopt);
    applyPendingSelection();
    transfers().removeSucceededUploads(m_currentPrefix, bucket.id, listedAt);

    // The inspected object changed on the server (size, date, class or ETag).
    const std::optional<ObjectItem> after = inspectorObject();
    if (before && after && before->key == after->key && *before != *after) startDetached(refreshInspector());
}

S3Credentials AppState::storedCredentials(const KeychainSecretStore& store, const BucketConfig& bucket) {
    // A keyring that cannot be read throws its own error: the user can do something
    // else about it than about a secret that is not there.
    std::optional<std::string> secret = storedSecret(store, bucket);
    if (!secret) throw S3Error::missingSecret();
    return {bucket.accessKeyID, std::move(*secret)};
}

QString AppState::listingFailureText(const BucketConfig& bucket, const std::exception_ptr& error) const {
    try {
        std::rethrow_exception(error);
    } catch (const S3Error& failure) {
        if (failure.kind() == S3Error::Kind::missingSecret) return missingSecretText(bucket);
    } catch (const KeychainError&) {
        return L10n::t(QStringLiteral("listing_keyring_failed"), TransferCenter::describe(error));
    } catch (...) {
    }
    return L10n::t(QStringLiteral("listing_failed"), TransferCenter::describe(error));
}

QString AppState::missingSecretText(const BucketConfig& bucket) const {
    // The add-account sheet takes the secret of an account of its providers; one on
    // any other server is stored with the same command the import gives for it.
    if (m_ui->canAddAccount(bucket.endpoint, bucket.region)) return L10n::t(QStringLiteral("listing_missing_secret"));
    const auto found = std::find_if(m_config.profiles.begin(), m_config.profiles.end(), [&](const StorageProfile& p) {
        return p.endpoint == bucket.endpoint && p.region == bucket.region && p.accessKeyID == bucket.accessKeyID;
    });
    // The command's label names the account; a bucket whose account has just gone
    // names itself.
    const StorageProfile account = found != m_config.profiles.end()
                                       ? *found
                                       : StorageProfile{{}, bucket.displayName, bucket.endpoint, bucket.region,
                                                        bucket.accessKeyID, {}};
    return L10n::t(QStringLiteral("listing_missing_secret_keyring")) + QStringLiteral("\n\n") +
           QString::fromStdString(secretToolCommand(m_secretStore.service(), account));
}

void AppState::applyPendingSelection() {
    const std::optional<std::string> pending = std::exchange(m_pendingSelectKey, std::nullopt);
    const bool reveal = std::exchange(m_pendingSelectShouldReveal, false);
    const bool listed = pending && (listedObject(*pending) || listedPrefix(*pending));
    if (!listed) {
        setSelectedObjectKeys({});
        return;
    }
    setSelectedObjectKeys({*pending});
    if (reveal) setRevealKey(pending);
}

}  // namespace tarn
