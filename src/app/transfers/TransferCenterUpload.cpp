#include "app/transfers/TransferCenter.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/SpeedMeter.h"
#include "app/transfers/UploadKeyClashes.h"
#include "app/transfers/UploadScanner.h"
#include "core/preview/MIMETypeDetector.h"
#include "core/storage/CancelledError.h"
#include "core/storage/MultipartPlan.h"
#include "core/storage/MultipartUploader.h"
#include "core/storage/S3Error.h"
#include "core/storage/UniqueKeyResolver.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

namespace tarn {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A file that the multipart path cannot open; it fails with "Unable to read file".
struct UnreadableFile {};

// What a run finds when it looks at its source again.
struct ScannedSource {
    std::vector<UploadItem> files;
    bool sourceReadable = false;
    // The handed file or folder is no longer there at all.
    bool sourceMissing = false;
    // The handed folder, when the source was one: its files are read only from it.
    fs::path folder;
    // The one file's stamp, when there is exactly one: whether a saved multipart
    // session still belongs to it.
    std::optional<MultipartSession::FileStamp> stamp;
};

bool isReadable(const fs::path& path) { return ::access(path.c_str(), R_OK) == 0; }

ScannedSource scanSource(const fs::path& source, const std::string& directory) {
    ScannedSource scanned;
    scanned.files = UploadScanner::items(source, directory);
    scanned.sourceReadable = isReadable(source);
    struct stat status {};
    scanned.sourceMissing = ::lstat(source.c_str(), &status) != 0 && errno == ENOENT;
    const fs::path handed = UploadScanner::handedPath(source);
    if (::lstat(handed.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) scanned.folder = handed;
    if (scanned.files.size() == 1) scanned.stamp = MultipartSession::FileStamp::of(scanned.files.front().fileURL);
    return scanned;
}

// 0 when the size cannot be read: the file then goes in one request, which fails
// with the reason.
std::int64_t fileSize(const fs::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    return status.st_size;
}

// The largest file that goes in one request: the configured part size, which is at
// least 10 MiB.
std::int64_t singleRequestLimit(std::int64_t configuredMiB) {
    const std::int64_t mib = std::clamp(configuredMiB, MultipartPlan::kMinConfiguredPartSizeMiB,
                                        MultipartPlan::kMaxPartSize / MultipartPlan::kMiB);
    return mib * MultipartPlan::kMiB;
}

// A local path as the user's file manager shows it.
QString shownPath(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

// The local file's name, as the history and the failure text show it.
QString localName(const fs::path& file) { return shownPath(file.filename()); }

// A file of the handed item as the user finds it: from the handed file or folder on.
QString handedName(const fs::path& file, const fs::path& source) {
    return shownPath(file.lexically_relative(source.parent_path()));
}

QString fileFailureText(const AppState& app, const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const UnreadableFile&) {
        return L10n::t(QStringLiteral("file_unreadable"));
    } catch (...) {
        return app.reportFailure("upload", error);
    }
}

}  // namespace

// The progress of one run as it reaches the task. Worker threads only pass the gate;
// everything else is the main thread's. Shared with the reports still on their way,
// which may arrive after the run has ended.
struct TransferCenter::UploadProgress {
    SpeedMeter meter;
    // The file in flight: reports of an earlier file, late after its end, are dropped
    // rather than move its row backwards.
    int file = -1;
    std::atomic<Clock::rep> lastReport{0};

    // True for at most one report per interval, from any thread.
    bool admit() {
        const Clock::rep now = Clock::now().time_since_epoch().count();
        Clock::rep last = lastReport.load(std::memory_order_relaxed);
        const Clock::rep interval = std::chrono::duration_cast<Clock::duration>(TransferCenter::progressInterval).count();
        if (last != 0 && now - last < interval) return false;
        return lastReport.compare_exchange_strong(last, now, std::memory_order_relaxed);
    }
};

// What one upload run holds while it works.
struct TransferCenter::UploadRun {
    Uuid id;
    BucketConfig bucket;
    S3Credentials credentials;
    std::stop_token stop;
    // A run of one file may continue a saved session; a file of a folder starts its own.
    bool oneFile = false;
    // The folder the user handed, for a folder's run: nothing of its files is read
    // from outside it, whatever was swapped for a link since the scan.
    fs::path folder;
    std::optional<MultipartSession> session;
    std::int64_t bytesBefore = 0;  // sizes of the files of this run sent so far
    std::shared_ptr<UploadProgress> progress = std::make_shared<UploadProgress>();
};

TransferCenter::Runner TransferCenter::uploadRunner() {
    return [this](Uuid id, TransferTask task, std::stop_token stop) {
        return runUpload(id, std::move(task), std::move(stop));
    };
}

void TransferCenter::enqueueUploads(std::vector<UploadSource> items, std::string directory, UploadConflictMode mode,
                                    KeySet existingKeys, std::optional<Uuid> bucketID) {
    startDetached(scanAndEnqueueUploads(reserveUploadPlace(), std::move(items), std::move(directory), mode,
                                        std::move(existingKeys), std::move(bucketID)));
}

QCoro::Task<> TransferCenter::scanAndEnqueueUploads(UploadPlace place, std::vector<UploadSource> items,
                                                    std::string directory, UploadConflictMode mode,
                                                    KeySet existingKeys, std::optional<Uuid> bucketID) {
    QPointer<TransferCenter> self(this);
    std::vector<fs::path> urls;
    urls.reserve(items.size());
    for (const UploadSource& item : items) urls.push_back(item.first);
    auto planning = [&urls, &directory, mode, &existingKeys] {
        return UploadPlan::make(urls, directory, mode, existingKeys);
    };
    UploadPlan plan = co_await m_app.inBackground(planning);
    if (!self) co_return;
    // The caller's finding names the task a folder or not.
    for (UploadPlan::Entry& entry : plan.entries) entry.isFolder = items[entry.index].second;
    enqueuePlannedUploads(std::move(place), std::move(plan), directory, mode, bucketID);
}

void TransferCenter::enqueuePlannedUploads(UploadPlace place, UploadPlan plan, const std::string& directory,
                                           UploadConflictMode mode, const std::optional<Uuid>& bucketID) {
    // A place of another queue, or none: the tasks come last.
    if (place.m_queue != this || place.m_number == 0) place = reserveUploadPlace();
    const std::uint64_t number = std::exchange(place.m_number, 0);
    std::vector<TransferTask> tasks;
    tasks.reserve(plan.entries.size());
    const QString subtitle = directory.empty() ? L10n::t(QStringLiteral("root")) : QString::fromStdString(directory);
    for (UploadPlan::Entry& entry : plan.entries) {
        TransferTask task;
        task.id = Uuid::random();
        // The name as keys spell it, so that keys built from the title match the
        // keys of the files.
        task.title = UploadScanner::keyName(entry.url.filename().native());
        task.subtitle = subtitle;
        task.isFolder = entry.isFolder;
        task.spec = {UploadSpec{std::move(entry.url), directory, mode}};
        task.unitsTotal = entry.fileCount;
        task.bytesTotal = entry.bytes;
        task.knownExistingKeys = std::move(entry.existingKeys);
        task.bucketID = bucketID;
        tasks.push_back(std::move(task));
    }
    fillUploadPlace(number, std::move(tasks));
}

QCoro::Task<> TransferCenter::runUpload(Uuid id, TransferTask task, std::stop_token stop) {
    const UploadSpec* spec = task.spec.upload();
    if (spec == nullptr) co_return;
    QPointer<TransferCenter> self(this);
    std::optional<BucketConfig> bucket = bucketOrFail(id);
    if (!bucket) co_return;

    QCoro::Task<std::optional<std::string>> reading = m_app.resolvedSecret(*bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!self || stop.stop_requested()) co_return;
    if (!secret) {
        finishFailed(id, describe(std::make_exception_ptr(S3Error::missingSecret())));
        co_return;
    }

    UploadRun run;
    run.id = id;
    run.bucket = std::move(*bucket);
    run.credentials = S3Credentials{run.bucket.accessKeyID, *secret};
    run.stop = stop;

    // Looked at anew: files may have come or gone since the task was queued.
    const fs::path source = spec->sourceURL;
    const std::string directory = spec->directory;
    const UploadConflictMode mode = spec->conflictMode;
    auto scanning = [&source, &directory] { return scanSource(source, directory); };
    ScannedSource scanned = co_await inBackground(m_uploadThread, scanning);
    if (!self || stop.stop_requested()) co_return;

    // The keys a file must not take under `rename` (or that `skip` leaves alone): those
    // known when it was queued, and what the bucket on screen shows now.
    TakenKeys avoided;
    if (task.bucketID == m_app.selectedBucketID()) avoided = m_app.existingKeysForUploadConflict(directory);
    avoided.insert(std::move(task.knownExistingKeys));
    std::vector<UploadItem> files = std::move(scanned.files);
    run.folder = std::move(scanned.folder);
    if (mode == UploadConflictMode::skip) {
        std::erase_if(files, [&avoided](const UploadItem& item) { return avoided.contains(item.key); });
    }
    run.oneFile = files.size() == 1;
    const std::vector<std::optional<std::size_t>> clashes = UploadKeyClashes::earlierWithSameKey(files);

    if (task.multipart) {
        if (!scanned.sourceReadable) {
            finishFailed(id, L10n::t(QStringLiteral("file_unreadable")));
            co_return;
        }
        // Only the same file, unchanged, continues where it stopped, and never onto a
        // key that has been taken meanwhile.
        run.session = std::move(task.multipart);
        const bool resumable = run.oneFile && scanned.stamp &&
                               run.session->canResume(files.front().key, *scanned.stamp, {}) &&
                               !(mode == UploadConflictMode::rename && avoided.contains(run.session->key));
        if (!resumable) dropUploadSession(run, true);
    }
    if (run.session) {
        // The upload a kept session continues may have been aborted meanwhile (in the
        // unfinished-uploads sheet, by another program): its parts would be refused
        // on every retry, so the file starts afresh. A question that fails says
        // nothing; the parts go as they would have.
        auto asking = [&client = m_app.client(), &run] {
            return client.multipartUploadExists(run.session->key, run.session->uploadId, run.bucket, run.credentials,
                                                run.stop);
        };
        bool exists = true;
        try {
            exists = co_await inBackground(m_uploadThread, asking);
        } catch (...) {
        }
        if (!self || stop.stop_requested()) co_return;
        if (!exists) dropUploadSession(run, false);
    }

    int failed = 0;
    std::optional<FailedItem> firstFailure;
    std::optional<std::string> lastKey;
    for (std::size_t position = 0; position < files.size(); ++position) {
        if (stop.stop_requested()) co_return;
        const UploadItem& item = files[position];
        const std::optional<std::size_t> clash = clashes[position];
        // A clashing file's key belongs to the earlier file; no other name is made up
        // for it.
        std::string key = item.key;
        if (!clash && run.session) {
            key = run.session->key;
        } else if (!clash && mode == UploadConflictMode::rename) {
            key = UniqueKeyResolver::availableKey(item.key, [&avoided](const std::string& candidate) {
                return avoided.contains(candidate);
            });
        }
        // Later files of the run never take it, whether this one arrives or not.
        avoided.insert(key);
        run.progress->file = static_cast<int>(position);
        const Clock::time_point started = Clock::now();

        std::int64_t size = 0;
        std::optional<QString> failure;
        if (clash) {
            failure = L10n::t(QStringLiteral("upload_key_clash"), handedName(item.fileURL, source),
                              handedName(files[*clash].fileURL, source), QString::fromStdString(key));
        } else if (item.isUnreadableFolder) {
            // Its files cannot even be found; it fails under its own name.
            failure = L10n::t(QStringLiteral("folder_unreadable"));
        } else if (task.isFolder && scanned.sourceMissing) {
            // The one item of a folder that has gone is the folder itself, not a file.
            failure = L10n::t(QStringLiteral("local_folder_not_found"), shownPath(source));
        } else {
            try {
                QCoro::Task<std::int64_t> sending = sendFile(run, item, key);
                size = co_await sending;
            } catch (...) {
                if (self && !stop.stop_requested()) failure = fileFailureText(m_app, std::current_exception());
            }
        }
        if (!self || stop.stop_requested()) co_return;

        const int done = static_cast<int>(position) + 1;
        if (failure) {
            ++failed;
            if (!firstFailure) firstFailure = FailedItem{localName(item.fileURL), *failure};
            // A file of a folder has its own session; the next file must not find it.
            if (!run.oneFile && run.session) dropUploadSession(run, true);
            m_app.recordHistory(L10n::t(QStringLiteral("upload")), localName(item.fileURL), run.bucket.bucketName,
                                false);
            updateTask(id, [&](TransferTask& updated) {
                updated.unitsDone = done;
                updated.currentUnitFraction = 0;
                updated.failedUnits = failed;
                updated.bytesDone = run.bytesBefore;
            });
            continue;
        }

        if (!run.oneFile && run.session) dropUploadSession(run, false);
        const std::chrono::duration<double> took = Clock::now() - started;
        m_app.recordHistory(L10n::t(QStringLiteral("upload")), QString::fromStdString(key), run.bucket.bucketName, true,
                            size, took.count());
        run.bytesBefore += size;
        updateTask(id, [&](TransferTask& updated) {
            updated.unitsDone = done;
            updated.currentUnitFraction = 0;
            updated.failedUnits = failed;
            updated.bytesDone = run.bytesBefore;
        });
        lastKey = std::move(key);
    }
    run.progress->file = -1;
    finishUpload(id, failed, static_cast<int>(files.size()), firstFailure, lastKey);
}

QCoro::Task<std::int64_t> TransferCenter::sendFile(UploadRun& run, const UploadItem& item, const std::string& key) {
    QPointer<TransferCenter> self(this);
    const std::int64_t limit = singleRequestLimit(m_app.config().multipartPartSizeMB);
    const bool hasSession = run.session.has_value();
    const int file = run.progress->file;
    const std::int64_t before = run.bytesBefore;
    struct Sent {
        std::int64_t size = 0;
        bool whole = false;  // false: it goes in parts
    };
    // A small file is measured and sent in one trip to the worker thread.
    auto single = [this, &client = m_app.client(), &run, &item, &key, limit, hasSession, file, before] {
        Sent sent;
        sent.size = fileSize(item.fileURL);
        if (hasSession || sent.size > limit) return sent;
        const std::int64_t size = sent.size;
        const S3Client::FractionProgress onProgress = [this, &run, file, size, before](double fraction) {
            const auto bytes = static_cast<std::int64_t>(fraction * static_cast<double>(size));
            postUploadProgress(run, file, fraction, before + bytes);
        };
        client.upload(LocalFile(item.fileURL, run.folder), run.bucket, run.credentials, key, onProgress, run.stop);
        sent.whole = true;
        return sent;
    };
    const Sent sent = co_await inBackground(m_uploadThread, single);
    if (!self) throw CancelledError();
    if (!sent.whole) {
        QCoro::Task<> parts = uploadMultipart(run, item, key, sent.size);
        co_await parts;
    }
    co_return sent.size;
}

QCoro::Task<> TransferCenter::uploadMultipart(UploadRun& run, const UploadItem& item, const std::string& key,
                                              std::int64_t size) {
    QPointer<TransferCenter> self(this);
    if (!run.session) {
        const std::int64_t configuredMiB = m_app.config().multipartPartSizeMB;
        auto create = [&client = m_app.client(), &run, &item, &key, configuredMiB] {
            if (!isReadable(item.fileURL)) throw UnreadableFile{};
            MultipartSession session;
            session.file = MultipartSession::FileStamp::of(item.fileURL);
            session.partSize = MultipartPlan::forSettings(session.file.size, configuredMiB).partSize;
            session.key = key;
            session.itemKey = item.key;
            // The type of the file's extension, as a single request carries it.
            session.uploadId = client.createMultipartUpload(key, run.bucket, run.credentials,
                                                            MIMETypeDetector::contentType(item.fileURL), run.stop);
            return session;
        };
        MultipartSession created = co_await inBackground(m_uploadThread, create);
        if (!self) throw CancelledError();
        // Kept on the task before any part goes, so that a dismissal aborts it; a task
        // dismissed while it was being created is no longer there to keep it.
        const bool kept = !run.stop.stop_requested() && updateTask(run.id, [&created](TransferTask& task) {
            task.multipart = created;
            task.uploadedParts.clear();
        });
        if (!kept) {
            abort(created, run.bucket);
            throw CancelledError();
        }
        run.session = std::move(created);
    }

    std::vector<UploadPart> existing;
    if (const std::optional<std::size_t> row = index(run.id)) existing = m_tasks[*row].uploadedParts;
    const MultipartSession session = *run.session;
    const PartRetryPolicy policy = m_partRetryPolicy;
    const int file = run.progress->file;
    const std::int64_t before = run.bytesBefore;
    auto send = [this, &client = m_app.client(), &run, &item, &session, &existing, &policy, file, size, before] {
        const MultipartUploader uploader(client, run.bucket, run.credentials, session.key, session.uploadId,
                                         LocalFile(item.fileURL, run.folder), session.file.size, session.partSize,
                                         MultipartPlan::kMaxConcurrency, policy);
        const MultipartUploader::ProgressHandler onProgress = [this, &run, file, size, before](std::int64_t bytes) {
            const double fraction =
                std::min(static_cast<double>(bytes) / static_cast<double>(std::max<std::int64_t>(size, 1)), 1.0);
            postUploadProgress(run, file, fraction, before + bytes);
        };
        // Each stored part reaches the task before the run's result does (both are
        // posted to the main thread, in this order), so a failure keeps them all.
        const MultipartUploader::PartHandler onPart = [this, id = run.id](const UploadPart& part) {
            QMetaObject::invokeMethod(this, [this, id, part] { appendUploadedPart(id, part); }, Qt::QueuedConnection);
        };
        std::vector<UploadPart> parts = uploader.upload(existing, onProgress, onPart, run.stop);
        client.completeMultipartUpload(session.key, session.uploadId, std::move(parts), run.bucket, run.credentials,
                                       run.stop);
    };
    co_await inBackground(m_uploadThread, send);
    if (!self) throw CancelledError();
}

void TransferCenter::postUploadProgress(const UploadRun& run, int file, double fraction, std::int64_t bytesDone) {
    if (!run.progress->admit()) return;
    QMetaObject::invokeMethod(
        this,
        [this, id = run.id, progress = run.progress, file, fraction, bytesDone] {
            if (progress->file != file) return;
            updateTask(id, [&](TransferTask& task) {
                task.currentUnitFraction = fraction;
                task.bytesDone = bytesDone;
                if (const std::optional<double> speed = progress->meter.sample(bytesDone)) task.speed = *speed;
            });
        },
        Qt::QueuedConnection);
}

void TransferCenter::appendUploadedPart(const Uuid& id, const UploadPart& part) {
    updateTask(id, [&part](TransferTask& task) { task.uploadedParts.push_back(part); });
}

void TransferCenter::dropUploadSession(UploadRun& run, bool abortIt) {
    if (abortIt && run.session) abort(*run.session, run.bucket);
    run.session.reset();
    updateTask(run.id, [](TransferTask& task) {
        task.multipart.reset();
        task.uploadedParts.clear();
    });
}

void TransferCenter::forgetUploadSession(const std::optional<Uuid>& bucketID, const std::string& uploadId) {
    for (std::size_t row = 0; row < m_tasks.size(); ++row) {
        TransferTask& task = m_tasks[row];
        if (task.bucketID != bucketID || !task.multipart || task.multipart->uploadId != uploadId) continue;
        task.multipart.reset();
        task.uploadedParts.clear();
        notifyUpdated(row);
    }
}

void TransferCenter::finishUpload(const Uuid& id, int failed, int fileCount, const std::optional<FailedItem>& first,
                                  const std::optional<std::string>& lastKey) {
    const TimePoint now = std::chrono::system_clock::now();
    updateTask(id, [&](TransferTask& task) {
        task.finishedAt = now;
        task.speed = 0;
        if (failed > 0) {
            // The counters keep what the last file left.
            task.state = TransferState::failed;
            task.errorText = uploadFailureText(failed, fileCount, first);
            return;
        }
        task.state = TransferState::succeeded;
        task.unitsDone = task.unitsTotal;
        task.bytesDone = task.bytesTotal;
        if (task.unitsTotal == 1 && lastKey) {
            task.succeededObjectKey = lastKey;
            task.completedAt = now;
        }
    });
    // Files of a task that failed in part may have arrived, but the listing is not
    // reloaded for them.
    if (failed == 0) {
        ++m_roundSucceeded;
        markListingStaleIfCurrent(id);
    } else {
        ++m_roundFailed;
    }
    // Files of a task that failed in part may have arrived too.
    recountInRound(id);
    // The round's end is looked at once the run has returned (runNext), however it
    // ended.
}

void TransferCenter::recountInRound(const Uuid& id) {
    if (const std::optional<std::size_t> row = index(id); row && m_tasks[*row].bucketID) {
        m_roundBuckets.insert(*m_tasks[*row].bucketID);
    }
}

void TransferCenter::notifyUploadRoundIfDone() {
    if (m_roundSucceeded == 0 && m_roundFailed == 0 && m_roundBuckets.empty()) return;
    // Uploads handed over and still being looked at belong to this round.
    if (!m_uploadPlaces.empty()) return;
    for (const TransferTask& task : m_tasks) {
        if (task.kind() == TransferKind::upload && isActive(task.state)) return;
    }
    // A round of dismissed uploads, or of ones whose bucket was removed, ends without a
    // word.
    if (m_roundSucceeded > 0 || m_roundFailed > 0) {
        const char* body = m_roundFailed == 0     ? "upload_all_success"
                           : m_roundSucceeded > 0 ? "upload_partial_failed"
                                                  : "upload_all_failed";
        m_app.notify(L10n::t(QStringLiteral("upload")), L10n::t(QString::fromLatin1(body)));
    }
    m_roundSucceeded = 0;
    m_roundFailed = 0;
    // The usage of the buckets the round wrote to is counted again.
    for (const Uuid& bucketID : std::exchange(m_roundBuckets, {})) m_app.recountBucketUsage(bucketID);
}

}  // namespace tarn
