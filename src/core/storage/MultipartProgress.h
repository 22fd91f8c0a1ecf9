#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

namespace tarn {

// The byte count of one run of the multipart engine, for the progress display:
// finished parts plus what the current attempt of each part in flight has sent.
// Shared by every part of the run; every member may be called from any thread.
class MultipartProgress {
public:
    // `completed`: bytes of the parts that were already on the server.
    MultipartProgress(std::int64_t fileSize, std::int64_t completed);
    MultipartProgress(const MultipartProgress&) = delete;
    MultipartProgress& operator=(const MultipartProgress&) = delete;

    // Bytes uploaded, never more than the file size; absent once the run has ended.
    std::optional<std::int64_t> bytes() const;

    // Attempt `attempt` of `part` starts from zero bytes.
    void start(int part, int attempt);
    // The attempt has sent `bytes` in all. A report of an attempt that is no longer
    // the part's current one (a late report of a failed attempt) changes nothing.
    void sent(int part, int attempt, std::int64_t bytes);
    // The part's attempt failed or was cancelled: its bytes no longer count.
    void clear(int part);
    // The part is stored: its bytes count for good.
    void complete(int part, std::int64_t bytes);
    // The run has ended.
    void close();

private:
    struct Inflight {
        int attempt = 0;
        std::int64_t bytes = 0;
    };

    mutable std::mutex m_mutex;
    const std::int64_t m_fileSize;
    std::int64_t m_completed;
    std::map<int, Inflight> m_inflight;
    bool m_closed = false;
};

}  // namespace tarn
