#include "app/state/AppState.h"

#include "app/text/L10n.h"
#include "core/config/ConfigMigrator.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/config/UnreadableConfig.h"
#include "core/text/AsciiCase.h"

#include <QLoggingCategory>

#include <algorithm>
#include <tuple>
#include <variant>

namespace tarn {

namespace {

Q_LOGGING_CATEGORY(startupLog, "tarn.startup")

using SparedAccounts = std::set<std::string>;

// A per-bucket secret of the schema-less generation and the account item it belongs in.
struct LegacySecretCopy {
    Uuid bucketID;
    std::string account;
};

// A keyring read that keeps "absent" and "could not read" apart: an item that could
// not be read may hold the only copy of a secret.
struct StoredSecret {
    bool readable = true;
    std::string value;  // empty when there is no item
};

template <class Account>
StoredSecret readSecret(const KeychainSecretStore& store, const Account& account) {
    try {
        return {true, store.secret(account).value_or(std::string())};
    } catch (const std::exception& error) {
        qCWarning(startupLog) << "a keyring item could not be read:" << error.what();
        return {false, {}};
    }
}

// How the migration groups buckets into accounts: the endpoint's host in lower case
// (its whole text when it has none), the region and the access key ID.
std::tuple<std::string, std::string, std::string> accountKey(const Url& endpoint, const std::string& region,
                                                             const std::string& accessKeyID) {
    return {AsciiCase::lowercased(endpoint.host().value_or(endpoint.absoluteString())), region, accessKeyID};
}

// Each legacy bucket's secret goes to the item of the profile the migration put the
// bucket in, named after that profile's endpoint. The bucket's own endpoint can differ
// from it in letter case (two buckets of one account), and an item under that spelling
// is one no profile looks up: the clean-up would delete it with the secret in it.
std::vector<LegacySecretCopy> legacySecretCopies(const LegacyAppConfig& legacy, const AppConfig& migrated) {
    std::vector<LegacySecretCopy> copies;
    for (const LegacyStorageProfile& profile : legacy.profiles) {
        for (const BucketConfig& bucket : profile.buckets) {
            const auto key = accountKey(bucket.endpoint, bucket.region, bucket.accessKeyID);
            const auto owner = std::find_if(migrated.profiles.begin(), migrated.profiles.end(),
                                            [&](const StorageProfile& candidate) {
                                                return accountKey(candidate.endpoint, candidate.region,
                                                                  candidate.accessKeyID) == key;
                                            });
            const std::string account =
                owner != migrated.profiles.end()
                    ? KeychainSecretStore::accountSecretAccount(owner->endpoint, owner->region, owner->accessKeyID)
                    : KeychainSecretStore::accountSecretAccount(bucket);
            copies.push_back({bucket.id, account});
        }
    }
    return copies;
}

// The first bucket of an account that has an old secret fills the account's item; an
// account item that holds a secret, or that could not be read, is never overwritten.
void copyLegacySecrets(KeychainSecretStore& store, const std::vector<LegacySecretCopy>& copies,
                       SparedAccounts& spared) {
    for (const LegacySecretCopy& copy : copies) {
        const std::string bucketAccount = copy.bucketID.toString();
        const StoredSecret current = readSecret(store, copy.account);
        if (!current.readable) {
            spared.insert(bucketAccount);
            continue;
        }
        if (!current.value.empty()) continue;
        const StoredSecret old = readSecret(store, copy.bucketID);
        if (!old.readable) spared.insert(bucketAccount);
        if (old.value.empty()) continue;
        try {
            store.save(old.value, copy.account);
        } catch (const std::exception& error) {
            qCWarning(startupLog) << "an account's secret could not be stored:" << error.what();
            spared.insert(bucketAccount);
        }
    }
}

// Read, store under the new name, then delete the old item; the old one stays
// whenever it is the only copy.
void moveCDNKeys(KeychainSecretStore& store, const std::vector<CDNKeyMove>& moves, SparedAccounts& spared) {
    for (const CDNKeyMove& move : moves) {
        const std::string from = KeychainSecretStore::cdnAccount(move.oldBucketID, move.domainID);
        const std::string to = KeychainSecretStore::cdnAccount(move.newBucketID, move.domainID);
        const StoredSecret key = readSecret(store, from);
        if (!key.readable) spared.insert(from);
        if (key.value.empty()) continue;
        if (!readSecret(store, to).readable) {
            spared.insert(from);
            continue;
        }
        try {
            store.save(key.value, to);
        } catch (const std::exception& error) {
            qCWarning(startupLog) << "a CDN key could not be moved:" << error.what();
            spared.insert(from);
            continue;
        }
        try {
            store.deleteSecret(from);
        } catch (const std::exception&) {
            // Left for the clean-up: the key is safe under its new name.
        }
    }
}

}  // namespace

QCoro::Task<> AppState::loadIfNeeded() {
    if (m_didLoad) co_return;
    m_didLoad = true;
    const QPointer<AppState> self(this);

    // The file is read and brought to the current schema before the first wait:
    // while the keyring is busy the user can already change a setting, and that save
    // must write the user's own accounts, never the defaults.
    ConfigStore::RawLoad raw;
    try {
        raw = m_configStore.loadRaw();
    } catch (const std::exception& error) {
        keepUnreadableConfig(error);
        m_hasLoaded = true;
        emit loadFinished();
        co_return;
    }
    std::vector<LegacySecretCopy> legacySecrets;
    std::vector<CDNKeyMove> cdnMoves;
    bool migrated = true;
    if (const LegacyAppConfig* legacy = std::get_if<LegacyAppConfig>(&raw)) {
        try {
            m_configStore.backupLegacyFile();
        } catch (const std::exception& error) {
            qCWarning(startupLog) << "the old configuration could not be backed up:" << error.what();
        }
        MigrationResult result = ConfigMigrator::migrate(*legacy);
        legacySecrets = legacySecretCopies(*legacy, result.config);
        cdnMoves = std::move(result.cdnMoves);
        setConfig(std::move(result.config));
    } else if (AppConfig& current = std::get<AppConfig>(raw);
               current.schemaVersion <= AppConfig::profileCentricSchemaVersion) {
        MigrationResult result = ConfigMigrator::upgradeToAccountScopedBucketIDs(current);
        cdnMoves = std::move(result.cdnMoves);
        setConfig(std::move(result.config));
    } else {
        migrated = false;
        setConfig(std::move(current));
    }

    // The keyring's one-time move of the predecessor's items comes before any read,
    // and every keyring call runs off the main thread: each can wait for the user to
    // unlock the keyring.
    auto movePredecessorItems = [&store = m_secretStore] { store.migrateLegacyKeychainIfNeeded(); };
    co_await inBackground(movePredecessorItems);
    if (!self) co_return;
    auto copySecrets = [&store = m_secretStore, &legacySecrets] {
        SparedAccounts spared;
        copyLegacySecrets(store, legacySecrets, spared);
        return spared;
    };
    SparedAccounts spared = co_await inBackground(copySecrets);
    if (!self) co_return;
    // Tasks are made in a statement of their own: g++ 12 can destroy the temporaries
    // of a co_await statement twice.
    QCoro::Task<SparedAccounts> moveKeys = applyCDNKeyMoves(std::move(cdnMoves));
    SparedAccounts unmoved = co_await moveKeys;
    if (!self) co_return;
    spared.merge(unmoved);

    if (migrated) {
        try {
            m_configStore.save(m_config);
        } catch (const std::exception& error) {
            // Not told: the configuration in memory is complete, and the next start
            // migrates the file again.
            qCWarning(startupLog) << "the migrated configuration could not be saved:" << error.what();
        }
    }
    QCoro::Task<> cleanUp = migrateAndCleanupSecrets(std::move(spared));
    co_await cleanUp;
    if (!self) co_return;

    setLanguageCode(m_config.languageCode);
    if (m_config.debugLogging) m_client.setLogger(makeFileLogger());
    // Desktop notifications need no permission here: there is nothing to ask for.

    // A bucket the user has opened while start-up waited for the keyring stays open.
    if (!m_selectedBucketID) {
        const std::vector<BucketConfig> buckets = allBuckets();
        switchBucket(buckets.empty() ? std::nullopt : std::optional<Uuid>(buckets.front().id), "");
    }
    startSyncTimer();
    m_hasLoaded = true;
    emit loadFinished();
}

void AppState::keepUnreadableConfig(const std::exception& readError) {
    const QString reason = QString::fromUtf8(readError.what());
    qCWarning(startupLog) << "the configuration could not be read:" << readError.what();
    // Made before anything can save: from here on the state holds the defaults, and the
    // next save replaces the file.
    try {
        const std::optional<std::filesystem::path> copy = UnreadableConfig::keepAside(
            m_configStore.configURL(), std::chrono::system_clock::now(), ConfigStore::maxFileBytes);
        const QString where = copy ? QString::fromStdString(copy->string()) : QString();
        sendToast({copy ? L10n::t(QStringLiteral("config_unreadable_kept"), reason, where) : reason,
                   ToastKind::error});
    } catch (const std::exception& error) {
        sendToast({L10n::t(QStringLiteral("config_unreadable_not_kept"), reason, QString::fromUtf8(error.what())),
                   ToastKind::error});
    }
}

QCoro::Task<std::set<std::string>> AppState::applyCDNKeyMoves(std::vector<CDNKeyMove> moves) {
    auto move = [&store = m_secretStore, &moves] {
        SparedAccounts spared;
        moveCDNKeys(store, moves, spared);
        return spared;
    };
    // In the order of the other keyring writes, so that an import's moves and a
    // removal's clean-up never overtake each other.
    co_return co_await inKeyringOrder(move);
}

QCoro::Task<> AppState::migrateAndCleanupSecrets(std::set<std::string> spared) {
    // Listed, judged and deleted in the order of the other keyring writes, against
    // what is needed when the clean-up runs (KeyringReferences): a judgement made
    // earlier could delete a secret stored for an account added again meanwhile.
    // A keyring that cannot be listed throws what kept it from listing.
    auto cleanUp = [&store = m_secretStore, &references = m_keyringReferences, &spared] {
        std::vector<std::string> accounts;
        try {
            accounts = store.allAccounts();
        } catch (const std::exception& error) {
            // A keyring that cannot list is not cleaned: nothing is deleted.
            qCWarning(startupLog) << "the keyring could not be listed:" << error.what();
            throw;
        }
        for (const std::string& account : accounts) {
            // Items start-up could not read or copy may hold the only copy of a secret.
            if (spared.contains(account) || references.needs(account)) continue;
            try {
                store.deleteSecret(account);
            } catch (const std::exception& error) {
                qCWarning(startupLog) << "a stale keyring item could not be deleted:" << error.what();
            }
        }
    };
    const QPointer<AppState> self(this);
    std::exception_ptr failure;
    try {
        co_await inKeyringOrder(cleanUp);
    } catch (...) {
        failure = std::current_exception();
    }
    // Told in the window, not only in the terminal: without the keyring no bucket can
    // be listed, and every listing would say so without saying why.
    if (self && failure) {
        sendToast({L10n::t(QStringLiteral("keyring_unreachable_at_start"), reportFailure("startup", failure)),
                   ToastKind::error});
    }
}

}  // namespace tarn
