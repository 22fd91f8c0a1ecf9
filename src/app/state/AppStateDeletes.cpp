#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/preview/ObjectPreview.h"

namespace tarn {

std::optional<DeleteRequest> AppState::makeDeleteRequest() const {
    if (!m_listingBucketID || !selectedBucket()) return std::nullopt;
    const std::vector<ObjectItem> objects = selectedObjects();
    const std::vector<ObjectPrefix> folders = selectedPrefixes();
    const std::size_t count = objects.size() + folders.size();
    if (count == 0) return std::nullopt;

    DeleteRequest request;
    request.bucketID = *m_listingBucketID;
    for (const ObjectItem& item : objects) request.objectKeys.push_back(item.key);
    for (const ObjectPrefix& folder : folders) request.folderPrefixes.push_back(folder.prefix);
    if (count > 1) {
        request.title = L10n::t(QStringLiteral("transfer_delete_title_multi"), count);
    } else if (!objects.empty()) {
        request.title = QString::fromStdString(ObjectPreview::fileName(objects.front().key));
    } else {
        request.title = QString::fromStdString(folders.front().displayName());
    }
    return request;
}

void AppState::performDelete(const DeleteRequest& request) {
    // The rows about to go must not stay selected; another bucket's selection is
    // not this request's business.
    if (request.bucketID == m_selectedBucketID) {
        setSelectedObjectKey(std::nullopt);
        setSelectedObjectKeys({});
    }
    TransferTask task;
    task.id = Uuid::random();
    task.title = request.title.toStdString();
    const auto items = static_cast<qint64>(request.objectKeys.size() + request.folderPrefixes.size());
    task.subtitle = L10n::t(L10n::countKey(QStringLiteral("transfer_delete_subtitle"), items), items);
    task.isFolder = !request.folderPrefixes.empty();
    task.spec.value = DeleteSpec{request.objectKeys, request.folderPrefixes};
    task.bucketID = request.bucketID;
    TransferCenter& queue = transfers();
    queue.append(std::move(task));
    queue.pumpIfIdle();
}

}  // namespace tarn
