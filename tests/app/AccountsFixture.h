#pragma once

#include "AppStateFixture.h"

#include "app/state/ToastMessage.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn::test {

// The state over the real keyring and a temporary configuration folder, for the
// account operations: skipped without a test keyring; every keyring item the test
// made is deleted at its end, and the text tables return to Chinese.
class AccountsFixture : public AppStateFixture {
protected:
    AccountsFixture();
    ~AccountsFixture() override;
    void SetUp() override;

    static StorageProfile makeProfile(std::string name, const std::string& endpoint, std::string region,
                                      std::string accessKeyID, std::vector<std::string> bucketNames);
    // Puts the profiles in place (in memory only), nothing else changed.
    void setProfiles(std::vector<StorageProfile> profiles);
    // What a fresh read of the configuration file finds.
    AppConfig reloaded() const;
    // The keyring's item under the test's service.
    std::optional<std::string> stored(const std::string& account) const;

    std::vector<ToastMessage> m_toasts;
};

}  // namespace tarn::test
