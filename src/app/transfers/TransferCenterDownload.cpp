#include "app/transfers/TransferCenter.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/SpeedMeter.h"
#include "core/preview/ObjectPreview.h"
#include "core/storage/CancelledError.h"
#include "core/storage/DownloadTarget.h"
#include "core/storage/RefusedInputError.h"
#include "core/values/SaturatingSum.h"

#include <sys/stat.h>

#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <functional>
#include <memory>
#include <numeric>
#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// Object keys come from the server and may name anything; the local places made from
// them are checked here and by DownloadTarget, so nothing lands outside the folder the
// download writes into and no link already inside it is followed out of it.

// How a download's `destination` was given.
enum class Placement {
    chosenFolder,  // a queued download: a name made from the key inside a folder the user chose
    dropTarget,    // a drag out: the file or folder the drop target asked for, taken as it is
};

// Runs `step` with every refusal of a local place naming `key`, the one name the user
// can find in the bucket (the refused piece alone may not be recognisable).
template <class Step>
void namingKey(const std::string& key, Step&& step) {
    try {
        std::forward<Step>(step)();
    } catch (const RefusedInputError& refusal) {
        if (refusal.subject() == key) throw;
        throw RefusedInputError(refusal.reason(), key, refusal.what());
    }
}

[[noreturn]] void refuseKey(const std::string& key, const std::string& reason) {
    throw RefusedInputError(RefusedInputError::Reason::downloadName, key,
                            "\"" + key + "\" cannot be saved in the folder: " + reason + ".");
}

// The path below the download folder that a listed key stands for: the key without
// the folder's prefix (its last piece when it lies outside the prefix), split on "/",
// with empty and "." pieces dropped. "" when nothing is left. A ".." piece or a zero
// byte could only lead elsewhere and is refused, naming the key.
std::string relativePath(const std::string& key, const std::string& prefix) {
    const std::string lastPiece = key.starts_with(prefix) ? std::string() : ObjectPreview::fileName(key);
    std::string_view rest = key.starts_with(prefix) ? std::string_view(key).substr(prefix.size()) : lastPiece;
    std::string path;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") refuseKey(key, "it would lead out of the folder");
        if (piece.find('\0') != std::string_view::npos) refuseKey(key, "it contains a zero byte");
        if (!path.empty()) path += '/';
        path += piece;
    }
    return path;
}

// The place of a single object: a name inside the chosen folder, or the drop target.
DownloadTarget objectTarget(const DownloadSpec& spec, Placement placement) {
    if (placement == Placement::dropTarget) return DownloadTarget::file(spec.destination);
    return DownloadTarget::inFolder(spec.destination.parent_path(), spec.destination.filename().native());
}

// Makes the folder that receives a folder download. A queued download's folder is
// made inside the chosen folder without following a link of that name, as DownloadTarget
// does for the pieces below it; a drop target is the desktop's choice and taken as it is.
void makeDestinationFolder(const DownloadSpec& spec, Placement placement) {
    if (placement == Placement::dropTarget) {
        fs::create_directories(spec.destination);
        return;
    }
    fs::create_directories(spec.destination.parent_path());
    if (::mkdir(spec.destination.c_str(), 0777) == 0) return;
    const int error = errno;
    struct stat status {};
    if (error != EEXIST || ::lstat(spec.destination.c_str(), &status) != 0) {
        throw fs::filesystem_error("Could not create the folder", spec.destination,
                                   std::error_code(error, std::generic_category()));
    }
    if (S_ISLNK(status.st_mode)) {
        throw RefusedInputError(RefusedInputError::Reason::downloadLink, spec.remoteKey,
                                "\"" + spec.destination.string() + "\" is a symbolic link, which is not followed.");
    }
    if (!S_ISDIR(status.st_mode)) {
        throw RefusedInputError(RefusedInputError::Reason::downloadNotFolder, spec.remoteKey,
                                "\"" + spec.destination.string() + "\" is a file, not a folder.");
    }
}

TimePoint modificationTime(const struct stat& status) {
    return TimePoint(std::chrono::duration_cast<TimePoint::duration>(std::chrono::seconds(status.st_mtim.tv_sec) +
                                                                     std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
}

// Brings one object to its local place, blocking; `onBytes` sees the bytes of the
// object written so far. A local file is taken for the object without a request only
// when it has the listed size (above 0) and is not older than the listed date: one of
// the same size but older may be another file, and a partial file left by a failed
// attempt never had the size. An existing file is replaced only once the object is
// complete on disk (the client stages it beside the target).
void downloadOne(S3Client& client, const std::string& key, std::int64_t size,
                 const std::optional<TimePoint>& lastModified, const DownloadTarget& target, const BucketConfig& bucket,
                 const S3Credentials& credentials, const std::function<void(std::int64_t)>& onBytes,
                 std::stop_token stop) {
    namingKey(key, [&] { target.checkExistingPieces(); });
    const fs::path path = target.path();
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            throw RefusedInputError(RefusedInputError::Reason::downloadFolderInTheWay, path.string(),
                                    "\"" + path.string() + "\" cannot be saved: a folder stands where the file should go.");
        }
        if (S_ISREG(status.st_mode) && size > 0 && status.st_size == size && lastModified &&
            modificationTime(status) >= *lastModified) {
            onBytes(size);
            return;
        }
    }
    // No more than listed: a body that goes on would fill the disk.
    const ObjectItem listed{key, size};
    namingKey(key, [&] {
        client.downloadToFile(
            listed, target, bucket, credentials, [&](std::int64_t written, std::int64_t) { onBytes(written); }, stop);
    });
}

// Carries the byte count of one file from the worker to the main thread. The worker
// keeps only the newest count and posts one delivery while none is waiting; after a
// delivery the next waits for TransferCenter::progressInterval, so a fast download
// wakes the main thread a few times a second rather than for every piece received.
// Each delivery applies the newest absolute count, so a late one never adds up, and
// finish() applies the last one when the file ends.
class ByteRelay : public std::enable_shared_from_this<ByteRelay> {
public:
    using Apply = std::function<void(std::int64_t written)>;

    // Deliveries after `context` is gone are dropped.
    static std::shared_ptr<ByteRelay> make(QObject* context, Apply apply) {
        return std::shared_ptr<ByteRelay>(new ByteRelay(context, std::move(apply)));
    }

    // From any thread.
    void report(std::int64_t written) {
        m_latest.store(written);
        if (m_posted.exchange(true)) return;
        QMetaObject::invokeMethod(m_context, [relay = shared_from_this()] { relay->deliver(); }, Qt::QueuedConnection);
    }

    // On the context's thread, when the file has ended (or failed): its newest count
    // now, and nothing after it.
    void finish() {
        m_finished = true;
        if (m_context) applyLatest();
    }

private:
    ByteRelay(QObject* context, Apply apply) : m_context(context), m_apply(std::move(apply)) {}

    void deliver() {
        if (m_finished) return;
        applyLatest();
        QTimer::singleShot(TransferCenter::progressInterval, m_context, [relay = shared_from_this()] {
            relay->m_posted.store(false);
            // Counts that came meanwhile found a delivery pending and posted none.
            if (!relay->m_finished && relay->m_latest.load() != relay->m_applied) {
                relay->report(relay->m_latest.load());
            }
        });
    }

    void applyLatest() {
        const std::int64_t latest = m_latest.load();
        if (latest == m_applied) return;
        m_applied = latest;
        m_apply(latest);
    }

    QPointer<QObject> m_context;
    Apply m_apply;
    std::atomic<std::int64_t> m_latest{0};
    std::atomic<bool> m_posted{false};
    // The context's thread alone.
    std::int64_t m_applied = -1;
    bool m_finished = false;
};

// Ends a file's relay however the file's step ends.
class RelayEnd {
public:
    explicit RelayEnd(std::shared_ptr<ByteRelay> relay) : m_relay(std::move(relay)) {}
    ~RelayEnd() { m_relay->finish(); }
    RelayEnd(const RelayEnd&) = delete;
    RelayEnd& operator=(const RelayEnd&) = delete;

private:
    std::shared_ptr<ByteRelay> m_relay;
};

// The progress of one file that begins `base` bytes into the task and is `size` bytes
// long (a single object: base 0, its listed size). The speed meter is fed the running
// total of the whole task, so the speed stays continuous across files.
std::shared_ptr<ByteRelay> progressOf(TransferCenter& center, const Uuid& id, std::shared_ptr<SpeedMeter> meter,
                                      std::int64_t base, std::int64_t size) {
    return ByteRelay::make(&center, [&center, id, meter = std::move(meter), base, size](std::int64_t written) {
        center.updateTask(id, [&](TransferTask& task) {
            task.bytesDone = saturatingSum(base, written);
            task.currentUnitFraction = size >= 1 ? static_cast<double>(written) / static_cast<double>(size) : 0;
            if (const std::optional<double> rate = meter->sample(saturatingSum(base, written))) task.speed = *rate;
        });
    });
}

// The content of a download task: the object, or the folder's files one after the
// other into a tree that mirrors their keys below the prefix. Throws what stopped it;
// CancelledError once `stop` is requested between files.
QCoro::Task<> downloadContent(TransferCenter& center, AppState& app, Uuid id, DownloadSpec spec,
                              std::int64_t objectSize, Placement placement, BucketConfig bucket,
                              S3Credentials credentials, std::stop_token stop) {
    const QPointer<TransferCenter> self(&center);
    S3Client& client = app.client();
    const auto meter = std::make_shared<SpeedMeter>();

    if (!spec.isFolder) {
        center.updateTask(id, [](TransferTask& task) { task.unitsTotal = 1; });
        const std::shared_ptr<ByteRelay> relay = progressOf(center, id, meter, 0, objectSize);
        const RelayEnd end(relay);
        auto fetch = [&client, &spec, &bucket, &credentials, objectSize, placement, relay, stop] {
            std::optional<DownloadTarget> target;
            namingKey(spec.remoteKey, [&] { target.emplace(objectTarget(spec, placement)); });
            downloadOne(client, spec.remoteKey, objectSize, spec.lastModified, *target, bucket, credentials,
                        [&relay](std::int64_t written) { relay->report(written); }, stop);
        };
        co_await app.inBackground(fetch);
        if (!self) co_return;
        relay->finish();
        center.updateTask(id, [](TransferTask& task) { task.unitsDone = 1; });
        co_return;
    }

    // A folder named "." or ".." (a prefix such as "a/../") would put its files beside
    // or above the chosen folder.
    const fs::path folderName = spec.destination.filename();
    if (folderName == "." || folderName == "..") refuseKey(spec.remoteKey, "its name leads out of the folder");
    auto list = [&client, &spec, &bucket, &credentials, placement, stop] {
        std::vector<ObjectItem> files = client.listObjects(bucket, credentials, spec.remoteKey, stop);
        std::erase_if(files, [](const ObjectItem& item) { return item.key.ends_with('/'); });
        makeDestinationFolder(spec, placement);
        return files;
    };
    const std::vector<ObjectItem> files = co_await app.inBackground(list);
    if (!self) co_return;
    const std::int64_t total =
        std::accumulate(files.begin(), files.end(), std::int64_t{0},
                        [](std::int64_t sum, const ObjectItem& item) { return saturatingSum(sum, item.size); });
    center.updateTask(id, [&](TransferTask& task) {
        task.unitsTotal = std::max<int>(1, static_cast<int>(files.size()));
        task.bytesTotal = total;
    });

    // Files are placed below the chosen folder (through the download's own folder, so
    // that no link of its name is followed either), or below the drop target.
    const fs::path root = placement == Placement::dropTarget ? spec.destination : spec.destination.parent_path();
    const std::string lead = placement == Placement::dropTarget ? std::string() : folderName.native() + '/';
    std::int64_t base = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (stop.stop_requested()) throw CancelledError();
        const ObjectItem& file = files[i];
        const std::string below = relativePath(file.key, spec.remoteKey);
        // Nothing of the key is left below the folder: there is no file to write.
        if (below.empty()) continue;
        const std::string relative = lead + below;
        const std::shared_ptr<ByteRelay> relay = progressOf(center, id, meter, base, file.size);
        const RelayEnd end(relay);
        auto fetch = [&client, &root, &file, &relative, &bucket, &credentials, relay, stop] {
            std::optional<DownloadTarget> target;
            namingKey(file.key, [&] { target.emplace(DownloadTarget::inFolder(root, relative)); });
            downloadOne(client, file.key, file.size, file.lastModified, *target, bucket, credentials,
                        [&relay](std::int64_t written) { relay->report(written); }, stop);
        };
        co_await app.inBackground(fetch);
        if (!self) co_return;
        relay->finish();
        const int done = static_cast<int>(i + 1);
        center.updateTask(id, [&](TransferTask& task) {
            task.unitsDone = done;
            task.bytesDone = saturatingSum(base, file.size);
            task.currentUnitFraction = 0;
        });
        base = saturatingSum(base, file.size);
    }
}

// Marks the task succeeded and records its history entry, also when the task has
// left the list meanwhile (then without bytes and duration).
void finishSucceeded(TransferCenter& center, AppState& app, const Uuid& id, const std::string& remoteKey,
                     const std::string& bucketName) {
    std::optional<std::int64_t> bytes;
    std::optional<double> duration;
    center.updateTask(id, [&](TransferTask& task) {
        task.state = TransferState::succeeded;
        task.finishedAt = std::chrono::system_clock::now();
        task.speed = 0;
        bytes = task.bytesDone;
        if (task.startedAt) {
            const double seconds = std::chrono::duration<double>(*task.finishedAt - *task.startedAt).count();
            if (seconds > 0.01) duration = seconds;
        }
    });
    app.recordHistory(L10n::t(QStringLiteral("download")), QString::fromStdString(remoteKey), bucketName, true, bytes,
                      duration);
}

}  // namespace

TransferCenter::Runner TransferCenter::downloadRunner() {
    return [this](Uuid id, TransferTask task, std::stop_token stop) {
        return runDownload(id, std::move(task), std::move(stop));
    };
}

QCoro::Task<> TransferCenter::runDownload(Uuid id, TransferTask task, std::stop_token stop) {
    const DownloadSpec* spec = task.spec.download();
    if (spec == nullptr) co_return;
    const QPointer<TransferCenter> self(this);
    QCoro::Task<std::optional<RunAccess>> starting = accessOrFail(id);
    const std::optional<RunAccess> access = co_await starting;
    if (!self || !access) co_return;

    try {
        QCoro::Task<> work = downloadContent(*this, m_app, id, *spec, task.bytesTotal, Placement::chosenFolder,
                                             access->bucket, access->credentials, stop);
        co_await work;
    } catch (...) {
        // Dismissed, or the program is closing: there is nobody to tell.
        if (!self || stop.stop_requested()) co_return;
        finishFailed(id, m_app.reportFailure("download", std::current_exception()));
        co_return;
    }
    if (!self) co_return;
    finishSucceeded(*this, m_app, id, spec->remoteKey, access->bucket.bucketName);
    m_app.notify(L10n::t(QStringLiteral("download")), L10n::t(QStringLiteral("download_done")));
}

QCoro::Task<> TransferCenter::runDragDownload(std::string remoteKey, fs::path destination, bool isFolder,
                                              std::string title, std::int64_t bytesTotal, BucketConfig bucket,
                                              S3Credentials credentials, std::optional<TimePoint> lastModified,
                                              std::stop_token stop) {
    TransferTask task;
    task.id = Uuid::random();
    task.title = std::move(title);
    task.subtitle = QString::fromStdString(destination.parent_path().filename().string());
    task.isFolder = isFolder;
    task.spec.value = DownloadSpec{remoteKey, destination, isFolder, lastModified};
    task.state = TransferState::running;
    task.bytesTotal = bytesTotal;
    task.startedAt = task.createdAt;
    const Uuid id = task.id;
    // Beside the queue: listed like any task, but never waiting for its turn.
    m_tasks.push_back(std::move(task));
    notifyRearranged();

    // Dismissing the row does not stop it (the drop target still waits for the
    // files); the caller's token and the state's end do.
    std::stop_source halt;
    const std::stop_callback byCaller(stop, [&halt] { halt.request_stop(); });
    const std::stop_callback byShutdown(m_cleanupStop.get_token(), [&halt] { halt.request_stop(); });

    const QPointer<TransferCenter> self(this);
    std::exception_ptr failure;
    try {
        const DownloadSpec spec{remoteKey, destination, isFolder, lastModified};
        QCoro::Task<> work = downloadContent(*this, m_app, id, spec, bytesTotal, Placement::dropTarget, bucket,
                                             credentials, halt.get_token());
        co_await work;
    } catch (...) {
        failure = std::current_exception();
    }
    if (self) {
        if (failure) {
            finishFailed(id, m_app.reportFailure("dragDownload", failure));
        } else {
            finishSucceeded(*this, m_app, id, remoteKey, bucket.bucketName);
        }
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tarn
