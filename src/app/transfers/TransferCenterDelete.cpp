#include "app/transfers/TransferCenter.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "core/storage/CancelledError.h"
#include "core/storage/DeleteObjectsError.h"
#include "core/storage/S3Error.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <set>

namespace tarn {

namespace {

using namespace std::chrono_literals;

// Keys per multi-object delete: progress moves in steps of this many.
constexpr std::size_t kDeleteBatchSize = 200;
// A marker refused with 409 or 403 is asked for again this often, after waits of
// 0.25 s, 0.5 s, ... 1.5 s.
constexpr int kMarkerRetries = 6;
constexpr std::chrono::milliseconds kMarkerRetryStep = 250ms;

bool isFolderMarker(const std::string& key) { return key.ends_with('/'); }

// A folder that is still being emptied: some servers refuse its marker for a moment.
bool isWorthRetrying(const S3Error& error) {
    return error.kind() == S3Error::Kind::requestFailed &&
           (error.statusCode() == 409 || error.statusCode() == 403);
}

// Every key to remove, split into the objects (ascending) and the folder markers
// (deepest first, so that no folder loses its marker before its sub-folders).
struct DeletePlan {
    std::vector<std::string> objects;
    std::vector<std::string> markers;

    std::size_t size() const { return objects.size() + markers.size(); }
};

DeletePlan planOf(const std::set<std::string>& keys) {
    DeletePlan plan;
    for (const std::string& key : keys) (isFolderMarker(key) ? plan.markers : plan.objects).push_back(key);
    std::stable_sort(plan.markers.begin(), plan.markers.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    return plan;
}

}  // namespace

TransferCenter::Runner TransferCenter::deleteRunner() {
    return [this](Uuid id, TransferTask task, std::stop_token stop) {
        return runDelete(id, std::move(task), std::move(stop));
    };
}

QCoro::Task<> TransferCenter::runDelete(Uuid id, TransferTask task, std::stop_token stop) {
    const DeleteSpec* spec = task.spec.deletion();
    if (spec == nullptr) co_return;
    const QPointer<TransferCenter> self(this);
    QCoro::Task<std::optional<RunAccess>> starting = accessOrFail(id);
    const std::optional<RunAccess> access = co_await starting;
    if (!self || !access) co_return;
    const BucketConfig& bucket = access->bucket;
    const S3Credentials& credentials = access->credentials;

    DeletePlan plan;
    try {
        S3Client& client = m_app.client();

        // Everything is listed before anything is deleted, so the total is known and
        // a failed listing deletes nothing.
        std::set<std::string> keys(spec->objectKeys.begin(), spec->objectKeys.end());
        for (const std::string& prefix : spec->folderPrefixes) {
            if (stop.stop_requested()) throw CancelledError();
            auto list = [&client, &bucket, &credentials, &prefix, stop] {
                return client.listObjects(bucket, credentials, prefix, stop);
            };
            const std::vector<ObjectItem> listed = co_await m_app.inBackground(list);
            if (!self) co_return;
            for (const ObjectItem& item : listed) keys.insert(item.key);
            // The folder's own marker, listed or not.
            keys.insert(prefix);
        }
        plan = planOf(keys);
        const int total = std::max<int>(1, static_cast<int>(plan.size()));
        updateTask(id, [total](TransferTask& t) { t.unitsTotal = total; });

        // Keys the server refuses do not stop the batches after them: every key it
        // can delete goes, as asked. The refused ones then fail the task, and the
        // markers stay, since their folders are not empty.
        std::vector<DeleteFailure> refused;
        std::size_t deleted = 0;
        for (std::size_t start = 0; start < plan.objects.size(); start += kDeleteBatchSize) {
            if (stop.stop_requested()) throw CancelledError();
            const auto first = plan.objects.begin() + static_cast<std::ptrdiff_t>(start);
            const std::vector<std::string> batch(
                first, first + static_cast<std::ptrdiff_t>(std::min(kDeleteBatchSize, plan.objects.size() - start)));
            auto remove = [&client, &bucket, &credentials, &batch, stop] {
                client.deleteObjects(batch, bucket, credentials, stop);
            };
            std::size_t notDeleted = 0;
            try {
                co_await m_app.inBackground(remove);
            } catch (const DeleteObjectsError& error) {
                notDeleted = error.failures().size();
                refused.insert(refused.end(), error.failures().begin(), error.failures().end());
            }
            if (!self) co_return;
            deleted += batch.size() - std::min(notDeleted, batch.size());
            const int done = static_cast<int>(deleted);
            updateTask(id, [done](TransferTask& t) { t.unitsDone = done; });
        }
        if (!refused.empty()) throw DeleteObjectsError(std::move(refused), plan.objects.size());

        for (std::size_t i = 0; i < plan.markers.size(); ++i) {
            if (stop.stop_requested()) throw CancelledError();
            QCoro::Task<> removing = deleteFolderMarker(plan.markers[i], bucket, credentials, stop);
            co_await removing;
            if (!self) co_return;
            const int done = static_cast<int>(plan.objects.size() + i + 1);
            updateTask(id, [done](TransferTask& t) { t.unitsDone = done; });
        }
    } catch (...) {
        // Dismissed, or the program is closing: there is nobody to tell.
        if (!self || stop.stop_requested()) co_return;
        finishFailed(id, m_app.reportFailure("delete", std::current_exception()));
        co_return;
    }

    updateTask(id, [](TransferTask& t) {
        t.state = TransferState::succeeded;
        t.unitsDone = std::max(t.unitsDone, t.unitsTotal);
        t.finishedAt = std::chrono::system_clock::now();
    });
    m_app.recordHistory(L10n::t(QStringLiteral("delete")), L10n::t(L10n::countKey(QStringLiteral("transfer_delete_subtitle"),
                                                                               static_cast<qint64>(plan.size())),
                                                                plan.size()),
                        bucket.bucketName, true);
    m_app.reloadAfterMutation(bucket.id);
    m_app.notify(L10n::t(QStringLiteral("delete")), L10n::t(QStringLiteral("operation_done")));
}

QCoro::Task<> TransferCenter::deleteFolderMarker(std::string key, BucketConfig bucket, S3Credentials credentials,
                                                 std::stop_token stop) {
    if (stop.stop_requested()) throw CancelledError();
    const QPointer<TransferCenter> self(this);
    auto remove = [&client = m_app.client(), &key, &bucket, &credentials, stop] {
        client.deleteObject(key, bucket, credentials, stop);
    };
    for (int attempt = 0;; ++attempt) {
        bool retry = false;
        try {
            co_await m_app.inBackground(remove);
        } catch (const S3Error& error) {
            if (attempt == kMarkerRetries || !isWorthRetrying(error)) throw;
            retry = true;
        }
        if (!self) throw CancelledError();
        if (!retry) co_return;
        const bool waited = co_await stoppableSleep((attempt + 1) * kMarkerRetryStep, stop);
        if (!self || !waited) throw CancelledError();
    }
}

}  // namespace tarn
