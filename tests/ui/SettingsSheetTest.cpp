#include "ui/SheetFixture.h"
#include "ui/WindowFixture.h"
#include "ui/UiTestSupport.h"

#include "app/text/L10n.h"
#include "ui/sheets/AddBucketSheet.h"
#include "ui/sheets/HistorySheet.h"
#include "ui/sheets/SettingsSheet.h"
#include "ui/sheets/SettingsSideItem.h"
#include "ui/theme/MakerSite.h"
#include "ui/views/WrappingLabel.h"
#include "ui/window/MainWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

using ::testing::ElementsAre;

constexpr std::int64_t kMiB = 1048576;


class SettingsSheetTest : public SheetFixture {
protected:
    SettingsSheetTest() { makePresenter(); }

    ~SettingsSheetTest() override
    {
        for (const std::string& account : m_secretStore.allAccounts()) {
            m_secretStore.deleteSecret(account);
        }
    }

    SettingsSheet* open()
    {
        state().setShowingAppSettings(true);
        settle();
        return qobject_cast<SettingsSheet*>(presenter().sheet(SheetKind::appSettings));
    }

    void change(const std::function<void(AppConfig&)>& edit)
    {
        AppConfig config = state().config();
        edit(config);
        state().setConfig(config);
    }

    AppConfig stored() const { return std::get<AppConfig>(ConfigStore(m_configStore.configURL()).loadRaw()); }

    static std::vector<QWidget*> accountRows(SettingsSheet* sheet)
    {
        std::vector<QWidget*> rows;
        for (QWidget* row : sheet->page()->findChildren<QWidget*>(QStringLiteral("account"))) {
            rows.push_back(row);
        }
        return rows;
    }

    static QString rowText(QWidget* row, const char* name)
    {
        return row->findChild<WrappingLabel*>(QString::fromLatin1(name))->text();
    }
};

TEST_F(SettingsSheetTest, OpensOnGeneralWithTheLanguageChosen)
{
    struct Case {
        const char* code;
        const char* chosen;
    };
    for (const Case c : {Case{"en", "en"}, Case{"zh", "zh"}, Case{"fr", "zh"}}) {
        state().setLanguageCode(c.code);
        SettingsSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->currentPage(), SettingsSheet::Page::general);
        EXPECT_TRUE(sheet->sideItems().front()->isChosen());
        auto* chosen = sheet->page()->findChild<QPushButton*>(QString::fromLatin1(c.chosen));
        ASSERT_NE(chosen, nullptr);
        EXPECT_TRUE(chosen->isChecked()) << c.code;
        if (std::string(c.code) != "fr") {
            saveGrab(window(), QString::fromLatin1(c.code));
        }
        QTest::keyClick(sheet, Qt::Key_Return);
        settle();
        EXPECT_FALSE(state().showingAppSettings()) << "Return presses OK";
    }
}

TEST_F(SettingsSheetTest, ChoosingALanguageSwitchesAndKeepsIt)
{
    state().setLanguageCode("zh");
    SettingsSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    int changes = 0;
    QObject::connect(&state(), &AppState::languageCodeChanged, [&] { ++changes; });
    sheet->page()->findChild<QPushButton*>(QStringLiteral("en"))->click();
    EXPECT_EQ(state().languageCode(), "en");
    EXPECT_EQ(L10n::languageCode(), QStringLiteral("en"));
    EXPECT_EQ(stored().languageCode, "en");
    sheet->page()->findChild<QPushButton*>(QStringLiteral("en"))->click();
    EXPECT_EQ(changes, 1) << "the language shown already changes nothing";
}

TEST_F(SettingsSheetTest, SteppersSnapAndStoreWhatTheyShow)
{
    change([](AppConfig& config) {
        config.previewSizeLimitBytes = 100 * kMiB + kMiB / 2;  // not whole: shown rounded down
        config.multipartPartSizeMB = 12;                        // off the grid
    });
    SettingsSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[2]->click();
    QSpinBox* preview = sheet->previewStepper();
    QSpinBox* part = sheet->partStepper();
    ASSERT_TRUE(preview->isVisibleTo(sheet));
    EXPECT_EQ(preview->value(), 100);
    EXPECT_EQ(preview->text(), QStringLiteral("100 MB"));
    EXPECT_EQ(part->value(), 12);
    saveGrab(window(), QStringLiteral("en"));

    part->stepUp();
    EXPECT_EQ(state().config().multipartPartSizeMB, 15) << "12 + 5 is 17, stored on the grid";
    EXPECT_EQ(part->value(), 15);
    EXPECT_EQ(part->text(), QStringLiteral("15 MB"));

    struct PartCase {
        int value;
        std::int64_t stored;
    };
    for (const PartCase c : {PartCase{1024, 1020}, PartCase{14, 10}, PartCase{10, 10}, PartCase{33, 30}}) {
        part->setValue(c.value);
        EXPECT_EQ(state().config().multipartPartSizeMB, c.stored) << c.value;
        EXPECT_EQ(part->value(), c.stored) << c.value;
    }
    EXPECT_EQ(stored().multipartPartSizeMB, 30);

    struct PreviewCase {
        int value;
        std::int64_t bytes;
    };
    for (const PreviewCase c : {PreviewCase{2048, 2147483648LL}, PreviewCase{1, kMiB}, PreviewCase{110, 110 * kMiB}}) {
        preview->setValue(c.value);
        EXPECT_EQ(state().config().previewSizeLimitBytes, c.bytes) << c.value;
    }
    EXPECT_EQ(stored().previewSizeLimitBytes, 110 * kMiB);

    // The steppers outlive a trip to another page.
    sheet->sideItems()[0]->click();
    sheet->sideItems()[2]->click();
    EXPECT_EQ(sheet->partStepper(), part);
    EXPECT_EQ(part->value(), 30);
    EXPECT_EQ(preview->value(), 110);
}

TEST_F(SettingsSheetTest, AccountsPageListsEveryAccount)
{
    SettingsSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[1]->click();
    EXPECT_TRUE(accountRows(sheet).empty());
    EXPECT_NE(sheet->page()->findChild<QPushButton*>(QStringLiteral("addAccount")), nullptr);

    change([](AppConfig& config) {
        config.profiles = {makeProfile("Work", "https://s3.example.com", "r1", "AK1", {"a", "b"}),
                           makeProfile("Lab", "http://10.0.0.5:9000", "us-east-1", "AK2", {})};
    });
    QWidget* before = sheet->page();
    sheet->sideItems()[1]->click();
    EXPECT_NE(sheet->page(), before) << "choosing the page again builds it anew";
    const std::vector<QWidget*> rows = accountRows(sheet);
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rowText(rows[0], "name"), QStringLiteral("Work"));
    EXPECT_EQ(rowText(rows[0], "detail"), QStringLiteral("s3.example.com \u00B7 r1 \u00B7 2 buckets"));
    EXPECT_EQ(rowText(rows[1], "detail"), QStringLiteral("10.0.0.5 \u00B7 us-east-1 \u00B7 0 buckets"));
    saveGrab(window(), QStringLiteral("en"));
    sheet->okButton()->click();
    settle();

    L10n::setLanguageCode(QStringLiteral("zh"));
    sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[1]->click();
    EXPECT_EQ(rowText(accountRows(sheet)[0], "detail"), QString::fromUtf8("s3.example.com \u00B7 r1 \u00B7 2 个桶"));
    saveGrab(window(), QStringLiteral("zh"));
}

// Delete asks first; confirmed, the account leaves the configuration and the
// keyring, and the page is built again without it.
TEST_F(SettingsSheetTest, DeletingAnAccountAsksAndRemovesItsSecret)
{
    const StorageProfile work = makeProfile("Work", "https://s3.example.com", "r1", "AK1", {"a"});
    const StorageProfile lab = makeProfile("Lab", "https://s3.example.org", "r1", "AK2", {"b"});
    change([&](AppConfig& config) { config.profiles = {work, lab}; });
    const std::string account = KeychainSecretStore::accountSecretAccount(work.endpoint, work.region, work.accessKeyID);
    m_secretStore.save("secret", account);

    SettingsSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[1]->click();

    m_ui.alertAnswers = {false};
    accountRows(sheet)[0]->findChild<QPushButton*>(QStringLiteral("delete"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_ui.alertsShown.size() == 1; }, 5000));
    settle();
    EXPECT_EQ(m_ui.alertsShown.front().message, QStringLiteral("Delete this account?"));
    EXPECT_EQ(m_ui.alertsShown.front().confirmButton, QStringLiteral("Delete"));
    EXPECT_EQ(state().config().profiles.size(), 2U);
    EXPECT_EQ(accountRows(sheet).size(), 2U);

    m_ui.alertAnswers = {true};
    accountRows(sheet)[0]->findChild<QPushButton*>(QStringLiteral("delete"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state().config().profiles.size() == 1; }, 5000));
    EXPECT_EQ(state().config().profiles.front().id, lab.id);
    EXPECT_EQ(stored().profiles.size(), 1U);
    const std::vector<QWidget*> rows = accountRows(sheet);
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rowText(rows[0], "name"), QStringLiteral("Lab"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_secretStore.secret(account).has_value(); }, 10000));
    EXPECT_TRUE(state().showingAppSettings());
}

TEST_F(SettingsSheetTest, EditAndAddHandOverToTheAccountSheet)
{
    const StorageProfile work = makeProfile("Work", "https://s3.example.com", "r1", "AK1", {"a"});
    change([&](AppConfig& config) { config.profiles = {work}; });
    SettingsSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[1]->click();
    accountRows(sheet)[0]->findChild<QPushButton*>(QStringLiteral("edit"))->click();
    EXPECT_FALSE(state().showingAppSettings());
    EXPECT_FALSE(state().showingAddBucketEditor()) << "not while the settings close";
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter().sheet(SheetKind::addBucket) != nullptr; }, 5000));
    auto* editor = qobject_cast<AddBucketSheet*>(presenter().sheet(SheetKind::addBucket));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isEditing());
    EXPECT_EQ(editor->profileField()->text(), QStringLiteral("Work"));
    EXPECT_EQ(presenter().sheet(SheetKind::appSettings), nullptr);
    editor->cancelButton()->click();
    settle();

    sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[1]->click();
    sheet->page()->findChild<QPushButton*>(QStringLiteral("addAccount"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter().sheet(SheetKind::addBucket) != nullptr; }, 5000));
    editor = qobject_cast<AddBucketSheet*>(presenter().sheet(SheetKind::addBucket));
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->isEditing());
}

TEST_F(SettingsSheetTest, AdvancedPageSwitchesLoggingAndOpensTheHistory)
{
    SettingsSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    sheet->sideItems()[3]->click();
    auto* debug = sheet->page()->findChild<QCheckBox*>(QStringLiteral("debugLogging"));
    ASSERT_NE(debug, nullptr);
    EXPECT_FALSE(debug->isChecked());
    saveGrab(window());
    debug->click();
    EXPECT_TRUE(state().config().debugLogging);
    EXPECT_TRUE(stored().debugLogging);
    debug->click();
    EXPECT_FALSE(stored().debugLogging);

    state().recordHistory(QStringLiteral("Upload"), QStringLiteral("a.txt"), "media", true);
    sheet->page()->findChild<QPushButton*>(QStringLiteral("history"))->click();
    EXPECT_FALSE(state().showingAppSettings());
    EXPECT_EQ(stored().history.size(), 1U) << "written before the history opens";
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter().sheet(SheetKind::history) != nullptr; }, 5000));
    EXPECT_EQ(qobject_cast<HistorySheet*>(presenter().sheet(SheetKind::history))->rows().size(), 1U);
}

TEST_F(SettingsSheetTest, AboutPageLinksToTheSiteOnlyWhenOneIsSet)
{
    for (const char* language : {"en", "zh"}) {
        L10n::setLanguageCode(QString::fromLatin1(language));
        SettingsSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        sheet->sideItems()[4]->click();
        auto* website = sheet->page()->findChild<QPushButton*>(QStringLiteral("website"));
        EXPECT_EQ(website != nullptr, !MakerSite::url().isEmpty());
        if (website != nullptr) {
            website->click();
            EXPECT_THAT(m_ui.openedUrls, ElementsAre(MakerSite::url()));
            m_ui.openedUrls.clear();
        }
        saveGrab(window(), QString::fromLatin1(language));
        sheet->okButton()->click();
        settle();
        EXPECT_FALSE(state().showingAppSettings());
    }
}

// In the program, the language button belongs to the window content that the change
// rebuilds: the rebuild waits for a later turn, and the settings close with it.
class SettingsLanguageTest : public WindowFixture {};

TEST_F(SettingsLanguageTest, ChoosingALanguageRebuildsTheWindowAfterTheClick)
{
    AppDelegate& delegate = launch();
    delegate.state().setShowingAppSettings(true);
    test::settle();
    QPointer<SettingsSheet> sheet = delegate.window()->findChild<SettingsSheet*>();
    ASSERT_FALSE(sheet.isNull());
    const std::string before = delegate.state().languageCode();
    const char* other = before == "en" ? "zh" : "en";
    QPointer<QPushButton> button = sheet->page()->findChild<QPushButton*>(QString::fromLatin1(other));
    ASSERT_FALSE(button.isNull());
    button->click();
    EXPECT_FALSE(button.isNull()) << "nothing is deleted inside the click";
    EXPECT_EQ(delegate.state().languageCode(), other);
    test::settle();
    test::settle();
    EXPECT_TRUE(sheet.isNull());
    EXPECT_FALSE(delegate.state().showingAppSettings());
    EXPECT_EQ(delegate.window()->findChild<SettingsSheet*>(), nullptr);
}

}  // namespace
}  // namespace tarn::test
