#include "app/state/AppState.h"

#include "app/state/DesktopNotifier.h"
#include "app/state/UiServices.h"
#include "core/config/KeychainSecretStore.h"
#include "core/files/RotatingLogFile.h"
#include "core/files/UserFolders.h"

namespace tarn {

QCoro::Task<std::optional<std::string>> AppState::resolvedSecret(BucketConfig bucket) {
    auto read = [&store = m_secretStore, bucket = std::move(bucket)] { return secretFromStore(store, bucket); };
    co_return co_await inBackground(read);
}

std::optional<std::string> AppState::storedSecret(const KeychainSecretStore& store, const BucketConfig& bucket) {
    // Saved for another scheme or port (an imported configuration moved the account to
    // plain http, say): missing, so the user enters it again.
    std::optional<std::string> secret = store.secret(KeychainSecretStore::accountSecretAccount(bucket),
                                                     KeychainSecretStore::originOf(bucket.endpoint));
    if (secret && !secret->empty()) return secret;
    return std::nullopt;
}

std::optional<std::string> AppState::secretFromStore(const KeychainSecretStore& store, const BucketConfig& bucket) {
    try {
        return storedSecret(store, bucket);
    } catch (const std::exception&) {
        // An unreadable keyring is the same as a missing secret to these callers.
        return std::nullopt;
    }
}

std::string AppState::objectName(const std::string& key) const {
    if (m_currentPrefix.empty() || !key.starts_with(m_currentPrefix)) return key;
    return key.substr(m_currentPrefix.size());
}

void AppState::notify(const QString& title, const QString& body) { startDetached(m_notifier->post(title, body)); }

RotatingLogFile& AppState::logFile() {
    // The text tables tell the user it is ~/corvane.log.
    static RotatingLogFile file(UserFolders::home() / "corvane.log");
    return file;
}

S3Client::Logger AppState::makeFileLogger() {
    return [](std::string_view line) { logFile().write(line); };
}

void AppState::setUiServices(UiServices* services) { m_ui = services != nullptr ? services : m_headlessUi.get(); }

}  // namespace tarn
