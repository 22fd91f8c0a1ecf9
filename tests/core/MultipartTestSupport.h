#pragma once

#include "LoopbackHttpServer.h"

#include "core/config/ConfigModels.h"
#include "core/storage/S3Client.h"
#include "core/storage/StorageModels.h"

#include <mutex>
#include <string>
#include <vector>

namespace tarn::test {

// What the multipart tests share: a bucket on the loopback server and the log.

inline const S3Credentials kMultipartCredentials{"AKIDEXAMPLE", "secret"};

BucketConfig loopbackBucket(const LoopbackHttpServer& server);

// The part number in a part upload's target; 0 for any other request.
int partNumberIn(const std::string& target);

// Collects the lines a client logs, from any thread.
class LogLines {
public:
    explicit LogLines(S3Client& client);
    std::vector<std::string> all() const;
    // The lines that start with `start`, in order.
    std::vector<std::string> startingWith(const std::string& start) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

}  // namespace tarn::test
