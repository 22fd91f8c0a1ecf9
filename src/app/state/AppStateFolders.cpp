#include "app/state/AppState.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "core/storage/PrefixNavigator.h"
#include "core/storage/S3Error.h"

namespace tarn {

bool AppState::isValidEntryName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

void AppState::createFolder(const std::string& name) {
    std::string trimmed(Whitespace::trimmed(name));
    std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket || trimmed.empty()) return;
    if (!isValidEntryName(trimmed)) {
        sendToast({L10n::t(QStringLiteral("invalid_name")), ToastKind::error});
        return;
    }
    startDetached(createFolderIn(std::move(*bucket), std::move(trimmed), m_currentPrefix));
}

QCoro::Task<> AppState::createFolderIn(BucketConfig bucket, std::string name, std::string prefix) {
    const QPointer<AppState> self(this);
    bool created = false;
    std::function<QCoro::Task<>()> operation = [this, &bucket, &name, &prefix, &created] {
        return putFolderMarker(bucket, name, prefix, &created);
    };
    const QString status = L10n::t(QStringLiteral("status_loading"));
    co_await run(status, std::move(operation));
    // run() has shown why it failed.
    if (!self || !created) co_return;
    // The bucket has one object more, wherever the user has gone meanwhile.
    recountBucketUsage(bucket.id);
    // The user has moved on (or is on the way): the folder shown is not the one
    // that changed, and a reload of it would compete with the move's own listing.
    if (m_selectedBucketID != bucket.id || m_currentPrefix != prefix || m_navigationTarget != prefix) co_return;
    m_pendingSelectKey = PrefixNavigator::folderKey(name, prefix);
    m_pendingSelectShouldReveal = true;
    co_await loadDirectory(prefix);
}

QCoro::Task<> AppState::putFolderMarker(BucketConfig bucket, std::string name, std::string prefix, bool* created) {
    const QPointer<AppState> self(this);
    QCoro::Task<std::optional<std::string>> reading = resolvedSecret(bucket);
    const std::optional<std::string> secret = co_await reading;
    if (!self) co_return;
    if (!secret) throw S3Error::missingSecret();
    auto put = [&client = m_client, &bucket, &name, &prefix, &secret, stop = m_lifetimeStop.get_token()] {
        client.createFolder(name, prefix, bucket, S3Credentials{bucket.accessKeyID, *secret}, stop);
    };
    co_await inBackground(put);
    *created = true;
}

}  // namespace tarn
