#pragma once

#include "core/config/ConfigModels.h"
#include "core/storage/LocalFile.h"
#include "core/storage/MultipartPlan.h"
#include "core/storage/PartRetryPolicy.h"
#include "core/storage/StorageModels.h"
#include "core/storage/UploadPart.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace tarn {

class MultipartProgress;
class S3Client;

// Sends the missing parts of one multipart upload of one local file, several at a
// time, each part with its own bounded retries, and hands back every part for the
// completion. The upload itself is created and completed by the caller.
//
// Part n covers the bytes from (n - 1) × part size; the last part is the short one.
// No part is held in memory whole: each is read from the file a piece at a time, once
// for the SHA-256 its signature needs and again while it goes out (at every attempt),
// through one piece buffer per part thread. The memory of a run is concurrency() ×
// pieceSize and a little more, whatever the part size. A part whose file changes
// while it is read (its size or times) fails as unreadable before its last byte goes
// out; a server that checks payloads refuses one whose bytes differ from their hash.
class MultipartUploader {
public:
    // Receives the bytes uploaded so far (finished parts and what the parts in flight
    // have sent, at most the file size) whenever the count may have changed. Called
    // from the part threads, one call at a time, never after upload() has returned.
    using ProgressHandler = std::function<void(std::int64_t bytes)>;
    // Called on the calling thread for each part stored in this run, one at a time, as
    // soon as it is stored (so the caller can keep it for a later run); no further
    // part starts until it returns.
    using PartHandler = std::function<void(const UploadPart& part)>;

    // Runs as MultipartPlan::make(fileSize, partSize, concurrency) plans it: a part
    // size that would need more than 10,000 parts or exceed 5 GiB is fitted, and then
    // no more parts go at once than fit in 256 MiB; a concurrency below 1 runs one
    // part at a time. The caller reads the fitted values from plan() before the run
    // (a session to resume must keep the fitted part size). Throws what
    // MultipartPlan::make throws: FileTooLargeError for a file beyond 5 TiB,
    // std::invalid_argument for a part size that is not positive. The client must
    // outlive the uploader. Every part opens `file` afresh, as RegularFile does.
    MultipartUploader(S3Client& client, BucketConfig bucket, S3Credentials credentials, std::string key,
                      std::string uploadId, LocalFile file, std::int64_t fileSize, std::int64_t partSize,
                      int concurrency, PartRetryPolicy policy = {});

    // Sends every part not among `existing` (parts stored by an earlier run of the
    // same upload; entries outside 1 … partCount() are ignored) and returns all parts
    // sorted by number. The first part that fails for good stops the others, and the
    // run throws its PartUploadError once every part thread has ended. A stop request
    // ends the run promptly with CancelledError, which takes precedence. No thread of
    // the run outlives the call.
    std::vector<UploadPart> upload(const std::vector<UploadPart>& existing, const ProgressHandler& onProgress,
                                   const PartHandler& onPart, std::stop_token stop = {}) const;

    const MultipartPlan& plan() const { return m_plan; }
    std::int64_t partSize() const { return m_plan.partSize; }
    int partCount() const { return m_plan.partCount; }
    int concurrency() const { return m_plan.concurrency; }

    // An error and the errors under it (nested exceptions, the errno of a transport
    // failure) as one line: "domain code" per level, the first with its description
    // in double quotes, joined by " ← ", at most five levels.
    static std::string describeChain(const std::exception_ptr& error);

    // The bytes a part thread holds of its part at a time: one huge page, which the
    // kernel fills from the disk in one go (in small pages, the work of lending them
    // to the disk costs more than the reading).
    static constexpr std::size_t pieceSize = 2 * 1024 * 1024;

private:
    class Run;
    class PartBuffer;
    class PartFile;
    // Hands the current byte count to the caller's handler.
    using Reporter = std::function<void()>;

    std::int64_t partOffset(int part) const;
    std::int64_t partLength(int part) const;
    // Opens the file and reads part `part` once, a piece at a time through `buffer`,
    // for its SHA-256; the part is then ready to go out. Throws when the file cannot
    // be read or no longer has the part's length.
    PartFile readPart(int part, PartBuffer& buffer) const;
    // The attempt loop of one part; throws PartUploadError or CancelledError.
    UploadPart uploadPart(int part, PartBuffer& buffer, MultipartProgress& progress, const Reporter& report,
                          std::stop_token stop) const;
    void log(const std::string& line) const;

    S3Client& m_client;
    BucketConfig m_bucket;
    S3Credentials m_credentials;
    std::string m_key;
    std::string m_uploadId;
    LocalFile m_file;
    std::int64_t m_fileSize;
    MultipartPlan m_plan;
    PartRetryPolicy m_policy;
};

}  // namespace tarn
