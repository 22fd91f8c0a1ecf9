#pragma once

#include "app/transfers/TransferTask.h"
#include "core/config/BucketIdentity.h"
#include "core/config/ConfigModels.h"

#include <optional>
#include <string>
#include <utility>

namespace tarn::test {

// A task as a producer makes it, with a new ID, in the given state.
inline TransferTask transferTask(TransferSpec spec, TransferState state, std::optional<Uuid> bucketID,
                                 std::string title = "t", bool isFolder = false) {
    TransferTask task;
    task.id = Uuid::random();
    task.spec = std::move(spec);
    task.state = state;
    task.bucketID = std::move(bucketID);
    task.title = std::move(title);
    task.isFolder = isFolder;
    return task;
}

// One account, "Work", with the buckets "media" and "logs" and their IDs.
struct WorkAccount {
    StorageProfile profile;
    Uuid media;
    Uuid logs;
};

inline WorkAccount workAccount() {
    WorkAccount account;
    account.profile.id = Uuid::random();
    account.profile.name = "Work";
    account.profile.endpoint = *Url::parse("https://s3.example.com");
    account.profile.region = "eu-1";
    account.profile.accessKeyID = "AKID";
    account.profile.bucketNames = {"media", "logs"};
    account.media = BucketIdentity::deterministicID(account.profile.endpoint, "eu-1", "AKID", "media");
    account.logs = BucketIdentity::deterministicID(account.profile.endpoint, "eu-1", "AKID", "logs");
    return account;
}

}  // namespace tarn::test
