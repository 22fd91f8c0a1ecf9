#include "PastedCommand.h"
#include "ScriptedUiServices.h"
#include "ServerAppStateFixture.h"

#include "app/text/L10n.h"
#include "core/config/KeychainSecretStore.h"
#include "integration/S3TestBuckets.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// The README's part on a server that is none of the add-account sheet's providers:
// its configuration example (the only ```json block) and, after it, the command
// that stores the account's secret (the next ```sh block).
struct ReadmeExample {
    json config;
    std::string secretCommand;
};

std::string fencedBlock(const std::string& text, const std::string& language, std::size_t& from) {
    const std::string fence = "```" + language + "\n";
    const std::size_t start = text.find(fence, from);
    if (start == std::string::npos) return {};
    const std::size_t body = start + fence.size();
    const std::size_t end = text.find("```", body);
    if (end == std::string::npos) return {};
    from = end + 3;
    return text.substr(body, end - body);
}

ReadmeExample readmeExample() {
    const std::string readme = test::readFile(fs::path(TARN_TEST_DATA_DIR) / ".." / ".." / "README.md");
    std::size_t at = 0;
    const std::string config = fencedBlock(readme, "json", at);
    if (config.empty()) return {};
    return {json::parse(config), fencedBlock(readme, "sh", at)};
}

// Replaces the one `placeholder` of `text` with `value`; false when it is not there
// exactly once.
bool replaceOnce(std::string& text, const std::string& placeholder, const std::string& value) {
    const std::size_t at = text.find(placeholder);
    if (at == std::string::npos || text.find(placeholder, at + 1) != std::string::npos) return false;
    text.replace(at, placeholder.size(), value);
    return true;
}

class ReadmeImportExampleTest : public test::ServerAppStateFixture {
protected:
    void TearDown() override {
        if (!m_account.empty()) m_secretStore.deleteSecret(m_account);
        ServerAppStateFixture::TearDown();
    }

    std::string m_account;
};

// The README's example followed as a user would, with the test server's endpoint,
// region, key and a bucket of the test's own in place of its placeholders and
// nothing else changed: the file is imported, the closing message says the secret
// has to be stored with secret-tool, the README's command stores it, and after a
// refresh the bucket lists.
TEST_F(ReadmeImportExampleTest, TheExampleGivesAnAccountWhoseBucketListsOnceTheReadmeStoresItsSecret) {
    ReadmeExample example = readmeExample();
    ASSERT_TRUE(example.config.is_object()) << "README.md shows no configuration example";
    ASSERT_FALSE(example.secretCommand.empty()) << "README.md shows no command for the example's secret";
    ASSERT_EQ(example.config["profiles"].size(), 1u);
    const BucketConfig bucket = test::createBucket(*m_server, "readme-example");
    test::putObjects(*m_server, bucket, {"hello.txt"});
    json& profile = example.config["profiles"][0];
    const std::string name = profile["name"];
    const std::string exampleEndpoint = profile["endpoint"];
    profile["endpoint"] = m_server->endpoint;
    profile["region"] = m_server->region;
    profile["accessKeyID"] = m_server->accessKey;
    profile["bucketNames"] = {bucket.bucketName};

    test::ScriptedUiServices ui;
    m_app->setUiServices(&ui);
    const fs::path file = m_folder.path() / "company-minio.json";
    test::writeFile(file, example.config.dump(2));
    ui.fileChoices.push_back({file});
    ui.alertAnswers = {true, true};
    ASSERT_TRUE(test::finishWithin(m_app->importConfig()));
    ASSERT_EQ(m_app->config().profiles.size(), 1u);
    EXPECT_EQ(m_app->config().profiles[0].name, name);
    ASSERT_EQ(ui.alertsShown.size(), 2u) << "no closing message about the missing secret";
    EXPECT_EQ(ui.alertsShown[1].informativeText.section(QStringLiteral("\n\n"), 0, 0),
              L10n::t(QStringLiteral("import_missing_accounts_keyring"), QString::fromStdString(name)));
    ASSERT_TRUE(waitUntilSettled());
    EXPECT_TRUE(shownKeys().empty());

    // The README's values for the example, as its text says to derive them from the
    // endpoint: the host, the scheme, and the port or the scheme's own.
    const Url server = *Url::parse(m_server->endpoint);
    const std::string scheme = *server.scheme();
    const std::string port = server.port() ? std::to_string(*server.port()) : scheme == "https" ? "443" : "80";
    ASSERT_EQ(exampleEndpoint, "https://minio.example.com") << "the command below is for this endpoint";
    std::string command = example.secretCommand;
    ASSERT_TRUE(replaceOnce(command, "app.TarnManager.client", m_secretStore.service())) << command;
    ASSERT_TRUE(replaceOnce(command, "|minio.example.com|", "|" + *server.host() + "|")) << command;
    ASSERT_TRUE(replaceOnce(command, "|us-east-1|", "|" + m_server->region + "|")) << command;
    ASSERT_TRUE(replaceOnce(command, "|YOUR-ACCESS-KEY-ID'", "|" + m_server->accessKey + "'")) << command;
    ASSERT_TRUE(replaceOnce(command, " scheme https ", " scheme " + scheme + " ")) << command;
    ASSERT_TRUE(replaceOnce(command, " port 443\n", " port " + port + "\n")) << command;
    m_account = KeychainSecretStore::accountSecretAccount(server, m_server->region, m_server->accessKey);
    std::string printed;
    ASSERT_TRUE(test::runPasted(command, m_server->secretKey, &printed)) << command << "\n" << printed;

    m_app->refresh();
    EXPECT_TRUE(waitFor([&] { return shownKeys() == std::vector<std::string>{"hello.txt"}; }))
        << "shown: " << ::testing::PrintToString(shownKeys());
}

}  // namespace
}  // namespace tarn
