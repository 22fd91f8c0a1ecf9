#include "core/config/KeychainSecretStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <thread>

// The secret store against a real Secret Service: the unlocked gnome-keyring that
// scripts/test starts on a private session bus. The tests never run against a
// user's own keyring: without TARN_TEST_KEYRING they skip. Items written by
// secret-tool stand for items of other programs (the predecessor among them) and
// check that the attributes are the plain "service" and "account".

using namespace tarn;
using ::testing::UnorderedElementsAre;

extern char** environ;

namespace {

struct ToolResult {
    int status = -1;
    std::string output;
};

// Runs a program with `input` on its stdin and returns its exit status and stdout.
ToolResult runTool(const std::vector<std::string>& args, const std::string& input = {}) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    ToolResult result;
    if (spawned == 0) {
        for (std::size_t written = 0; written < input.size();) {
            const ssize_t n = write(in[1], input.data() + written, input.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
    }
    close(in[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) result.output.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    if (spawned != 0) throw std::runtime_error("cannot start " + args[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Another program's item: raw bytes under the two attributes.
void storeWithSecretTool(const std::string& service, const std::string& account, const std::string& bytes) {
    const auto result =
        runTool({"secret-tool", "store", "--label=other program", "service", service, "account", account}, bytes);
    ASSERT_EQ(result.status, 0) << "secret-tool store failed for " << account;
}

std::optional<std::string> lookupWithSecretTool(const std::string& service, const std::string& account) {
    const auto result = runTool({"secret-tool", "lookup", "service", service, "account", account});
    if (result.status != 0) return std::nullopt;
    return result.output;
}

class KeychainSecretStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("TARN_TEST_KEYRING") == nullptr) {
            GTEST_SKIP() << "needs the throw-away keyring that scripts/test starts";
        }
    }

    void TearDown() override {
        for (const auto& service : m_services) {
            KeychainSecretStore store(service);
            for (const auto& account : store.allAccounts()) store.deleteSecret(account);
        }
    }

    // A service no other test (or earlier run) uses, emptied after the test.
    std::string uniqueService(const std::string& stem) {
        m_services.push_back("tarn-test." + stem + "." + Uuid::random().toString());
        return m_services.back();
    }

private:
    std::vector<std::string> m_services;
};

}  // namespace

TEST_F(KeychainSecretStoreTest, SaveReadReplaceDelete) {
    KeychainSecretStore store(uniqueService("basic"));
    const std::string account = "s3acct|s3.example.com|us-east-1|AKID";

    EXPECT_EQ(store.secret(account), std::nullopt);
    EXPECT_NO_THROW(store.deleteSecret(account));
    EXPECT_TRUE(store.allAccounts().empty());

    store.save("first secret", account);
    EXPECT_EQ(store.secret(account), "first secret");
    store.save("密钥/second+secret=", account);
    EXPECT_EQ(store.secret(account), "密钥/second+secret=");
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account)) << "a second save must replace, not add";
    // Another Secret Service client finds the item by the same two attributes.
    EXPECT_EQ(lookupWithSecretTool(store.service(), account), "密钥/second+secret=");

    store.save("", account);
    EXPECT_EQ(store.secret(account), "");

    store.deleteSecret(account);
    EXPECT_EQ(store.secret(account), std::nullopt);
    EXPECT_EQ(lookupWithSecretTool(store.service(), account), std::nullopt);
    EXPECT_TRUE(store.allAccounts().empty());
    EXPECT_NO_THROW(store.deleteSecret(account));
}

TEST_F(KeychainSecretStoreTest, AnAccountsSecretIsReadOnlyWhereItWasSavedFor) {
    KeychainSecretStore store(uniqueService("origin"));
    const std::string account = "s3acct|s3.example.com|us-east-1|AKID";
    const auto origin = [](const char* endpoint) { return KeychainSecretStore::originOf(*Url::parse(endpoint)); };
    EXPECT_EQ(origin("https://s3.example.com"), (KeychainSecretStore::Origin{"https", "443"}));
    EXPECT_EQ(origin("https://s3.example.com:443/"), (KeychainSecretStore::Origin{"https", "443"}));
    EXPECT_EQ(origin("HTTP://s3.example.com"), (KeychainSecretStore::Origin{"http", "80"}));
    EXPECT_EQ(origin("https://s3.example.com:9000"), (KeychainSecretStore::Origin{"https", "9000"}));

    // Saved before origins were kept: it keeps working, wherever the account points.
    storeWithSecretTool(store.service(), account, "old secret");
    EXPECT_EQ(store.secret(account, origin("https://s3.example.com")), "old secret");
    EXPECT_EQ(store.secret(account, origin("http://s3.example.com:8080")), "old secret");

    // Saved now: only for its own scheme and port. The older item is gone, and
    // another client finds the one item by its name as before.
    store.save("new secret", account, origin("https://s3.example.com"));
    EXPECT_EQ(store.secret(account, origin("https://s3.example.com:443")), "new secret");
    for (const char* elsewhere : {"http://s3.example.com", "https://s3.example.com:8443", "http://s3.example.com:443"}) {
        EXPECT_EQ(store.secret(account, origin(elsewhere)), std::nullopt) << elsewhere;
    }
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account));
    EXPECT_EQ(lookupWithSecretTool(store.service(), account), "new secret");

    // Entered again for the new place, it serves there alone.
    store.save("again", account, origin("http://s3.example.com"));
    EXPECT_EQ(store.secret(account, origin("http://s3.example.com")), "again");
    EXPECT_EQ(store.secret(account, origin("https://s3.example.com")), std::nullopt);
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account));

    // An older item bound to where its account points: from then on it serves there alone.
    store.deleteSecret(account);
    storeWithSecretTool(store.service(), account, "old secret");
    store.bindToOrigin(account, origin("https://s3.example.com"));
    EXPECT_EQ(store.secret(account, origin("https://s3.example.com")), "old secret");
    EXPECT_EQ(store.secret(account, origin("http://s3.example.com")), std::nullopt);
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account));
    // Bound already, or with nothing to bind: nothing changes.
    store.bindToOrigin(account, origin("http://s3.example.com"));
    EXPECT_EQ(store.secret(account, origin("https://s3.example.com")), "old secret");
    store.bindToOrigin("s3acct|none|r|AK", origin("https://s3.example.com"));
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account));

    store.deleteSecret(account);
    EXPECT_EQ(store.secret(account, origin("http://s3.example.com")), std::nullopt);
    EXPECT_TRUE(store.allAccounts().empty());
}

TEST_F(KeychainSecretStoreTest, ListsTheAccountsOfItsOwnServiceOnly) {
    KeychainSecretStore store(uniqueService("list"));
    KeychainSecretStore neighbour(uniqueService("neighbour"));
    const Uuid bucket = Uuid::random();
    const std::string cdn = KeychainSecretStore::cdnAccount(bucket, Uuid::random());

    store.save("s1", "s3acct|a|r|k1");
    store.save("s2", "s3acct|a|r|k2");
    store.save("token", cdn);
    store.save("per-bucket", bucket);
    neighbour.save("other", "s3acct|a|r|k1");

    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre("s3acct|a|r|k1", "s3acct|a|r|k2", cdn, bucket.toString()));
    EXPECT_THAT(neighbour.allAccounts(), UnorderedElementsAre("s3acct|a|r|k1"));
    EXPECT_EQ(store.secret("s3acct|a|r|k1"), "s1");
    EXPECT_EQ(neighbour.secret("s3acct|a|r|k1"), "other");

    // The UUID forms use the UUID's upper-case text as the account.
    EXPECT_EQ(store.secret(bucket), "per-bucket");
    EXPECT_EQ(store.secret(bucket.toString()), "per-bucket");
    store.deleteSecret(bucket);
    EXPECT_EQ(store.secret(bucket), std::nullopt);
    EXPECT_EQ(neighbour.secret("s3acct|a|r|k1"), "other") << "a delete must stay within its service";
}

TEST_F(KeychainSecretStoreTest, DataThatIsNotTextReadsAsMissing) {
    KeychainSecretStore store(uniqueService("binary"));
    storeWithSecretTool(store.service(), "binary", std::string("\xff\xfe\x80secret", 9));
    storeWithSecretTool(store.service(), "nul", std::string("a\0b", 3));
    storeWithSecretTool(store.service(), "text", "plain");

    EXPECT_EQ(store.secret("binary"), std::nullopt);
    EXPECT_EQ(store.secret("nul"), std::nullopt);
    EXPECT_EQ(store.secret("text"), "plain");
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre("binary", "nul", "text"));
}

TEST_F(KeychainSecretStoreTest, RefusesToSaveWhatWouldReadBackAsMissing) {
    KeychainSecretStore store(uniqueService("refuse"));
    const std::string notText("abc\xc3(def", 8);
    try {
        store.save(notText, "account");
        FAIL() << "saved a secret that reads back as missing";
    } catch (const KeychainError& error) {
        EXPECT_EQ(error.kind(), KeychainError::Kind::invalidSecret);
        EXPECT_EQ(std::string(error.what()).find("abc"), std::string::npos) << "the secret leaked into the error";
    }
    EXPECT_TRUE(store.allAccounts().empty());
}

TEST_F(KeychainSecretStoreTest, MovesThePredecessorsItems) {
    const std::string predecessor = uniqueService("predecessor");
    KeychainSecretStore store(uniqueService("current"));
    const std::string account = "s3acct|oss.example.com|cn-hangzhou|AK1";
    const std::string cdn = KeychainSecretStore::cdnAccount(Uuid::random(), Uuid::random());
    storeWithSecretTool(predecessor, account, "secret-1");
    storeWithSecretTool(predecessor, cdn, "token-1");
    storeWithSecretTool(predecessor, "binary", "\xff\xfe");
    store.save("stale", cdn);  // the moved item replaces what the store already has

    store.moveItemsFrom(predecessor);

    EXPECT_EQ(store.secret(account), "secret-1");
    EXPECT_EQ(store.secret(cdn), "token-1");
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account, cdn));
    // What was moved is gone; what could not be moved stays rather than being lost.
    EXPECT_EQ(lookupWithSecretTool(predecessor, account), std::nullopt);
    EXPECT_EQ(lookupWithSecretTool(predecessor, cdn), std::nullopt);
    EXPECT_EQ(lookupWithSecretTool(predecessor, "binary"), "\xff\xfe");

    store.moveItemsFrom(predecessor);  // a later start changes nothing
    EXPECT_THAT(store.allAccounts(), UnorderedElementsAre(account, cdn));
    EXPECT_EQ(store.secret(cdn), "token-1");
}

namespace {

// A store whose keyring refuses one account, as a full or read-only collection would.
class RefusingStore : public KeychainSecretStore {
public:
    RefusingStore(std::string service, std::string refused)
        : KeychainSecretStore(std::move(service)), m_refused(std::move(refused)) {}
    using KeychainSecretStore::save;
    void save(const std::string& secret, const std::string& account) override {
        if (account == m_refused) throw KeychainError(KeychainError::Kind::failed, "refused");
        KeychainSecretStore::save(secret, account);
    }

private:
    std::string m_refused;
};

}  // namespace

TEST_F(KeychainSecretStoreTest, KeepsAPredecessorItemWhoseCopyFailed) {
    const std::string predecessor = uniqueService("predecessor");
    RefusingStore store(uniqueService("current"), "refused");
    storeWithSecretTool(predecessor, "refused", "only copy");
    storeWithSecretTool(predecessor, "accepted", "moved");

    store.moveItemsFrom(predecessor);

    EXPECT_EQ(store.secret("accepted"), "moved");
    EXPECT_EQ(store.secret("refused"), std::nullopt);
    EXPECT_EQ(lookupWithSecretTool(predecessor, "refused"), "only copy");
    EXPECT_EQ(lookupWithSecretTool(predecessor, "accepted"), std::nullopt);
}

// The real service names: creating the default store leaves the predecessor's
// items alone (it must cost nothing on the main thread); the explicit move, run
// from several threads at once as start-up and an early caller might, moves them
// once and returns to each caller only when they are there. Only this test and the
// program itself use these names (the window tests' program runs on a service of its
// own), and only with accounts of its own.
TEST_F(KeychainSecretStoreTest, DefaultStoreMovesThePredecessorsItemsWhenAsked) {
    const std::string predecessor(KeychainSecretStore::predecessorService);
    const std::string account = "s3acct|start.example.com|r|" + Uuid::random().toString();
    storeWithSecretTool(predecessor, account, "from the predecessor");

    KeychainSecretStore store;
    EXPECT_EQ(store.service(), "app.TarnManager.client");
    EXPECT_EQ(lookupWithSecretTool(predecessor, account), "from the predecessor");
    EXPECT_EQ(store.secret(account), std::nullopt);
    // A store of another service (a tool's, a test's) leaves them where they are.
    KeychainSecretStore other("app.TarnManager.test." + Uuid::random().toString());
    other.migrateLegacyKeychainIfNeeded();
    EXPECT_EQ(lookupWithSecretTool(predecessor, account), "from the predecessor");
    EXPECT_EQ(other.secret(account), std::nullopt);

    std::vector<std::optional<std::string>> seen(4);
    {
        std::vector<std::jthread> callers;
        for (auto& result : seen) {
            callers.emplace_back([&store, &result, &account] {
                store.migrateLegacyKeychainIfNeeded();
                result = store.secret(account);
            });
        }
    }
    store.migrateLegacyKeychainIfNeeded();  // a later call changes nothing
    const auto moved = store.secret(account);
    const auto left = lookupWithSecretTool(predecessor, account);
    store.deleteSecret(account);
    KeychainSecretStore(predecessor).deleteSecret(account);

    for (const auto& result : seen) EXPECT_EQ(result, "from the predecessor");
    EXPECT_EQ(moved, "from the predecessor");
    EXPECT_EQ(left, std::nullopt);
}

namespace {

// Runs `call` in a fresh child process whose session bus is `busAddress` and exits
// with the error kind (10 + kind) after printing the description, or 1 when the
// call did not throw. The alarm turns a hang into a failed test.
template <typename Call>
[[noreturn]] void callOnBus(const std::string& busAddress, Call call) {
    alarm(20);
    setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
    try {
        call();
    } catch (const KeychainError& error) {
        std::cerr << error.what() << std::endl;
        std::_Exit(10 + static_cast<int>(error.kind()));
    }
    std::_Exit(1);
}

constexpr int unavailableExit = 10 + static_cast<int>(KeychainError::Kind::unavailable);
constexpr int timedOutExit = 10 + static_cast<int>(KeychainError::Kind::timedOut);

}  // namespace

// No keyring is needed: the bus points nowhere, so these run everywhere.
TEST(KeychainSecretStoreWithoutKeyring, UnreachableServiceIsAClearError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string nowhere = "unix:path=/nonexistent/tarn-test-bus";
    EXPECT_EXIT(callOnBus(nowhere, [] { KeychainSecretStore("tarn-test.unreachable").secret("a"); }),
                ::testing::ExitedWithCode(unavailableExit), "The keyring \\(Secret Service\\) is not available: .+");
    EXPECT_EXIT(callOnBus(nowhere, [] { KeychainSecretStore("tarn-test.unreachable").save("never shown", "a"); }),
                ::testing::ExitedWithCode(unavailableExit), "is not available");
    EXPECT_EXIT(callOnBus(nowhere, [] { KeychainSecretStore("tarn-test.unreachable").allAccounts(); }),
                ::testing::ExitedWithCode(unavailableExit), "is not available");
    EXPECT_EXIT(callOnBus(nowhere, [] { KeychainSecretStore("tarn-test.unreachable").deleteSecret("a"); }),
                ::testing::ExitedWithCode(unavailableExit), "is not available");
    // The move of the predecessor's items reports nothing.
    EXPECT_EXIT(callOnBus(nowhere, [] { KeychainSecretStore().migrateLegacyKeychainIfNeeded(); }),
                ::testing::ExitedWithCode(1), "");
}

// A bus that accepts the connection and then never says a word, like a stuck
// daemon: the call ends at the store's deadline.
TEST(KeychainSecretStoreWithoutKeyring, SilentServiceEndsAtTheDeadline) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto callOnSilentBus = [] {
        char directory[] = "/tmp/tarn-silent-bus.XXXXXX";
        if (mkdtemp(directory) == nullptr) std::_Exit(2);
        const std::string path = std::string(directory) + "/bus";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 4) != 0) {
            std::_Exit(2);
        }
        const auto started = std::chrono::steady_clock::now();
        callOnBus("unix:path=" + path, [&] {
            try {
                KeychainSecretStore("tarn-test.silent", std::chrono::milliseconds(300)).secret("a");
            } catch (...) {
                unlink(path.c_str());
                rmdir(directory);
                if (std::chrono::steady_clock::now() - started > std::chrono::seconds(10)) std::_Exit(3);
                throw;
            }
        });
    };
    EXPECT_EXIT(callOnSilentBus(), ::testing::ExitedWithCode(timedOutExit),
                "The keyring did not answer in time: no answer within 300 ms\\.");
}
