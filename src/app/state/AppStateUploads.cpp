#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "app/transfers/UploadPlan.h"
#include "app/transfers/UploadScanner.h"
#include "core/storage/PrefixNavigator.h"

#include <sys/stat.h>

#include <utility>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// The keys of the bucket that the handed files and folders could meet: the objects
// directly in `directory` when files are handed, and everything below each handed
// folder's prefix. A listing that fails adds nothing; the upload goes on without.
KeySet listExistingKeys(S3Client& client, const std::vector<fs::path>& topLevel, const std::string& directory,
                        const BucketConfig& bucket, const S3Credentials& credentials, std::stop_token stop) {
    KeySet keys;
    bool hasFiles = false;
    std::vector<std::string> folders;
    for (const fs::path& url : topLevel) {
        const fs::path path = UploadScanner::handedPath(url);
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            folders.push_back(PrefixNavigator::folderKey(UploadScanner::keyName(path.filename().native()), directory));
        } else {
            hasFiles = true;
        }
    }
    if (hasFiles) {
        try {
            for (ObjectItem& object : client.list(bucket, credentials, directory, "/", stop).objects) {
                keys.insert(std::move(object.key));
            }
        } catch (const std::exception&) {
        }
    }
    for (const std::string& prefix : folders) {
        try {
            for (ObjectItem& object : client.listObjects(bucket, credentials, prefix, stop)) {
                keys.insert(std::move(object.key));
            }
        } catch (const std::exception&) {
        }
    }
    return keys;
}

}  // namespace

void AppState::upload(UploadChooser chooser) {
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) return;
    // The folder shown when the command was given is the target, whatever the
    // user does while the chooser is open.
    startDetached(chooseAndUpload(chooser, std::move(*bucket), m_currentPrefix));
}

QCoro::Task<> AppState::chooseAndUpload(UploadChooser chooser, BucketConfig bucket, std::string directory) {
    QPointer<AppState> self(this);
    std::vector<fs::path> chosen;
    if (chooser == UploadChooser::files) {
        UiServices::FileChoice choice(L10n::t(QStringLiteral("upload_choose_files")), true);
        QCoro::Task<std::vector<fs::path>> asking = ui().chooseFiles(std::move(choice));
        chosen = co_await asking;
    } else {
        QCoro::Task<std::optional<fs::path>> asking = ui().chooseFolder(L10n::t(QStringLiteral("upload_choose_folder")));
        std::optional<fs::path> folder = co_await asking;
        if (folder) chosen.push_back(std::move(*folder));
    }
    if (!self || chosen.empty()) co_return;
    QCoro::Task<> uploading = probeAndEnqueue(transfers().reserveUploadPlace(), std::move(chosen), std::move(bucket),
                                              std::move(directory), UploadConflictMode::ask);
    co_await uploading;
}

void AppState::uploadFiles(std::vector<fs::path> files, UploadConflictMode mode) {
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket || files.empty()) return;
    if (mode == UploadConflictMode::replace) {
        enqueueUploads(std::move(files), m_currentPrefix, mode, {}, bucket->id);
        return;
    }
    startDetached(
        probeAndEnqueue(transfers().reserveUploadPlace(), std::move(files), std::move(*bucket), m_currentPrefix, mode));
}

QCoro::Task<> AppState::probeAndEnqueue(UploadPlace place, std::vector<fs::path> urls, BucketConfig bucket,
                                        std::string directory, UploadConflictMode mode) {
    QPointer<AppState> self(this);
    QCoro::Task<KeySet> probing = probeExistingKeys(urls, directory, bucket);
    KeySet keys = co_await probing;
    if (!self) co_return;
    // What the queue has changed since the listing counts only for the bucket it is
    // about; the upload still goes where it was aimed.
    TakenKeys taken;
    if (m_selectedBucketID == bucket.id) taken = existingKeysForUploadConflict(directory);
    taken.insert(std::move(keys));
    QCoro::Task<> enqueueing =
        planAndEnqueue(std::move(place), std::move(urls), std::move(directory), mode, std::move(taken), bucket.id);
    co_await enqueueing;
}

QCoro::Task<KeySet> AppState::probeExistingKeys(std::vector<fs::path> topLevel, std::string directory,
                                                BucketConfig bucket) {
    QPointer<AppState> self(this);
    QCoro::Task<std::optional<std::string>> reading = resolvedSecret(bucket);
    const std::optional<std::string> secret = co_await reading;
    // Without a secret nothing can be listed; the keys on screen still count.
    if (!self || !secret) co_return KeySet{};
    const S3Credentials credentials{bucket.accessKeyID, *secret};
    auto listing = [&client = m_client, &topLevel, &directory, &bucket, &credentials,
                    stop = m_lifetimeStop.get_token()] {
        return listExistingKeys(client, topLevel, directory, bucket, credentials, stop);
    };
    co_return co_await inBackground(listing);
}

void AppState::enqueueUploads(std::vector<fs::path> urls, std::string directory, UploadConflictMode mode,
                              KeySet existingKeys, std::optional<Uuid> bucketID) {
    startDetached(planAndEnqueue(transfers().reserveUploadPlace(), std::move(urls), std::move(directory), mode,
                                 TakenKeys(std::make_shared<const KeySet>(std::move(existingKeys))),
                                 std::move(bucketID)));
}

QCoro::Task<> AppState::planAndEnqueue(UploadPlace place, std::vector<fs::path> urls, std::string directory,
                                       UploadConflictMode mode, TakenKeys taken, std::optional<Uuid> bucketID) {
    QPointer<AppState> self(this);
    // Walking folders and reading sizes takes a while for a large tree, and so does
    // gathering the keys of a large folder into one set.
    KeySet existingKeys;
    auto planning = [&urls, &directory, mode, &taken, &existingKeys] {
        existingKeys = taken.toSet();
        return UploadPlan::make(urls, directory, mode, existingKeys);
    };
    UploadPlan plan = co_await inBackground(planning);
    if (!self) co_return;

    if (mode == UploadConflictMode::ask && plan.conflictSeen) {
        // The whole upload waits for the user's choice, not only the files in conflict.
        setPendingUploadURLs(std::move(urls));
        m_pendingUploadDirectory = std::move(directory);
        m_pendingUploadExistingKeys = std::move(existingKeys);
        m_pendingUploadBucketID = std::move(bucketID);
        setShowingUploadConflict(true);
        co_return;
    }
    if (!plan.entries.empty()) {
        transfers().enqueuePlannedUploads(std::move(place), std::move(plan), directory, mode, bucketID);
    } else if (plan.skipped >= 1) {
        sendToast({L10n::t(L10n::countKey(QStringLiteral("upload_skipped_count"), plan.skipped), plan.skipped), ToastKind::info});
    }
}

void AppState::clearPendingUpload() {
    setPendingUploadURLs({});
    m_pendingUploadDirectory.clear();
    m_pendingUploadExistingKeys.clear();
    m_pendingUploadBucketID.reset();
}

}  // namespace tarn
