#include "app/state/AppState.h"

#include "app/state/LaunchableFile.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/preview/ObjectPreview.h"
#include "core/storage/S3Error.h"

namespace tarn {

namespace {

namespace fs = std::filesystem;

// The place of `name` inside `folder`, joined as text: a name from a key that is
// absolute, empty, "." or ".." must not turn into another folder here; it stays
// visibly wrong, and the download refuses it naming its key.
fs::path placeIn(const fs::path& folder, const std::string& name) { return fs::path(folder.native() + '/' + name); }

// The name the rows show for the chosen folder.
QString folderName(const fs::path& folder) {
    const fs::path named = folder.has_filename() ? folder : folder.parent_path();
    return QString::fromStdString(named.filename().string());
}

TransferTask downloadTask(std::string title, const QString& subtitle, DownloadSpec spec, std::int64_t bytesTotal,
                          const Uuid& bucketID) {
    TransferTask task;
    task.id = Uuid::random();
    task.title = std::move(title);
    task.subtitle = subtitle;
    task.isFolder = spec.isFolder;
    task.spec.value = std::move(spec);
    task.bytesTotal = bytesTotal;
    task.bucketID = bucketID;
    return task;
}

}  // namespace

QCoro::Task<> AppState::downloadSelectedObjects() {
    if (!m_listingBucketID || !selectedBucket()) co_return;
    const std::vector<ObjectItem> objects = selectedObjects();
    const std::vector<ObjectPrefix> folders = selectedPrefixes();
    if (objects.empty() && folders.empty()) co_return;
    const Uuid bucketID = *m_listingBucketID;

    const QPointer<AppState> self(this);
    const QString title = L10n::t(QStringLiteral("choose_download_folder"));
    QCoro::Task<std::optional<fs::path>> choosing = ui().chooseFolder(title);
    const std::optional<fs::path> chosen = co_await choosing;
    if (!self || !chosen || chosen->empty()) co_return;

    const QString subtitle = folderName(*chosen);
    TransferCenter& queue = transfers();
    for (const ObjectItem& item : objects) {
        std::string name = ObjectPreview::fileName(item.key);
        const fs::path destination = placeIn(*chosen, name);
        queue.append(downloadTask(std::move(name), subtitle, DownloadSpec{item.key, destination, false, item.lastModified},
                                  item.size, bucketID));
        queue.pumpIfIdle();
    }
    for (const ObjectPrefix& folder : folders) {
        std::string name = folder.displayName();
        if (name.empty()) continue;
        const fs::path destination = placeIn(*chosen, name);
        queue.append(downloadTask(std::move(name), subtitle, DownloadSpec{folder.prefix, destination, true}, 0, bucketID));
        queue.pumpIfIdle();
    }
    sendBubble(L10n::t(L10n::countKey(QStringLiteral("downloading_n_files"),
                                       static_cast<qint64>(objects.size() + folders.size())),
                        objects.size() + folders.size()));
}

QCoro::Task<> AppState::openSelectedObject() { return openFirst(selectedObjects()); }

QCoro::Task<> AppState::openObject(std::string rowKey) { return openFirst(objectsOfRows(KeySet{std::move(rowKey)})); }

QCoro::Task<> AppState::openFirst(std::vector<ObjectItem> objects) {
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket || objects.empty()) co_return;
    std::function<QCoro::Task<>()> operation = [this, bucket = std::move(*bucket), object = objects.front()] {
        return downloadAndOpen(bucket, object);
    };
    const QString status = L10n::t(QStringLiteral("status_opening"));
    co_await run(status, std::move(operation));
}

QCoro::Task<> AppState::downloadAndOpen(BucketConfig bucket, ObjectItem object) {
    const QPointer<AppState> self(this);
    QCoro::Task<std::optional<std::string>> reading = resolvedSecret(bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!self) co_return;
    if (!secret) throw S3Error::missingSecret();
    // Saved under the key's last piece in the bucket's own folder: opening the object
    // again replaces the file in one step, so an application that has it open keeps
    // reading the version it opened. It is no larger than listed.
    auto download = [&client = m_client, &folders = m_privateFolder, &bucket, &object, &secret,
                     stop = m_lifetimeStop.get_token()] {
        const fs::path folder = folders.openedObjectsFolder(bucket.id);
        return client.downloadObject(object, bucket, S3Credentials{bucket.accessKeyID, *secret}, folder, std::nullopt,
                                     {}, stop);
    };
    const fs::path file = co_await inBackground(download);
    if (!self) co_return;
    QCoro::Task<std::optional<UiServices::LaunchOutcome>> opening = openDownloadedFile(file);
    const std::optional<UiServices::LaunchOutcome> outcome = co_await opening;
    // Declined by the user: nothing was tried, nothing is recorded.
    if (!self || !outcome) co_return;
    recordHistory(L10n::t(QStringLiteral("open")), QString::fromStdString(object.key), bucket.bucketName,
                  *outcome == UiServices::LaunchOutcome::opened);
}

QCoro::Task<std::optional<UiServices::LaunchOutcome>> AppState::openDownloadedFile(fs::path file) {
    const QPointer<AppState> self(this);
    // The file came from a bucket: whoever could write there chose its name and bytes.
    auto inspect = [file] { return LaunchableFile::typeOf(file); };
    const std::optional<QMimeType> type = co_await inBackground(inspect);
    if (!self) co_return std::nullopt;
    if (type) {
        const QString name = QString::fromStdString(file.filename().string());
        const QString typeText = type->comment().isEmpty() || type->comment() == type->name()
                                     ? type->name()
                                     : type->comment() + QStringLiteral(" (") + type->name() + QLatin1Char(')');
        // The name goes in the text, which wraps: a long one would be cut in the title.
        UiServices::Alert alert(UiServices::Alert::Style::warning, L10n::t(QStringLiteral("open_launchable_title")),
                                L10n::t(QStringLiteral("open_launchable_message"), name, typeText),
                                L10n::t(QStringLiteral("open")), L10n::t(QStringLiteral("cancel")));
        alert.cancelIsDefault = true;
        QCoro::Task<bool> asking = ui().showAlert(std::move(alert));
        const bool confirmed = co_await asking;
        if (!self || !confirmed) co_return std::nullopt;
    }
    QCoro::Task<UiServices::LaunchOutcome> launching = ui().openWithDefaultApplication(file);
    const UiServices::LaunchOutcome outcome = co_await launching;
    if (!self) co_return outcome;
    if (outcome != UiServices::LaunchOutcome::opened) {
        const QString name = QString::fromStdString(file.filename().string());
        const char* key =
            outcome == UiServices::LaunchOutcome::noApplication ? "open_no_application" : "open_launch_failed";
        sendToast({L10n::t(QString::fromLatin1(key), name), ToastKind::error});
    }
    co_return outcome;
}

fs::path AppState::previewCacheFolder(const BucketConfig& bucket) const {
    return m_privateFolder.previewCacheFolder(bucket.id);
}

}  // namespace tarn
