#pragma once

#include "core/config/ConfigModels.h"
#include "core/config/LegacyAppConfig.h"

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <variant>

namespace tarn {

// The one configuration file: where it lives, how its bytes are classified, and
// how it is written and backed up. It caches nothing; every call goes to the disk
// and blocks the calling thread.
//
// Failures are passed through as they come: std::filesystem::filesystem_error for
// the file system, JsonDecodeError for a file that cannot be read, JsonEncodeError
// for a configuration that cannot be written. A missing file is not a failure.
class ConfigStore {
public:
    // A file with a positive schema number (or no file at all) is the current form;
    // anything else is read as the schema-less older form.
    using RawLoad = std::variant<AppConfig, LegacyAppConfig>;

    // The default location: "TarnManager/config.json" under $XDG_CONFIG_HOME
    // (~/.config when unset). While that file is absent, the predecessor's
    // "TarnDesk/config.json" there is copied in; that copy never fails loudly.
    ConfigStore();
    // Exactly this file; nothing is created or copied on construction.
    explicit ConfigStore(std::filesystem::path configURL);

    const std::filesystem::path& configURL() const { return m_configURL; }
    // config.json.v0.bak: the schema-less file as it was before its migration.
    std::filesystem::path legacyBackupURL() const;
    // config.json.before-import.bak: the file as it was before an import replaced it.
    std::filesystem::path beforeImportBackupURL() const;

    // Far above any real configuration (a full history and hundreds of accounts
    // stay below 1 MiB); a larger file is refused rather than read into memory.
    static constexpr std::size_t maxFileBytes = 16 * 1024 * 1024;

    // What a missing file means: the current schema with every default.
    static AppConfig defaultConfig();

    // Only a regular file (or a link to one) up to maxFileBytes is read; anything
    // else fails with std::filesystem::filesystem_error before it is read.
    RawLoad loadRaw() const;
    // Classifies and decodes the bytes of a configuration from any source. Once the
    // schema number says the file is current, a decoding failure is final; the
    // older form is tried only where there is no usable number.
    static RawLoad interpret(std::string_view bytes);

    // Writes the whole configuration as given, creating the folder when needed.
    // When the file is a symbolic link (as dotfile managers make it), the file it
    // leads to is replaced and the link stays.
    void save(const AppConfig& config) const;
    // Copies the file to the before-import backup, replacing an older one; does
    // nothing when there is no file.
    void backupBeforeImport() const;
    // Copies the file to the legacy backup unless that backup exists already, so
    // the first one is kept. Returns whether a backup was made.
    bool backupLegacyFile() const;

private:
    std::filesystem::path m_configURL;
};

}  // namespace tarn
