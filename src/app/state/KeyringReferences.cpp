#include "app/state/KeyringReferences.h"

#include "core/config/KeychainSecretStore.h"

#include <utility>

namespace tarn {

void KeyringReferences::follow(const AppConfig& config, const std::vector<BucketConfig>& buckets) {
    std::unordered_set<std::string> accounts;
    for (const StorageProfile& profile : config.profiles) {
        accounts.insert(KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID));
    }
    std::unordered_set<std::string> bucketIDs;
    for (const BucketConfig& bucket : buckets) bucketIDs.insert(bucket.id.toString());
    const std::lock_guard lock(m_mutex);
    // A stored secret the configuration names is needed for as long as it names it,
    // and no longer: removing that account later must free the item.
    std::erase_if(m_stored, [&accounts](const std::string& account) { return accounts.contains(account); });
    m_accounts = std::move(accounts);
    m_bucketIDs = std::move(bucketIDs);
}

void KeyringReferences::noteStored(const std::string& account) {
    const std::lock_guard lock(m_mutex);
    m_stored.insert(account);
}

bool KeyringReferences::needs(const std::string& account) const {
    const std::lock_guard lock(m_mutex);
    if (m_accounts.contains(account) || m_stored.contains(account)) return true;
    // A CDN token key is named "<bucket UUID>:cdn:<domain UUID>".
    if (account.find(":cdn:") == std::string::npos) return false;
    const std::size_t start = account.find_first_not_of(':');
    if (start == std::string::npos) return false;
    const std::size_t end = account.find(':', start);
    return m_bucketIDs.contains(account.substr(start, end - start));
}

}  // namespace tarn
