#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/files/AtomicFile.h"

#include <QDateTime>
#include <QFile>
#include <QMimeData>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <utility>

namespace tarn {

namespace {

namespace fs = std::filesystem;

// The image the clipboard holds, in the best of its own formats; else what the
// window layer converted to PNG.
std::optional<ClipboardImage> pastedImage(const UiServices::ClipboardContents& contents) {
    QMimeData offered;
    for (const UiServices::ClipboardContents::Data& image : contents.images) offered.setData(image.mimeType, image.bytes);
    if (std::optional<ClipboardImage> image = AppState::clipboardImageData(offered)) return image;
    if (!contents.imageAsPng.isEmpty()) return ClipboardImage{contents.imageAsPng, "png"};
    return std::nullopt;
}

// Writes the pasted bytes as `fileName` into a new folder of their own below the
// paste folder. Pastes share a name within one second, and a paste waits in the
// queue as a file: a folder per paste keeps the second from overwriting the first
// before it has been sent, while the object keeps the plain name.
fs::path writePasteFile(const PrivateFolder& folder, const QByteArray& data, const std::string& fileName) {
    std::string pattern = (folder.pasteFolder() / "XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw fs::filesystem_error("cannot create the folder", fs::path(pattern),
                                   std::error_code(errno, std::generic_category()));
    }
    const fs::path file = fs::path(pattern) / fileName;
    AtomicFile::createNew(file, std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
    return file;
}

}  // namespace

void AppState::pasteFromClipboard() {
    if (!selectedBucket()) return;
    paste(ui().clipboard());
}

void AppState::paste(const UiServices::ClipboardContents& contents) {
    if (!selectedBucket()) return;
    if (!contents.files.empty()) {
        uploadFiles(contents.files, UploadConflictMode::ask);
        return;
    }
    if (std::optional<ClipboardImage> image = pastedImage(contents)) {
        uploadClipboardData(std::move(image->data), image->fileExtension);
        return;
    }
    // Only an empty text is nothing; spaces are still something the user copied.
    if (contents.text && !contents.text->isEmpty()) {
        uploadClipboardData(contents.text->toUtf8(), "txt");
        return;
    }
    ui().beep();
}

void AppState::uploadClipboardData(QByteArray data, const std::string& fileExtension) {
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket) return;
    const QString name = L10n::t(QStringLiteral("clipboard_file")) + QLatin1Char(' ') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")) +
                         QLatin1Char('.') + QString::fromStdString(fileExtension);
    startDetached(uploadPastedFile(transfers().reserveUploadPlace(), std::move(data),
                                   QFile::encodeName(name).toStdString(), std::move(*bucket), m_currentPrefix));
}

QCoro::Task<> AppState::uploadPastedFile(UploadPlace place, QByteArray data, std::string fileName,
                                         BucketConfig bucket, std::string directory) {
    QPointer<AppState> self(this);
    auto writing = [folder = m_privateFolder, &data, &fileName] { return writePasteFile(folder, data, fileName); };
    std::vector<fs::path> files;
    try {
        fs::path written = co_await inBackground(writing);
        files.push_back(std::move(written));
    } catch (const std::exception&) {
        if (self) sendFailureToast("uploadPastedFile", std::current_exception());
        co_return;
    }
    if (!self) co_return;
    // Pasted data never asks: a name in use makes the queue pick a free one.
    QCoro::Task<> uploading = probeAndEnqueue(std::move(place), std::move(files), std::move(bucket),
                                              std::move(directory), UploadConflictMode::rename);
    co_await uploading;
}

bool AppState::handleDrop(std::vector<fs::path> files) {
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket || files.empty()) return false;
    startDetached(probeAndEnqueue(transfers().reserveUploadPlace(), std::move(files), std::move(*bucket),
                                  m_currentPrefix, UploadConflictMode::ask));
    return true;
}

}  // namespace tarn
