#include "FixedSecretStore.h"

namespace tarn::bench {

FixedSecretStore::FixedSecretStore(std::string secret)
    : KeychainSecretStore("app.TarnManager.bench"), m_secret(std::move(secret)) {}

void FixedSecretStore::migrateLegacyKeychainIfNeeded() {}

std::vector<std::string> FixedSecretStore::allAccounts() const {
    return {};
}

std::optional<std::string> FixedSecretStore::secret(const std::string&) const {
    return m_secret;
}

void FixedSecretStore::save(const std::string&, const std::string&) {}

void FixedSecretStore::deleteSecret(const std::string&) {}

std::optional<std::string> FixedSecretStore::secret(const std::string&, const Origin&) const {
    return m_secret;
}

void FixedSecretStore::save(const std::string&, const std::string&, const Origin&) {}

std::optional<std::string> FixedSecretStore::secret(const Uuid&) const {
    return m_secret;
}

void FixedSecretStore::save(const std::string&, const Uuid&) {}

void FixedSecretStore::deleteSecret(const Uuid&) {}

}  // namespace tarn::bench
