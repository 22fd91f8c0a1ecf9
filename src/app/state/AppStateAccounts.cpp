#include "app/state/AppState.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/files/RotatingLogFile.h"
#include "core/storage/S3Error.h"
#include "core/text/AsciiCase.h"

#include <algorithm>
#include <set>

namespace tarn {

namespace {

// `base`, or the first of "base (2)", "base (3)", ... that is not taken. Names
// compare exactly: no trimming, letter case counts.
std::string firstFreeName(const std::string& base, const std::set<std::string>& taken) {
    if (!taken.contains(base)) return base;
    for (int counter = 2;; ++counter) {
        std::string candidate = base + " (" + std::to_string(counter) + ")";
        if (!taken.contains(candidate)) return candidate;
    }
}

// One account is one host (in any letter case; the whole text of an endpoint
// without a host), region and access key ID, as bucket IDs count it.
std::string accountHost(const Url& endpoint) {
    return AsciiCase::lowercased(endpoint.host().value_or(endpoint.absoluteString()));
}

std::vector<StorageProfile>::iterator profileOfAccount(std::vector<StorageProfile>& profiles, const Url& endpoint,
                                                       const std::string& region, const std::string& accessKeyID) {
    const std::string host = accountHost(endpoint);
    return std::find_if(profiles.begin(), profiles.end(), [&](const StorageProfile& profile) {
        return accountHost(profile.endpoint) == host && profile.region == region && profile.accessKeyID == accessKeyID;
    });
}

std::vector<std::string> sortedWithoutDuplicates(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

bool hasBucket(const std::vector<BucketConfig>& buckets, const Uuid& id) {
    return std::any_of(buckets.begin(), buckets.end(), [&](const BucketConfig& bucket) { return bucket.id == id; });
}

}  // namespace

void AppState::debugLog(const std::string& line) const {
    if (m_config.debugLogging) logFile().write(line);
}

std::string AppState::uniqueProfileName(const std::string& base) const {
    std::set<std::string> taken;
    for (const StorageProfile& profile : m_config.profiles) taken.insert(profile.name);
    return firstFreeName(base, taken);
}

QCoro::Task<> AppState::addProfile(std::string name, std::vector<std::string> bucketNames, std::string endpoint,
                                   std::string region, std::string accessKeyID, std::string secretAccessKey,
                                   bool closeSheet) {
    if (bucketNames.empty()) co_return;
    const std::optional<Url> url = Url::parse(endpoint);
    if (!url) {
        sendToast({L10n::t(QStringLiteral("s3_invalid_url")), ToastKind::error});
        co_return;
    }
    const std::vector<std::string> newNames = sortedWithoutDuplicates(std::move(bucketNames));

    // An account added again with its host in other letters is the same account: its
    // secret goes where that profile's buckets look for it, under the profile's own
    // spelling of the endpoint.
    const auto existing = profileOfAccount(m_config.profiles, *url, region, accessKeyID);
    const Url accountEndpoint = existing != m_config.profiles.end() ? existing->endpoint : *url;
    const std::string account = KeychainSecretStore::accountSecretAccount(accountEndpoint, region, accessKeyID);

    // The secret first: should the keyring refuse it, the configuration has not
    // changed and the sheet stays open to try again.
    const QPointer<AppState> self(this);
    auto storeSecret = [&store = m_secretStore, &references = m_keyringReferences,
                        secret = std::move(secretAccessKey), account,
                        origin = KeychainSecretStore::originOf(accountEndpoint)] {
        store.save(secret, account, origin);
        references.noteStored(account);
    };
    try {
        co_await inKeyringOrder(storeSecret);
    } catch (const std::exception&) {
        if (self) sendFailureToast("addProfile", std::current_exception());
        co_return;
    }
    if (!self) co_return;

    // Merged into the profiles as they are now, not as they were before the wait.
    Uuid profileID;
    if (const auto profile = profileOfAccount(m_config.profiles, accountEndpoint, region, accessKeyID);
        profile != m_config.profiles.end()) {
        std::vector<std::string> names = profile->bucketNames;
        names.insert(names.end(), newNames.begin(), newNames.end());
        profile->bucketNames = sortedWithoutDuplicates(std::move(names));
        profileID = profile->id;
    } else {
        StorageProfile added;
        added.id = Uuid::random();
        added.name = uniqueProfileName(name.empty() ? std::string("Profile") : name);
        added.endpoint = accountEndpoint;
        added.region = region;
        added.accessKeyID = accessKeyID;
        added.bucketNames = newNames;
        profileID = added.id;
        m_config.profiles.push_back(std::move(added));
    }
    saveConfig();

    // The last new bucket of this account; any bucket when that is gone.
    std::optional<Uuid> shown;
    const auto profile = std::find_if(m_config.profiles.begin(), m_config.profiles.end(),
                                      [&](const StorageProfile& p) { return p.id == profileID; });
    for (const BucketConfig& bucket : buckets(*profile)) {
        if (bucket.bucketName == newNames.back()) shown = bucket.id;
    }
    if (!shown) {
        const std::vector<BucketConfig> all = allBuckets();
        if (!all.empty()) shown = all.front().id;
    }
    if (closeSheet) setShowingAddBucketEditor(false);
    showBucket(shown);
}

std::string AppState::renameProfile(const Uuid& id, const std::string& newName) {
    const auto profile = std::find_if(m_config.profiles.begin(), m_config.profiles.end(),
                                      [&](const StorageProfile& p) { return p.id == id; });
    if (profile == m_config.profiles.end()) return newName;
    const std::string oldName = profile->name;
    const std::string trimmed(Whitespace::trimmed(newName));
    if (trimmed.empty() || trimmed == oldName) return oldName;

    std::set<std::string> others;
    for (const StorageProfile& other : m_config.profiles) {
        if (other.id != id) others.insert(other.name);
    }
    const std::string unique = firstFreeName(trimmed, others);

    AppConfig kept = m_config;
    profile->name = unique;
    try {
        m_configStore.save(m_config);
    } catch (const std::exception&) {
        m_config = std::move(kept);
        sendToast({L10n::t(QStringLiteral("profile_rename_failed")) + QStringLiteral(": ") +
                       reportFailure("renameProfile", std::current_exception()),
                   ToastKind::error});
        return oldName;
    }
    emit configChanged();
    debugLog("renameProfile — " + oldName + " → " + unique);
    return unique;
}

QCoro::Task<> AppState::removeProfile(Uuid id) {
    const auto found = std::find_if(m_config.profiles.begin(), m_config.profiles.end(),
                                    [&](const StorageProfile& p) { return p.id == id; });
    if (found == m_config.profiles.end()) {
        const std::string message = L10n::t(QStringLiteral("profile_delete_failed")).toStdString() +
                                    ": not found (id=" + id.toString() +
                                    ", profiles=" + std::to_string(m_config.profiles.size()) + ")";
        debugLog("removeProfile 失败 — " + message);
        sendToast({QString::fromStdString(message), ToastKind::error});
        co_return;
    }
    const StorageProfile profile = *found;
    const std::vector<BucketConfig> removed = buckets(profile);
    const std::string account =
        KeychainSecretStore::accountSecretAccount(profile.endpoint, profile.region, profile.accessKeyID);
    debugLog("removeProfile 开始 — name=" + profile.name + " host=" + profile.endpoint.host().value_or("?") +
             " region=" + profile.region + " ak=" + profile.accessKeyID +
             " buckets=" + std::to_string(removed.size()));

    // Everything changes in memory first and becomes durable in one save; until it
    // is, nothing outside the configuration is touched, so a failed save leaves the
    // account exactly as it was.
    AppConfig kept = m_config;
    m_config.profiles.erase(found);
    // A bucket stays while another profile of the same account still lists it.
    const std::vector<BucketConfig> remaining = allBuckets();
    std::vector<BucketConfig> orphans;
    std::copy_if(removed.begin(), removed.end(), std::back_inserter(orphans),
                 [&](const BucketConfig& bucket) { return !hasBucket(remaining, bucket.id); });
    for (const BucketConfig& orphan : orphans) {
        m_config.bucketSettings.erase(orphan.id.toString());
        std::erase(m_config.favoriteBucketIDs, orphan.id);
        std::erase(m_config.recentBucketIDs, orphan.id);
        std::erase_if(m_config.favoriteDirectories,
                      [&](const FavoriteDirectory& favorite) { return favorite.bucketID == orphan.id; });
    }
    try {
        m_configStore.save(m_config);
    } catch (const std::exception&) {
        m_config = std::move(kept);
        sendToast({L10n::t(QStringLiteral("profile_delete_failed")) + QStringLiteral(": ") +
                       reportFailure("removeProfile", std::current_exception()),
                   ToastKind::error});
        co_return;
    }
    emit configChanged();
    debugLog("removeProfile 配置已落盘 — 清理孤儿桶 " + std::to_string(orphans.size()) + " 个");

    // Away from the removed buckets before their folders go.
    if (m_selectedBucketID && !hasBucket(remaining, *m_selectedBucketID)) {
        switchBucket(remaining.empty() ? std::nullopt : std::optional(remaining.front().id), "");
    }

    // Best effort: what stays behind is only logged (start-up removes stale keyring
    // items). Whether an item is still needed is judged when the keyring gets to it,
    // against the configuration of then: another profile may share the account, and
    // an add of the same account queued before this removal may have stored a new
    // secret under the same name meanwhile.
    auto cleanUp = [&store = m_secretStore, &references = m_keyringReferences, folder = m_privateFolder, account,
                    orphans] {
        std::vector<std::string> failures;
        if (!references.needs(account)) {
            try {
                store.deleteSecret(account);
            } catch (const std::exception& error) {
                failures.push_back("removeProfile 清理账号 Secret 失败 — account=" + account + " error=" + error.what());
            }
        }
        for (const BucketConfig& orphan : orphans) {
            for (const PublicDomain& domain : orphan.publicDomains) {
                const std::string cdnAccount = KeychainSecretStore::cdnAccount(orphan.id, domain.id);
                if (references.needs(cdnAccount)) continue;
                try {
                    store.deleteSecret(cdnAccount);
                } catch (const std::exception& error) {
                    failures.push_back("removeProfile 清理 CDN 密钥失败 — bucket=" + orphan.bucketName +
                                       " domain=" + domain.host + " error=" + error.what());
                }
            }
            if (!folder.removeBucketFolders(orphan.id)) {
                failures.push_back("removeProfile 清理临时目录失败 — bucket=" + orphan.bucketName +
                                   " error=not all of " + (folder.root() / orphan.id.toString()).string() +
                                   " could be removed");
            }
        }
        return failures;
    };
    const QPointer<AppState> self(this);
    const std::vector<std::string> failures = co_await inKeyringOrder(cleanUp);
    if (!self) co_return;
    for (const std::string& failure : failures) debugLog(failure);
    debugLog("removeProfile 完成 — name=" + profile.name);
}

void AppState::openHistoryFromSettings() {
    flushHistory();
    setShowingAppSettings(false);
    startDetached(showAfterHandOver(&AppState::setShowingHistory));
}

void AppState::startAddingProfileFromSettings() {
    setEditingProfileID(std::nullopt);
    setShowingAppSettings(false);
    startDetached(showAfterHandOver(&AppState::setShowingAddBucketEditor));
}

void AppState::startEditingProfileFromSettings(const Uuid& id) {
    setEditingProfileID(id);
    setShowingAppSettings(false);
    startDetached(showAfterHandOver(&AppState::setShowingAddBucketEditor));
}

QCoro::Task<> AppState::showAfterHandOver(void (AppState::*show)(bool)) {
    const QPointer<AppState> self(this);
    // The closing sheet's animation runs meanwhile.
    co_await stoppableSleep(sheetHandOverDelay, {});
    if (self) (this->*show)(true);
}

}  // namespace tarn
