#include "UploadFixture.h"

#include "AppStateTestAccess.h"

#include "app/transfers/TransferCenter.h"
#include "core/storage/S3Client.h"
#include "integration/S3TestBuckets.h"

#include <algorithm>
#include <fstream>

namespace tarn::test {

void UploadFixture::SetUp() {
    ServerAppStateFixture::SetUp();
    if (IsSkipped()) return;
    m_app->setUiServices(&m_ui);
    if (m_notifications.isServing()) AppStateTestAccess::setNotifier(*m_app, DesktopNotifier(m_notifications.service()));
    // A part that fails is not tried again. A part that only waits is given long
    // enough for a busy machine: a second without progress is no failure there. Tests
    // of stalls set their own limit.
    PartRetryPolicy retries;
    retries.maxAttempts = 1;
    retries.stallTimeout = 20.0;
    AppStateTestAccess::setPartRetryPolicy(m_app->transfers(), retries);
    QObject::connect(&m_app->transfers(), &TransferCenter::tasksChanged, [this] { recordTasks(); });
}

void UploadFixture::recordTasks() {
    for (const TransferTask& task : m_app->transfers().tasks()) {
        const auto seen = std::find_if(m_seen.begin(), m_seen.end(), [&](const TransferTask& s) { return s.id == task.id; });
        if (seen == m_seen.end()) {
            m_seen.push_back(task);
        } else {
            *seen = task;
        }
    }
}

void UploadFixture::TearDown() {
    // Clean-ups of dismissed uploads may still be on their way.
    if (m_app) waitFor([this] { return !m_app->transfers().runningID(); });
    ServerAppStateFixture::TearDown();
}

BucketConfig UploadFixture::showNewBucket(const std::string& stem, const std::vector<std::string>& keys,
                                          const std::string& directory, const std::string& endpoint) {
    m_serverBucket = createBucket(*m_server, stem);
    if (!keys.empty()) putObjects(*m_server, m_serverBucket, keys, "old");
    const BucketConfig shown = addBucket(endpoint.empty() ? m_server->endpoint : endpoint, m_serverBucket.bucketName);
    m_app->switchBucket(shown.id, directory);
    // The usage count is a listing of its own; let it end before anything counts requests.
    EXPECT_TRUE(waitFor([&] { return !m_app->isLoading() && m_app->bucketUsageCache().contains(shown.id); }));
    return shown;
}

std::filesystem::path UploadFixture::localFile(const std::filesystem::path& relative, const std::string& content) {
    const std::filesystem::path path = m_local.path() / relative;
    std::filesystem::create_directories(path.parent_path());
    writeFile(path, content);
    return path;
}

std::filesystem::path UploadFixture::localFileOfSize(const std::filesystem::path& relative, std::int64_t size) {
    const std::filesystem::path path = m_local.path() / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('a' + i % 23);
    for (std::int64_t written = 0; written < size;) {
        const auto count = static_cast<std::streamsize>(std::min<std::int64_t>(size - written, std::ssize(block)));
        out.write(block.data(), count);
        written += count;
    }
    return path;
}

bool UploadFixture::waitForFinishedTasks(std::size_t count) {
    // Uploads of several parts to a server on a loaded machine can take a while; the
    // limit only ends a test that is failing anyway.
    return waitFor(
        [&] {
            const TransferCenter& queue = m_app->transfers();
            const bool allFinished = std::all_of(m_seen.begin(), m_seen.end(),
                                                 [](const TransferTask& task) { return isFinished(task.state); });
            return m_seen.size() == count && allFinished && !queue.hasActive() && !queue.runningID();
        },
        std::chrono::seconds(120));
}

std::vector<std::string> UploadFixture::serverKeys() const {
    S3Client client;
    std::vector<std::string> keys;
    for (const ObjectItem& item : client.listObjects(m_serverBucket, credentialsOf(*m_server), "")) {
        keys.push_back(item.key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::string UploadFixture::serverObject(const std::string& key) const {
    S3Client client;
    const std::vector<std::uint8_t> bytes = client.downloadData(key, m_serverBucket, credentialsOf(*m_server));
    return std::string(bytes.begin(), bytes.end());
}

std::vector<OperationHistoryEntry> UploadFixture::history() {
    m_app->flushHistory();
    std::vector<OperationHistoryEntry> entries = m_app->config().history;
    std::reverse(entries.begin(), entries.end());
    return entries;
}

}  // namespace tarn::test
