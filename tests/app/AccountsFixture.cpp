#include "AccountsFixture.h"

#include "app/text/L10n.h"

#include <variant>

namespace tarn::test {

AccountsFixture::AccountsFixture() {
    QObject::connect(m_state.get(), &AppState::toastRequested,
                     [this](const ToastMessage& toast) { m_toasts.push_back(toast); });
}

AccountsFixture::~AccountsFixture() {
    L10n::setLanguageCode(QStringLiteral("zh"));
    if (!hasTestKeyring()) return;
    m_state.reset();
    try {
        for (const std::string& account : m_secretStore.allAccounts()) m_secretStore.deleteSecret(account);
    } catch (const std::exception&) {
        // The keyring goes with the test run anyway.
    }
}

void AccountsFixture::SetUp() {
    if (!hasTestKeyring()) GTEST_SKIP() << "TARN_TEST_KEYRING is not set; run scripts/test";
}

StorageProfile AccountsFixture::makeProfile(std::string name, const std::string& endpoint, std::string region,
                                            std::string accessKeyID, std::vector<std::string> bucketNames) {
    return {Uuid::random(), std::move(name), *Url::parse(endpoint), std::move(region), std::move(accessKeyID),
            std::move(bucketNames)};
}

void AccountsFixture::setProfiles(std::vector<StorageProfile> profiles) {
    AppConfig config = m_state->config();
    config.profiles = std::move(profiles);
    m_state->setConfig(std::move(config));
}

AppConfig AccountsFixture::reloaded() const {
    return std::get<AppConfig>(ConfigStore(m_configStore.configURL()).loadRaw());
}

std::optional<std::string> AccountsFixture::stored(const std::string& account) const {
    return m_secretStore.secret(account);
}

}  // namespace tarn::test
