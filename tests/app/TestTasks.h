#pragma once

#include "app/transfers/TransferTask.h"

#include <optional>
#include <string>
#include <utility>

namespace tarn::test {

// A queue task as the queue would hold it, for tests that read the queue.
inline TransferTask makeTask(TransferSpec spec, TransferState state, std::optional<Uuid> bucketID,
                             std::string title = "t", bool isFolder = false) {
    TransferTask task;
    task.id = Uuid::random();
    task.spec = std::move(spec);
    task.state = state;
    task.bucketID = bucketID;
    task.title = std::move(title);
    task.isFolder = isFolder;
    return task;
}

}  // namespace tarn::test
