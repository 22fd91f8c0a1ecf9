#include "core/config/ConfigJson.h"
#include "core/config/ConfigMigrator.h"
#include "core/config/ConfigStore.h"

#include "ScopedEnv.h"
#include "TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace tarn;
using tarn::test::readFile;
using tarn::test::readTestData;
using tarn::test::ScopedEnv;
using tarn::test::TemporaryFolder;
using tarn::test::writeFile;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

AppConfig sampleConfig(const char* language) {
    AppConfig config = ConfigStore::defaultConfig();
    config.languageCode = language;
    config.profiles = {StorageProfile{*Uuid::parse("33333333-0000-4000-8000-000000000001"), "Main",
                                      *Url::parse("https://s3.example.com"), "r1", "AK", {"media"}}};
    return config;
}

// What the start-up loading does with a file of any schema.
AppConfig loadAndMigrate(const ConfigStore& store) {
    const ConfigStore::RawLoad raw = store.loadRaw();
    if (const auto* legacy = std::get_if<LegacyAppConfig>(&raw)) {
        store.backupLegacyFile();
        return ConfigMigrator::migrate(*legacy).config;
    }
    const AppConfig& current = std::get<AppConfig>(raw);
    if (current.schemaVersion > AppConfig::profileCentricSchemaVersion) return current;
    return ConfigMigrator::upgradeToAccountScopedBucketIDs(current).config;
}

class ConfigStoreTest : public ::testing::Test {
protected:
    TemporaryFolder m_temp;
    fs::path m_file = m_temp.path() / "config.json";
};

}  // namespace

TEST_F(ConfigStoreTest, MissingFileReadsAsTheDefaultsAndWritesNothing) {
    const ConfigStore store(m_temp.path() / "TarnManager" / "config.json");
    const auto raw = store.loadRaw();
    ASSERT_TRUE(std::holds_alternative<AppConfig>(raw));
    const AppConfig& config = std::get<AppConfig>(raw);
    EXPECT_EQ(config.schemaVersion, 2);
    EXPECT_EQ(config.languageCode, "zh");
    EXPECT_EQ(config.previewSizeLimitBytes, 52428800);
    EXPECT_EQ(config.multipartPartSizeMB, 10);
    EXPECT_TRUE(config.profiles.empty());
    EXPECT_TRUE(folderEntries(m_temp.path()).empty());
}

TEST_F(ConfigStoreTest, ClassifiesTheBytes) {
    enum class Kind { current, legacy, fails };
    struct Case {
        const char* bytes;
        Kind kind;
        std::int64_t schemaVersion = 0;    // of a current result
        const char* errorMentions = "";    // of a failure
    };
    const std::vector<Case> cases = {
        {"{}", Kind::legacy},
        {R"({"schemaVersion": 0, "languageCode": "en"})", Kind::legacy},
        {R"({"schemaVersion": -3})", Kind::legacy},
        {R"({"schemaVersion": null})", Kind::legacy},
        {R"({"schemaVersion": "2"})", Kind::legacy},
        {R"({"schemaVersion": 1.5})", Kind::legacy},
        {R"({"schemaVersion": 1})", Kind::current, 1},
        {R"({"schemaVersion": 2.0})", Kind::current, 2},
        {R"({"schemaVersion": 7})", Kind::current, 7},
        // Once the number says current, there is no second try as the older form.
        {R"({"schemaVersion": 2, "profiles": [{"id": "33333333-0000-4000-8000-000000000001"}]})", Kind::fails, 0,
         "profiles[0].name"},
        {R"({"schemaVersion": 2, "debugLogging": 1})", Kind::fails, 0, "debugLogging"},
        // Without a usable number, it is the older form's error that is reported.
        {R"({"schemaVersion": "2", "profiles": [{"id": "33333333-0000-4000-8000-000000000001", "name": "x"}]})",
         Kind::fails, 0, "profiles[0].buckets"},
        {"not json at all", Kind::fails, 0, "not valid JSON"},
        {R"({"schemaVersion": 1e400})", Kind::fails, 0, "cannot be read"},
        {R"({"schemaVersion": 2, "history": [{"bytes": -1e400}]})", Kind::fails, 0, "cannot be read"},
        {"", Kind::fails, 0, "not valid JSON"},
        {"[1, 2]", Kind::fails, 0, "expected an object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        if (c.kind == Kind::fails) {
            try {
                ConfigStore::interpret(c.bytes);
                ADD_FAILURE() << "decoded";
            } catch (const JsonDecodeError& error) {
                EXPECT_THAT(error.what(), ::testing::HasSubstr(c.errorMentions));
            }
            continue;
        }
        const auto raw = ConfigStore::interpret(c.bytes);
        if (c.kind == Kind::legacy) {
            ASSERT_TRUE(std::holds_alternative<LegacyAppConfig>(raw));
        } else {
            ASSERT_TRUE(std::holds_alternative<AppConfig>(raw));
            EXPECT_EQ(std::get<AppConfig>(raw).schemaVersion, c.schemaVersion);
        }
    }
    EXPECT_EQ(std::get<LegacyAppConfig>(ConfigStore::interpret("{}")), LegacyAppConfig{});
    EXPECT_EQ(std::get<LegacyAppConfig>(ConfigStore::interpret(R"({"schemaVersion": 0, "languageCode": "en"})"))
                  .languageCode,
              "en");
}

TEST_F(ConfigStoreTest, UnreadableFileThrows) {
    fs::create_directory(m_file);
    const ConfigStore store(m_file);
    EXPECT_THROW(store.loadRaw(), fs::filesystem_error);
}

// Start-up reads this path before it shows a window: a pipe there must not block
// it for ever, nor a device or a huge file fill the memory.
TEST_F(ConfigStoreTest, OnlyARegularFileOfSaneSizeIsRead) {
    const ConfigStore store(m_file);
    const auto expectRefused = [&](const char* mentions) {
        try {
            store.loadRaw();
            ADD_FAILURE() << "read";
        } catch (const fs::filesystem_error& error) {
            EXPECT_THAT(error.what(), ::testing::HasSubstr(mentions));
            EXPECT_EQ(error.path1(), m_file);
        }
    };
    {
        SCOPED_TRACE("a pipe with no writer");
        ASSERT_EQ(::mkfifo(m_file.c_str(), 0600), 0);
        expectRefused("not a regular file");
        fs::remove(m_file);
    }
    {
        SCOPED_TRACE("a link to an endless device");
        fs::create_symlink("/dev/zero", m_file);
        expectRefused("not a regular file");
        fs::remove(m_file);
    }
    {
        SCOPED_TRACE("a file beyond the size limit");
        writeFile(m_file, "{}");
        fs::resize_file(m_file, ConfigStore::maxFileBytes + 1);
        expectRefused("larger than 16777216 bytes");
    }
    // A link to a regular file is read like the file.
    writeFile(m_temp.path() / "real.json", R"({"schemaVersion": 2, "languageCode": "en"})");
    fs::remove(m_file);
    fs::create_symlink("real.json", m_file);
    EXPECT_EQ(std::get<AppConfig>(store.loadRaw()).languageCode, "en");
}

// Each generation loads, migrates and is written back in the current schema.
TEST_F(ConfigStoreTest, EveryGenerationSavesAsSchemaTwo) {
    for (const char* name : {"legacy", "schema1", "schema2"}) {
        SCOPED_TRACE(name);
        const std::string original = readTestData("config/" + std::string(name) + ".json");
        const json expected = json::parse(readTestData(
            "config/" + (std::string(name) == "schema2" ? "schema2.json" : std::string(name) + ".expected.json")));
        TemporaryFolder folder;
        const fs::path file = folder.path() / "config.json";
        writeFile(file, original);
        const ConfigStore store(file);

        const AppConfig migrated = loadAndMigrate(store);
        store.save(migrated);
        json written = json::parse(readFile(file));

        if (std::string(name) == "legacy") {
            // New profiles get fresh random IDs; everything else is fixed.
            std::set<std::string> ids;
            for (auto& profile : written["profiles"]) {
                EXPECT_TRUE(Uuid::parse(profile["id"].get<std::string>())) << profile["id"];
                ids.insert(profile["id"].get<std::string>());
                profile["id"] = "(generated)";
            }
            EXPECT_EQ(ids.size(), written["profiles"].size());
            EXPECT_EQ(readFile(store.legacyBackupURL()), original);
        } else {
            EXPECT_FALSE(fs::exists(store.legacyBackupURL()));
        }
        EXPECT_EQ(written, expected) << written.dump(2);

        // Read back, the file is current and needs no further migration.
        const auto again = store.loadRaw();
        ASSERT_TRUE(std::holds_alternative<AppConfig>(again));
        EXPECT_EQ(std::get<AppConfig>(again), migrated);
        EXPECT_THAT(folderEntries(folder.path()),
                    ::testing::IsSubsetOf({std::string("config.json"), std::string("config.json.v0.bak")}));
    }
}

TEST_F(ConfigStoreTest, MigrationOfTheFixturesNamesTheCdnKeysToMove) {
    const auto legacy = std::get<LegacyAppConfig>(ConfigStore::interpret(readTestData("config/legacy.json")));
    const MigrationResult fromLegacy = ConfigMigrator::migrate(legacy);
    const Uuid media = *Uuid::parse("199BB4BB-8FC9-5428-B4A5-C03AE0B69309");
    const auto id = [](const char* text) { return *Uuid::parse(text); };
    EXPECT_THAT(fromLegacy.cdnMoves,
                ::testing::ElementsAre(
                    CDNKeyMove{id("11111111-0000-4000-8000-000000000001"), media, id("DDDDDDDD-0000-4000-8000-000000000001")},
                    CDNKeyMove{id("11111111-0000-4000-8000-000000000001"), media, id("DDDDDDDD-0000-4000-8000-000000000002")},
                    CDNKeyMove{id("11111111-0000-4000-8000-000000000004"), media, id("DDDDDDDD-0000-4000-8000-000000000003")}));
    EXPECT_EQ(fromLegacy.idMap.size(), 5u);

    const auto schema1 = std::get<AppConfig>(ConfigStore::interpret(readTestData("config/schema1.json")));
    EXPECT_THAT(ConfigMigrator::upgradeToAccountScopedBucketIDs(schema1).cdnMoves,
                ::testing::ElementsAre(CDNKeyMove{id("AB2141D7-C0D4-5B0A-96AE-59782F1EB751"),
                                                  id("E0A850C1-145B-5C77-A74D-80478BFAF419"),
                                                  id("DDDDDDDD-0000-4000-8000-000000000011")}));
}

TEST_F(ConfigStoreTest, SaveWritesTheWholeFileAndRecreatesItsFolder) {
    const fs::path file = m_temp.path() / "TarnManager" / "config.json";
    const ConfigStore store(file);
    store.save(sampleConfig("en"));
    fs::remove_all(file.parent_path());
    store.save(sampleConfig("zh"));

    const std::string text = readFile(file);
    EXPECT_EQ(text, ConfigJson::encodeAppConfig(sampleConfig("zh")));
    EXPECT_THAT(folderEntries(file.parent_path()), ::testing::ElementsAre("config.json"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_all, fs::perms::none);
}

// Dotfile managers keep config.json as a link into their own tree: a save goes
// through the link to the file, and the link stays.
TEST_F(ConfigStoreTest, SaveThroughALinkReplacesItsTarget) {
    const fs::path managed = m_temp.path() / "dotfiles" / "tarn" / "config.json";
    fs::create_directories(managed.parent_path());
    writeFile(managed, "{}");
    fs::create_directories(m_temp.path() / "app");
    const fs::path file = m_temp.path() / "app" / "config.json";
    fs::create_symlink("../dotfiles/tarn/link.json", file);
    fs::create_symlink(managed, managed.parent_path() / "link.json");  // a chain of two

    const ConfigStore store(file);
    store.save(sampleConfig("en"));

    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(fs::read_symlink(file), "../dotfiles/tarn/link.json");
    EXPECT_EQ(readFile(managed), ConfigJson::encodeAppConfig(sampleConfig("en")));
    EXPECT_EQ(std::get<AppConfig>(store.loadRaw()), sampleConfig("en"));
    EXPECT_THAT(folderEntries(m_temp.path() / "app"), ::testing::ElementsAre("config.json"));
    EXPECT_THAT(folderEntries(managed.parent_path()), ::testing::ElementsAre("config.json", "link.json"));

    // A link that leads nowhere yet: the save creates the file it names.
    fs::remove(managed);
    store.save(sampleConfig("zh"));
    EXPECT_EQ(std::get<AppConfig>(store.loadRaw()).languageCode, "zh");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(managed)));
}

// Whatever the store writes, it reads back: one odd value must not make the whole
// file (and with it every account) unreadable, nor block every later save.
TEST_F(ConfigStoreTest, WhatIsSavedReadsBack) {
    const ConfigStore store(m_file);
    AppConfig config = sampleConfig("en");
    for (const char* endpoint : {"https://", "https:///images", "http://:9000"}) {
        config.profiles.push_back(StorageProfile{Uuid::random(), endpoint, *Url::parse(endpoint), "r", "AK", {}});
    }
    config.profiles.push_back(StorageProfile{Uuid::random(), "unset endpoint", Url(), "r", "AK", {}});
    // A local file name recorded in the history need not be UTF-8.
    config.history.push_back(OperationHistoryEntry{Uuid::random(), *IsoDate::parse("2024-01-01T00:00:00Z"), "b",
                                                   "Upload", "caf\xe9 \xff.txt", true, std::nullopt, std::nullopt});
    store.save(config);

    const AppConfig read = std::get<AppConfig>(store.loadRaw());
    ASSERT_EQ(read.profiles.size(), config.profiles.size());
    for (std::size_t i = 0; i < config.profiles.size(); ++i) {
        EXPECT_EQ(read.profiles[i], config.profiles[i]) << config.profiles[i].name;
    }
    for (std::size_t i = 1; i < read.profiles.size(); ++i) {
        EXPECT_FALSE(read.profiles[i].endpoint.host()) << read.profiles[i].name;
    }
    EXPECT_EQ(read.history.back().detail, "caf\uFFFD \uFFFD.txt");
}

TEST_F(ConfigStoreTest, Backups) {
    const ConfigStore store(m_file);
    store.backupBeforeImport();
    EXPECT_FALSE(store.backupLegacyFile());
    EXPECT_TRUE(folderEntries(m_temp.path()).empty());

    EXPECT_EQ(store.beforeImportBackupURL(), m_temp.path() / "config.json.before-import.bak");
    EXPECT_EQ(store.legacyBackupURL(), m_temp.path() / "config.json.v0.bak");

    writeFile(m_file, "first");
    store.backupBeforeImport();
    EXPECT_TRUE(store.backupLegacyFile());
    writeFile(m_file, "second");
    store.backupBeforeImport();
    EXPECT_FALSE(store.backupLegacyFile());

    // The import backup follows the file; the legacy backup keeps the first original.
    EXPECT_EQ(readFile(store.beforeImportBackupURL()), "second");
    EXPECT_EQ(readFile(store.legacyBackupURL()), "first");
    EXPECT_THAT(folderEntries(m_temp.path()),
                ::testing::ElementsAre("config.json", "config.json.before-import.bak", "config.json.v0.bak"));
}

TEST_F(ConfigStoreTest, DefaultLocationSeedsFromThePredecessorOnce) {
    const ScopedEnv configHome("XDG_CONFIG_HOME", m_temp.path().c_str());
    const fs::path predecessor = m_temp.path() / "TarnDesk" / "config.json";
    const fs::path ours = m_temp.path() / "TarnManager" / "config.json";

    EXPECT_EQ(ConfigStore().configURL(), ours);
    EXPECT_FALSE(fs::exists(ours.parent_path())) << "nothing to seed from, nothing created";

    fs::create_directories(predecessor.parent_path());
    writeFile(predecessor, R"({"languageCode": "en"})");
    const ConfigStore seeded;
    EXPECT_EQ(readFile(ours), R"({"languageCode": "en"})");
    EXPECT_EQ(readFile(predecessor), R"({"languageCode": "en"})");
    EXPECT_EQ(std::get<LegacyAppConfig>(seeded.loadRaw()).languageCode, "en");

    seeded.save(sampleConfig("zh"));
    writeFile(predecessor, R"({"languageCode": "fr"})");
    const ConfigStore restarted;
    EXPECT_EQ(std::get<AppConfig>(restarted.loadRaw()).languageCode, "zh");

    // Only a file removed by the user is seeded again.
    fs::remove(ours);
    const ConfigStore afterRemoval;
    EXPECT_EQ(readFile(ours), R"({"languageCode": "fr"})");
    EXPECT_THAT(folderEntries(ours.parent_path()), ::testing::ElementsAre("config.json"));
}

TEST_F(ConfigStoreTest, ExplicitPathNeverSeeds) {
    const ScopedEnv configHome("XDG_CONFIG_HOME", m_temp.path().c_str());
    fs::create_directories(m_temp.path() / "TarnDesk");
    writeFile(m_temp.path() / "TarnDesk" / "config.json", "{}");

    const fs::path ours = m_temp.path() / "TarnManager" / "config.json";
    const ConfigStore store(ours);
    EXPECT_FALSE(fs::exists(ours.parent_path()));
    EXPECT_EQ(std::get<AppConfig>(store.loadRaw()), ConfigStore::defaultConfig());
}

TEST_F(ConfigStoreTest, WithoutAnAbsoluteConfigHomeTheHomeFolderIsUsed) {
    const ScopedEnv home("HOME", m_temp.path().c_str());
    for (const char* configHome : {static_cast<const char*>(nullptr), "", "relative/folder"}) {
        const ScopedEnv env("XDG_CONFIG_HOME", configHome);
        EXPECT_EQ(ConfigStore().configURL(), m_temp.path() / ".config" / "TarnManager" / "config.json");
    }
}

// A write that fails part-way must leave the previous file as it was, and no
// temporary file behind.
TEST_F(ConfigStoreTest, FailedWritesKeepTheOldFile) {
    const ConfigStore store(m_file);
    store.save(sampleConfig("en"));
    const std::string before = readFile(m_file);
    const auto expectOldFileIntact = [&] {
        EXPECT_EQ(readFile(m_file), before);
        EXPECT_THAT(folderEntries(m_temp.path()), ::testing::ElementsAre("config.json"));
    };

    {
        SCOPED_TRACE("a disk that fills up during the write");
        // The file-size limit stops writes for root as well; the signal it raises is
        // turned into the EFBIG error a full disk would give.
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        bool threw = false;
        try {
            store.save(sampleConfig("zh"));
        } catch (const fs::filesystem_error&) {
            threw = true;
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previousHandler);
        EXPECT_TRUE(threw);
        expectOldFileIntact();
    }
    {
        SCOPED_TRACE("a configuration that cannot be encoded");
        AppConfig config = sampleConfig("zh");
        config.history.push_back(OperationHistoryEntry{Uuid::random(), *IsoDate::parse("2024-01-01T00:00:00Z"), "b",
                                                       "Upload", "x", true, std::nullopt, std::nan("")});
        EXPECT_THROW(store.save(config), JsonEncodeError);
        expectOldFileIntact();
    }
}

TEST_F(ConfigStoreTest, WriteBelowARegularFileThrows) {
    writeFile(m_temp.path() / "not-a-folder", "x");
    const ConfigStore store(m_temp.path() / "not-a-folder" / "config.json");
    EXPECT_THROW(store.save(sampleConfig("en")), fs::filesystem_error);
    EXPECT_EQ(readFile(m_temp.path() / "not-a-folder"), "x");
}

TEST_F(ConfigStoreTest, WriteIntoAReadOnlyFolderThrows) {
    const ConfigStore store(m_file);
    store.save(sampleConfig("en"));
    const std::string before = readFile(m_file);
    fs::permissions(m_temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(m_temp.path().c_str(), W_OK) == 0) {
        fs::permissions(m_temp.path(), fs::perms::owner_all);
        GTEST_SKIP() << "permission bits do not stop this user (root) from writing; "
                        "FailedWritesKeepTheOldFile covers the failed write";
    }
    EXPECT_THROW(store.save(sampleConfig("zh")), fs::filesystem_error);
    EXPECT_THROW(store.backupBeforeImport(), fs::filesystem_error);
    fs::permissions(m_temp.path(), fs::perms::owner_all);
    EXPECT_EQ(readFile(m_file), before);
    EXPECT_THAT(folderEntries(m_temp.path()), ::testing::ElementsAre("config.json"));
}
