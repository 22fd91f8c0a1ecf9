#pragma once

#include "app/state/AppState.h"
#include "app/state/DesktopNotifier.h"
#include "app/transfers/TransferCenter.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// Puts a state or a queue into a situation that only later operations (navigation,
// the scheduler) would produce, so that what reads it can be tested now.
struct AppStateTestAccess {
    static void showListing(AppState& state, std::optional<Uuid> selectedBucketID, std::optional<Uuid> listingBucketID,
                            std::string currentPrefix, std::vector<ObjectItem> objects,
                            std::vector<ObjectPrefix> prefixes = {}) {
        state.setSelectedBucketID(std::move(selectedBucketID));
        state.m_listingBucketID = std::move(listingBucketID);
        state.m_navigationTarget = currentPrefix;
        state.setCurrentPrefix(std::move(currentPrefix));
        state.setObjects(std::move(objects));
        state.setPrefixes(std::move(prefixes));
    }

    static void setSuppressSearchReload(AppState& state, bool suppress) { state.m_suppressSearchReload = suppress; }

    // A further page of the listing on screen, merged as the paging merges it.
    static void appendPage(AppState& state, S3Listing page) { state.appendPage(std::move(page)); }
    static void setLoading(AppState& state, bool loading) { state.setIsLoading(loading); }
    static std::shared_ptr<const KeySet> listedKeys(const AppState& state) { return state.listedKeys(); }
    static void setBucketUsage(AppState& state, std::optional<BucketUsage> usage) {
        state.setBucketUsage(std::move(usage));
    }
    static void setHasMoreObjects(AppState& state, bool hasMore) { state.setHasMoreObjects(hasMore); }
    // What a first-page listing that failed leaves for the browser to show.
    static void setListingFailure(AppState& state, QString failure) { state.setListingFailure(std::move(failure)); }
    // What the state says of a bucket whose account's secret is missing.
    static QString missingSecretText(const AppState& state, const BucketConfig& bucket) {
        return state.missingSecretText(bucket);
    }

    // An upload waiting for the user's decision about keys that exist already.
    static void parkUpload(AppState& state, std::vector<std::filesystem::path> files, std::string directory,
                           KeySet existingKeys, std::optional<Uuid> bucketID) {
        state.setPendingUploadURLs(std::move(files));
        state.m_pendingUploadDirectory = std::move(directory);
        state.m_pendingUploadExistingKeys = std::move(existingKeys);
        state.m_pendingUploadBucketID = std::move(bucketID);
    }

    static void setShowingPreview(AppState& state, bool showing) { state.setShowingPreview(showing); }
    // What the inspector's refresh publishes for the inspected object.
    static void setObjectDetails(AppState& state, std::optional<ObjectDetails> details) {
        state.setObjectDetails(std::move(details));
    }
    static void setInlinePreviewState(AppState& state, InlinePreviewState preview) {
        state.setInlinePreviewState(std::move(preview));
    }
    static void setPreviewDownloadFraction(AppState& state, double fraction) {
        state.setPreviewDownloadFraction(fraction);
    }

    // The pause of the bucket sync's timer, shortened so a test sees several rounds.
    static void setSyncInterval(AppState& state, std::chrono::milliseconds interval) {
        state.m_syncInterval = interval;
    }

    static const std::vector<std::string>& backStack(const AppState& state) { return state.m_backStack; }
    static const std::vector<std::string>& forwardStack(const AppState& state) { return state.m_forwardStack; }

    static void setTasks(TransferCenter& transfers, std::vector<TransferTask> tasks) {
        transfers.m_tasks = std::move(tasks);
        emit transfers.tasksChanged();
    }

    // The scheduler's inside: the runner of a kind (an empty one leaves the kind
    // without), the waiting IDs and the remembered positions.
    static void setRunner(TransferCenter& transfers, TransferKind kind, TransferCenter::Runner runner) {
        transfers.m_runners[static_cast<std::size_t>(kind)] = std::move(runner);
    }
    // The runner the queue itself has for the kind.
    static void restoreRunner(TransferCenter& transfers, TransferKind kind) {
        const TransferCenter::Runner runners[] = {transfers.uploadRunner(), transfers.downloadRunner(),
                                                  transfers.deleteRunner(), transfers.renameRunner()};
        transfers.m_runners[static_cast<std::size_t>(kind)] = runners[static_cast<std::size_t>(kind)];
    }
    static const std::deque<Uuid>& queue(const TransferCenter& transfers) { return transfers.m_queue; }
    // How the upload runner retries parts: tests wait milliseconds, not seconds.
    static void setPartRetryPolicy(TransferCenter& transfers, PartRetryPolicy policy) {
        transfers.m_partRetryPolicy = std::move(policy);
    }
    // Where the state's desktop notifications go.
    static void setNotifier(AppState& state, DesktopNotifier notifier) { state.m_notifier = std::make_unique<DesktopNotifier>(std::move(notifier)); }
    static const std::unordered_map<Uuid, std::size_t>& indexCache(const TransferCenter& transfers) {
        return transfers.m_indexCache;
    }
    // The unfinished multipart uploads as a page load would leave them.
    static void showMultipartUploads(AppState& state, std::vector<MultipartUpload> uploads, bool loading) {
        state.setMultipartUploads(std::move(uploads));
        state.setIsLoadingUploads(loading);
    }
    static void setHasMoreUploads(AppState& state, bool hasMore) { state.setHasMoreUploads(hasMore); }

    // Start-up's clean-up of the keyring on its own, and the threads the state's work
    // runs on: a test can hold the keyring's one thread, or wait for the workers.
    static QCoro::Task<> cleanUpKeyring(AppState& state) { return state.migrateAndCleanupSecrets({}); }
    static QThreadPool& keyringThread(AppState& state) { return state.m_keyringWrites; }
    static QThreadPool& workers(AppState& state) { return state.m_workers; }
};

}  // namespace tarn
