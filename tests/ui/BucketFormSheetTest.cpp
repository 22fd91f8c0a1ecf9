#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/text/L10n.h"
#include "ui/sheets/BucketFormSheet.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

class BucketFormSheetTest : public SheetFixture {
protected:
    BucketFormSheetTest()
    {
        makePresenter();
        m_bucketID = setOnlyBucket("https://s3.corvane.example", "media",
                                   {{m_first, "https", "cdn.example.com", true}, {m_second, "HTTP", "img.example.net", false}})
                         .id;
    }

    ~BucketFormSheetTest() override
    {
        for (const Uuid& domain : {m_first, m_second}) {
            try {
                m_secretStore.deleteSecret(account(domain));
            } catch (const std::exception&) {
            }
        }
    }

    std::string account(const Uuid& domain) const { return KeychainSecretStore::cdnAccount(m_bucketID, domain); }

    // The sheet as the presenter makes it, with the state's operations unless replaced.
    BucketFormSheet* open(BucketFormSheet::Operations operations = {})
    {
        if (operations.makeForm || operations.save) {
            presenter().setFactory(SheetKind::bucketEditor, [operations](SheetPresenter& presenter,
                                                                         std::function<void()> close) {
                return new BucketFormSheet(presenter.state(), *presenter.state().editingBucket(), std::move(close),
                                           operations);
            });
        }
        state().setEditingBucket(state().allBuckets().front());
        state().setShowingBucketEditor(true);
        settle();
        auto* sheet = qobject_cast<BucketFormSheet*>(presenter().sheet(SheetKind::bucketEditor));
        if (sheet != nullptr) {
            EXPECT_TRUE(QTest::qWaitFor([sheet] { return sheet->isLoaded(); }));
        }
        return sheet;
    }

    // The form comes with these domains (a key of none could not be read).
    BucketFormSheet::Operations withForm(std::vector<PublicDomainForm> domains, std::string displayName = {})
    {
        BucketFormSheet::Operations operations = recordingSave();
        operations.makeForm = [domains, displayName](BucketConfig bucket) -> QCoro::Task<BucketForm> {
            BucketForm form;
            form.id = bucket.id;
            form.bucketName = bucket.bucketName;
            form.displayName = displayName;
            form.publicDomains = domains;
            co_return form;
        };
        return operations;
    }

    // Saves nothing; keeps what Save handed over.
    BucketFormSheet::Operations recordingSave()
    {
        BucketFormSheet::Operations operations;
        operations.save = [this](BucketForm form) { m_saved.push_back(std::move(form)); };
        return operations;
    }

    Uuid m_bucketID;
    Uuid m_first = Uuid::random();
    Uuid m_second = Uuid::random();
    std::vector<BucketForm> m_saved;
};

TEST_F(BucketFormSheetTest, ShowsTheStoredKeysAndKeepsTypedTextAcrossRowEdits)
{
    m_secretStore.save("first-key", account(m_first));
    BucketFormSheet* sheet = open(recordingSave());
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->domainRows().size(), 2U);
    EXPECT_EQ(sheet->domainRows()[0].key->text(), QStringLiteral("first-key"));
    EXPECT_EQ(sheet->domainRows()[0].key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(sheet->domainRows()[1].key->text(), QString());
    EXPECT_EQ(sheet->domainRows()[1].scheme->currentText(), QStringLiteral("https")) << "only exactly \"http\" is http";

    sheet->displayNameField()->setText(QStringLiteral("Media "));
    sheet->domainRows()[1].host->setText(QStringLiteral(" img2.example.net"));
    sheet->domainRows()[1].key->setText(QStringLiteral("typed-key"));
    sheet->addButton()->click();
    ASSERT_EQ(sheet->domainRows().size(), 3U);
    EXPECT_EQ(sheet->domainRows()[2].scheme->currentText(), QStringLiteral("https"));
    EXPECT_EQ(sheet->domainRows()[2].host->text(), QString());
    EXPECT_EQ(sheet->domainRows()[1].key->text(), QStringLiteral("typed-key"));

    sheet->domainRows()[0].widget->findChild<QPushButton*>(QStringLiteral("deleteDomain"))->click();
    settle();
    ASSERT_EQ(sheet->domainRows().size(), 2U);
    EXPECT_EQ(sheet->domainRows()[0].id, m_second);
    EXPECT_EQ(sheet->domainRows()[0].host->text(), QStringLiteral(" img2.example.net"));
    EXPECT_EQ(sheet->domainRows()[0].key->text(), QStringLiteral("typed-key"));

    sheet->domainRows()[1].host->setText(QStringLiteral("  "));  // a blank host is no domain
    QTest::keyClick(sheet->displayNameField(), Qt::Key_Return);
    ASSERT_EQ(m_saved.size(), 1U);
    const BucketForm& form = m_saved.front();
    EXPECT_EQ(form.id, m_bucketID);
    EXPECT_EQ(form.displayName, "Media ") << "trimming is the state's business";
    ASSERT_EQ(form.publicDomains.size(), 1U);
    EXPECT_EQ(form.publicDomains[0], (PublicDomainForm{m_second, "https", " img2.example.net", "typed-key"}));
    EXPECT_FALSE(state().showingBucketEditor());
}

TEST_F(BucketFormSheetTest, AKeyThatCouldNotBeReadIsShownAsSuchAndKept)
{
    const BucketFormSheet::Operations operations = withForm(
        {{m_first, "https", "cdn.example.com", std::nullopt}, {m_second, "http", "img.example.net", "second-key"}});
    BucketFormSheet* sheet = open(operations);
    ASSERT_NE(sheet, nullptr);
    QLineEdit* unreadable = sheet->domainRows()[0].key;
    EXPECT_EQ(unreadable->text(), QString());
    EXPECT_EQ(unreadable->placeholderText(), QStringLiteral("Stored key could not be read"));
    EXPECT_EQ(sheet->domainRows()[1].key->placeholderText(), QStringLiteral("CDN auth key (optional)"));

    // Untouched, through a row edit and a save: the form says nothing of that key.
    sheet->addButton()->click();
    EXPECT_EQ(sheet->domainRows()[0].key->placeholderText(), QStringLiteral("Stored key could not be read"));
    sheet->saveButton()->click();
    ASSERT_EQ(m_saved.size(), 1U);
    ASSERT_EQ(m_saved[0].publicDomains.size(), 2U);
    EXPECT_EQ(m_saved[0].publicDomains[0].cdnAuthKey, std::nullopt);
    EXPECT_EQ(m_saved[0].publicDomains[1].cdnAuthKey, "second-key");
    EXPECT_EQ(m_saved[0].publicDomains[1].scheme, "http");

    // A key typed over it replaces it.
    state().setShowingBucketEditor(false);
    settle();
    sheet = open(operations);
    ASSERT_NE(sheet, nullptr);
    sheet->domainRows()[0].key->setText(QStringLiteral("new-key"));
    sheet->saveButton()->click();
    ASSERT_EQ(m_saved.size(), 2U);
    EXPECT_EQ(m_saved[1].publicDomains[0].cdnAuthKey, "new-key");
}

TEST_F(BucketFormSheetTest, AFormThatCouldNotBeMadeStillEditsWithoutTouchingKeys)
{
    BucketFormSheet::Operations operations = recordingSave();
    operations.makeForm = [](BucketConfig) -> QCoro::Task<BucketForm> {
        throw std::runtime_error("the keyring is gone");
        co_return BucketForm{};
    };
    BucketFormSheet* sheet = open(operations);
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->domainRows().size(), 2U);
    EXPECT_EQ(sheet->domainRows()[1].key->placeholderText(), QStringLiteral("Stored key could not be read"));
    sheet->displayNameField()->setText(QStringLiteral("Press kit"));
    sheet->saveButton()->click();
    ASSERT_EQ(m_saved.size(), 1U);
    EXPECT_EQ(m_saved[0].id, m_bucketID);
    EXPECT_EQ(m_saved[0].displayName, "Press kit");
    ASSERT_EQ(m_saved[0].publicDomains.size(), 2U);
    EXPECT_EQ(m_saved[0].publicDomains[0].cdnAuthKey, std::nullopt);
    EXPECT_EQ(m_saved[0].publicDomains[1].cdnAuthKey, std::nullopt);
}

TEST_F(BucketFormSheetTest, SaveStoresKeysAndSettingsAndCancelStoresNothing)
{
    m_secretStore.save("first-key", account(m_first));
    BucketFormSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->domainRows()[0].key->setText(QStringLiteral("changed"));
    sheet->displayNameField()->setText(QStringLiteral("Press kit"));
    sheet->cancelButton()->click();
    settle();
    EXPECT_FALSE(state().showingBucketEditor());
    EXPECT_EQ(m_secretStore.secret(account(m_first)), "first-key");
    EXPECT_EQ(state().allBuckets().front().displayName, "media");

    sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->domainRows()[0].key->setText(QStringLiteral(" changed "));
    sheet->domainRows()[1].key->setText(QStringLiteral("second-key"));
    sheet->displayNameField()->setText(QStringLiteral("Press kit"));
    sheet->saveButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return state().allBuckets().front().displayName == "Press kit"; }));
    EXPECT_EQ(m_secretStore.secret(account(m_first)), "changed");
    EXPECT_EQ(m_secretStore.secret(account(m_second)), "second-key");
    const std::vector<PublicDomain> domains = state().allBuckets().front().publicDomains;
    ASSERT_EQ(domains.size(), 2U);
    EXPECT_TRUE(domains[1].hasCDNAuthKey);
}

TEST_F(BucketFormSheetTest, LookOverTheDimmedWindow)
{
    const BucketFormSheet::Operations operations = withForm(
        {{m_first, "https", "cdn.example.com", "key"}, {m_second, "http", "img.example.net:8443", std::nullopt}},
        "Media");
    for (const QString& code : {QStringLiteral("zh"), QStringLiteral("en")}) {
        L10n::setLanguageCode(code);
        BucketFormSheet* sheet = open(operations);
        ASSERT_NE(sheet, nullptr);
        sheet->addButton()->click();
        saveGrab(window(), code);
        state().setShowingBucketEditor(false);
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
