#pragma once

#include "app/state/AppState.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"

#include "FinishWithin.h"
#include "core/ScopedEnv.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tarn::test {

// A state whose folder listing only records that it was asked for, and how things
// stood at that moment; a listing can be made to take a while. The record outlives
// the state, so a test can look at it after the state is gone.
class RecordingAppState : public AppState {
public:
    struct Listing {
        std::string prefix;
        std::string searchText;
        bool isSearching = false;
    };
    struct Record {
        std::vector<Listing> listings;
        int finished = 0;
    };

    using AppState::AppState;

    std::shared_ptr<Record> record = std::make_shared<Record>();
    std::chrono::milliseconds listingTakes{0};

private:
    QCoro::Task<> loadDirectory(std::string prefix) override;
};

// An application state over the real services: a configuration store in a temporary
// XDG_CONFIG_HOME, the private folder in a temporary XDG_CACHE_HOME, the keyring under
// a service of the test's own, and the storage client.
class AppStateFixture : public ::testing::Test {
protected:
    AppStateFixture();
    ~AppStateFixture() override;

    TemporaryFolder m_folder;
    ScopedEnv m_configHome;
    ScopedEnv m_cacheHome;
    ConfigStore m_configStore;
    KeychainSecretStore m_secretStore;
    S3Client m_client;
    std::unique_ptr<RecordingAppState> m_state;
};

// The debug log is made once per process, in the home folder of that moment, which a
// later test of the same process finds gone. This sets HOME to a fresh folder, so the
// first test makes the log there, and lends the log's folder back to later tests.
class ScopedLogHome {
public:
    ScopedLogHome();
    ~ScopedLogHome();
    ScopedLogHome(const ScopedLogHome&) = delete;
    ScopedLogHome& operator=(const ScopedLogHome&) = delete;

    // AppState::logFile()'s file.
    const std::filesystem::path& log() const { return m_log; }
    // Its contents, empty while it does not exist.
    std::string text() const;

private:
    TemporaryFolder m_home;
    ScopedEnv m_variable;
    std::filesystem::path m_log;
    bool m_lentFolder = false;
};

// True when TARN_TEST_KEYRING says an unlocked test keyring serves the session bus.
bool hasTestKeyring();

}  // namespace tarn::test
