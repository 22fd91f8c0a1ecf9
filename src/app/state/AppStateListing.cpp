#include "app/state/AppState.h"

namespace tarn {

void AppState::setSelectedBucketID(std::optional<Uuid> selectedBucketID) {
    publish(m_selectedBucketID, std::move(selectedBucketID), &AppState::selectedBucketIDChanged);
}

void AppState::setObjects(std::vector<ObjectItem> objects) {
    publish(m_objects, std::move(objects), &AppState::objectsChanged);
}

void AppState::setPrefixes(std::vector<ObjectPrefix> prefixes) {
    publish(m_prefixes, std::move(prefixes), &AppState::prefixesChanged);
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

void AppState::setSearchText(std::string searchText) {
    const bool changed = searchText != m_searchText;
    publish(m_searchText, std::move(searchText), &AppState::searchTextChanged);
    if (changed && !m_suppressSearchReload) scheduleSearch();
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
    co_await loadDirectory(m_currentPrefix);
    if (!self) co_return;
    setIsSearching(false);
}

QCoro::Task<> AppState::loadDirectory(std::string) { co_return; }

}  // namespace tarn
