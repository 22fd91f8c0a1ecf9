#pragma once

#include "RecordingNotifications.h"
#include "ScriptedUiServices.h"
#include "ServerAppStateFixture.h"

#include "app/transfers/TransferTask.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarn::test {

// Uploads through a real state into a bucket of the S3 test server, from files in a
// temporary folder: the desktop is scripted, desktop notifications are recorded, and
// failed parts are retried at once.
class UploadFixture : public ServerAppStateFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new bucket on the server holding `keys` (content "old"), reached through
    // `endpoint` (the server's own when empty) and shown at `directory`; the bucket
    // as the state knows it.
    BucketConfig showNewBucket(const std::string& stem, const std::vector<std::string>& keys = {},
                               const std::string& directory = "", const std::string& endpoint = "");

    // A local file below the temporary folder, its folders made.
    std::filesystem::path localFile(const std::filesystem::path& relative, const std::string& content);
    // A local file of `size` bytes of a repeating pattern.
    std::filesystem::path localFileOfSize(const std::filesystem::path& relative, std::int64_t size);

    // Every task the queue has held, in the order they came, as last seen: a
    // listing after the queue has drained retires the rows of succeeded uploads.
    const std::vector<TransferTask>& tasks() const { return m_seen; }
    // Waits until `count` tasks have come and all have finished.
    bool waitForFinishedTasks(std::size_t count);

    // Every key of that bucket, read from the server itself, sorted; an object's bytes.
    std::vector<std::string> serverKeys() const;
    std::string serverObject(const std::string& key) const;
    // The history entries recorded so far, oldest first.
    std::vector<OperationHistoryEntry> history();

    BucketConfig m_serverBucket;  // the bucket shown, reached directly
    TemporaryFolder m_local;
    ScriptedUiServices m_ui;
    RecordingNotifications m_notifications;

private:
    void recordTasks();

    std::vector<TransferTask> m_seen;
};

}  // namespace tarn::test
