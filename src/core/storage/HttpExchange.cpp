#include "core/storage/HttpExchange.h"

#include "core/storage/CancelledError.h"
#include "core/storage/ResponseTooLargeError.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

namespace tarn::HttpExchange {

namespace {

using Clock = std::chrono::steady_clock;

// How long the wait for socket activity may last before the limits are looked at
// again; bounds how late an idle or stall limit is noticed.
constexpr int kPollMilliseconds = 100;
// libcurl's receive buffer for a body that goes to a sink (a download): one read
// from the socket and one call of the sink per half MiB rather than per 16 KiB.
constexpr long kStreamingBufferBytes = 512L * 1024L;
// A declared length is trusted for reserving memory only up to this size.
constexpr std::size_t kMaxReserve = 64 * 1024 * 1024;

void initialiseCurl() {
    // A function-local static runs exactly once, whichever thread gets here first.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK) throw TransportError::failed(result, "libcurl could not be initialised", 0);
}

// Name lookups and TLS sessions shared by every thread. Connections are not shared
// across threads (libcurl does not support that safely); each thread keeps its own.
class SharedCaches {
public:
    SharedCaches() : m_share(curl_share_init()) {
        if (m_share == nullptr) throw std::bad_alloc();
        curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &SharedCaches::lock);
        curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock);
        curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }

    CURLSH* handle() const { return m_share; }

    // Never destroyed: threads still running while the process exits may use it.
    static SharedCaches& instance() {
        static SharedCaches* const caches = new SharedCaches();
        return *caches;
    }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<SharedCaches*>(self)->m_locks.at(static_cast<std::size_t>(data)).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<SharedCaches*>(self)->m_locks.at(static_cast<std::size_t>(data)).unlock();
    }

    CURLSH* m_share;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
};

// A multi handle, whose connection cache keeps connections open between exchanges.
class MultiHandle {
public:
    MultiHandle() : m_multi(curl_multi_init()) {}
    ~MultiHandle() {
        if (m_multi != nullptr) curl_multi_cleanup(m_multi);
    }
    MultiHandle(const MultiHandle&) = delete;
    MultiHandle& operator=(const MultiHandle&) = delete;

    CURLM* get() const { return m_multi; }
    bool busy = false;

private:
    CURLM* m_multi;
};

// The calling thread's multi handle, or a fresh one when a callback of a running
// exchange starts another exchange on the same thread.
class MultiLease {
public:
    MultiLease() {
        thread_local MultiHandle threadMulti;
        if (threadMulti.busy) {
            m_own = std::make_unique<MultiHandle>();
            m_multi = m_own.get();
        } else {
            m_multi = &threadMulti;
        }
        if (m_multi->get() == nullptr) throw TransportError::failed(CURLE_OUT_OF_MEMORY, "no libcurl handle", 0);
        m_multi->busy = true;
    }
    ~MultiLease() { m_multi->busy = false; }
    MultiLease(const MultiLease&) = delete;
    MultiLease& operator=(const MultiLease&) = delete;

    CURLM* get() const { return m_multi->get(); }

private:
    std::unique_ptr<MultiHandle> m_own;
    MultiHandle* m_multi;
};

// The easy handle of one exchange. It is never reused: libcurl keeps results of a
// transfer in the handle that a reset does not clear (the errno of a failed socket
// call among them), and a later exchange would report them as its own. Connections
// live in the multi handle's cache, so a fresh easy handle still reuses them.
class EasyHandle {
public:
    EasyHandle() : m_easy(curl_easy_init()) {
        if (m_easy == nullptr) throw TransportError::failed(CURLE_OUT_OF_MEMORY, "no libcurl handle", 0);
    }
    ~EasyHandle() { curl_easy_cleanup(m_easy); }
    EasyHandle(const EasyHandle&) = delete;
    EasyHandle& operator=(const EasyHandle&) = delete;

    CURL* get() const { return m_easy; }

private:
    CURL* m_easy;
};

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

void append(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) throw std::bad_alloc();
    list.release();
    list.reset(grown);
}

// The request's own headers, and empty ones that switch off what libcurl would add.
Slist headerList(const S3Request& request) {
    checkSendable(request.headers);
    Slist list;
    for (const HttpHeader& header : request.headers) {
        // "Name;" is libcurl's way of sending a header with an empty value.
        append(list, header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
    }
    for (const char* name : {"Expect", "Accept", "Content-Type", "Transfer-Encoding"}) {
        if (request.header(name) == nullptr) append(list, std::string(name) + ":");
    }
    return list;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

enum class Outcome { running, cancelled, idle, stalled, callbackFailed, sinkStopped, errorBodyCut };

// The state of one exchange, shared with libcurl's callbacks.
class Transfer {
public:
    Transfer(const S3Request& request, const ExchangeOptions& options, CURL* easy)
        : m_request(request), m_options(options), m_easy(easy), m_start(Clock::now()), m_lastActivity(m_start),
          m_lastSendGrowth(m_start) {
        m_progress.sendTotal = bodySize();
        m_errorBuffer[0] = '\0';
    }

    void configure(const Slist& headers);
    // Looks at the stop request and the time limits; the first reason to stop sticks.
    Outcome check(Clock::time_point now);
    Outcome outcome() const { return m_outcome; }
    void rethrowCallbackError() const { std::rethrow_exception(m_callbackError); }
    HttpResponse finish(CURLcode result);

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onWrite(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onRead(char* buffer, std::size_t size, std::size_t count, void* self);
    static int onSeek(void* self, curl_off_t offset, int origin);
    static int onTransferInfo(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent);

    std::int64_t bodySize() const {
        return m_options.body ? m_options.body->size : static_cast<std::int64_t>(m_request.body.size());
    }
    std::size_t readBody(char* buffer, std::size_t size);
    void headerLine(std::string_view line);
    std::size_t bodyChunk(const char* data, std::size_t size);
    bool progressed(std::int64_t sent, std::int64_t received);
    void fail(std::exception_ptr error) {
        m_callbackError = std::move(error);
        if (m_outcome == Outcome::running) m_outcome = Outcome::callbackFailed;
    }

    const S3Request& m_request;
    const ExchangeOptions& m_options;
    CURL* m_easy;
    HttpResponse m_response;
    std::int64_t m_readOffset = 0;
    bool m_bodyStarted = false;
    bool m_sinking = false;
    // How much of a collected body is kept, and whether a longer one fails the
    // exchange (a success body) or is cut (the body of a refused request).
    std::size_t m_bodyLimit = std::numeric_limits<std::size_t>::max();
    bool m_failsOverLimit = false;
    TransferProgress m_progress;
    Clock::time_point m_start;
    Clock::time_point m_lastActivity;
    Clock::time_point m_lastSendGrowth;
    Outcome m_outcome = Outcome::running;
    std::exception_ptr m_callbackError;
    char m_errorBuffer[CURL_ERROR_SIZE];
};

void Transfer::configure(const Slist& headers) {
    CURL* easy = m_easy;
    curl_easy_setopt(easy, CURLOPT_URL, m_request.url.c_str());
    // Object keys may hold "." and ".." pieces; squashing them would address (and
    // overwrite or delete) another object than the one signed for.
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SHARE, SharedCaches::instance().handle());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_options.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());

    const std::string method = m_request.method.empty() ? "GET" : m_request.method;
    if (bodySize() > 0 || method == "PUT" || method == "POST") {
        // Every request with a body (and every PUT and POST, empty or not) goes out as
        // an upload of known length: libcurl then writes Content-Length, never chunks.
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bodySize()));
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Transfer::onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        // libcurl rewinds the body when it resends on a fresh connection.
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &Transfer::onSeek);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
        curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024L);
        if (method != "PUT") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    if (m_options.onBody) curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kStreamingBufferBytes);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::onTransferInfo);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
}

Outcome Transfer::check(Clock::time_point now) {
    if (m_outcome != Outcome::running) return m_outcome;
    if (m_options.stopToken.stop_requested()) {
        m_outcome = Outcome::cancelled;
    } else if (m_request.idleTimeout.count() > 0 && now - m_lastActivity >= m_request.idleTimeout) {
        m_outcome = Outcome::idle;
    } else if (m_options.stallTimeout && now - m_lastSendGrowth >= *m_options.stallTimeout) {
        m_outcome = Outcome::stalled;
    }
    return m_outcome;
}

HttpResponse Transfer::finish(CURLcode result) {
    if (m_outcome == Outcome::sinkStopped) {
        m_response.stoppedEarly = true;
    } else if (m_outcome == Outcome::errorBodyCut) {
        m_response.bodyCut = true;
    } else if (result != CURLE_OK) {
        long osErrno = 0;
        curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &osErrno);
        throw TransportError::failed(result, m_errorBuffer, static_cast<int>(osErrno));
    }
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    m_response.statusCode = static_cast<int>(status);
    m_response.elapsed = Clock::now() - m_start;
    return std::move(m_response);
}

std::size_t Transfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    static_cast<Transfer*>(self)->headerLine({data, size * count});
    return size * count;
}

void Transfer::headerLine(std::string_view line) {
    if (line.starts_with("HTTP/")) {
        // A new status line: interim answers (100 Continue) leave no headers behind.
        m_response.headers.clear();
        return;
    }
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        // An obsolete folded continuation of the previous header's value.
        if (!m_response.headers.empty() && !trimmed(line).empty()) {
            m_response.headers.back().value += ' ';
            m_response.headers.back().value += trimmed(line);
        }
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    m_response.headers.push_back({std::string(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1)))});
}

std::size_t Transfer::onWrite(char* data, std::size_t size, std::size_t count, void* self) {
    return static_cast<Transfer*>(self)->bodyChunk(data, size * count);
}

std::size_t Transfer::bodyChunk(const char* data, std::size_t size) {
    if (!m_bodyStarted) {
        m_bodyStarted = true;
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        m_response.statusCode = static_cast<int>(status);
        const bool success = status >= 200 && status <= 299;
        m_sinking = m_options.onBody && success;
        if (!success) {
            m_bodyLimit = S3Error::kMaxBodyBytes;
        } else if (m_options.maxBodyBytes) {
            m_bodyLimit = *m_options.maxBodyBytes;
            m_failsOverLimit = true;
        }
        curl_off_t length = -1;
        curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (!m_sinking && m_failsOverLimit && length > 0 && static_cast<std::uint64_t>(length) > m_bodyLimit) {
            // Announced too long: refused before its bytes arrive.
            fail(std::make_exception_ptr(ResponseTooLargeError(m_bodyLimit)));
            return 0;
        }
        if (!m_sinking && length > 0) {
            m_response.body.reserve(std::min({static_cast<std::size_t>(length), kMaxReserve, m_bodyLimit}));
        }
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    if (!m_sinking) {
        const std::size_t room = m_bodyLimit - m_response.body.size();
        if (size <= room) {
            m_response.body.insert(m_response.body.end(), bytes, bytes + size);
            return size;
        }
        if (m_failsOverLimit) {
            fail(std::make_exception_ptr(ResponseTooLargeError(m_bodyLimit)));
        } else {
            // Enough of an error body to report it; the rest is not worth the wait.
            m_response.body.insert(m_response.body.end(), bytes, bytes + room);
            if (m_outcome == Outcome::running) m_outcome = Outcome::errorBodyCut;
        }
        return 0;  // anything but `size` makes libcurl end the transfer
    }
    try {
        if (m_options.onBody(m_response, {bytes, size})) return size;
        m_outcome = Outcome::sinkStopped;
    } catch (...) {
        fail(std::current_exception());
    }
    return 0;  // anything but `size` makes libcurl end the transfer
}

std::size_t Transfer::onRead(char* buffer, std::size_t size, std::size_t count, void* self) {
    return static_cast<Transfer*>(self)->readBody(buffer, size * count);
}

std::size_t Transfer::readBody(char* buffer, std::size_t size) {
    const auto length = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(size),
                                                                         bodySize() - m_readOffset));
    if (!m_options.body) {
        if (length > 0) std::memcpy(buffer, m_request.body.data() + m_readOffset, length);
        m_readOffset += static_cast<std::int64_t>(length);
        return length;
    }
    try {
        const std::size_t read = m_options.body->read(m_readOffset, {reinterpret_cast<std::uint8_t*>(buffer), length});
        if (read != length) throw std::logic_error("a body source gave fewer bytes than it holds");
        m_readOffset += static_cast<std::int64_t>(read);
        return read;
    } catch (...) {
        fail(std::current_exception());
        return CURL_READFUNC_ABORT;
    }
}

int Transfer::onSeek(void* self, curl_off_t offset, int origin) {
    auto& transfer = *static_cast<Transfer*>(self);
    if (origin != SEEK_SET || offset < 0 || offset > transfer.bodySize()) return CURL_SEEKFUNC_CANTSEEK;
    transfer.m_readOffset = offset;
    return CURL_SEEKFUNC_OK;
}

int Transfer::onTransferInfo(void* self, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto& transfer = *static_cast<Transfer*>(self);
    if (!transfer.progressed(sent, received)) return 1;
    return transfer.check(Clock::now()) == Outcome::running ? 0 : 1;
}

bool Transfer::progressed(std::int64_t sent, std::int64_t received) {
    TransferProgress now = m_progress;
    now.sent = sent;
    now.received = received;
    curl_off_t length = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    now.receiveTotal = length;
    if (now == m_progress) return true;

    const Clock::time_point time = Clock::now();
    if (sent > m_progress.sent) m_lastSendGrowth = time;
    if (sent != m_progress.sent || received != m_progress.received) m_lastActivity = time;
    m_progress = now;
    if (!m_options.onProgress) return true;
    try {
        m_options.onProgress(m_progress);
        return true;
    } catch (...) {
        fail(std::current_exception());
        return false;
    }
}

// Keeps the easy handle in the multi handle for the length of one exchange.
class Attachment {
public:
    Attachment(CURLM* multi, CURL* easy) : m_multi(multi), m_easy(easy) {
        const CURLMcode code = curl_multi_add_handle(multi, easy);
        if (code != CURLM_OK) throw TransportError::failed(CURLE_FAILED_INIT, curl_multi_strerror(code), 0);
    }
    ~Attachment() { curl_multi_remove_handle(m_multi, m_easy); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

private:
    CURLM* m_multi;
    CURL* m_easy;
};

}  // namespace

HttpResponse perform(const S3Request& request, const ExchangeOptions& options) {
    if (options.stopToken.stop_requested()) throw CancelledError();
    if (options.body && !request.body.empty()) throw std::invalid_argument("a request with two bodies");
    initialiseCurl();
    const MultiLease multiLease;
    const EasyHandle easy;
    const Slist headers = headerList(request);
    Transfer transfer(request, options, easy.get());
    transfer.configure(headers);

    CURLcode result = CURLE_OK;
    {
        CURLM* const multi = multiLease.get();
        Attachment attachment(multi, easy.get());
        // A stop request wakes the wait below at once instead of at its next round.
        const std::stop_callback wake(options.stopToken, [multi] { curl_multi_wakeup(multi); });
        while (true) {
            int running = 0;
            const CURLMcode code = curl_multi_perform(multi, &running);
            if (code != CURLM_OK) throw TransportError::failed(CURLE_FAILED_INIT, curl_multi_strerror(code), 0);
            if (running == 0) {
                int queued = 0;
                while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                    if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get()) {
                        result = message->data.result;
                    }
                }
                break;
            }
            if (transfer.check(Clock::now()) != Outcome::running) break;
            curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
        }
    }

    switch (transfer.outcome()) {
    case Outcome::cancelled:
        throw CancelledError();
    case Outcome::idle:
        throw TransportError::idleTimeout(request.idleTimeout);
    case Outcome::stalled:
        throw TransportError::stalled(*options.stallTimeout);
    case Outcome::callbackFailed:
        transfer.rethrowCallbackError();
        break;
    case Outcome::running:
    case Outcome::sinkStopped:
    case Outcome::errorBodyCut:
        break;
    }
    return transfer.finish(result);
}

}  // namespace tarn::HttpExchange
