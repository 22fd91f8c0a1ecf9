#include "app/state/AppState.h"

#include "app/transfers/RenameRules.h"
#include "app/transfers/TransferCenter.h"
#include "core/storage/PrefixNavigator.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>

#include <algorithm>
#include <utility>


namespace tarn {

namespace {

// The key a succeeded upload created: the file's final key, or the folder's prefix.
// Built like the uploads build their keys, so a target folder given without its
// closing "/" still names the right key.
std::string uploadedKey(const TransferTask& task, const UploadSpec& upload) {
    if (task.isFolder) return PrefixNavigator::folderKey(task.title, upload.directory);
    if (task.succeededObjectKey) return *task.succeededObjectKey;
    return PrefixNavigator::childObjectKey(task.title, upload.directory);
}

// A rename or move that is waiting, running or done has moved its keys, or will
// before anything queued after it runs; a failed one moved nothing.
bool renameCounts(TransferState state) {
    return state == TransferState::waiting || state == TransferState::running || state == TransferState::succeeded;
}

// When a finished task changed the bucket; tasks of the same moment keep their order.
TimePoint finishTime(const TransferTask& task) {
    if (task.completedAt) return *task.completedAt;
    return task.finishedAt.value_or(TimePoint{});
}

void applyRename(TakenKeys& keys, const RenameSpec& rename) {
    if (!rename.isFolder) {
        keys.erase(rename.source);
        keys.insert(rename.destination);
        return;
    }
    keys.eraseUnder(RenameRules::folderPrefix(rename.source));
    keys.insert(RenameRules::folderPrefix(rename.destination));
}

// The clipboard's image types in order of preference, with the extension of each:
// a format the source already encoded is uploaded as it is, without re-encoding.
struct PreferredImageType {
    const char* mimeType;
    const char* fileExtension;
};

constexpr PreferredImageType kPreferredImageTypes[] = {
    {"image/png", "png"},   {"image/jpeg", "jpg"}, {"image/heic", "heic"},
    {"image/gif", "gif"},   {"image/webp", "webp"}, {"image/tiff", "tiff"},
};

// An image of any other kind: one the source hands as an image object, or data of
// another image type that Qt's decoders read (BMP, an icon...).
QImage decodedImage(const QMimeData& mimeData) {
    if (mimeData.hasImage()) {
        const QImage image = qvariant_cast<QImage>(mimeData.imageData());
        if (!image.isNull()) return image;
    }
    const QStringList formats = mimeData.formats();
    for (const QString& format : formats) {
        if (!format.startsWith(QLatin1String("image/"))) continue;
        const QImage image = QImage::fromData(mimeData.data(format));
        if (!image.isNull()) return image;
    }
    return {};
}

}  // namespace

std::shared_ptr<const KeySet> AppState::listedKeys() const {
    // The keys of the listing as it is now: made once and handed to every asker until
    // the listing changes. Pages added since are added to it while nobody else holds it.
    const bool sameListing = m_listedKeys && m_listedKeysGeneration == m_listingGeneration &&
                             m_listedKeysCount <= m_objects.size();
    if (!sameListing || (m_listedKeysCount < m_objects.size() && m_listedKeys.use_count() > 1)) {
        m_listedKeys = std::make_shared<KeySet>();
        m_listedKeysGeneration = m_listingGeneration;
        m_listedKeysCount = 0;
    }
    if (m_listedKeysCount < m_objects.size()) {
        m_listedKeys->reserve(m_objects.size());
        for (std::size_t i = m_listedKeysCount; i < m_objects.size(); ++i) m_listedKeys->insert(m_objects[i].key);
        m_listedKeysCount = m_objects.size();
    }
    return m_listedKeys;
}

TakenKeys AppState::existingKeysForUploadConflict(const std::string& /*directory*/) const {
    // The listing on screen may still be another bucket's, just after a switch:
    // its keys say nothing about the selected one.
    TakenKeys keys(m_listingBucketID == m_selectedBucketID ? listedKeys() : nullptr);

    // The queue runs one task at a time, so its changes happened in the order the
    // tasks finished, and renames still waiting or running come after all of them.
    // Replaying them in that order keeps a file uploaded after a move of its folder
    // (or after a move away from its very key), which replaying all uploads before
    // all renames would drop, letting a later upload overwrite it unasked.
    std::vector<const TransferTask*> changes;
    for (const TransferTask& task : transferTasks()) {
        if (task.bucketID != m_selectedBucketID) continue;
        const bool uploaded = task.spec.upload() != nullptr && task.state == TransferState::succeeded;
        const bool renamed = task.spec.rename() != nullptr && renameCounts(task.state);
        if (uploaded || renamed) changes.push_back(&task);
    }
    std::stable_sort(changes.begin(), changes.end(), [](const TransferTask* a, const TransferTask* b) {
        return std::make_pair(isActive(a->state), finishTime(*a)) < std::make_pair(isActive(b->state), finishTime(*b));
    });
    for (const TransferTask* task : changes) {
        if (const UploadSpec* upload = task->spec.upload()) keys.insert(uploadedKey(*task, *upload));
        if (const RenameSpec* rename = task->spec.rename()) applyRename(keys, *rename);
    }
    return keys;
}

std::optional<ClipboardImage> AppState::clipboardImageData(const QMimeData& mimeData) {
    for (const PreferredImageType& type : kPreferredImageTypes) {
        const QString mimeType = QString::fromLatin1(type.mimeType);
        if (!mimeData.hasFormat(mimeType)) continue;
        QByteArray data = mimeData.data(mimeType);
        if (!data.isEmpty()) return ClipboardImage{std::move(data), type.fileExtension};
    }

    const QImage image = decodedImage(mimeData);
    if (image.isNull()) return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || png.isEmpty()) return std::nullopt;
    return ClipboardImage{std::move(png), "png"};
}

}  // namespace tarn
