#include "core/storage/MultipartUploader.h"

#include "core/crypto/Crypto.h"
#include "core/crypto/Sha256Stream.h"
#include "core/files/FileDescriptor.h"
#include "core/storage/CancelledError.h"
#include "core/storage/FileChangedError.h"
#include "core/storage/MultipartProgress.h"
#include "core/storage/PartStalledError.h"
#include "core/storage/PartUploadError.h"
#include "core/storage/RegularFile.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"
#include "core/text/Utf8.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <thread>

namespace tarn {

namespace {

using Clock = std::chrono::steady_clock;

// The log shows at most this much of a server's error message.
constexpr std::size_t kLoggedMessageCharacters = 200;
constexpr int kChainLevels = 5;
// Longer waits than this are not meant seriously; keeps the sleep within its clock.
constexpr double kLongestWait = 1e9;

// "%.2f" in every locale: the log is read by people and tools alike.
std::string twoDecimals(double value) {
    char text[64];
    const std::to_chars_result written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, written.ptr);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The first `count` characters of UTF-8 text.
// The code and message of a refused request, for the log; "-" when it has neither.
std::string errorDetail(const S3Error& error) {
    std::string detail = error.errorCode().value_or("");
    if (const std::optional<std::string> message = error.errorMessage()) {
        if (!detail.empty()) detail += ' ';
        detail += Utf8::prefix(*message, kLoggedMessageCharacters);
    }
    return detail.empty() ? "-" : detail;
}

double uniformRandom() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

// Sleeps unless a stop is requested first; true when the whole time passed.
bool sleepUnlessStopped(double seconds, const std::stop_token& stop) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(std::clamp(seconds, 0.0, kLongestWait)));
    wake.wait_for(lock, stop, wait, [] { return false; });
    return !stop.stop_requested();
}

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
// Direct reads need the offset, the length and the memory aligned to the device's
// blocks; 4 KiB covers the devices in use (and a device that asks for more gets
// cached reads).
constexpr std::size_t kDirectAlignment = 4096;

std::size_t roundedUp(std::size_t value, std::size_t unit) {
    return (value + unit - 1) / unit * unit;
}

// Asks for 2 MiB pages under a fresh part buffer. Each page of a new buffer costs a
// fault when first written; with 4 KiB pages, faulting in a 10 MiB part costs about
// as much CPU as hashing it. Only a hint: nothing changes where it is not granted.
void preferHugePages(void* data, std::size_t size) {
    const auto start = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// Switches direct reads of `fd` on or off; false when the file system refuses them.
bool setDirect(int fd, bool direct) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, direct ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

struct ChainLevel {
    std::string domain;
    long long code = 0;
    std::string description;
    std::exception_ptr next;
};

std::exception_ptr nestedOf(const std::exception& error) {
    if (const auto* nested = dynamic_cast<const std::nested_exception*>(&error)) return nested->nested_ptr();
    return nullptr;
}

ChainLevel levelOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const PartStalledError& stalled) {
        return {PartStalledError::domain, PartStalledError::code, stalled.what(), nestedOf(stalled)};
    } catch (const TransportError& transport) {
        // The socket's errno stands under libcurl's code, as the cause of the failure.
        std::exception_ptr next = nestedOf(transport);
        if (!next && transport.osErrno() != 0) {
            next = std::make_exception_ptr(std::system_error(transport.osErrno(), std::generic_category()));
        }
        return {"curl", transport.curlCode(), transport.what(), next};
    } catch (const S3Error& storage) {
        return {"S3Error", static_cast<long long>(storage.kind()), storage.what(), nestedOf(storage)};
    } catch (const CancelledError& cancelled) {
        return {"Cancelled", 0, cancelled.what(), nestedOf(cancelled)};
    } catch (const PartUploadError& part) {
        return {"PartUpload", part.partNumber(), part.what(), part.underlying()};
    } catch (const std::system_error& system) {
        const bool posix = system.code().category() == std::generic_category() ||
                           system.code().category() == std::system_category();
        return {posix ? "errno" : system.code().category().name(), system.code().value(), system.what(),
                nestedOf(system)};
    } catch (const std::exception& other) {
        return {"exception", 0, other.what(), nestedOf(other)};
    } catch (...) {
        return {"unknown", 0, "unknown error", nullptr};
    }
}

}  // namespace

std::string MultipartUploader::describeChain(const std::exception_ptr& error) {
    std::string text;
    std::exception_ptr current = error;
    for (int level = 0; current && level < kChainLevels; ++level) {
        const ChainLevel described = levelOf(current);
        if (level > 0) text += " ← ";
        text += described.domain + " " + std::to_string(described.code);
        if (level == 0) text += " \"" + described.description + "\"";
        current = described.next;
    }
    return text;
}

// The memory through which a thread reads its part, a piece at a time, kept for the
// thread's next part. It starts on a huge-page boundary, which also suits direct
// reads, and is never filled with zeros first: every byte used is read from the file
// before.
class MultipartUploader::PartBuffer {
public:
    // Room for at least `size` bytes; what it held before is gone.
    std::span<std::uint8_t> reserve(std::size_t size) {
        if (m_capacity < size) {
            // Drop the smaller buffer first: two at once would exceed the memory a part
            // may take.
            m_data.reset();
            m_capacity = 0;
            const std::size_t capacity = roundedUp(size, kDirectAlignment);
            m_data.reset(static_cast<std::uint8_t*>(::operator new[](capacity, std::align_val_t{kHugePage})));
            m_capacity = capacity;
            preferHugePages(m_data.get(), capacity);
        }
        return {m_data.get(), size};
    }

private:
    struct Release {
        void operator()(std::uint8_t* data) const { ::operator delete[](data, std::align_val_t{kHugePage}); }
    };
    std::unique_ptr<std::uint8_t, Release> m_data;
    std::size_t m_capacity = 0;
};

// One run of upload(): the calling thread hands parts to a few part threads, each
// with its own buffer, and takes their outcomes one at a time.
class MultipartUploader::Run {
public:
    Run(const MultipartUploader& uploader, MultipartProgress& progress, const Reporter& report,
        const PartHandler& onPart, const std::stop_token& callerStop)
        : m_uploader(uploader), m_progress(progress), m_report(report), m_onPart(onPart),
          m_forwardStop(callerStop, [this] { m_stop.request_stop(); }) {}

    // Sends the pending parts, adding each stored one to `done`. Returns the first
    // failure, if any; every part thread has ended when it returns.
    std::exception_ptr execute(std::deque<int> pending, std::map<int, UploadPart>& done) {
        const std::size_t threads = std::min(pending.size(), static_cast<std::size_t>(m_uploader.concurrency()));
        std::exception_ptr failure;
        {
            m_assignments.assign(threads, std::nullopt);
            std::vector<std::jthread> workers;
            // Declared after the workers, so it runs first on every way out: no part
            // thread is left waiting for work or running when the run ends.
            const Closing closing(*this);
            std::size_t inFlight = 0;
            for (std::size_t worker = 0; worker < threads; ++worker) {
                assign(worker, pending);
                ++inFlight;
                workers.emplace_back([this, worker] { work(worker); });
            }
            while (inFlight > 0) {
                Outcome outcome = nextOutcome();
                --inFlight;
                if (outcome.error) {
                    // The first failure wins; the cancellations it causes are dropped.
                    if (!failure) {
                        failure = outcome.error;
                        m_stop.request_stop();
                    }
                    continue;
                }
                done[outcome.part.number] = outcome.part;
                try {
                    if (m_onPart) m_onPart(outcome.part);
                } catch (...) {
                    if (!failure) failure = std::current_exception();
                    m_stop.request_stop();
                }
                if (!failure && !m_stop.stop_requested() && !pending.empty()) {
                    assign(outcome.worker, pending);
                    ++inFlight;
                }
            }
        }
        return failure;
    }

private:
    struct Outcome {
        std::size_t worker = 0;
        UploadPart part;
        std::exception_ptr error;
    };

    class Closing {
    public:
        explicit Closing(Run& run) : m_run(run) {}
        ~Closing() {
            // Parts still running (the run is left by an exception) stop as well.
            m_run.m_stop.request_stop();
            {
                const std::lock_guard lock(m_run.m_mutex);
                m_run.m_closing = true;
            }
            m_run.m_workWake.notify_all();
        }
        Closing(const Closing&) = delete;
        Closing& operator=(const Closing&) = delete;

    private:
        Run& m_run;
    };

    void assign(std::size_t worker, std::deque<int>& pending) {
        {
            const std::lock_guard lock(m_mutex);
            m_assignments[worker] = pending.front();
        }
        pending.pop_front();
        m_workWake.notify_all();
    }

    Outcome nextOutcome() {
        std::unique_lock lock(m_mutex);
        m_outcomeWake.wait(lock, [this] { return !m_outcomes.empty(); });
        Outcome outcome = std::move(m_outcomes.front());
        m_outcomes.pop_front();
        return outcome;
    }

    void work(std::size_t worker) {
        pthread_setname_np(pthread_self(), "tarn-part");
        // Reused for every part of this thread: its memory is allocated once.
        PartBuffer buffer;
        while (true) {
            int part = 0;
            {
                std::unique_lock lock(m_mutex);
                m_workWake.wait(lock, [&] { return m_assignments[worker].has_value() || m_closing; });
                if (!m_assignments[worker]) return;
                part = *m_assignments[worker];
                m_assignments[worker].reset();
            }
            Outcome outcome{worker, {part, {}}, nullptr};
            try {
                outcome.part = m_uploader.uploadPart(part, buffer, m_progress, m_report, m_stop.get_token());
            } catch (...) {
                outcome.error = std::current_exception();
            }
            {
                const std::lock_guard lock(m_mutex);
                m_outcomes.push_back(std::move(outcome));
            }
            m_outcomeWake.notify_one();
        }
    }

    const MultipartUploader& m_uploader;
    MultipartProgress& m_progress;
    const Reporter& m_report;
    const PartHandler& m_onPart;
    // Stops the parts of this run: on the caller's request or at the first failure.
    std::stop_source m_stop;
    std::stop_callback<std::function<void()>> m_forwardStop;

    std::mutex m_mutex;
    std::condition_variable m_workWake;
    std::condition_variable m_outcomeWake;
    std::vector<std::optional<int>> m_assignments;
    std::deque<Outcome> m_outcomes;
    bool m_closing = false;
};

MultipartUploader::MultipartUploader(S3Client& client, BucketConfig bucket, S3Credentials credentials,
                                     std::string key, std::string uploadId, LocalFile file,
                                     std::int64_t fileSize, std::int64_t partSize, int concurrency,
                                     PartRetryPolicy policy)
    : m_client(client), m_bucket(std::move(bucket)), m_credentials(std::move(credentials)), m_key(std::move(key)),
      m_uploadId(std::move(uploadId)), m_file(std::move(file)), m_fileSize(fileSize),
      m_plan(MultipartPlan::make(fileSize, partSize, concurrency)), m_policy(std::move(policy)) {}

std::int64_t MultipartUploader::partOffset(int part) const {
    return static_cast<std::int64_t>(part - 1) * m_plan.partSize;
}

std::int64_t MultipartUploader::partLength(int part) const {
    return std::clamp<std::int64_t>(m_fileSize - partOffset(part), 0, m_plan.partSize);
}

std::vector<UploadPart> MultipartUploader::upload(const std::vector<UploadPart>& existing,
                                                  const ProgressHandler& onProgress, const PartHandler& onPart,
                                                  std::stop_token stop) const {
    const int count = partCount();
    std::map<int, UploadPart> done;
    for (const UploadPart& part : existing) {
        if (part.number >= 1 && part.number <= count) done[part.number] = part;
    }
    std::deque<int> pending;
    std::int64_t completed = 0;
    for (int part = 1; part <= count; ++part) {
        if (done.contains(part)) {
            completed += partLength(part);
        } else {
            pending.push_back(part);
        }
    }

    MultipartProgress progress(m_fileSize, completed);
    // Counts are taken and handed over under one lock, so the handler sees them in
    // the order they were taken, one call at a time, and none once the run closed.
    std::mutex reporting;
    const Reporter report = [&] {
        if (!onProgress) return;
        const std::lock_guard lock(reporting);
        if (const std::optional<std::int64_t> bytes = progress.bytes()) onProgress(*bytes);
    };
    std::exception_ptr failure;
    {
        Run run(*this, progress, report, onPart, stop);
        failure = run.execute(std::move(pending), done);
    }
    progress.close();
    if (stop.stop_requested()) throw CancelledError();
    if (failure) std::rethrow_exception(failure);

    std::vector<UploadPart> parts;
    parts.reserve(done.size());
    for (auto& [number, part] : done) parts.push_back(std::move(part));
    return parts;
}

// One part of the file, open while the part is sent: its SHA-256, taken by the first
// reading, and its bytes read again, a piece at a time, for every attempt to send it.
// Pieces come from the disk straight into the thread's buffer where the file system
// allows it: through the page cache they would cost one more copy by the CPU (more
// than a tenth of an upload's CPU time), and a large upload would push the user's
// other files out of the cache. Elsewhere they come through the cache as usual.
class MultipartUploader::PartFile {
public:
    PartFile(FileDescriptor file, std::filesystem::path path, int part, std::int64_t offset, std::int64_t length,
             PartBuffer& buffer)
        : m_file(std::move(file)), m_path(std::move(path)), m_part(part), m_offset(offset), m_length(length),
          m_room(buffer.reserve(MultipartUploader::pieceSize)),
          m_direct(offset % static_cast<std::int64_t>(kDirectAlignment) == 0 && setDirect(m_file.get(), true)) {
        m_stamp = stamp();
    }

    std::int64_t length() const { return m_length; }
    const std::string& sha256Hex() const { return m_sha256Hex; }

    // The first reading: every piece once, for the hash. `partSize` tells a short last
    // part, after which one more byte shows a file that has grown since it was measured.
    void hash(std::int64_t partSize) {
        Sha256Stream hash;
        for (std::int64_t at = 0; at < m_length; at += static_cast<std::int64_t>(m_room.size())) {
            hash.update(piece(at));
        }
        if (m_length < partSize) {
            std::uint8_t extra = 0;
            const ssize_t got = ::pread(m_file.get(), &extra, 1, static_cast<off_t>(m_offset + m_length));
            if (got > 0) changed(m_length + 1);
        }
        checkStamp();
        m_sha256Hex = Crypto::hexLower(hash.finish());
    }

    // The bytes again, as they go out; the file must not have changed meanwhile.
    BodySource source() {
        return {m_length, [this](std::int64_t offset, std::span<std::uint8_t> buffer) { return read(offset, buffer); }};
    }

private:
    // What the file system says of the file; a write changes it.
    struct Stamp {
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Stamp& other) const {
            return size == other.size && modified.tv_sec == other.modified.tv_sec &&
                   modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
                   changed.tv_nsec == other.changed.tv_nsec;
        }
    };

    Stamp stamp() const {
        struct stat status {};
        if (::fstat(m_file.get(), &status) != 0) fail(errno);
        return {status.st_size, status.st_mtim, status.st_ctim};
    }

    void checkStamp() const {
        if (!(stamp() == m_stamp)) {
            throw FileChangedError(m_path, "part " + std::to_string(m_part) + " changed while it was read; it was not sent");
        }
    }

    // The piece that starts `at` bytes into the part, in the buffer.
    std::span<const std::uint8_t> piece(std::int64_t at) {
        if (at == m_loadedAt) return m_room.first(m_loadedLength);
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(m_room.size(), m_length - at));
        const std::int64_t offset = m_offset + at;
        std::size_t read = 0;
        // Direct reads take whole blocks; a short piece at the end reads past it.
        while (read < wanted) {
            const std::size_t length = (m_direct ? roundedUp(wanted, kDirectAlignment) : wanted) - read;
            const ssize_t got = ::pread(m_file.get(), m_room.data() + read, length,
                                        static_cast<off_t>(offset + static_cast<std::int64_t>(read)));
            if (got < 0) {
                if (errno == EINTR) continue;
                if (errno == EINVAL && m_direct) {
                    m_direct = !setDirect(m_file.get(), false);
                    if (!m_direct) continue;
                }
                fail(errno);
            }
            if (got == 0) break;
            read += static_cast<std::size_t>(got);
            // A direct read ends short only at the file's end; any rest goes through the cache.
            if (m_direct && read % kDirectAlignment != 0) m_direct = !setDirect(m_file.get(), false);
        }
        if (read < wanted) changed(at + static_cast<std::int64_t>(read));
        m_loadedAt = at;
        m_loadedLength = wanted;
        return m_room.first(wanted);
    }

    std::size_t read(std::int64_t offset, std::span<std::uint8_t> buffer) {
        const auto total = static_cast<std::size_t>(std::min<std::int64_t>(buffer.size(), m_length - offset));
        const auto pieceBytes = static_cast<std::int64_t>(m_room.size());
        std::size_t filled = 0;
        while (filled < total) {
            const std::int64_t at = offset + static_cast<std::int64_t>(filled);
            const std::span<const std::uint8_t> loaded = piece(at / pieceBytes * pieceBytes);
            const std::span<const std::uint8_t> rest = loaded.subspan(static_cast<std::size_t>(at % pieceBytes));
            const std::size_t count = std::min(rest.size(), total - filled);
            std::copy_n(rest.begin(), count, buffer.begin() + static_cast<std::ptrdiff_t>(filled));
            filled += count;
        }
        // Checked before the last bytes go out, so the server never has a whole part
        // of a file that changed while it was sent.
        if (offset + static_cast<std::int64_t>(total) == m_length) checkStamp();
        return total;
    }

    [[noreturn]] void changed(std::int64_t read) const {
        throw FileChangedError(m_path, "part " + std::to_string(m_part) + " should hold " + std::to_string(m_length) +
                                           " bytes but the file gives " + std::to_string(read));
    }

    [[noreturn]] void fail(int error) const {
        throw std::filesystem::filesystem_error("Could not read the file", m_path,
                                                std::error_code(error, std::generic_category()));
    }

    FileDescriptor m_file;
    std::filesystem::path m_path;
    int m_part;
    std::int64_t m_offset;
    std::int64_t m_length;
    std::span<std::uint8_t> m_room;
    bool m_direct;
    Stamp m_stamp;
    std::string m_sha256Hex;
    std::int64_t m_loadedAt = -1;
    std::size_t m_loadedLength = 0;
};

MultipartUploader::PartFile MultipartUploader::readPart(int part, PartBuffer& buffer) const {
    PartFile bytes(std::move(RegularFile::openForReading(m_file).descriptor), m_file.path, part, partOffset(part),
                   partLength(part), buffer);
    bytes.hash(m_plan.partSize);
    return bytes;
}

UploadPart MultipartUploader::uploadPart(int part, PartBuffer& buffer, MultipartProgress& progress,
                                         const Reporter& report, std::stop_token stop) const {
    if (stop.stop_requested()) throw CancelledError();
    const std::string number = std::to_string(part);
    std::optional<PartFile> data;
    try {
        data.emplace(readPart(part, buffer));
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        log("分片 " + number + " 读取本地文件失败 key=" + m_key + " " + describeChain(error) + " → 不重试");
        throw PartUploadError(part, 0, PartUploadError::Cause::localFile, error);
    }
    const std::string bytes = std::to_string(data->length());
    const int attempts = std::max(1, m_policy.maxAttempts);

    for (int attempt = 1;; ++attempt) {
        progress.start(part, attempt);
        if (attempt > 1) report();
        const std::string prefix =
            "分片 " + number + " 第 " + std::to_string(attempt) + "/" + std::to_string(m_policy.maxAttempts) + " 次";
        log(prefix + " 开始 key=" + m_key + " bytes=" + bytes);
        const Clock::time_point start = Clock::now();

        std::exception_ptr error;
        bool retryable = false;
        std::optional<double> retryAfter;
        std::string status;
        try {
            const S3Client::PartResponse response = m_client.uploadPart(
                m_key, m_uploadId, part, data->source(), data->sha256Hex(), m_bucket, m_credentials,
                std::chrono::duration<double>(m_policy.stallTimeout),
                [&](std::int64_t sent) {
                    progress.sent(part, attempt, sent);
                    report();
                },
                stop);
            status = "status=" + std::to_string(response.statusCode) +
                     " request-id=" + response.requestID.value_or("-");
            if (response.etag) {
                log(prefix + " 成功 key=" + m_key + " bytes=" + bytes + " 耗时=" + twoDecimals(secondsSince(start)) +
                    "s " + status);
                progress.complete(part, data->length());
                report();
                return {part, *response.etag};
            }
            // A stored part without an ETag cannot be named in the completion.
            const S3Error refused = response.statusCode >= 200 && response.statusCode <= 299
                                        ? S3Error::unexpectedResponse()
                                        : S3Error::requestFailed(response.statusCode, response.body);
            if (refused.kind() == S3Error::Kind::requestFailed) {
                retryable = PartRetryPolicy::isRetryableStatus(response.statusCode);
                retryAfter = PartRetryPolicy::parseRetryAfter(response.retryAfter, std::chrono::system_clock::now());
            }
            status += " error=" + errorDetail(refused);
            error = std::make_exception_ptr(refused);
        } catch (const std::filesystem::filesystem_error&) {
            // Only the part's own file throws these while it goes out. The file, not
            // the transfer, failed: another attempt would read the same.
            progress.clear(part);
            report();
            const std::exception_ptr error = std::current_exception();
            log(prefix + " 读取本地文件失败 key=" + m_key + " " + describeChain(error) + " → 不重试");
            throw PartUploadError(part, attempt, PartUploadError::Cause::localFile, error);
        } catch (...) {
            if (stop.stop_requested()) {
                progress.clear(part);
                log(prefix + " 取消 key=" + m_key + " bytes=" + bytes + " 耗时=" + twoDecimals(secondsSince(start)) +
                    "s");
                throw CancelledError();
            }
            error = std::current_exception();
            retryable = PartRetryPolicy::isRetryable(error);
            status = "status=- request-id=- error=" + describeChain(error);
        }

        progress.clear(part);
        report();
        const std::string failed = prefix + " 失败 key=" + m_key + " bytes=" + bytes +
                                   " 耗时=" + twoDecimals(secondsSince(start)) + "s " + status;
        if (retryable && attempt < attempts) {
            const double wait = m_policy.delay(attempt, retryAfter, uniformRandom());
            log(failed + " → 重试，等待 " + twoDecimals(wait) + "s");
            if (!sleepUnlessStopped(wait, stop)) {
                log(prefix + " 等待重试时取消 key=" + m_key);
                throw CancelledError();
            }
            continue;
        }
        log(failed + " → " + (retryable ? "次数用尽，不再重试" : "不重试"));
        throw PartUploadError(part, attempt, PartUploadError::Cause::transfer, error);
    }
}

void MultipartUploader::log(const std::string& line) const {
    if (const S3Client::Logger logger = m_client.logger()) logger(line);
}

}  // namespace tarn
