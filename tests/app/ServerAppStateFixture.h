#pragma once

#include "AppStateFixture.h"

#include "integration/TestEnvironment.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn::test {

// A real application state (its own listing, not a recording) whose accounts point
// at the S3 test server or at stand-ins on loopback, with their secrets in the test
// keyring. Skips without a server or a keyring.
class ServerAppStateFixture : public AppStateFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds an account at `endpoint` (the test server's keys and region) holding
    // `bucketNames`, saves its secret, and returns its buckets as the state sees them.
    std::vector<BucketConfig> addAccount(const std::string& endpoint, const std::vector<std::string>& bucketNames);
    BucketConfig addBucket(const std::string& endpoint, const std::string& bucketName);

    // Waits until `condition` holds, running the event loop; false when it did not in time.
    static bool waitFor(const std::function<bool()>& condition,
                        std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Waits until no listing, further page or operation runs.
    bool waitUntilSettled(std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

    // The keys of the objects the state shows, in order.
    std::vector<std::string> shownKeys() const;
    std::vector<std::string> shownPrefixes() const;

    std::optional<S3TestServer> m_server;
    std::unique_ptr<AppState> m_app;

private:
    std::vector<std::string> m_secretAccounts;
};

}  // namespace tarn::test
