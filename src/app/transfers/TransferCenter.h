#pragma once

#include "app/transfers/TransferTask.h"
#include "app/transfers/UploadItem.h"
#include "app/transfers/UploadPlace.h"
#include "app/transfers/UploadPlan.h"
#include "core/config/ConfigModels.h"
#include "core/storage/PartRetryPolicy.h"
#include "core/storage/StorageModels.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <QCoro/QCoroTask>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tarn {

class AppState;

// The application's one queue of long operations. AppState makes it on first use and
// keeps it; the queue refers back to the state without owning it.
//
// Tasks run strictly one at a time, oldest first, each in one runner coroutine with a
// stop source of its own. Dismissing the running task removes its row at once and asks
// the runner to stop; the next task starts only once the runner's body has returned.
// Every write after a suspension finds its task again by ID (index) and writes
// nothing when the task has left the list.
//
// Change signals: tasksChanged for every change of the list (the published property;
// the views throttle it), and before it either tasksRearranged (tasks added, removed
// or reordered: positions are no longer what they were) or taskUpdated(row) (one task
// changed in place), so a list model can redraw one row instead of resetting.
class TransferCenter : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::vector<tarn::TransferTask> tasks READ tasks NOTIFY tasksChanged)

public:
    // The work of one kind of task: given the task's ID, a copy of the task as it was
    // when it started and the run's stop token, it updates the task through
    // updateTask() only, ends it succeeded or failed (finishFailed), or returns
    // without a write once the task has left the list, and returns soon after a stop
    // request. It throws nothing; what escapes anyway fails the task.
    using Runner = std::function<QCoro::Task<>(Uuid id, TransferTask task, std::stop_token stop)>;

    // What a runner works with: the task's bucket and the credentials of its account.
    struct RunAccess {
        BucketConfig bucket;
        S3Credentials credentials;
    };

    // The first failed file of an upload task and why it failed.
    struct FailedItem {
        QString name;
        QString reason;
    };

    explicit TransferCenter(AppState& app);
    ~TransferCenter() override;

    // Every task in the order it was added, which is the order the views show.
    const std::vector<TransferTask>& tasks() const { return m_tasks; }

    // ---- Scheduler (TransferCenter.cpp) ----

    // Adds a waiting task at the end of the list and of the queue; starts nothing
    // (producers call pumpIfIdle() next).
    void append(TransferTask task);
    // Starts the next waiting task when none runs; once the queue has drained after a
    // task changed the bucket on screen, asks the state to refresh its listing.
    void pumpIfIdle();
    // The task's position in tasks(), or none once it has left the list. Constant
    // time while the remembered position still holds; otherwise one search that
    // repairs it.
    std::optional<std::size_t> index(const Uuid& id) const;
    // Applies `change` to the task in place and notifies (taskUpdated, tasksChanged).
    // False, and nothing happens, when the task has left the list.
    template <class Change>
    bool updateTask(const Uuid& id, Change&& change);
    // The configured bucket the task works on; none when it has none or it is gone.
    std::optional<BucketConfig> bucket(const TransferTask& task) const;
    // The task's bucket, or none after failing the task with "no_bucket" (no bubble:
    // the user removed the bucket).
    std::optional<BucketConfig> bucketOrFail(const Uuid& id);
    // The task's bucket and its account's credentials, read off the main thread; none
    // after failing the task with "no_bucket" or the missing secret's text, and none
    // when the queue has gone meanwhile. How every runner begins.
    QCoro::Task<std::optional<RunAccess>> accessOrFail(Uuid id);
    // Ends the task as failed with `message`; deletes and downloads also raise the
    // short bubble at the status dot.
    void finishFailed(const Uuid& id, const QString& message);
    // Remembers to refresh the listing once the queue drains when the task worked on
    // the selected bucket.
    void markListingStaleIfCurrent(const Uuid& id);
    // Puts the task back to waiting at the end of the queue (once) and starts the
    // queue. Renames keep their counters; uploads keep their multipart session.
    void retry(const Uuid& id);
    // Removes the task at once, stopping it when it runs and cleaning up what it left
    // (the multipart upload of an upload, the marker of a folder move).
    void dismiss(const Uuid& id);
    // Removes every finished task, keeping the order of the rest.
    void clearFinished();
    // The task the runner works on; none while the queue is idle.
    const std::optional<Uuid>& runningID() const { return m_runningID; }
    // Asks the running task and every clean-up in flight to stop; the state calls it
    // before it waits for its background work to end.
    void stopAll();

    // ---- Drag-out downloads (TransferCenterDownload.cpp) ----

    // Downloads the object, or every file under the folder prefix, to `destination`
    // (the file or folder a drop target asked for) beside the queue: its task is added
    // already running, is never queued, and runs in the caller's coroutine. Ends once
    // everything is in place; otherwise fails the task and throws what stopped it.
    // `bytesTotal` is the object's listed size and `lastModified` its listed date (a
    // file of that size already at `destination` is kept only when not older); 0 and
    // none when unknown. Stops when `stop` is requested or the state goes.
    QCoro::Task<> runDragDownload(std::string remoteKey, std::filesystem::path destination, bool isFolder,
                                  std::string title, std::int64_t bytesTotal, BucketConfig bucket,
                                  S3Credentials credentials, std::optional<TimePoint> lastModified = std::nullopt,
                                  std::stop_token stop = {});
    // ---- Uploads (TransferCenterUpload.cpp) ----

    // A local file or folder handed for upload, and whether the caller found a folder.
    using UploadSource = std::pair<std::filesystem::path, bool>;
    // One waiting upload task per handed item that has files to send (under `skip`,
    // files whose key is in `existingKeys` do not count), queued together in the
    // handed order; then starts the queue. The items are expanded off the main
    // thread, so the tasks appear a moment later. Nothing is reported.
    void enqueueUploads(std::vector<UploadSource> items, std::string directory, UploadConflictMode mode,
                        KeySet existingKeys, std::optional<Uuid> bucketID);
    // The same for a plan already made for `directory`, `mode` and the existing keys
    // (the state's conflict check makes one), in `place`: its tasks join the queue
    // once every place taken before it has been filled or given up.
    void enqueuePlannedUploads(UploadPlace place, UploadPlan plan, const std::string& directory,
                               UploadConflictMode mode, const std::optional<Uuid>& bucketID);
    // Forgets the saved multipart session of every upload task of the bucket that
    // continues the upload `uploadId`, aborted elsewhere: a retry starts its file
    // afresh instead of sending parts to an upload the server no longer has.
    void forgetUploadSession(const std::optional<Uuid>& bucketID, const std::string& uploadId);

    // ---- The order of handed uploads (TransferCenterUploadOrder.cpp) ----

    // The next place in the queue, for uploads the user hands over now. While a place
    // is held, the round of uploads is not over.
    UploadPlace reserveUploadPlace();

    // ---- Queries for the views (TransferCenterQueries.cpp) ----
    // One pass over tasks() each. The pointers stay valid until the list changes.

    // Uploads (every state) into `directory` of the bucket, in list order.
    std::vector<const TransferTask*> uploadTasks(const std::string& directory,
                                                 const std::optional<Uuid>& bucketID) const;
    // Renames and moves (every state) whose source lies in `directory` of the bucket.
    std::vector<const TransferTask*> renameTasks(const std::string& directory,
                                                 const std::optional<Uuid>& bucketID) const;
    // Retires the succeeded upload and rename rows of `directory` in the bucket that
    // a listing started at `listedAt` already shows.
    void removeSucceededUploads(const std::string& directory, const std::optional<Uuid>& bucketID,
                                TimePoint listedAt);
    bool hasActive() const;
    // A task failed that the user has not seen yet (acknowledgeFailures).
    bool hasUnacknowledgedFailure() const;
    // The mean progress of the active tasks, each weighing the same; 0 when none.
    double aggregateFraction() const;
    // The failed tasks now are seen. Notifies through tasksChanged, which the status
    // bar's failure mark watches, though no task changed.
    void acknowledgeFailures();

    // ---- Failure texts (TransferCenterFailureText.cpp) ----

    // The user's text of any error a runner catches, in the interface language.
    static QString describe(const std::exception_ptr& error);
    // The failure text of an upload task whose files failed: the first reason alone
    // for one file, else the count and the first failure.
    static QString uploadFailureText(int failed, int itemCount, const std::optional<FailedItem>& first);

    // A running transfer's byte count reaches its task at most this often: a fast
    // transfer would otherwise wake the main thread and change the task list thousands
    // of times a second, for views that redraw ten times.
    static constexpr std::chrono::milliseconds progressInterval{100};

signals:
    void tasksChanged();
    void tasksRearranged();
    void taskUpdated(int row);

private:
    friend struct AppStateTestAccess;
    friend class UploadPlace;

    // A place is given up: its tasks (none) no longer hold up the places behind it.
    void giveUpUploadPlace(std::uint64_t number);
    // Fills a place with its tasks (none for a place given up), then moves the tasks of
    // every place at the front whose turn has come into the queue and starts it.
    void fillUploadPlace(std::uint64_t number, std::vector<TransferTask> tasks);

    // Ends the task as failed with `message`, without a bubble; its kind, or none
    // when it has left the list.
    std::optional<TransferKind> markFailed(const Uuid& id, const QString& message);
    // The runner's body: runs one task, then frees the queue and starts the next.
    QCoro::Task<> runNext(Uuid id, std::stop_token stop);
    // Hands the task to the runner of its kind, or fails it when its kind has none.
    QCoro::Task<> execute(Uuid id, std::stop_token stop);
    // Clean-up of a dismissed rename or move.
    void handleRenameCancel(const TransferTask& task);
    // Drops an unfinished multipart upload on the server, in the background.
    void abort(const MultipartSession& session, const BucketConfig& bucket);
    static QCoro::Task<> deleteDestinationMarker(QPointer<AppState> app, BucketConfig bucket, std::string key,
                                                 std::stop_token stop);
    static QCoro::Task<> abortUpload(QPointer<AppState> app, BucketConfig bucket, MultipartSession session,
                                     std::stop_token stop);
    // Signals an in-place change of the task at `row`, or a change of positions.
    void notifyUpdated(std::size_t row);
    void notifyRearranged();

    // The runners, one per kind, each in a file of its own (TransferCenterUpload.cpp,
    // TransferCenterDownload.cpp, TransferCenterDelete.cpp, TransferCenterRename.cpp).
    // Each file also defines the factory that binds its runner for the dispatch; a
    // factory that gives an empty Runner leaves its kind without one, and such tasks
    // fail with "transfer_runner_missing".
    Runner uploadRunner();
    Runner downloadRunner();
    Runner deleteRunner();
    Runner renameRunner();
    QCoro::Task<> runUpload(Uuid id, TransferTask task, std::stop_token stop);
    // The upload runner's parts (TransferCenterUpload.cpp).
    struct UploadRun;
    struct UploadProgress;
    QCoro::Task<> scanAndEnqueueUploads(UploadPlace place, std::vector<UploadSource> items, std::string directory,
                                        UploadConflictMode mode, KeySet existingKeys, std::optional<Uuid> bucketID);
    // Sends one file, in one request or in parts, and returns its size.
    QCoro::Task<std::int64_t> sendFile(UploadRun& run, const UploadItem& item, const std::string& key);
    QCoro::Task<> uploadMultipart(UploadRun& run, const UploadItem& item, const std::string& key,
                                  std::int64_t fileSize);
    // Called on worker threads: hands a progress report of the run to the main
    // thread, at most every so often.
    void postUploadProgress(const UploadRun& run, int file, double fraction, std::int64_t bytesDone);
    void appendUploadedPart(const Uuid& id, const UploadPart& part);
    // Forgets the run's multipart session, on the task too; `abortIt` drops it on the
    // server as well.
    void dropUploadSession(UploadRun& run, bool abortIt);
    void finishUpload(const Uuid& id, int failed, int fileCount, const std::optional<FailedItem>& first,
                      const std::optional<std::string>& lastKey);
    // Posts the round's notification once no other upload waits or runs.
    void notifyUploadRoundIfDone();
    // The bucket of upload `id` is counted again when the round ends.
    void recountInRound(const Uuid& id);
    QCoro::Task<> runDownload(Uuid id, TransferTask task, std::stop_token stop);
    QCoro::Task<> runDelete(Uuid id, TransferTask task, std::stop_token stop);
    QCoro::Task<> runRename(Uuid id, TransferTask task, std::stop_token stop);
    // Moves one folder level and everything below it: its destination marker first,
    // its objects, its sub-folders, its source marker last (TransferCenterRename.cpp).
    struct FolderMove;
    QCoro::Task<> moveFolder(FolderMove& move, std::string source, std::string destination);
    // Deletes one folder marker, asking again after a 409 or 403 answer, which some
    // servers give while the folder's last objects are still being removed
    // (TransferCenterDelete.cpp).
    QCoro::Task<> deleteFolderMarker(std::string key, BucketConfig bucket, S3Credentials credentials,
                                     std::stop_token stop);

    AppState& m_app;
    std::vector<TransferTask> m_tasks;
    // Last known positions in m_tasks: hints, checked against the ID on every use.
    mutable std::unordered_map<Uuid, std::size_t> m_indexCache;
    std::deque<Uuid> m_queue;  // waiting tasks, oldest first
    // The runner: its stop source exists from the start of a task until the runner's
    // body has returned, and m_runningID with it.
    std::optional<std::stop_source> m_runner;
    std::optional<Uuid> m_runningID;
    // Uploads that succeeded or failed since the queue last went idle, and the
    // buckets they went to.
    int m_roundSucceeded = 0;
    int m_roundFailed = 0;
    std::set<Uuid> m_roundBuckets;
    // Places of handed uploads still being looked at, in the order they were taken,
    // each with its tasks once they are known.
    std::map<std::uint64_t, std::optional<std::vector<TransferTask>>> m_uploadPlaces;
    std::uint64_t m_nextUploadPlace = 1;
    std::unordered_set<Uuid> m_acknowledgedFailureIDs;
    bool m_listingStale = false;
    // The dispatch, by TransferKind.
    std::array<Runner, 4> m_runners;
    // Clean-ups run untracked; this stops them when the state goes.
    std::stop_source m_cleanupStop;
    // How the upload runner retries the parts of a multipart upload.
    PartRetryPolicy m_partRetryPolicy;
    // The upload runner's requests, one after the other on one thread of their own,
    // so that each reuses the connection the one before left open. Declared last: it
    // waits for its work before anything that work reaches goes.
    QThreadPool m_uploadThread;
};

template <class Change>
bool TransferCenter::updateTask(const Uuid& id, Change&& change) {
    const std::optional<std::size_t> row = index(id);
    if (!row) return false;
    std::forward<Change>(change)(m_tasks[*row]);
    notifyUpdated(*row);
    return true;
}

}  // namespace tarn
