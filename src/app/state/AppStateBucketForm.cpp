#include "app/state/AppState.h"

#include "app/state/Whitespace.h"
#include "core/config/KeychainSecretStore.h"

#include <algorithm>
#include <set>

namespace tarn {

namespace {

std::string trimmed(const std::string& text) { return std::string(Whitespace::trimmed(text)); }

const PublicDomain* domainWithID(const std::vector<PublicDomain>& domains, const Uuid& id) {
    const auto found =
        std::find_if(domains.begin(), domains.end(), [&](const PublicDomain& domain) { return domain.id == id; });
    return found == domains.end() ? nullptr : &*found;
}

}  // namespace

QCoro::Task<BucketForm> AppState::makeBucketForm(BucketConfig bucket) {
    BucketForm form;
    form.id = bucket.id;
    for (const StorageProfile& profile : m_config.profiles) {
        const std::vector<BucketConfig> ofProfile = buckets(profile);
        if (std::any_of(ofProfile.begin(), ofProfile.end(), [&](const BucketConfig& b) { return b.id == bucket.id; })) {
            form.profileName = profile.name;
            break;
        }
    }
    form.displayName = bucket.displayName;
    form.bucketName = bucket.bucketName;
    form.endpoint = bucket.endpoint.absoluteString();
    form.publicBaseURL = bucket.publicBaseURL ? bucket.publicBaseURL->absoluteString() : std::string();
    form.region = bucket.region;
    form.accessKeyID = bucket.accessKeyID;

    // "" for a domain without a key; none for one whose key the keyring would not give.
    auto readKeys = [&store = m_secretStore, bucketID = bucket.id, domains = bucket.publicDomains] {
        std::vector<std::optional<std::string>> keys;
        for (const PublicDomain& domain : domains) {
            try {
                keys.push_back(store.secret(KeychainSecretStore::cdnAccount(bucketID, domain.id)).value_or(""));
            } catch (const std::exception&) {
                keys.emplace_back(std::nullopt);
            }
        }
        return keys;
    };
    std::vector<std::optional<std::string>> keys = co_await inBackground(readKeys);
    for (std::size_t i = 0; i < bucket.publicDomains.size(); ++i) {
        const PublicDomain& domain = bucket.publicDomains[i];
        form.publicDomains.push_back(PublicDomainForm{domain.id, domain.scheme, domain.host, std::move(keys[i])});
    }
    co_return form;
}

QCoro::Task<> AppState::saveBucket(BucketForm form) {
    if (!form.id) co_return;
    const Uuid bucketID = *form.id;
    const std::string settingsKey = bucketID.toString();
    std::vector<PublicDomain> previous;
    if (const auto settings = m_config.bucketSettings.find(settingsKey); settings != m_config.bucketSettings.end()) {
        previous = settings->second.publicDomains;
    }

    // The keys before the settings that announce them.
    const QPointer<AppState> self(this);
    auto persist = [&store = m_secretStore, form, bucketID, previous] {
        persistCDNKeys(store, form, bucketID, previous);
    };
    // A key the keyring refused is told; the settings are saved all the same.
    std::exception_ptr failure;
    try {
        co_await inKeyringOrder(persist);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (failure) sendFailureToast("saveBucket", failure);

    std::vector<PublicDomain> domains;
    for (const PublicDomainForm& row : form.publicDomains) {
        std::string host = trimmed(row.host);
        if (host.empty()) continue;
        bool hasKey = false;
        if (row.cdnAuthKey) {
            hasKey = !trimmed(*row.cdnAuthKey).empty();
        } else if (const PublicDomain* before = domainWithID(previous, row.id)) {
            // The key was left alone, and so is what the configuration says of it.
            hasKey = before->hasCDNAuthKey;
        }
        domains.push_back(PublicDomain{row.id, row.scheme, std::move(host), hasKey});
    }
    std::optional<std::string> displayName = trimmed(form.displayName);
    if (displayName->empty() || *displayName == form.bucketName) displayName.reset();
    if (!displayName && domains.empty()) {
        // Nothing differs from a bucket without settings.
        m_config.bucketSettings.erase(settingsKey);
    } else {
        m_config.bucketSettings[settingsKey] = BucketSettings{std::move(displayName), std::move(domains)};
    }
    saveConfig();
    setShowingBucketEditor(false);

    const std::vector<BucketConfig> all = allBuckets();
    if (std::any_of(all.begin(), all.end(), [&](const BucketConfig& bucket) { return bucket.id == bucketID; })) {
        showBucket(bucketID);
    }
}

void AppState::persistCDNKeys(KeychainSecretStore& store, const BucketForm& form, const Uuid& bucketID,
                              const std::vector<PublicDomain>& previous) {
    std::exception_ptr failure;
    const auto attempt = [&](auto&& change) {
        try {
            change();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    };

    // A domain removed from the form, or a row left without a host, keeps no key.
    std::set<Uuid> kept;
    for (const PublicDomainForm& row : form.publicDomains) {
        if (!trimmed(row.host).empty()) kept.insert(row.id);
    }
    std::set<Uuid> gone;
    for (const PublicDomain& domain : previous) {
        if (!kept.contains(domain.id)) gone.insert(domain.id);
    }
    for (const PublicDomainForm& row : form.publicDomains) {
        if (!kept.contains(row.id)) gone.insert(row.id);
    }
    for (const Uuid& domainID : gone) {
        attempt([&] { store.deleteSecret(KeychainSecretStore::cdnAccount(bucketID, domainID)); });
    }

    for (const PublicDomainForm& row : form.publicDomains) {
        // Without text of the form's own the stored key is not the form's to change.
        if (!kept.contains(row.id) || !row.cdnAuthKey) continue;
        const std::string account = KeychainSecretStore::cdnAccount(bucketID, row.id);
        const std::string key = trimmed(*row.cdnAuthKey);
        if (key.empty()) {
            attempt([&] { store.deleteSecret(account); });
        } else {
            attempt([&] { store.save(key, account); });
        }
    }
    // Every change is tried; the first failure is what the caller tells.
    if (failure) std::rethrow_exception(failure);
}

}  // namespace tarn
