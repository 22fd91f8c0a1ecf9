#include "ServerAppStateFixture.h"

#include <QTest>

namespace tarn::test {

void ServerAppStateFixture::SetUp() {
    m_server = s3TestServer();
    if (!m_server) GTEST_SKIP() << "TARN_TEST_S3_ENDPOINT is not set; run scripts/test";
    if (!hasTestKeyring()) GTEST_SKIP() << "TARN_TEST_KEYRING is not set; run scripts/test";
    m_app = std::make_unique<AppState>(m_configStore, m_secretStore, m_client);
}

void ServerAppStateFixture::TearDown() {
    m_app.reset();
    for (const std::string& account : m_secretAccounts) m_secretStore.deleteSecret(account);
}

std::vector<BucketConfig> ServerAppStateFixture::addAccount(const std::string& endpoint,
                                                             const std::vector<std::string>& bucketNames) {
    StorageProfile profile;
    profile.id = Uuid::random();
    profile.name = "Test " + endpoint;
    profile.endpoint = *Url::parse(endpoint);
    profile.region = m_server->region;
    profile.accessKeyID = m_server->accessKey;
    profile.bucketNames = bucketNames;
    const std::string account =
        KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID);
    m_secretStore.save(m_server->secretKey, account);
    m_secretAccounts.push_back(account);

    AppConfig config = m_app->config();
    config.profiles.push_back(profile);
    m_app->setConfig(std::move(config));
    return m_app->buckets(profile);
}

BucketConfig ServerAppStateFixture::addBucket(const std::string& endpoint, const std::string& bucketName) {
    return addAccount(endpoint, {bucketName}).front();
}

bool ServerAppStateFixture::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

bool ServerAppStateFixture::waitUntilSettled(std::chrono::milliseconds limit) const {
    return waitFor([this] { return !m_app->isLoading() && !m_app->isLoadingMore(); }, limit);
}

std::vector<std::string> ServerAppStateFixture::shownKeys() const {
    std::vector<std::string> keys;
    for (const ObjectItem& item : m_app->objects()) keys.push_back(item.key);
    return keys;
}

std::vector<std::string> ServerAppStateFixture::shownPrefixes() const {
    std::vector<std::string> prefixes;
    for (const ObjectPrefix& prefix : m_app->prefixes()) prefixes.push_back(prefix.prefix);
    return prefixes;
}

}  // namespace tarn::test
