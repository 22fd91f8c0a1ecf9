#include "app/state/AppState.h"

#include "app/state/SecretToolCommand.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "core/config/ConfigJson.h"
#include "core/config/ConfigMigrator.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/files/AtomicFile.h"

#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <system_error>
#include <tuple>

namespace tarn {

namespace {

QString jsonFilter() { return QStringLiteral("JSON (*.json)"); }

// A secret this computer has: stored, readable, not empty and, for an account's
// secret, saved for the scheme and port the account now uses.
bool hasSecret(const KeychainSecretStore& store, const std::string& account,
               const std::optional<KeychainSecretStore::Origin>& origin = std::nullopt) {
    try {
        const std::optional<std::string> secret = origin ? store.secret(account, *origin) : store.secret(account);
        return secret && !secret->empty();
    } catch (const std::exception&) {
        return false;
    }
}

// What an imported configuration lacks on this computer.
struct MissingSecrets {
    std::vector<StorageProfile> accounts;
    std::vector<std::string> buckets;  // display names of buckets missing a CDN token key
};

void bindStoredSecrets(KeychainSecretStore& store, const std::vector<StorageProfile>& profiles) {
    // An account that two profiles reach at different places is left as it is.
    std::map<std::string, std::optional<KeychainSecretStore::Origin>> origins;
    for (const StorageProfile& profile : profiles) {
        const KeychainSecretStore::Origin origin = KeychainSecretStore::originOf(profile.endpoint);
        const auto [found, added] = origins.try_emplace(
            KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID), origin);
        if (!added && found->second != origin) found->second = std::nullopt;
    }
    for (const auto& [account, origin] : origins) {
        if (!origin) continue;
        try {
            store.bindToOrigin(account, *origin);
        } catch (const std::exception&) {
            // Not bound: it keeps serving as it did.
        }
    }
}

QString joinedNames(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names) list.push_back(QString::fromStdString(name));
    return list.join(QStringLiteral(", "));
}

QString joinedNames(const std::vector<StorageProfile>& profiles) {
    std::vector<std::string> names;
    for (const StorageProfile& profile : profiles) names.push_back(profile.name);
    return joinedNames(names);
}

// What to do for accounts whose secrets the add-account sheet cannot take: the text,
// then one command a line.
QString keyringParagraph(const std::string& service, const std::vector<StorageProfile>& profiles) {
    QStringList commands;
    std::set<std::tuple<std::string, std::string, std::string>> items;
    for (const StorageProfile& profile : profiles) {
        // Two profiles of one account at one place need its secret once.
        const KeychainSecretStore::Origin origin = KeychainSecretStore::originOf(profile.endpoint);
        const std::string account =
            KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID);
        if (!items.emplace(account, origin.scheme, origin.port).second) continue;
        commands.push_back(QString::fromStdString(secretToolCommand(service, profile)));
    }
    return L10n::t(QStringLiteral("import_missing_accounts_keyring"), joinedNames(profiles)) +
           QStringLiteral("\n\n") + commands.join(QLatin1Char('\n'));
}

}  // namespace

QCoro::Task<> AppState::exportConfig() {
    const QPointer<AppState> self(this);
    const QString title = L10n::t(QStringLiteral("export_config"));
    const QString proposedName = QStringLiteral("TarnManager-config.json");
    const QStringList filters{jsonFilter()};
    const std::optional<std::filesystem::path> target = co_await m_ui->chooseSaveFile(title, proposedName, filters);
    if (!self || !target) co_return;

    // Entries still buffered belong in the file too.
    flushHistory();
    try {
        auto write = [path = *target, bytes = ConfigJson::encodeAppConfig(m_config)] {
            AtomicFile::replace(path, bytes);
        };
        co_await inBackground(write);
    } catch (const std::exception&) {
        if (self) sendFailureToast("exportConfig", std::current_exception());
        co_return;
    }
    if (self) sendToast({L10n::t(QStringLiteral("export_done")), ToastKind::info});
}

QCoro::Task<> AppState::importConfig() {
    const QPointer<AppState> self(this);
    const UiServices::FileChoice choice(L10n::t(QStringLiteral("import_config")), false, QStringList{jsonFilter()});
    const std::vector<std::filesystem::path> files = co_await m_ui->chooseFiles(choice);
    if (!self || files.empty()) co_return;

    std::optional<ImportedConfig> imported;
    try {
        auto read = [file = files.front()] {
            std::optional<std::string> bytes = AtomicFile::readIfExists(file, ConfigStore::maxFileBytes);
            if (!bytes) {
                throw std::filesystem::filesystem_error("cannot read the configuration", file,
                                                        std::make_error_code(std::errc::no_such_file_or_directory));
            }
            return parseImportedConfig(*bytes);
        };
        std::optional<ImportedConfig> parsed = co_await inBackground(read);
        imported = std::move(parsed);
    } catch (const std::exception&) {
        if (self) sendFailureToast("importConfig", std::current_exception());
        co_return;
    }
    if (!self) co_return;
    if (!imported) {
        sendToast({L10n::t(QStringLiteral("import_invalid")), ToastKind::error});
        co_return;
    }

    // Logging writes every request, bucket names and the servers' answers to a file:
    // a file handed to the user must not switch that on unannounced.
    const bool turnsOnLogging = imported->config.debugLogging && !m_config.debugLogging;
    // A secret saved before its scheme and port were recorded serves an account
    // wherever it points: before the file can move an account to plain http or to
    // another port, each such secret is bound to where its account points now.
    auto bind = [&store = m_secretStore, profiles = m_config.profiles] { bindStoredSecrets(store, profiles); };
    co_await inBackground(bind);
    if (!self) co_return;

    const bool confirmed = co_await confirmImport(imported->config.profiles.size(), turnsOnLogging);
    if (!self || !confirmed) co_return;
    try {
        co_await applyImportedConfig(std::move(imported->config), std::move(imported->cdnMoves));
    } catch (const std::exception&) {
        if (self) sendFailureToast("importConfig", std::current_exception());
    }
}

std::optional<ImportedConfig> AppState::parseImportedConfig(std::string_view bytes) {
    ConfigStore::RawLoad raw = ConfigStore::interpret(bytes);
    ImportedConfig imported;
    if (auto* current = std::get_if<AppConfig>(&raw); current && current->schemaVersion > 1) {
        imported.config = std::move(*current);
    } else {
        MigrationResult migrated = current ? ConfigMigrator::upgradeToAccountScopedBucketIDs(*current)
                                           : ConfigMigrator::migrate(std::get<LegacyAppConfig>(raw));
        imported.config = std::move(migrated.config);
        imported.cdnMoves = std::move(migrated.cdnMoves);
    }
    // A newer program's file may mean what this one cannot know.
    if (imported.config.profiles.empty() || imported.config.schemaVersion > AppConfig::currentSchemaVersion) {
        return std::nullopt;
    }
    return imported;
}

QCoro::Task<bool> AppState::confirmImport(std::size_t accountCount, bool turnsOnLogging) {
    QString message = L10n::t(L10n::countKey(QStringLiteral("import_confirm_message"), accountCount), accountCount);
    if (turnsOnLogging) message += QStringLiteral("\n\n") + L10n::t(QStringLiteral("import_turns_on_logging"));
    const UiServices::Alert alert(UiServices::Alert::Style::warning, L10n::t(QStringLiteral("import_confirm_title")),
                                  message, L10n::t(QStringLiteral("import_confirm_button")),
                                  L10n::t(QStringLiteral("cancel")));
    co_return co_await m_ui->showAlert(alert);
}

QCoro::Task<> AppState::applyImportedConfig(AppConfig config, std::vector<CDNKeyMove> cdnMoves) {
    // The buffered history joins the configuration that the backup keeps.
    flushHistory();
    // The file first: should either step fail, nothing has changed in memory.
    m_configStore.backupBeforeImport();
    m_configStore.save(config);

    // Memory follows at once, so that no later save (a history flush, a setting) can
    // write the replaced configuration back while the keyring is busy below.
    setConfig(std::move(config));
    setLanguageCode(m_config.languageCode);
    m_client.setLogger(m_config.debugLogging ? makeFileLogger() : S3Client::Logger());
    setShowingAppSettings(false);
    const std::vector<BucketConfig> all = allBuckets();
    switchBucket(all.empty() ? std::nullopt : std::optional(all.front().id), "");

    const QPointer<AppState> self(this);
    if (!cdnMoves.empty()) {
        co_await applyCDNKeyMoves(std::move(cdnMoves));
        if (!self) co_return;
    }
    startDetached(syncAllBuckets());
    co_await reportImportResult();
}

QCoro::Task<> AppState::reportImportResult() {
    const QPointer<AppState> self(this);
    auto findMissing = [&store = m_secretStore, profiles = m_config.profiles, buckets = allBuckets()] {
        MissingSecrets missing;
        for (const StorageProfile& profile : profiles) {
            if (!hasSecret(store,
                           KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region,
                                                                     profile.accessKeyID),
                           KeychainSecretStore::originOf(profile.endpoint))) {
                missing.accounts.push_back(profile);
            }
        }
        for (const BucketConfig& bucket : buckets) {
            for (const PublicDomain& domain : bucket.publicDomains) {
                if (domain.hasCDNAuthKey && !hasSecret(store, KeychainSecretStore::cdnAccount(bucket.id, domain.id))) {
                    missing.buckets.push_back(bucket.displayName);
                    break;
                }
            }
        }
        return missing;
    };
    const MissingSecrets missing = co_await inBackground(findMissing);
    if (!self) co_return;
    if (missing.accounts.empty() && missing.buckets.empty()) {
        sendToast({L10n::t(QStringLiteral("import_done")), ToastKind::info});
        co_return;
    }
    // The add-account sheet takes the secret of an account of its providers; one on
    // any other server has to be stored with a tool of the desktop's.
    std::vector<StorageProfile> bySheet;
    std::vector<StorageProfile> byTool;
    for (const StorageProfile& profile : missing.accounts) {
        (m_ui->canAddAccount(profile.endpoint, profile.region) ? bySheet : byTool).push_back(profile);
    }
    QStringList paragraphs;
    if (!bySheet.empty()) {
        paragraphs.push_back(L10n::t(QStringLiteral("import_missing_accounts"), joinedNames(bySheet)));
    }
    if (!byTool.empty()) paragraphs.push_back(keyringParagraph(m_secretStore.service(), byTool));
    if (!missing.buckets.empty()) {
        paragraphs.push_back(L10n::t(QStringLiteral("import_missing_cdn"), joinedNames(missing.buckets)));
    }
    const UiServices::Alert alert(UiServices::Alert::Style::warning, L10n::t(QStringLiteral("import_missing_title")),
                                  paragraphs.join(QStringLiteral("\n\n")));
    co_await m_ui->showAlert(alert);
}

}  // namespace tarn
