#pragma once

#include "ServerAppStateFixture.h"

#include "app/transfers/TransferTask.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarn::test {

// A real application state whose transfer queue runs tasks against the S3 test server
// (or a stand-in on loopback), with a temporary folder for what they write.
class TransferRunnerFixture : public ServerAppStateFixture {
protected:
    // A queued download as the download command makes it.
    static TransferTask downloadTask(const BucketConfig& bucket, std::string remoteKey,
                                     std::filesystem::path destination, bool isFolder, std::int64_t bytesTotal = 0,
                                     std::optional<TimePoint> lastModified = std::nullopt);
    static TransferTask deleteTask(const BucketConfig& bucket, std::vector<std::string> objectKeys,
                                   std::vector<std::string> folderPrefixes);

    // Queues the task, waits until it has finished and returns it as it ended.
    TransferTask runQueued(TransferTask task, std::chrono::milliseconds limit = std::chrono::seconds(30));
    // The task as the queue holds it now; none once it has left the list.
    std::optional<TransferTask> taskNow(const Uuid& id) const;

    // Every file and link below `folder`, as paths relative to it ("a/b.txt"), sorted;
    // links end in " -> TARGET".
    static std::vector<std::string> entriesIn(const std::filesystem::path& folder);

    TemporaryFolder m_local;
};

}  // namespace tarn::test
