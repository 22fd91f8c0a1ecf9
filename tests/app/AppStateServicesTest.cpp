#include "AppStateFixture.h"
#include "ScriptedUiServices.h"

#include "core/config/KeychainSecretStore.h"
#include "core/files/RotatingLogFile.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using tarn::test::finishWithin;
using tarn::test::ScriptedUiServices;

namespace tarn {
namespace {

class AppStateServicesTest : public test::AppStateFixture {
protected:
    static BucketConfig bucketOfAccount(const std::string& accessKeyID) {
        BucketConfig bucket;
        bucket.id = Uuid::random();
        bucket.bucketName = "media";
        bucket.endpoint = *Url::parse("https://s3.example.com");
        bucket.region = "eu-1";
        bucket.accessKeyID = accessKeyID;
        return bucket;
    }
};

TEST_F(AppStateServicesTest, TheSecretComesFromTheKeyringAndAnEmptyOneIsNone) {
    if (!test::hasTestKeyring()) GTEST_SKIP() << "TARN_TEST_KEYRING is not set; run scripts/test";
    const BucketConfig stored = bucketOfAccount("AKID-STORED");
    const BucketConfig empty = bucketOfAccount("AKID-EMPTY");
    const BucketConfig missing = bucketOfAccount("AKID-MISSING");
    m_secretStore.save("s3cr3t", KeychainSecretStore::accountSecretAccount(stored));
    m_secretStore.save("", KeychainSecretStore::accountSecretAccount(empty));

    EXPECT_EQ(finishWithin(m_state->resolvedSecret(stored)).value(), "s3cr3t");
    EXPECT_EQ(finishWithin(m_state->resolvedSecret(empty)).value(), std::nullopt);
    EXPECT_EQ(finishWithin(m_state->resolvedSecret(missing)).value(), std::nullopt);

    for (const BucketConfig* bucket : {&stored, &empty}) {
        m_secretStore.deleteSecret(KeychainSecretStore::accountSecretAccount(*bucket));
    }
}

// A keyring that cannot be read is the same as a missing secret.
TEST_F(AppStateServicesTest, AnUnreadableKeyringGivesNoSecret) {
    class BrokenStore : public KeychainSecretStore {
    public:
        BrokenStore() : KeychainSecretStore("app.TarnManager.test.broken") {}
        std::optional<std::string> secret(const std::string&) const override {
            throw KeychainError(KeychainError::Kind::failed, "locked");
        }
        std::optional<std::string> secret(const std::string&, const Origin&) const override {
            throw KeychainError(KeychainError::Kind::failed, "locked");
        }
        using KeychainSecretStore::secret;
    };
    const BrokenStore broken;
    EXPECT_EQ(AppState::secretFromStore(broken, bucketOfAccount("AKID")), std::nullopt);
}

TEST_F(AppStateServicesTest, TheFileLoggerWritesEachLineToTheHomeFolderLog) {
    const test::ScopedLogHome home;
    const S3Client::Logger logger = AppState::makeFileLogger();
    logger("GET https://bucket.example.com/ 200");
    logger("PUT https://bucket.example.com/a.txt 200");

    EXPECT_EQ(home.log().filename(), "corvane.log");
    const std::string lines = home.text();
    EXPECT_NE(lines.find("] GET https://bucket.example.com/ 200\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("] PUT https://bucket.example.com/a.txt 200\n"), std::string::npos) << lines;
}

TEST_F(AppStateServicesTest, WithoutAWindowLayerEveryQuestionIsAnsweredNo) {
    EXPECT_EQ(finishWithin(m_state->ui().showAlert({})), false);
    EXPECT_EQ(finishWithin(m_state->ui().chooseFolder(QStringLiteral("Download to"))).value(), std::nullopt);
    EXPECT_TRUE(finishWithin(m_state->ui().chooseFiles({})).value().empty());
    EXPECT_TRUE(m_state->ui().clipboard().files.empty());

    ScriptedUiServices scripted;
    scripted.alertAnswers.push_back(true);
    m_state->setUiServices(&scripted);
    EXPECT_EQ(finishWithin(m_state->ui().showAlert({UiServices::Alert::Style::warning, QStringLiteral("Import?")})),
              true);
    ASSERT_EQ(scripted.alertsShown.size(), 1u);
    EXPECT_EQ(scripted.alertsShown.front().message, QStringLiteral("Import?"));
    m_state->setUiServices(nullptr);
    EXPECT_EQ(finishWithin(m_state->ui().showAlert({})), false);
}

TEST_F(AppStateServicesTest, NotifyReturnsAtOnceWhateverTheBusHolds) {
    // Whether or not this bus has a notification server, the call only sends; the
    // answer may come after the state is gone.
    m_state->notify(QStringLiteral("Tarn"), QStringLiteral("done"));
    m_state.reset();
    QTest::qWait(200);
}

}  // namespace
}  // namespace tarn
