#include "core/config/KeychainSecretStore.h"

#include <libsecret/secret.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tarn {

namespace {

// Items are found by "service" and "account" alone: the schema name is written on
// new items but not matched, so items that another program (the predecessor among
// them) stored under another schema name are found too. "scheme" and "port" say
// where a storage account's secret may be used.
const SecretSchema& secretSchema() {
    static const SecretSchema schema = {
        "app.TarnManager.Secret",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"scheme", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"port", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return schema;
}

struct SecretValueDeleter {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using SecretValuePtr = std::unique_ptr<SecretValue, SecretValueDeleter>;

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorDeleter>;

// libsecret's blocking calls wait as long as the keyring does: without a limit a
// stuck daemon or an unanswered unlock prompt would hold the caller forever. A
// watchdog thread cancels the call when its time is up.
class CallDeadline {
public:
    explicit CallDeadline(std::chrono::milliseconds limit)
        : m_cancellable(g_cancellable_new()), m_watchdog([this, limit](std::stop_token stop) {
              std::unique_lock lock(m_mutex);
              m_wake.wait_for(lock, stop, limit, [] { return false; });
              if (stop.stop_requested()) return;
              m_expired = true;
              g_cancellable_cancel(m_cancellable);
          }) {}

    ~CallDeadline() {
        m_watchdog.request_stop();
        m_watchdog.join();
        g_object_unref(m_cancellable);
    }

    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

    GCancellable* cancellable() const { return m_cancellable; }
    bool expired() const {
        std::lock_guard lock(m_mutex);
        return m_expired;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    bool m_expired = false;
    GCancellable* m_cancellable;
    std::jthread m_watchdog;  // last: it starts once everything above exists
};

std::string durationText(std::chrono::milliseconds limit) {
    if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
    return std::to_string(limit.count()) + " ms";
}

bool isDBusError(const GError* error, std::initializer_list<GDBusError> codes) {
    if (error->domain != G_DBUS_ERROR) return false;
    for (const GDBusError code : codes) {
        if (error->code == code) return true;
    }
    return false;
}

KeychainError keychainError(ErrorPtr error, bool expired, std::chrono::milliseconds limit) {
    if (expired || g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return KeychainError(KeychainError::Kind::timedOut, "no answer within " + durationText(limit));
    }
    // "GDBus.Error:org.freedesktop.DBus.Error.ServiceUnknown: ..." reads as its text alone.
    if (g_dbus_error_is_remote_error(error.get())) g_dbus_error_strip_remote_error(error.get());
    const std::string message = error->message != nullptr ? error->message : "";
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
        isDBusError(error.get(), {G_DBUS_ERROR_NO_REPLY, G_DBUS_ERROR_TIMEOUT, G_DBUS_ERROR_TIMED_OUT})) {
        return KeychainError(KeychainError::Kind::timedOut, message);
    }
    // Connection failures ("Could not connect", "Cannot autolaunch D-Bus") come as
    // I/O errors; a bus without a Secret Service answers with these D-Bus errors.
    if (error->domain == G_IO_ERROR ||
        isDBusError(error.get(), {G_DBUS_ERROR_SERVICE_UNKNOWN, G_DBUS_ERROR_NAME_HAS_NO_OWNER,
                                  G_DBUS_ERROR_NO_SERVER, G_DBUS_ERROR_DISCONNECTED, G_DBUS_ERROR_SPAWN_EXEC_FAILED,
                                  G_DBUS_ERROR_SPAWN_FORK_FAILED, G_DBUS_ERROR_SPAWN_CHILD_EXITED,
                                  G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND, G_DBUS_ERROR_SPAWN_FAILED})) {
        return KeychainError(KeychainError::Kind::unavailable, message);
    }
    return KeychainError(KeychainError::Kind::failed, message);
}

// Runs one blocking libsecret call, call(cancellable, &error), under the deadline.
template <typename Call>
auto runBounded(std::chrono::milliseconds limit, Call&& call) {
    CallDeadline deadline(limit);
    GError* error = nullptr;
    auto result = call(deadline.cancellable(), &error);
    if (error != nullptr) throw keychainError(ErrorPtr(error), deadline.expired(), limit);
    return result;
}

// Secrets are text; NUL bytes count as invalid too, as no key or token holds one.
bool isUtf8Text(const char* data, std::size_t length) {
    return length == 0 || g_utf8_validate_len(data, length, nullptr);
}

std::vector<std::string> accountsOf(const std::string& service, std::chrono::milliseconds limit) {
    GList* items = runBounded(limit, [&](GCancellable* cancellable, GError** error) {
        return secret_password_search_sync(&secretSchema(),
                                           static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK),
                                           cancellable, error, "service", service.c_str(), nullptr);
    });
    std::vector<std::string> accounts;
    for (GList* node = items; node != nullptr; node = node->next) {
        GHashTable* attributes = secret_retrievable_get_attributes(SECRET_RETRIEVABLE(node->data));
        if (attributes == nullptr) continue;
        if (const auto* account = static_cast<const char*>(g_hash_table_lookup(attributes, "account"))) {
            accounts.emplace_back(account);
        }
        g_hash_table_unref(attributes);
    }
    g_list_free_full(items, g_object_unref);
    return accounts;
}

std::optional<std::string> secretOf(const std::string& service, const std::string& account,
                                    std::chrono::milliseconds limit) {
    const SecretValuePtr value(runBounded(limit, [&](GCancellable* cancellable, GError** error) {
        return secret_password_lookup_binary_sync(&secretSchema(), cancellable, error, "service", service.c_str(),
                                                  "account", account.c_str(), nullptr);
    }));
    if (!value) return std::nullopt;
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    if (!isUtf8Text(data, length)) return std::nullopt;
    return std::string(data, length);
}

struct HashTableDeleter {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};

// Saves the item of `account`, with the scheme and port it may be used at when there
// are some. Storing with the same attributes in the same collection replaces the item.
void store(const std::string& service, const std::string& account, const std::string& secret,
           std::chrono::milliseconds limit, const std::optional<KeychainSecretStore::Origin>& origin = std::nullopt) {
    if (!isUtf8Text(secret.data(), secret.size())) {
        throw KeychainError(KeychainError::Kind::invalidSecret, "");
    }
    const SecretValuePtr value(secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "text/plain"));
    // The label is what keyring managers show; it names the item, never the secret.
    const std::string label = account + " (" + service + ")";
    // Keys and values stay owned by the strings here, which outlive the call.
    const std::unique_ptr<GHashTable, HashTableDeleter> attributes(g_hash_table_new(g_str_hash, g_str_equal));
    const auto add = [&attributes](const char* name, const std::string& text) {
        g_hash_table_insert(attributes.get(), const_cast<char*>(name), const_cast<char*>(text.c_str()));
    };
    add("service", service);
    add("account", account);
    if (origin) {
        add("scheme", origin->scheme);
        add("port", origin->port);
    }
    runBounded(limit, [&](GCancellable* cancellable, GError** error) {
        return secret_password_storev_binary_sync(&secretSchema(), attributes.get(), SECRET_COLLECTION_DEFAULT,
                                                  label.c_str(), value.get(), cancellable, error);
    });
}

struct ItemListDeleter {
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};
using ItemList = std::unique_ptr<GList, ItemListDeleter>;

// Every item of one account, an older item without an origin among them.
ItemList itemsOf(const std::string& service, const std::string& account, bool loadSecrets,
                 std::chrono::milliseconds limit) {
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK |
                                                      (loadSecrets ? SECRET_SEARCH_LOAD_SECRETS : SECRET_SEARCH_NONE));
    return ItemList(runBounded(limit, [&](GCancellable* cancellable, GError** error) {
        return secret_password_search_sync(&secretSchema(), flags, cancellable, error, "service", service.c_str(),
                                           "account", account.c_str(), nullptr);
    }));
}

// The origin an item was saved for; none for an item saved before origins were kept.
std::optional<KeychainSecretStore::Origin> savedOrigin(SecretRetrievable* item) {
    GHashTable* attributes = secret_retrievable_get_attributes(item);
    if (attributes == nullptr) return std::nullopt;
    const auto* scheme = static_cast<const char*>(g_hash_table_lookup(attributes, "scheme"));
    const auto* port = static_cast<const char*>(g_hash_table_lookup(attributes, "port"));
    std::optional<KeychainSecretStore::Origin> origin;
    if (scheme != nullptr || port != nullptr) {
        origin = KeychainSecretStore::Origin{scheme != nullptr ? scheme : "", port != nullptr ? port : ""};
    }
    g_hash_table_unref(attributes);
    return origin;
}

std::optional<std::string> secretOf(SecretRetrievable* item, std::chrono::milliseconds limit) {
    const SecretValuePtr value(runBounded(limit, [&](GCancellable* cancellable, GError** error) {
        return secret_retrievable_retrieve_secret_sync(item, cancellable, error);
    }));
    if (!value) return std::nullopt;
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    if (!isUtf8Text(data, length)) return std::nullopt;
    return std::string(data, length);
}

std::optional<std::string> secretFor(const std::string& service, const std::string& account,
                                     const KeychainSecretStore::Origin& origin, std::chrono::milliseconds limit) {
    const ItemList items = itemsOf(service, account, true, limit);
    // The item saved for this origin; else one saved before origins were kept.
    SecretRetrievable* chosen = nullptr;
    for (GList* node = items.get(); node != nullptr; node = node->next) {
        auto* item = SECRET_RETRIEVABLE(node->data);
        const std::optional<KeychainSecretStore::Origin> saved = savedOrigin(item);
        if (saved == origin) {
            chosen = item;
            break;
        }
        if (!saved && chosen == nullptr) chosen = item;
    }
    if (chosen == nullptr) return std::nullopt;
    return secretOf(chosen, limit);
}

void storeFor(const std::string& service, const std::string& account, const std::string& secret,
              const KeychainSecretStore::Origin& origin, std::chrono::milliseconds limit) {
    // An item of the account without the same four attributes (older, or for another
    // origin) is another item, removed below.
    store(service, account, secret, limit, origin);
    // Only once the new item is stored: until then an older one is the only copy.
    // What cannot be removed stays; it is found only for its own origin, or, when it
    // has none, until the next save.
    try {
        const ItemList items = itemsOf(service, account, false, limit);
        for (GList* node = items.get(); node != nullptr; node = node->next) {
            if (!SECRET_IS_ITEM(node->data) || savedOrigin(SECRET_RETRIEVABLE(node->data)) == origin) continue;
            runBounded(limit, [&](GCancellable* cancellable, GError** error) {
                return secret_item_delete_sync(SECRET_ITEM(node->data), cancellable, error);
            });
        }
    } catch (const KeychainError&) {
    }
}

void erase(const std::string& service, const std::string& account, std::chrono::milliseconds limit) {
    // FALSE without an error means there was nothing to delete.
    runBounded(limit, [&](GCancellable* cancellable, GError** error) {
        return secret_password_clear_sync(&secretSchema(), cancellable, error, "service", service.c_str(), "account",
                                          account.c_str(), nullptr);
    });
}

}  // namespace

KeychainSecretStore::KeychainSecretStore() : KeychainSecretStore(std::string(defaultService)) {}

KeychainSecretStore::KeychainSecretStore(std::string service, std::chrono::milliseconds callTimeout)
    : m_service(std::move(service)), m_callTimeout(callTimeout) {}

std::string KeychainSecretStore::accountSecretAccount(const Url& endpoint, std::string_view region,
                                                      std::string_view accessKeyID) {
    std::string account = "s3acct|";
    account += endpoint.host().value_or(endpoint.absoluteString());
    account += '|';
    account += region;
    account += '|';
    account += accessKeyID;
    return account;
}

std::string KeychainSecretStore::accountSecretAccount(const BucketConfig& bucket) {
    return accountSecretAccount(bucket.endpoint, bucket.region, bucket.accessKeyID);
}

std::string KeychainSecretStore::cdnAccount(const Uuid& bucketID, const Uuid& domainID) {
    return bucketID.toString() + ":cdn:" + domainID.toString();
}

KeychainSecretStore::Origin KeychainSecretStore::originOf(const Url& endpoint) {
    Origin origin{endpoint.scheme().value_or(""), ""};
    if (const std::optional<int> port = endpoint.port()) {
        origin.port = std::to_string(*port);
    } else if (origin.scheme == "https") {
        origin.port = "443";
    } else if (origin.scheme == "http") {
        origin.port = "80";
    }
    return origin;
}

void KeychainSecretStore::migrateLegacyKeychainIfNeeded() {
    // call_once makes concurrent callers wait until the one running has finished.
    // Only the program's own service takes them over: a store of another service (a
    // tool's, a test's) must not carry the user's items off where the program never looks.
    std::call_once(m_predecessorMoved, [this] {
        if (m_service == defaultService) moveItemsFrom(predecessorService);
    });
}

void KeychainSecretStore::moveItemsFrom(std::string_view otherService) {
    const std::string from(otherService);
    if (from == m_service) return;
    const auto keyringGone = [](const KeychainError& error) {
        return error.kind() == KeychainError::Kind::unavailable || error.kind() == KeychainError::Kind::timedOut;
    };
    std::vector<std::string> accounts;
    try {
        accounts = accountsOf(from, m_callTimeout);
    } catch (const std::exception&) {
        return;  // no keyring, or nothing to move: the normal case after the first run
    }
    for (const std::string& account : accounts) {
        try {
            const auto secret = secretOf(from, account, m_callTimeout);
            if (!secret) continue;  // not text: left in place rather than lost
            save(*secret, account);
        } catch (const KeychainError& error) {
            if (keyringGone(error)) return;
            continue;  // not saved here, so the item stays where it is
        } catch (const std::exception&) {
            continue;
        }
        try {
            erase(from, account, m_callTimeout);
        } catch (const KeychainError& error) {
            if (keyringGone(error)) return;
        }
    }
}

std::vector<std::string> KeychainSecretStore::allAccounts() const { return accountsOf(m_service, m_callTimeout); }

std::optional<std::string> KeychainSecretStore::secret(const std::string& account) const {
    return secretOf(m_service, account, m_callTimeout);
}

void KeychainSecretStore::save(const std::string& secret, const std::string& account) {
    store(m_service, account, secret, m_callTimeout);
}

void KeychainSecretStore::deleteSecret(const std::string& account) { erase(m_service, account, m_callTimeout); }

std::optional<std::string> KeychainSecretStore::secret(const std::string& account, const Origin& origin) const {
    return secretFor(m_service, account, origin, m_callTimeout);
}

void KeychainSecretStore::save(const std::string& secret, const std::string& account, const Origin& origin) {
    storeFor(m_service, account, secret, origin, m_callTimeout);
}

void KeychainSecretStore::bindToOrigin(const std::string& account, const Origin& origin) {
    const ItemList items = itemsOf(m_service, account, true, m_callTimeout);
    SecretRetrievable* unbound = nullptr;
    for (GList* node = items.get(); node != nullptr; node = node->next) {
        auto* item = SECRET_RETRIEVABLE(node->data);
        const std::optional<Origin> saved = savedOrigin(item);
        if (saved == origin) return;
        if (!saved && unbound == nullptr) unbound = item;
    }
    if (unbound == nullptr) return;
    if (const std::optional<std::string> secret = secretOf(unbound, m_callTimeout)) {
        storeFor(m_service, account, *secret, origin, m_callTimeout);
    }
}

std::optional<std::string> KeychainSecretStore::secret(const Uuid& bucketID) const {
    return secret(bucketID.toString());
}

void KeychainSecretStore::save(const std::string& secret, const Uuid& bucketID) { save(secret, bucketID.toString()); }

void KeychainSecretStore::deleteSecret(const Uuid& bucketID) { deleteSecret(bucketID.toString()); }

}  // namespace tarn
