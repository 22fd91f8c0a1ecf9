#include "core/config/ConfigStore.h"

#include "core/config/ConfigJson.h"
#include "core/files/AtomicFile.h"
#include "core/files/UserFolders.h"

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
        const auto bytes = AtomicFile::readIfExists(predecessorURL, ConfigStore::maxFileBytes);
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

// The file at the end of a chain of links, which a save must replace: renaming over
// the link itself would turn it into a plain file and cut it off from its target.
fs::path followLinks(fs::path file) {
    // As many links as the kernel follows in one path before it gives up (ELOOP).
    constexpr int kMaxLinks = 40;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(file, error))) return file;
        const fs::path next = fs::read_symlink(file);
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    throw fs::filesystem_error("Could not follow the links to the file", file,
                               std::make_error_code(std::errc::too_many_symbolic_link_levels));
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
    const auto bytes = AtomicFile::readIfExists(m_configURL, maxFileBytes);
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
    const fs::path file = followLinks(m_configURL);
    createParentFolder(file);
    AtomicFile::replace(file, text);
}

void ConfigStore::backupBeforeImport() const {
    const auto bytes = AtomicFile::readIfExists(m_configURL, maxFileBytes);
    if (!bytes) return;
    AtomicFile::replace(beforeImportBackupURL(), *bytes);
}

bool ConfigStore::backupLegacyFile() const {
    const auto bytes = AtomicFile::readIfExists(m_configURL, maxFileBytes);
    if (!bytes) return false;
    return AtomicFile::createNew(legacyBackupURL(), *bytes);
}

}  // namespace tarn
