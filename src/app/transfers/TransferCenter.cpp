#include "app/transfers/TransferCenter.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/RenameRules.h"
#include "core/storage/S3Error.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>

namespace tarn {

TransferCenter::TransferCenter(AppState& app)
    : m_app(app), m_runners{uploadRunner(), downloadRunner(), deleteRunner(), renameRunner()} {
    m_uploadThread.setMaxThreadCount(1);
}

TransferCenter::~TransferCenter() { stopAll(); }

void TransferCenter::append(TransferTask task) {
    const Uuid id = task.id;
    m_tasks.push_back(std::move(task));
    m_queue.push_back(id);
    notifyRearranged();
}

void TransferCenter::pumpIfIdle() {
    if (m_runner || m_runningID) return;
    // Tasks dismissed while they waited leave their IDs behind; skip them.
    std::optional<std::size_t> row;
    Uuid id;
    while (!row && !m_queue.empty()) {
        id = m_queue.front();
        m_queue.pop_front();
        row = index(id);
    }
    if (!row) {
        if (m_listingStale) {
            m_listingStale = false;
            m_app.refreshAfterTransfers();
        }
        return;
    }

    m_runningID = id;
    TransferTask& task = m_tasks[*row];
    task.state = TransferState::running;
    task.speed = 0;
    task.startedAt = std::chrono::system_clock::now();
    notifyUpdated(*row);

    // The body starts from the event loop, not inside this call: a producer that
    // appends and pumps, or a task that ends at once, never runs the next task (and
    // the one after) deeper and deeper down its own stack.
    m_runner.emplace();
    QTimer::singleShot(0, this, [this, id, stop = m_runner->get_token()] { startDetached(runNext(id, stop)); });
}

QCoro::Task<> TransferCenter::runNext(Uuid id, std::stop_token stop) {
    QPointer<TransferCenter> self(this);
    const std::optional<std::size_t> row = index(id);
    const bool upload = row && m_tasks[*row].kind() == TransferKind::upload;
    try {
        QCoro::Task<> work = execute(id, stop);
        co_await work;
    } catch (...) {
        // Runners report their own failures; one that escapes must not leave the
        // queue blocked behind a task that never ends.
        if (self) finishFailed(id, m_app.reportFailure("transfer", std::current_exception()));
    }
    if (!self) co_return;
    m_runner.reset();
    m_runningID.reset();
    // Every way an upload ends comes here once: finished, failed before its first file
    // (no bucket, no secret, an unreadable saved session), or dismissed while it ran.
    // A run stopped because the program closes leaves its task running: the round
    // stays open, and nothing is told.
    if (upload) notifyUploadRoundIfDone();
    pumpIfIdle();
}

QCoro::Task<> TransferCenter::execute(Uuid id, std::stop_token stop) {
    const std::optional<std::size_t> row = index(id);
    if (!row) co_return;
    TransferTask task = m_tasks[*row];
    // A copy: the table may change while the run is suspended.
    const Runner runner = m_runners[static_cast<std::size_t>(task.kind())];
    if (!runner) {
        // As a runner would: a task whose bucket is gone reads so first.
        if (bucketOrFail(id)) finishFailed(id, L10n::t(QStringLiteral("transfer_runner_missing")));
        co_return;
    }
    QCoro::Task<> run = runner(id, std::move(task), std::move(stop));
    co_await run;
}

std::optional<std::size_t> TransferCenter::index(const Uuid& id) const {
    if (const auto cached = m_indexCache.find(id); cached != m_indexCache.end()) {
        if (cached->second < m_tasks.size() && m_tasks[cached->second].id == id) return cached->second;
    }
    const auto found = std::find_if(m_tasks.begin(), m_tasks.end(), [&](const TransferTask& task) { return task.id == id; });
    if (found == m_tasks.end()) {
        m_indexCache.erase(id);
        return std::nullopt;
    }
    const auto row = static_cast<std::size_t>(found - m_tasks.begin());
    m_indexCache[id] = row;
    return row;
}

std::optional<BucketConfig> TransferCenter::bucket(const TransferTask& task) const {
    if (!task.bucketID) return std::nullopt;
    for (BucketConfig& bucket : m_app.allBuckets()) {
        if (bucket.id == *task.bucketID) return std::move(bucket);
    }
    return std::nullopt;
}

std::optional<BucketConfig> TransferCenter::bucketOrFail(const Uuid& id) {
    if (const std::optional<std::size_t> row = index(id)) {
        if (std::optional<BucketConfig> found = bucket(m_tasks[*row])) return found;
    }
    // The user removed the bucket: its tasks fail without the bubble's alarm.
    markFailed(id, L10n::t(QStringLiteral("no_bucket")));
    return std::nullopt;
}

QCoro::Task<std::optional<TransferCenter::RunAccess>> TransferCenter::accessOrFail(Uuid id) {
    std::optional<BucketConfig> found = bucketOrFail(id);
    if (!found) co_return std::nullopt;
    const QPointer<TransferCenter> self(this);
    QCoro::Task<std::optional<std::string>> reading = m_app.resolvedSecret(*found);
    std::optional<std::string> secret = co_await reading;
    if (!self) co_return std::nullopt;
    if (!secret) {
        finishFailed(id, describe(std::make_exception_ptr(S3Error::missingSecret())));
        co_return std::nullopt;
    }
    RunAccess access;
    access.credentials = {found->accessKeyID, std::move(*secret)};
    access.bucket = std::move(*found);
    co_return access;
}

void TransferCenter::finishFailed(const Uuid& id, const QString& message) {
    const std::optional<TransferKind> kind = markFailed(id, message);
    // An upload that failed before its first file (no secret, an unreadable saved
    // session) or whose run broke off is a failure of its round: left out, a round of
    // one good upload and such a failure would be told as a success. A task whose
    // bucket the user removed fails through markFailed alone and is not counted.
    if (kind == TransferKind::upload) {
        ++m_roundFailed;
        // A run that broke off may have sent files already.
        recountInRound(id);
    }
    if (kind == TransferKind::deletion) m_app.sendBubble(L10n::t(QStringLiteral("delete_failed")));
    if (kind == TransferKind::download) m_app.sendBubble(L10n::t(QStringLiteral("download_failed")));
}

std::optional<TransferKind> TransferCenter::markFailed(const Uuid& id, const QString& message) {
    TransferKind kind{};
    const bool found = updateTask(id, [&](TransferTask& task) {
        task.state = TransferState::failed;
        task.errorText = message;
        task.finishedAt = std::chrono::system_clock::now();
        task.speed = 0;
        kind = task.kind();
    });
    if (!found) return std::nullopt;
    return kind;
}

void TransferCenter::markListingStaleIfCurrent(const Uuid& id) {
    const std::optional<std::size_t> row = index(id);
    if (row && m_tasks[*row].bucketID == m_app.selectedBucketID()) m_listingStale = true;
}

void TransferCenter::retry(const Uuid& id) {
    // The running task is left alone: queued again, it would run a second time
    // once its own run had ended.
    if (m_runningID == id) return;
    const bool found = updateTask(id, [](TransferTask& task) {
        task.state = TransferState::waiting;
        task.errorText.reset();
        task.startedAt.reset();
        task.finishedAt.reset();
        task.speed = 0;
        // A folder move that had moved some keys keeps its count: dismissing it
        // later must not take the destination for untouched.
        if (task.kind() != TransferKind::rename) {
            task.unitsDone = 0;
            task.failedUnits = 0;
            task.currentUnitFraction = 0;
            task.bytesDone = 0;
        }
    });
    if (!found) return;
    if (std::find(m_queue.begin(), m_queue.end(), id) == m_queue.end()) m_queue.push_back(id);
    pumpIfIdle();
}

void TransferCenter::dismiss(const Uuid& id) {
    std::erase(m_queue, id);
    const std::optional<std::size_t> row = index(id);
    const bool running = m_runningID == id;
    bool waitingUpload = false;
    if (row) {
        const TransferTask& task = m_tasks[*row];
        if (task.kind() == TransferKind::rename) {
            handleRenameCancel(task);
        } else if (task.kind() == TransferKind::upload) {
            if (task.multipart) {
                if (std::optional<BucketConfig> found = bucket(task)) abort(*task.multipart, *found);
            }
            // Files of an upload stopped half-way may have arrived: its bucket is
            // counted again when the round ends.
            if (running) recountInRound(id);
            waitingUpload = !running && task.state == TransferState::waiting;
        }
    }
    // The runner stays set until its body has returned; only then does the next
    // task start. What it still writes finds no task and is dropped.
    if (m_runningID == id && m_runner) m_runner->request_stop();
    if (row) {
        m_tasks.erase(m_tasks.begin() + static_cast<std::ptrdiff_t>(*row));
        m_indexCache.erase(id);
        notifyRearranged();
    }
    // A waiting upload that never runs may have been the last of its round; the
    // running one's round is looked at when its run has returned.
    if (waitingUpload) notifyUploadRoundIfDone();
}

void TransferCenter::clearFinished() {
    const std::size_t removed =
        std::erase_if(m_tasks, [](const TransferTask& task) { return isFinished(task.state); });
    if (removed > 0) notifyRearranged();
}

void TransferCenter::handleRenameCancel(const TransferTask& task) {
    const RenameSpec* rename = task.spec.rename();
    if (!task.isFolder || rename == nullptr || !rename->isFolder) return;
    const std::string marker = RenameRules::folderPrefix(rename->destination);
    std::optional<BucketConfig> found = bucket(task);
    if (!found) return;
    if (task.unitsDone != 0) {
        // Keys already moved stay at the destination; show them.
        m_app.reloadAfterMutation(found->id);
        return;
    }
    // Nothing moved: only a marker the move made itself is taken back.
    if (!task.wroteDestinationMarker) return;
    startDetached(deleteDestinationMarker(QPointer<AppState>(&m_app), std::move(*found), std::move(marker),
                                          m_cleanupStop.get_token()));
}

QCoro::Task<> TransferCenter::deleteDestinationMarker(QPointer<AppState> app, BucketConfig bucket, std::string key,
                                                      std::stop_token stop) {
    if (!app) co_return;
    // Named first: a by-value argument made inside the co_await statement would be
    // destroyed twice by g++ 12.
    QCoro::Task<std::optional<std::string>> reading = app->resolvedSecret(bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!app) co_return;
    if (secret) {
        S3Credentials credentials{bucket.accessKeyID, *secret};
        auto remove = [&client = app->client(), &bucket, &key, &credentials, &stop] {
            client.deleteObject(key, bucket, credentials, stop);
        };
        try {
            co_await app->inBackground(remove);
        } catch (...) {
            // The listing shows whatever is left.
        }
        if (!app) co_return;
    }
    app->reloadAfterMutation(bucket.id);
}

void TransferCenter::abort(const MultipartSession& session, const BucketConfig& bucket) {
    startDetached(abortUpload(QPointer<AppState>(&m_app), bucket, session, m_cleanupStop.get_token()));
}

QCoro::Task<> TransferCenter::abortUpload(QPointer<AppState> app, BucketConfig bucket, MultipartSession session,
                                          std::stop_token stop) {
    if (!app) co_return;
    QCoro::Task<std::optional<std::string>> reading = app->resolvedSecret(bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!app || !secret) co_return;
    S3Credentials credentials{bucket.accessKeyID, *secret};
    auto drop = [&client = app->client(), &bucket, &session, &credentials, &stop] {
        client.abortMultipartUpload(session.key, session.uploadId, bucket, credentials, stop);
    };
    try {
        co_await app->inBackground(drop);
    } catch (...) {
        // Left on the server, where the unfinished-uploads sheet can abort it.
    }
}

void TransferCenter::stopAll() {
    if (m_runner) m_runner->request_stop();
    m_cleanupStop.request_stop();
}

void TransferCenter::notifyUpdated(std::size_t row) {
    emit taskUpdated(static_cast<int>(row));
    emit tasksChanged();
}

void TransferCenter::notifyRearranged() {
    emit tasksRearranged();
    emit tasksChanged();
}

}  // namespace tarn
