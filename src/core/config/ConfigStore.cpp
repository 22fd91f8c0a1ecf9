#include "core/config/ConfigStore.h"

#include "core/config/AtomicFile.h"
#include "core/config/ConfigJson.h"
#include "core/config/UserFolders.h"

#include <system_error>

namespace tarn {

namespace {

namespace fs = std::filesystem;

fs::path withAppendedExtension(const fs::path& file, const char* extension) {
    fs::path result = file;
    result += ".";
    result += extension;
    return result;
}

// Best effort: a missing or unreadable predecessor file, or a folder that cannot
// be made, simply leaves the store without a file.
void seedFromPredecessor(const fs::path& configURL, const fs::path& predecessorURL) {
    std::error_code error;
    if (fs::exists(configURL, error) || error) return;
    try {
        const auto bytes = AtomicFile::readIfExists(predecessorURL);
        if (!bytes) return;
        fs::create_directories(configURL.parent_path(), error);
        AtomicFile::createNew(configURL, *bytes);
    } catch (const std::exception&) {
    }
}

std::optional<std::int64_t> probeSchemaVersion(const nlohmann::json& document) {
    if (!document.is_object()) return std::nullopt;
    try {
        return jsonio::ObjectReader(document, "").optional<std::int64_t>("schemaVersion");
    } catch (const JsonDecodeError&) {
        return std::nullopt;
    }
}

void createParentFolder(const fs::path& file) {
    if (file.has_parent_path()) fs::create_directories(file.parent_path());
}

}  // namespace

ConfigStore::ConfigStore() {
    const fs::path base = UserFolders::configHome();
    m_configURL = base / "TarnManager" / "config.json";
    seedFromPredecessor(m_configURL, base / "TarnDesk" / "config.json");
}

ConfigStore::ConfigStore(fs::path configURL) : m_configURL(std::move(configURL)) {}

fs::path ConfigStore::legacyBackupURL() const { return withAppendedExtension(m_configURL, "v0.bak"); }

fs::path ConfigStore::beforeImportBackupURL() const {
    return withAppendedExtension(m_configURL, "before-import.bak");
}

AppConfig ConfigStore::defaultConfig() {
    AppConfig config;
    config.schemaVersion = AppConfig::currentSchemaVersion;
    return config;
}

ConfigStore::RawLoad ConfigStore::loadRaw() const {
    const auto bytes = AtomicFile::readIfExists(m_configURL);
    if (!bytes) return defaultConfig();
    return interpret(*bytes);
}

ConfigStore::RawLoad ConfigStore::interpret(std::string_view bytes) {
    const nlohmann::json document = ConfigJson::parse(bytes);
    const auto schemaVersion = probeSchemaVersion(document);
    if (schemaVersion && *schemaVersion > 0) return decode(Tag<AppConfig>{}, document, "");
    return decode(Tag<LegacyAppConfig>{}, document, "");
}

void ConfigStore::save(const AppConfig& config) const {
    // Encoded first, so a configuration that cannot be written leaves no trace.
    const std::string text = ConfigJson::encodeAppConfig(config);
    createParentFolder(m_configURL);
    AtomicFile::replace(m_configURL, text);
}

void ConfigStore::backupBeforeImport() const {
    const auto bytes = AtomicFile::readIfExists(m_configURL);
    if (!bytes) return;
    AtomicFile::replace(beforeImportBackupURL(), *bytes);
}

bool ConfigStore::backupLegacyFile() const {
    const auto bytes = AtomicFile::readIfExists(m_configURL);
    if (!bytes) return false;
    return AtomicFile::createNew(legacyBackupURL(), *bytes);
}

}  // namespace tarn
