#include "app/transfers/TransferCenter.h"

#include <algorithm>

namespace tarn {

namespace {

// Folders are compared as whole strings, exactly as given: "" is the root, "docs/" is
// neither "docs" nor "Docs/". Two absent bucket IDs match; absent and present do not.
bool isUploadInto(const TransferTask& task, const std::string& directory, const std::optional<Uuid>& bucketID) {
    const UploadSpec* upload = task.spec.upload();
    return upload != nullptr && task.bucketID == bucketID && upload->directory == directory;
}

// A move is shown in the folder it leaves.
bool isRenameIn(const TransferTask& task, const std::string& directory, const std::optional<Uuid>& bucketID) {
    const RenameSpec* rename = task.spec.rename();
    return rename != nullptr && task.bucketID == bucketID && renameParent(*rename) == directory;
}

// The tasks, in list order, that `matches` finds in `directory` of the bucket.
template <class Matches>
std::vector<const TransferTask*> tasksWhere(const std::vector<TransferTask>& tasks, Matches matches,
                                            const std::string& directory, const std::optional<Uuid>& bucketID) {
    std::vector<const TransferTask*> result;
    for (const TransferTask& task : tasks) {
        if (matches(task, directory, bucketID)) result.push_back(&task);
    }
    return result;
}

}  // namespace

std::vector<const TransferTask*> TransferCenter::uploadTasks(const std::string& directory,
                                                             const std::optional<Uuid>& bucketID) const {
    return tasksWhere(m_tasks, isUploadInto, directory, bucketID);
}

std::vector<const TransferTask*> TransferCenter::renameTasks(const std::string& directory,
                                                             const std::optional<Uuid>& bucketID) const {
    return tasksWhere(m_tasks, isRenameIn, directory, bucketID);
}

void TransferCenter::removeSucceededUploads(const std::string& directory, const std::optional<Uuid>& bucketID,
                                            TimePoint listedAt) {
    // A listing that started at or after the moment a task finished shows its result;
    // one that started earlier, however late it arrived, may not.
    const std::size_t removed = std::erase_if(m_tasks, [&](const TransferTask& task) {
        return task.state == TransferState::succeeded && task.finishedAt && *task.finishedAt <= listedAt &&
               (isUploadInto(task, directory, bucketID) || isRenameIn(task, directory, bucketID));
    });
    if (removed > 0) notifyRearranged();
}

bool TransferCenter::hasActive() const {
    return std::any_of(m_tasks.begin(), m_tasks.end(), [](const TransferTask& task) { return isActive(task.state); });
}

bool TransferCenter::hasUnacknowledgedFailure() const {
    return std::any_of(m_tasks.begin(), m_tasks.end(), [&](const TransferTask& task) {
        return task.state == TransferState::failed && !m_acknowledgedFailureIDs.contains(task.id);
    });
}

double TransferCenter::aggregateFraction() const {
    double sum = 0;
    std::size_t active = 0;
    for (const TransferTask& task : m_tasks) {
        if (!isActive(task.state)) continue;
        sum += task.fraction();
        ++active;
    }
    return active == 0 ? 0 : sum / static_cast<double>(active);
}

void TransferCenter::acknowledgeFailures() {
    // IDs of tasks no longer failed (retried, dismissed, cleared) drop out.
    m_acknowledgedFailureIDs.clear();
    for (const TransferTask& task : m_tasks) {
        if (task.state == TransferState::failed) m_acknowledgedFailureIDs.insert(task.id);
    }
    emit tasksChanged();
}

}  // namespace tarn
