#pragma once

#include "core/config/ConfigModels.h"
#include "core/config/KeychainError.h"
#include "core/values/Url.h"
#include "core/values/Uuid.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Every secret of the program (the secret access key of each storage account, the
// token key of each CDN domain) lives in the desktop keyring through the Secret
// Service, never in the configuration file. One item per secret, in the default
// collection, found by two attributes: "service" (the store's service) and
// "account" (the names built below, so that every caller finds the same item). The
// item of a storage account's secret also names the scheme and port it is for.
//
// Calls block and throw KeychainError; none waits longer than the call timeout, so
// a stuck keyring daemon or an unanswered unlock prompt ends in an error rather
// than a hang. A missing item is never an error. Nothing is cached: every call
// goes to the keyring. The operations are virtual so that callers can be tested
// with a store of their own.
class KeychainSecretStore {
public:
    static constexpr std::string_view defaultService = "app.TarnManager.client";
    // Where the program's predecessor kept its items; start-up moves them over.
    static constexpr std::string_view predecessorService = "app.TarnDesk.client";
    // Long enough for a user to answer an unlock prompt.
    static constexpr std::chrono::milliseconds defaultCallTimeout{std::chrono::seconds(60)};

    // The default service. Creating a store never calls the keyring, so it costs
    // nothing on the main thread; the predecessor's items are moved by
    // migrateLegacyKeychainIfNeeded().
    KeychainSecretStore();
    explicit KeychainSecretStore(std::string service, std::chrono::milliseconds callTimeout = defaultCallTimeout);
    virtual ~KeychainSecretStore() = default;

    KeychainSecretStore(const KeychainSecretStore&) = delete;
    KeychainSecretStore& operator=(const KeychainSecretStore&) = delete;

    const std::string& service() const { return m_service; }
    std::chrono::milliseconds callTimeout() const { return m_callTimeout; }

    // "s3acct|" + host + "|" + region + "|" + access key ID. The host exactly as the
    // endpoint spells it (capitals kept, no port), or the whole endpoint text when it
    // has no host.
    static std::string accountSecretAccount(const Url& endpoint, std::string_view region,
                                            std::string_view accessKeyID);
    static std::string accountSecretAccount(const BucketConfig& bucket);
    // Bucket UUID + ":cdn:" + domain UUID.
    static std::string cdnAccount(const Uuid& bucketID, const Uuid& domainID);

    // Where a storage account's secret may sign requests: the scheme and port of the
    // endpoint it was saved for. The item's name leaves both out (stored secrets are
    // found by it), so an account moved to plain http or to another port of the same
    // host, by an imported configuration for one, would find the secret by its name.
    struct Origin {
        std::string scheme;  // lower case; "" when the endpoint has none
        std::string port;    // the endpoint's port, or its scheme's default ("443", "80")

        bool operator==(const Origin&) const = default;
    };
    static Origin originOf(const Url& endpoint);

    // Moves the predecessor's items into the default service, once per store (a store
    // of another service moves nothing). It
    // can block for as long as the keyring takes (an unlock prompt, many items), so
    // start-up runs it off the main thread and waits for it before any secret is
    // read. Safe to call from any thread and more than once: a call while the move
    // runs waits for it to end, later calls return at once. Reports nothing.
    virtual void migrateLegacyKeychainIfNeeded();
    // The move itself, from any service. An item is deleted there only after its
    // secret was saved here; an item that cannot be moved (no UTF-8 secret, a failed
    // save) stays where it is, so a later run can try again.
    void moveItemsFrom(std::string_view otherService);

    // The account names of all items under the service, in the keyring's order.
    // Locked items are unlocked (the keyring may prompt).
    virtual std::vector<std::string> allAccounts() const;
    // Absent when there is no item or its data is not UTF-8 text.
    virtual std::optional<std::string> secret(const std::string& account) const;
    // Adds the item or replaces the secret of the existing one.
    virtual void save(const std::string& secret, const std::string& account);
    virtual void deleteSecret(const std::string& account);

    // A storage account's secret, for use at `origin`: absent as secret() is, and also
    // when the item was saved for another scheme or port (the caller then asks the
    // user for it again). An item saved without them (before they were recorded) is
    // read for any origin.
    virtual std::optional<std::string> secret(const std::string& account, const Origin& origin) const;
    // Saves the secret for use at `origin` (attributes "scheme" and "port"); once it is
    // stored, the account's items for other origins, or for none, are deleted.
    virtual void save(const std::string& secret, const std::string& account, const Origin& origin);
    // An item of the account saved without an origin is saved again for `origin`, so
    // that from now on it serves there alone. Nothing changes for an account without
    // such an item, or with an item for `origin` already.
    void bindToOrigin(const std::string& account, const Origin& origin);

    // The same, with the UUID's text as the account name (per-bucket secrets of the
    // oldest configuration files).
    virtual std::optional<std::string> secret(const Uuid& bucketID) const;
    virtual void save(const std::string& secret, const Uuid& bucketID);
    virtual void deleteSecret(const Uuid& bucketID);

private:
    std::string m_service;
    std::chrono::milliseconds m_callTimeout;
    std::once_flag m_predecessorMoved;
};

}  // namespace tarn
