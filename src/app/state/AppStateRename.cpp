#include "app/state/AppState.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "app/transfers/RenameRules.h"
#include "app/transfers/TransferCenter.h"
#include "core/preview/ObjectPreview.h"
#include "core/preview/PreviewCache.h"
#include "core/storage/S3Error.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// The folder a key lies in: the key less one trailing "/", up to and including its
// last "/"; "" at the root.
std::string parentOf(std::string_view key) {
    if (key.ends_with('/')) key.remove_suffix(1);
    const std::size_t slash = key.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(key.substr(0, slash + 1));
}

TransferTask renameTask(RenameSpec spec, std::int64_t bytesTotal, std::optional<std::string> eTag,
                        const Uuid& bucketID) {
    TransferTask task;
    task.id = Uuid::random();
    task.title = ObjectPreview::fileName(spec.destination);
    task.subtitle = QString::fromStdString(spec.destination);
    task.isFolder = spec.isFolder;
    if (!spec.isFolder) {
        task.bytesTotal = bytesTotal;
        task.sourceETag = std::move(eTag);
    }
    task.spec.value = std::move(spec);
    task.bucketID = bucketID;
    return task;
}

ToastMessage errorToast(QString text) { return {std::move(text), ToastKind::error}; }

ToastMessage takenToast(const std::string& key) {
    return errorToast(L10n::t(QStringLiteral("rename_destination_exists"), QString::fromStdString(key)));
}

}  // namespace

void AppState::startRenameMove() {
    if (const std::vector<ObjectItem> objects = selectedObjects(); !objects.empty()) {
        setMoveDestinationKey(objects.front().key);
        setShowingRenameMove(true);
        return;
    }
    if (const std::vector<ObjectPrefix> folders = selectedPrefixes(); !folders.empty()) {
        setMoveDestinationKey(folders.front().prefix);
        setShowingRenameMove(true);
    }
}

void AppState::renameInPlace(const std::string& newName, const std::string& sourceKey,
                             std::optional<std::int64_t> knownSize) {
    const std::string name(Whitespace::trimmed(newName));
    if (!selectedBucket() || !m_listingBucketID || m_listingBucketID != m_selectedBucketID) return;
    if (name.empty() || sourceKey.empty()) return;
    if (!isValidEntryName(name)) {
        sendToast(errorToast(L10n::t(QStringLiteral("invalid_name"))));
        return;
    }
    const bool isFolder = sourceKey.ends_with('/');
    std::string destination = parentOf(sourceKey) + name;
    if (isFolder) destination += '/';
    if (destination == sourceKey) return;
    if (isFolder) {
        checkAndQueueRename(renameTask({sourceKey, destination, true}, 0, std::nullopt, *m_listingBucketID), true);
        return;
    }
    std::optional<std::string> eTag = knownETag(sourceKey);
    const std::int64_t size = knownSize ? *knownSize : objectSizeForRename(sourceKey);
    checkAndQueueRename(renameTask({sourceKey, destination, false}, size, std::move(eTag), *m_listingBucketID), true);
}

void AppState::moveSelectedObject(const std::string& destination) {
    if (!selectedBucket() || !m_listingBucketID) return;
    if (destination.empty()) return;
    setShowingRenameMove(false);

    const QString typed = QString::fromStdString(destination);
    if (const std::vector<ObjectItem> objects = selectedObjects(); !objects.empty()) {
        const ObjectItem& object = objects.front();
        std::string target = RenameRules::objectDestination(object.key, destination);
        if (target == object.key) return;
        if (!RenameRules::isValidKeyPath(target, false)) {
            sendToast(errorToast(L10n::t(QStringLiteral("invalid_move_destination"), typed)));
            return;
        }
        checkAndQueueRename(
            renameTask({object.key, std::move(target), false}, object.size, knownETag(object.key), *m_listingBucketID),
            false);
        return;
    }
    const std::vector<ObjectPrefix> folders = selectedPrefixes();
    if (folders.empty()) return;
    const std::string& source = folders.front().prefix;
    std::string target = RenameRules::folderPrefix(destination);
    if (target == source) return;
    if (!RenameRules::isValidKeyPath(target, true)) {
        sendToast(errorToast(L10n::t(QStringLiteral("invalid_move_destination"), typed)));
        return;
    }
    if (RenameRules::movesIntoItself(source, target)) {
        sendToast(errorToast(L10n::t(QStringLiteral("move_into_itself"), QString::fromStdString(source))));
        return;
    }
    checkAndQueueRename(renameTask({source, std::move(target), true}, 0, std::nullopt, *m_listingBucketID), false);
}

void AppState::checkAndQueueRename(TransferTask task, bool inPlace) {
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) return;
    switch (destinationState(*task.spec.rename())) {
    case DestinationState::taken:
        sendToast(takenToast(task.spec.rename()->destination));
        return;
    case DestinationState::free:
        queueRename(std::move(task), inPlace, *bucket, true);
        return;
    case DestinationState::unknown:
        startDetached(probeAndQueueRename(std::move(*bucket), std::move(task), inPlace));
        return;
    }
}

AppState::DestinationState AppState::destinationState(const RenameSpec& rename) const {
    const std::string& key = rename.destination;
    const auto holds = [&](const std::string& existing) {
        return rename.isFolder ? existing.starts_with(key) : existing == key;
    };
    // The listing shown, with what the queue has changed since and will change first.
    const TakenKeys known = existingKeysForUploadConflict(m_currentPrefix);
    if (rename.isFolder ? known.containsUnder(key) : known.contains(key)) return DestinationState::taken;
    for (const TransferTask& task : transferTasks()) {
        if (task.bucketID != m_selectedBucketID || task.spec.upload() == nullptr || !isActive(task.state)) continue;
        if (const std::optional<std::string> written = task.placeholderRealKey(); written && holds(*written)) {
            return DestinationState::taken;
        }
    }
    const bool listed = m_listingBucketID == m_selectedBucketID;
    if (listed && rename.isFolder &&
        std::any_of(m_prefixes.begin(), m_prefixes.end(),
                    [&](const ObjectPrefix& prefix) { return prefix.prefix.starts_with(key); })) {
        return DestinationState::taken;
    }
    // Absent from a complete listing of its folder: free. A further page not loaded
    // yet, or a search that narrows the listing, proves nothing.
    if (listed && parentOf(key) == m_currentPrefix && !m_hasMoreObjects && !isSearchingActive()) {
        return DestinationState::free;
    }
    return DestinationState::unknown;
}

QCoro::Task<> AppState::probeAndQueueRename(BucketConfig bucket, TransferTask task, bool inPlace) {
    const QPointer<AppState> self(this);
    const int session = m_bucketSession;
    const int navigation = m_navigation;
    const KeySet selection = m_selectedObjectKeys;
    QCoro::Task<std::optional<std::string>> reading = resolvedSecret(bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!self) co_return;
    if (!secret) {
        sendToast(errorToast(TransferCenter::describe(std::make_exception_ptr(S3Error::missingSecret()))));
        co_return;
    }
    const RenameSpec rename = *task.spec.rename();
    const S3Credentials credentials{bucket.accessKeyID, *secret};
    auto probe = [&client = m_client, &bucket, &credentials, &rename, stop = m_lifetimeStop.get_token()] {
        return RenameRules::destinationExists(client, bucket, credentials, rename, stop);
    };
    std::exception_ptr failure;
    bool taken = false;
    try {
        taken = co_await inBackground(probe);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (failure) {
        sendToast(errorToast(TransferCenter::describe(failure)));
        co_return;
    }
    if (taken) {
        sendToast(takenToast(rename.destination));
        co_return;
    }
    // The task names its bucket. The selection follows the rename only while it is
    // still what the user acted on: a selection made while the server was asked, or
    // one of another folder or bucket, is the user's newer choice and stays.
    const bool unchanged = session == m_bucketSession && navigation == m_navigation && selection == m_selectedObjectKeys;
    queueRename(std::move(task), inPlace, bucket, unchanged);
}

void AppState::queueRename(TransferTask task, bool inPlace, const BucketConfig& bucket, bool select) {
    const RenameSpec& rename = *task.spec.rename();
    const bool isFolder = task.isFolder;
    if (inPlace && !isFolder) {
        migratePreviewCache(bucket, rename.source, rename.destination, task.bytesTotal, task.sourceETag);
    }
    const std::string row = task.placeholderKey();
    if (select && isFolder) setSelectedObjectKeys({});
    if (select && !isFolder && !inPlace) {
        setSelectedObjectKey(std::nullopt);
        setSelectedObjectKeys({});
    }
    TransferCenter& queue = transfers();
    queue.append(std::move(task));
    queue.pumpIfIdle();
    // The renamed object stays selected through the row of its pending rename.
    if (select && inPlace && !isFolder) setSelectedObjectKeys({row});
}

std::int64_t AppState::objectSizeForRename(const std::string& sourceKey) const {
    if (const std::optional<std::size_t> listed = listedObject(sourceKey)) return m_objects[*listed].size;
    // Rows that are not listed yet: a finished upload, or a rename that made the key.
    const std::vector<TransferTask>& tasks = transferTasks();
    for (const TransferTask& task : tasks) {
        if (task.spec.upload() != nullptr && !task.isFolder && task.state == TransferState::succeeded &&
            task.placeholderRealKey() == sourceKey) {
            return task.bytesTotal;
        }
    }
    for (const TransferTask& task : tasks) {
        // A failed rename moved nothing.
        const bool moves = isActive(task.state) || task.state == TransferState::succeeded;
        if (task.spec.rename() != nullptr && !task.isFolder && moves &&
            task.placeholderRealKey() == sourceKey) {
            return task.bytesTotal;
        }
    }
    return 0;
}

void AppState::migratePreviewCache(const BucketConfig& bucket, const std::string& from, const std::string& to,
                                   std::int64_t size, const std::optional<std::string>& eTag) {
    // Without a tag the cached name depends on the modification date, which the
    // renamed object does not keep.
    if (PreviewCache::normalizedETag(eTag).empty()) return;
    std::string source = PreviewCache::fileName(from, size, std::nullopt, eTag);
    std::string target = PreviewCache::fileName(to, size, std::nullopt, eTag);
    if (source == target) return;
    startDetached(copyCachedPreview(bucket.id, std::move(source), std::move(target)));
}

QCoro::Task<> AppState::copyCachedPreview(Uuid bucketID, std::string sourceName, std::string targetName) {
    // A preview may be as large as the preview limit (up to 2 GiB): off the main thread.
    auto copy = [&folders = m_privateFolder, &bucketID, &sourceName, &targetName] {
        try {
            const fs::path folder = folders.previewCacheFolder(bucketID);
            const fs::path source = folder / sourceName;
            const fs::path target = folder / targetName;
            if (!fs::is_regular_file(fs::symlink_status(source))) return;
            std::error_code error;
            fs::remove(target, error);
            // A second name for the same file where the folder allows one: cached
            // copies are only ever replaced whole, never written in place.
            fs::create_hard_link(source, target, error);
            if (error) fs::copy_file(source, target, error);
        } catch (const std::exception&) {
            // The preview is downloaded again when it is needed.
        }
    };
    co_await inBackground(copy);
}

}  // namespace tarn
