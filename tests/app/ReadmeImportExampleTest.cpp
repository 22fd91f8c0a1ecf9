#include "ScriptedUiServices.h"
#include "ServerAppStateFixture.h"

#include "core/config/KeychainSecretStore.h"
#include "integration/S3TestBuckets.h"

#include <QProcess>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// The README's example of a configuration file for a server that is none of the
// add-account sheet's providers: its only ```json block.
json readmeExample() {
    const std::string readme = test::readFile(fs::path(TARN_TEST_DATA_DIR) / ".." / ".." / "README.md");
    const std::string fence = "```json\n";
    const std::size_t start = readme.find(fence);
    if (start == std::string::npos) return {};
    const std::size_t body = start + fence.size();
    const std::size_t end = readme.find("```", body);
    if (end == std::string::npos) return {};
    return json::parse(readme.substr(body, end - body));
}

// Stores a secret as the README tells the user to, with secret-tool; true when it did.
bool storeWithSecretTool(const std::string& service, const std::string& account, const std::string& secret) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("store"), QStringLiteral("--label=Tarn Manager"), QStringLiteral("service"),
                QString::fromStdString(service), QStringLiteral("account"), QString::fromStdString(account)});
    if (!tool.waitForStarted()) return false;
    tool.write(QByteArray::fromStdString(secret));
    tool.closeWriteChannel();
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

class ReadmeImportExampleTest : public test::ServerAppStateFixture {
protected:
    void TearDown() override {
        if (!m_account.empty()) m_secretStore.deleteSecret(m_account);
        ServerAppStateFixture::TearDown();
    }

    std::string m_account;
};

// Importing the README's example, with the test server's endpoint, region, key and
// a bucket of the test's own in place of its placeholders and nothing else changed,
// gives an account whose bucket lists once its secret is in the keyring.
TEST_F(ReadmeImportExampleTest, TheExampleGivesAnAccountWhoseBucketLists) {
    json example = readmeExample();
    ASSERT_TRUE(example.is_object()) << "README.md shows no configuration example";
    ASSERT_EQ(example["profiles"].size(), 1u);
    const BucketConfig bucket = test::createBucket(*m_server, "readme-example");
    test::putObjects(*m_server, bucket, {"hello.txt"});
    json& profile = example["profiles"][0];
    const std::string name = profile["name"];
    profile["endpoint"] = m_server->endpoint;
    profile["region"] = m_server->region;
    profile["accessKeyID"] = m_server->accessKey;
    profile["bucketNames"] = {bucket.bucketName};

    m_account = KeychainSecretStore::accountSecretAccount(*Url::parse(m_server->endpoint), m_server->region,
                                                          m_server->accessKey);
    ASSERT_TRUE(storeWithSecretTool(m_secretStore.service(), m_account, m_server->secretKey));

    test::ScriptedUiServices ui;
    m_app->setUiServices(&ui);
    const fs::path file = m_folder.path() / "company-minio.json";
    test::writeFile(file, example.dump(2));
    ui.fileChoices.push_back({file});
    ui.alertAnswers = {true};
    ASSERT_TRUE(test::finishWithin(m_app->importConfig()));

    ASSERT_EQ(m_app->config().profiles.size(), 1u);
    EXPECT_EQ(m_app->config().profiles[0].name, name);
    EXPECT_TRUE(waitFor([&] { return shownKeys() == std::vector<std::string>{"hello.txt"}; }))
        << "shown: " << ::testing::PrintToString(shownKeys());
}

}  // namespace
}  // namespace tarn
