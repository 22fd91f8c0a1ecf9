#include "app/state/AppState.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/preview/ObjectPreview.h"


namespace tarn {

void AppState::startEditMetadata() {
    const std::optional<ObjectItem> object = inspectorObject();
    if (!object) return;
    // A draft made without the stored metadata would wipe it on save: the editor opens
    // only with the details of this very object.
    if (!m_objectDetails || m_objectDetails->item.key != object->key || !m_selectedBucketID) {
        sendToast({L10n::t(QStringLiteral("metadata_not_loaded")), ToastKind::info});
        return;
    }
    m_metadataDraftSource = m_objectDetails;
    m_metadataDraftBucketID = m_selectedBucketID;
    std::vector<MetadataPair> rows;
    rows.reserve(m_objectDetails->metadata.size());
    // The map holds its names in ascending order.
    for (const auto& [key, value] : m_objectDetails->metadata) rows.push_back({Uuid::random(), key, value});
    setMetadataDraft(std::move(rows));
    setShowingEditMetadata(true);
}

void AppState::saveMetadata() {
    const std::optional<BucketConfig> bucket = selectedBucket();
    const std::optional<ObjectItem> object = inspectorObject();
    if (!bucket || !object) return;
    // The draft belongs to the object whose details it was read from; written anywhere
    // else it would replace metadata nobody has seen.
    if (!m_metadataDraftSource || m_metadataDraftBucketID != bucket->id ||
        m_metadataDraftSource->item.key != object->key) {
        setShowingEditMetadata(false);
        sendToast({L10n::t(QStringLiteral("metadata_not_loaded")), ToastKind::error});
        return;
    }
    std::map<std::string, std::string> metadata;
    for (const MetadataPair& row : m_metadataDraft) {
        // Spaces of any kind at both ends, as a name typed or pasted brings them; line
        // breaks stay, like every other character, and the server's check refuses them.
        std::string name(Whitespace::trimmedWithinLine(row.key));
        if (name.empty()) continue;
        metadata[std::move(name)] = row.value;
    }
    std::optional<std::string> contentType = m_metadataDraftSource->contentType;
    if (!contentType) contentType = ObjectPreview::inferredContentType(object->key);
    setShowingEditMetadata(false);
    startDetached(writeMetadata(*bucket, *object, std::move(metadata), std::move(contentType)));
}

QCoro::Task<> AppState::writeMetadata(BucketConfig bucket, ObjectItem object,
                                      std::map<std::string, std::string> metadata,
                                      std::optional<std::string> contentType) {
    const QPointer<AppState> self(this);
    std::exception_ptr failure;
    // Failures are told here, in the interface's language, rather than by run(). The
    // closure lives in run()'s frame for as long as the operation runs.
    std::function<QCoro::Task<>()> operation = [this, &bucket, &object, &metadata, &contentType,
                                                &failure]() -> QCoro::Task<> {
        auto update = [&client = m_client, &store = m_secretStore, &bucket, &object, &metadata, &contentType,
                       stop = m_lifetimeStop.get_token()] {
            client.updateMetadata(object.key, metadata, contentType, bucket, storedCredentials(store, bucket), stop);
        };
        try {
            co_await inBackground(update);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    const QString status = L10n::t(QStringLiteral("status_loading"));
    co_await run(status, std::move(operation));
    if (!self) co_return;
    if (failure) {
        sendToast({TransferCenter::describe(failure), ToastKind::error});
        co_return;
    }
    QCoro::Task<> reloading = loadObjectDetails(object);
    co_await reloading;
    if (!self) co_return;
    recordHistory(L10n::t(QStringLiteral("edit_metadata")), QString::fromStdString(object.key), bucket.bucketName,
                  true);
}

}  // namespace tarn
