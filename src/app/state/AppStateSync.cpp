#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/BucketIdentity.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/CancelledError.h"
#include "core/storage/MakerService.h"
#include "core/storage/S3Error.h"

#include <QLoggingCategory>

#include <algorithm>

namespace tarn {

namespace {

Q_LOGGING_CATEGORY(syncLog, "tarn.sync")

}  // namespace

void AppState::startSyncTimer() {
    m_syncStop.request_stop();
    m_syncStop = std::stop_source();
    startDetached(runSyncTimer(m_syncStop.get_token()));
}

QCoro::Task<> AppState::runSyncTimer(std::stop_token stop) {
    const QPointer<AppState> self(this);
    for (;;) {
        co_await syncAllBuckets();
        if (!self || stop.stop_requested()) co_return;
        // Counted from the end of the sync, so a slow server is never listed back to back.
        co_await stoppableSleep(m_syncInterval, stop);
        if (!self || stop.stop_requested()) co_return;
    }
}

QCoro::Task<> AppState::syncAllBuckets() {
    if (m_isSyncingBuckets) co_return;
    setIsSyncingBuckets(true);
    const QPointer<AppState> self(this);

    // One account after another: a user with many accounts must not see them all
    // asked at once, and the keyring is read once per account.
    const std::vector<StorageProfile> profiles = m_config.profiles;
    std::unordered_map<Uuid, std::vector<std::string>> discovered;
    for (const StorageProfile& profile : profiles) {
        auto list = [&client = m_client, &store = m_secretStore, &profile,
                     stop = m_lifetimeStop.get_token()]() -> std::optional<std::vector<S3BucketInfo>> {
            try {
                const std::optional<std::string> secret = store.secret(
                    KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID),
                    KeychainSecretStore::originOf(profile.endpoint));
                if (!secret || secret->empty()) return std::nullopt;
                const S3Credentials credentials{profile.accessKeyID, *secret};
                return client.listBuckets(profile.endpoint, profile.region, credentials, stop);
            } catch (const std::exception& error) {
                // The account keeps the buckets it has; the next sync tries again.
                qCInfo(syncLog) << "the buckets of an account could not be listed:" << error.what();
                return std::nullopt;
            }
        };
        const std::optional<std::vector<S3BucketInfo>> infos = co_await inBackground(list);
        if (!self) co_return;
        if (!infos) continue;

        std::vector<std::string> names;
        names.reserve(infos->size());
        for (const S3BucketInfo& info : *infos) names.push_back(info.name);
        std::sort(names.begin(), names.end());
        discovered[profile.id] = std::move(names);
        // The maker's service counts each bucket's objects and bytes in the listing itself.
        if (MakerService::isStorageEndpoint(profile.endpoint)) {
            for (const S3BucketInfo& info : *infos) {
                const Uuid id =
                    BucketIdentity::deterministicID(profile.endpoint, profile.region, profile.accessKeyID, info.name);
                m_bucketUsageCache[id] = BucketUsage{info.totalFiles, info.totalBytes};
            }
            emit bucketUsageCacheChanged();
        }
    }

    // Into the configuration as it is now: profiles may have been added, edited or
    // removed while the listings were awaited.
    AppConfig merged = m_config;
    bool changed = false;
    for (StorageProfile& profile : merged.profiles) {
        const auto found = discovered.find(profile.id);
        if (found == discovered.end() || found->second == profile.bucketNames) continue;
        profile.bucketNames = std::move(found->second);
        changed = true;
    }
    if (changed) {
        try {
            m_configStore.save(merged);
            setConfig(std::move(merged));
            reselectAfterSync();
        } catch (const std::exception&) {
            // The lists in memory stay as saved, so the next sync finds the change again.
            sendFailureToast("syncAllBuckets", std::current_exception());
        }
    }
    if (const std::optional<BucketConfig> bucket = selectedBucket()) {
        if (const auto cached = m_bucketUsageCache.find(bucket->id); cached != m_bucketUsageCache.end()) {
            setBucketUsage(cached->second);
        }
    }
    setIsSyncingBuckets(false);
}

void AppState::reselectAfterSync() {
    const std::vector<BucketConfig> buckets = allBuckets();
    if (m_selectedBucketID && std::any_of(buckets.begin(), buckets.end(), [&](const BucketConfig& bucket) {
            return bucket.id == *m_selectedBucketID;
        })) {
        return;
    }
    const std::optional<Uuid> first = buckets.empty() ? std::nullopt : std::optional<Uuid>(buckets.front().id);
    if (!first && !m_selectedBucketID) return;
    switchBucket(first, "");
}

QCoro::Task<ConnectionTestOutcome> AppState::testConnection(BucketConfig bucket) {
    const QPointer<AppState> self(this);
    auto outcome = std::make_shared<ConnectionTestOutcome>();
    std::function<QCoro::Task<>()> operation = [this, bucket = std::move(bucket), outcome] {
        return checkConnection(bucket, outcome);
    };
    const QString status = L10n::t(QStringLiteral("status_loading"));
    co_await run(status, std::move(operation));
    if (!self) outcome->status = ConnectionTestOutcome::Status::cancelled;
    co_return *outcome;
}

QCoro::Task<> AppState::checkConnection(BucketConfig bucket, std::shared_ptr<ConnectionTestOutcome> outcome) {
    const QPointer<AppState> self(this);
    // Every page of the root folder: a server that lists the first page but fails
    // on a later one is not a working connection.
    auto listRoot = [&client = m_client, &store = m_secretStore, &bucket, stop = m_lifetimeStop.get_token()] {
        client.list(bucket, storedCredentials(store, bucket), "", "/", stop);
    };
    try {
        co_await inBackground(listRoot);
    } catch (const S3Error& error) {
        outcome->status = error.kind() == S3Error::Kind::missingSecret ? ConnectionTestOutcome::Status::missingSecret
                                                                       : ConnectionTestOutcome::Status::failed;
        outcome->message = TransferCenter::describe(std::current_exception());
        throw;  // run() toasts it
    } catch (const CancelledError&) {
        outcome->status = ConnectionTestOutcome::Status::cancelled;
        throw;
    } catch (const std::exception&) {
        outcome->message = TransferCenter::describe(std::current_exception());
        throw;
    }
    if (!self) co_return;
    outcome->status = ConnectionTestOutcome::Status::succeeded;
    outcome->message = L10n::t(QStringLiteral("connection_ok"));
    sendToast({outcome->message, ToastKind::info});
}

}  // namespace tarn
