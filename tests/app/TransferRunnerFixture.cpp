#include "TransferRunnerFixture.h"

#include "app/transfers/TransferCenter.h"

#include <algorithm>

namespace tarn::test {

namespace fs = std::filesystem;

TransferTask TransferRunnerFixture::downloadTask(const BucketConfig& bucket, std::string remoteKey,
                                                 fs::path destination, bool isFolder, std::int64_t bytesTotal,
                                                 std::optional<TimePoint> lastModified) {
    TransferTask task;
    task.id = Uuid::random();
    task.title = destination.filename().string();
    task.isFolder = isFolder;
    task.spec.value = DownloadSpec{std::move(remoteKey), std::move(destination), isFolder, lastModified};
    task.bytesTotal = bytesTotal;
    task.bucketID = bucket.id;
    return task;
}

TransferTask TransferRunnerFixture::deleteTask(const BucketConfig& bucket, std::vector<std::string> objectKeys,
                                               std::vector<std::string> folderPrefixes) {
    TransferTask task;
    task.id = Uuid::random();
    task.title = "delete";
    task.isFolder = !folderPrefixes.empty();
    task.spec.value = DeleteSpec{std::move(objectKeys), std::move(folderPrefixes)};
    task.bucketID = bucket.id;
    return task;
}

TransferTask TransferRunnerFixture::runQueued(TransferTask task, std::chrono::milliseconds limit) {
    const Uuid id = task.id;
    TransferCenter& queue = m_app->transfers();
    queue.append(std::move(task));
    queue.pumpIfIdle();
    const bool ended = waitFor(
        [&] {
            const std::optional<TransferTask> now = taskNow(id);
            return !now || isFinished(now->state);
        },
        limit);
    EXPECT_TRUE(ended) << "the task did not end in time";
    std::optional<TransferTask> ending = taskNow(id);
    EXPECT_TRUE(ending.has_value()) << "the task left the list";
    return ending.value_or(TransferTask{});
}

std::optional<TransferTask> TransferRunnerFixture::taskNow(const Uuid& id) const {
    const std::vector<TransferTask>& tasks = m_app->transfers().tasks();
    const auto found = std::find_if(tasks.begin(), tasks.end(), [&](const TransferTask& task) { return task.id == id; });
    return found == tasks.end() ? std::nullopt : std::optional(*found);
}

std::vector<std::string> TransferRunnerFixture::entriesIn(const fs::path& folder) {
    std::vector<std::string> entries;
    if (!fs::exists(folder)) return entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = entry.path().lexically_relative(folder).string();
        if (entry.is_symlink()) {
            entries.push_back(relative + " -> " + fs::read_symlink(entry.path()).string());
        } else if (entry.is_regular_file()) {
            entries.push_back(relative);
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace tarn::test
