#pragma once

#include "core/config/KeychainSecretStore.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn::bench {

// The test server's secret for every account, and no keyring behind it: what the
// benchmarks of the state and the window measure is the program's own work, and
// they need no keyring to run. Nothing is saved or deleted.
class FixedSecretStore : public KeychainSecretStore {
public:
    explicit FixedSecretStore(std::string secret);

    void migrateLegacyKeychainIfNeeded() override;
    std::vector<std::string> allAccounts() const override;
    std::optional<std::string> secret(const std::string& account) const override;
    void save(const std::string& secret, const std::string& account) override;
    void deleteSecret(const std::string& account) override;
    std::optional<std::string> secret(const std::string& account, const Origin& origin) const override;
    void save(const std::string& secret, const std::string& account, const Origin& origin) override;
    std::optional<std::string> secret(const Uuid& bucketID) const override;
    void save(const std::string& secret, const Uuid& bucketID) override;
    void deleteSecret(const Uuid& bucketID) override;

private:
    std::string m_secret;
};

}  // namespace tarn::bench
