#include "AccountsFixture.h"
#include "PastedCommand.h"
#include "ScopedFileSizeLimit.h"
#include "ScriptedUiServices.h"

#include "app/text/L10n.h"
#include "core/config/ConfigJson.h"
#include "core/config/KeychainSecretStore.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

using tarn::test::finishWithin;
using tarn::test::readFile;
using tarn::test::readTestData;
using tarn::test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace tarn {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

Uuid uuid(const char* text) { return *Uuid::parse(text); }

// An import opens the first bucket, which puts it in front of the recent buckets.
json withRecent(json config, const Uuid& opened) {
    json recent = json::array({opened.toString()});
    for (const json& id : config["recentBucketIDs"]) {
        if (id != recent.front()) recent.push_back(id);
    }
    config["recentBucketIDs"] = recent;
    return config;
}

// The configuration as the file writes it; with `generatedIDs`, the random IDs that
// a migration gives new profiles replaced by a fixed mark.
json comparable(const AppConfig& config, bool generatedIDs) {
    json written = json::parse(ConfigJson::encodeAppConfig(config));
    if (generatedIDs) {
        for (json& profile : written["profiles"]) profile["id"] = "(generated)";
    }
    return written;
}

// A configuration of one account is in place and saved; the user's choices and
// answers come from a script.
class AppStateImportExportTest : public test::AccountsFixture {
protected:
    void SetUp() override {
        AccountsFixture::SetUp();
        if (IsSkipped()) return;
        m_state->setUiServices(&m_ui);
        setProfiles({makeProfile("Current", "https://current.example.com", "r0", "AK0", {"current"})});
        m_state->saveConfig();
        m_fileBefore = readFile(m_configStore.configURL());
        m_configBefore = m_state->config();
    }

    // Imports `bytes` from a file, answering the confirmation (and any later alert)
    // with `confirm`.
    void importFile(const std::string& bytes, bool confirm = true) {
        const fs::path file = m_folder.path() / "chosen.json";
        writeFile(file, bytes);
        m_ui.fileChoices.push_back({file});
        m_ui.alertAnswers = {confirm, true};
        ASSERT_TRUE(finishWithin(m_state->importConfig()));
    }
    fs::path backupFile() const { return m_configStore.beforeImportBackupURL(); }
    void expectNothingImported() {
        EXPECT_EQ(m_state->config(), m_configBefore);
        EXPECT_EQ(readFile(m_configStore.configURL()), m_fileBefore);
        EXPECT_FALSE(fs::exists(backupFile()));
    }

    test::ScriptedUiServices m_ui;
    test::ScopedLogHome m_logHome;  // the imported file may switch the debug log on
    std::string m_fileBefore;
    AppConfig m_configBefore;
};

TEST_F(AppStateImportExportTest, FilesOfEverySchemaAreMigratedAndReplaceTheConfiguration) {
    struct Case {
        const char* name;
        const char* expected;
        std::size_t accounts;
        // A token key stored under the bucket ID of the file, and where it must be found afterwards.
        std::string keyBefore;
        std::string keyAfter;
    };
    const Uuid domain = uuid("DDDDDDDD-0000-4000-8000-000000000001");
    const Case cases[] = {
        {"legacy", "legacy.expected", 3,
         KeychainSecretStore::cdnAccount(uuid("11111111-0000-4000-8000-000000000001"), domain),
         KeychainSecretStore::cdnAccount(uuid("199BB4BB-8FC9-5428-B4A5-C03AE0B69309"), domain)},
        {"schema1", "schema1.expected", 2,
         KeychainSecretStore::cdnAccount(uuid("AB2141D7-C0D4-5B0A-96AE-59782F1EB751"),
                                         uuid("DDDDDDDD-0000-4000-8000-000000000011")),
         KeychainSecretStore::cdnAccount(uuid("E0A850C1-145B-5C77-A74D-80478BFAF419"),
                                         uuid("DDDDDDDD-0000-4000-8000-000000000011"))},
        {"schema2", "schema2", 1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.keyBefore.empty()) m_secretStore.save("token", c.keyBefore);
        fs::remove(backupFile());
        const std::string fileBefore = readFile(m_configStore.configURL());
        m_ui.alertsShown.clear();
        m_toasts.clear();
        const std::string file = readTestData("config/" + std::string(c.name) + ".json");
        // The legacy file switches the debug log on, and the question says so.
        QString confirmation = L10n::t(QStringLiteral("import_confirm_message"), c.accounts);
        if (json::parse(file).value("debugLogging", false) && !m_state->config().debugLogging) {
            confirmation += QStringLiteral("\n\n") + L10n::t(QStringLiteral("import_turns_on_logging"));
        }

        importFile(file);

        ASSERT_FALSE(m_state->allBuckets().empty());
        const Uuid first = m_state->allBuckets().front().id;
        EXPECT_EQ(m_state->selectedBucketID(), first);
        const json expected =
            withRecent(json::parse(readTestData("config/" + std::string(c.expected) + ".json")), first);
        EXPECT_EQ(comparable(m_state->config(), std::string(c.name) == "legacy"), expected);
        EXPECT_EQ(m_state->config(), std::get<AppConfig>(m_configStore.loadRaw()));
        EXPECT_EQ(readFile(backupFile()), fileBefore) << "the replaced file is kept";
        if (!c.keyBefore.empty()) {
            EXPECT_EQ(stored(c.keyAfter), "token") << "the key follows its bucket";
            EXPECT_EQ(stored(c.keyBefore), std::nullopt);
        }
        EXPECT_EQ(m_state->languageCode(), m_state->config().languageCode);

        // The confirmation names the number of accounts; no secret is on this
        // computer, so the report lists every account.
        ASSERT_EQ(m_ui.alertsShown.size(), 2u);
        EXPECT_EQ(m_ui.alertsShown[0].informativeText, confirmation);
        EXPECT_EQ(m_ui.alertsShown[1].message, L10n::t(QStringLiteral("import_missing_title")));
        for (const StorageProfile& profile : m_state->config().profiles) {
            EXPECT_THAT(m_ui.alertsShown[1].informativeText.toStdString(), HasSubstr(profile.name));
        }
        EXPECT_THAT(m_toasts, IsEmpty());
    }
}

TEST_F(AppStateImportExportTest, FilesThatAreNoUsableConfigurationImportNothing) {
    json newer = json::parse(readTestData("config/schema2.json"));
    newer["schemaVersion"] = 3;
    const struct {
        const char* what;
        std::string bytes;
        QString toast;
    } cases[] = {
        {"a newer schema", newer.dump(), L10n::t(QStringLiteral("import_invalid"))},
        {"no account", R"({"schemaVersion": 2, "profiles": []})", L10n::t(QStringLiteral("import_invalid"))},
        {"an old file without accounts", "{}", L10n::t(QStringLiteral("import_invalid"))},
        {"not JSON", "<config/>", {}},
        {"a broken record", R"({"schemaVersion": 2, "profiles": [{"id": "x"}]})", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_toasts.clear();
        m_ui.alertsShown.clear();
        importFile(c.bytes);
        ASSERT_EQ(m_toasts.size(), 1u);
        EXPECT_EQ(m_toasts.front().kind, ToastKind::error);
        if (!c.toast.isEmpty()) {
            EXPECT_EQ(m_toasts.front().text, c.toast);
        }
        EXPECT_THAT(m_ui.alertsShown, IsEmpty()) << "nothing to confirm";
        expectNothingImported();
    }
}

TEST_F(AppStateImportExportTest, DecliningTheConfirmationImportsNothing) {
    importFile(readTestData("config/schema2.json"), false);
    ASSERT_EQ(m_ui.alertsShown.size(), 1u);
    EXPECT_EQ(m_ui.alertsShown[0].message, L10n::t(QStringLiteral("import_confirm_title")));
    EXPECT_EQ(m_ui.alertsShown[0].confirmButton, L10n::t(QStringLiteral("import_confirm_button")));
    expectNothingImported();
    EXPECT_THAT(m_toasts, IsEmpty());

    // And cancelling the file chooser asks nothing at all.
    ASSERT_TRUE(finishWithin(m_state->importConfig()));
    EXPECT_EQ(m_ui.alertsShown.size(), 1u);
}

TEST_F(AppStateImportExportTest, TheConfirmationSaysWhenTheFileTurnsTheDebugLogOn) {
    const std::string withLog = [] {
        json config = json::parse(readTestData("config/schema2.json"));
        config["debugLogging"] = true;
        return config.dump();
    }();
    const QString plain = L10n::t(QStringLiteral("import_confirm_message"), 1);
    const QString warned = plain + QStringLiteral("\n\n") + L10n::t(QStringLiteral("import_turns_on_logging"));
    struct Case {
        const char* name;
        bool onBefore;
        std::string file;
        QString confirmation;
    };
    const Case cases[] = {
        {"turned on", false, withLog, warned},
        {"left off", false, readTestData("config/schema2.json"), plain},
        {"already on", true, withLog, plain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppConfig config = m_configBefore;
        config.debugLogging = c.onBefore;
        m_state->setConfig(config);
        m_ui.alertsShown.clear();
        importFile(c.file, false);
        ASSERT_FALSE(m_ui.alertsShown.empty());
        EXPECT_EQ(m_ui.alertsShown[0].informativeText, c.confirmation);
        EXPECT_EQ(m_state->config().debugLogging, c.onBefore) << "declined: nothing changed";
    }
}

TEST_F(AppStateImportExportTest, AnAccountMovedToAnotherSchemeOrPortNeedsItsSecretEnteredAgain) {
    const StorageProfile current = m_configBefore.profiles.front();
    m_ui.hostsTheSheetAdds = {"current.example.com"};
    const std::string account =
        KeychainSecretStore::accountSecretAccount(current.endpoint, current.region, current.accessKeyID);
    struct Case {
        const char* endpoint;
        bool savedBefore;  // saved before the place of a secret was recorded
        bool secretServes;
    };
    const Case cases[] = {
        {"https://current.example.com:443", false, true}, {"http://current.example.com", false, false},
        {"https://current.example.com:8443", false, false}, {"https://current.example.com:443", true, true},
        {"http://current.example.com", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + (c.savedBefore ? " (saved before)" : ""));
        m_state->setConfig(m_configBefore);
        m_secretStore.deleteSecret(account);
        if (c.savedBefore) {
            m_secretStore.save("secret", account);
        } else {
            m_secretStore.save("secret", account, KeychainSecretStore::originOf(current.endpoint));
        }
        AppConfig moved = m_configBefore;
        moved.profiles.front().endpoint = *Url::parse(c.endpoint);
        m_ui.alertsShown.clear();
        importFile(ConfigJson::encodeAppConfig(moved));

        ASSERT_EQ(m_state->config().profiles.front().endpoint.absoluteString(), c.endpoint);
        const BucketConfig bucket = m_state->allBuckets().front();
        EXPECT_EQ(AppState::secretFromStore(m_secretStore, bucket).has_value(), c.secretServes);
        if (c.secretServes) {
            EXPECT_EQ(m_ui.alertsShown.size(), 1u) << "no key is missing: no report";
        } else {
            ASSERT_EQ(m_ui.alertsShown.size(), 2u);
            EXPECT_EQ(m_ui.alertsShown[1].informativeText,
                      L10n::t(QStringLiteral("import_missing_accounts"), QString::fromStdString(current.name)));
        }
    }
    m_secretStore.deleteSecret(account);
}

// The add-account sheet cannot take the secret of an account on a server of none of
// its providers: the report says so in the file's language and gives, for each such
// account, a command that stores its secret where the account finds it, as pasted
// into a shell with the secret typed at its prompt.
TEST_F(AppStateImportExportTest, TheReportGivesAccountsTheSheetCannotAddACommandThatStoresTheirSecret) {
    m_ui.hostsTheSheetAdds = {"provider.example.com"};
    AppConfig file = m_configBefore;
    file.profiles = {
        makeProfile("Provider", "https://provider.example.com", "r1", "AK1", {"one"}),
        // Capitals, a port, and a name and key that a shell must be kept from reading.
        makeProfile("Bob's MinIO", "https://Minio.Example.com:9000", "us-east-1", "AK 2|$(x)", {"two"}),
        makeProfile("Lab", "http://10.0.0.5", "lab", "AK3", {"three"}),
        makeProfile("Lab, again", "http://10.0.0.5", "lab", "AK3", {"four"}),  // the same account
    };
    QStringList keyringTexts;
    QStringList commands;
    for (const char* language : {"zh", "en"}) {
        SCOPED_TRACE(language);
        file.languageCode = language;
        m_ui.alertsShown.clear();
        importFile(ConfigJson::encodeAppConfig(file));
        ASSERT_EQ(m_ui.alertsShown.size(), 2u);
        EXPECT_EQ(m_ui.alertsShown[1].message, L10n::t(QStringLiteral("import_missing_title")));
        const QStringList paragraphs = m_ui.alertsShown[1].informativeText.split(QStringLiteral("\n\n"));
        ASSERT_EQ(paragraphs.size(), 3);
        EXPECT_EQ(paragraphs[0], L10n::t(QStringLiteral("import_missing_accounts"), "Provider"));
        EXPECT_EQ(paragraphs[1], L10n::t(QStringLiteral("import_missing_accounts_keyring"), "Bob's MinIO, Lab, Lab, again"));
        keyringTexts.push_back(paragraphs[1]);
        commands = paragraphs[2].split(QLatin1Char('\n'));
    }
    EXPECT_NE(keyringTexts[0], keyringTexts[1]) << "each language has its own text";
    ASSERT_EQ(commands.size(), 2) << "one command for each account: " << commands.join('\n').toStdString();

    for (int i = 0; i < commands.size(); ++i) {
        std::string printed;
        EXPECT_TRUE(test::runPasted(commands[i].toStdString(), "secret-" + std::to_string(i), &printed))
            << commands[i].toStdString() << "\n" << printed;
    }
    std::map<std::string, std::optional<std::string>> secrets;
    std::map<std::string, BucketConfig> buckets;
    for (const BucketConfig& bucket : m_state->allBuckets()) {
        secrets[bucket.bucketName] = AppState::secretFromStore(m_secretStore, bucket);
        buckets[bucket.bucketName] = bucket;
    }
    EXPECT_EQ(secrets["one"], std::nullopt) << "the sheet's account is left to the sheet";
    EXPECT_EQ(secrets["two"], "secret-0");
    EXPECT_EQ(secrets["three"], "secret-1");
    EXPECT_EQ(secrets["four"], "secret-1");

    // Stored for its scheme and port alone: an account moved elsewhere does not get it.
    BucketConfig moved = buckets["two"];
    moved.endpoint = *Url::parse("https://Minio.Example.com:9443");
    EXPECT_EQ(AppState::secretFromStore(m_secretStore, moved), std::nullopt);
}

// The disk fills up after the backup: the configuration in memory and its file stay
// as they were.
TEST_F(AppStateImportExportTest, AnImportThatCannotBeSavedChangesNothing) {
    const fs::path file = m_folder.path() / "chosen.json";
    writeFile(file, readTestData("config/schema2.json"));
    m_ui.fileChoices.push_back({file});
    m_ui.alertAnswers = {true};
    {
        const test::ScopedFileSizeLimit fullDisk(m_fileBefore.size());
        ASSERT_TRUE(finishWithin(m_state->importConfig()));
    }
    EXPECT_EQ(m_state->config(), m_configBefore);
    EXPECT_EQ(readFile(m_configStore.configURL()), m_fileBefore);
    EXPECT_EQ(readFile(backupFile()), m_fileBefore);
    ASSERT_EQ(m_toasts.size(), 1u);
    EXPECT_EQ(m_toasts.front().kind, ToastKind::error);
}

TEST_F(AppStateImportExportTest, AnExportImportsBackAsTheSameConfiguration) {
    AppConfig config = m_state->config();
    config.languageCode = "en";
    config.bucketSettings[m_state->allBuckets().front().id.toString()] = {
        "Shown", {{uuid("DDDDDDDD-0000-4000-8000-0000000000AA"), "https", "cdn.example.com", true}}};
    config.favoriteBucketIDs = {m_state->allBuckets().front().id};
    m_state->setConfig(config);
    // On screen, as the import will show it again.
    m_state->switchBucket(m_state->allBuckets().front().id, "");
    m_state->recordHistory(QStringLiteral("Upload"), QStringLiteral("a.txt"), "current", true, 12, 0.5);
    m_secretStore.save("secret", KeychainSecretStore::accountSecretAccount(m_state->allBuckets().front()));
    m_secretStore.save("token", KeychainSecretStore::cdnAccount(m_state->allBuckets().front().id,
                                                                uuid("DDDDDDDD-0000-4000-8000-0000000000AA")));

    const fs::path exported = m_folder.path() / "TarnManager-config.json";
    m_ui.saveChoices.push_back(exported);
    ASSERT_TRUE(finishWithin(m_state->exportConfig()));
    EXPECT_THAT(m_ui.saveChoicesShown, ElementsAre(QStringLiteral("TarnManager-config.json")));
    EXPECT_THAT(m_toasts, ElementsAre(ToastMessage{L10n::t(QStringLiteral("export_done")), ToastKind::info}));
    const AppConfig exportedConfig = m_state->config();
    ASSERT_EQ(exportedConfig.history.size(), 1u) << "the buffered entry is written first";
    EXPECT_EQ(readFile(exported), ConfigJson::encodeAppConfig(exportedConfig));

    // Something changes, then the export comes back.
    m_state->renameProfile(exportedConfig.profiles.front().id, "Renamed");
    m_toasts.clear();
    m_ui.alertAnswers = {true};
    m_ui.fileChoices.push_back({exported});
    ASSERT_TRUE(finishWithin(m_state->importConfig()));
    EXPECT_EQ(m_state->config(), exportedConfig);
    EXPECT_EQ(std::get<AppConfig>(m_configStore.loadRaw()), exportedConfig);
    EXPECT_EQ(m_ui.alertsShown.size(), 1u) << "no key is missing: no report";
    EXPECT_THAT(m_toasts, ElementsAre(ToastMessage{L10n::t(QStringLiteral("import_done")), ToastKind::info}));

    // A cancelled save chooser writes nothing.
    fs::remove(exported);
    ASSERT_TRUE(finishWithin(m_state->exportConfig()));
    EXPECT_FALSE(fs::exists(exported));
}

}  // namespace
}  // namespace tarn
