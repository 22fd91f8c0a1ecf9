#include "FaultProxy.h"

#include "core/text/AsciiCase.h"
#include "core/values/Url.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace tarn::test {

namespace {

constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kReadChunk = 256 * 1024;
// A fixed, small receive buffer for client connections. Left to itself the kernel
// grows it to tens of MiB on loopback, and a "stalled" sender would then push a
// whole part into it without noticing; this way it stalls after a few MiB at most
// (its own send buffer plus this one).
constexpr int kClientReceiveBuffer = 256 * 1024;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

Fd makeEventFd() {
    Fd fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!fd) throw std::runtime_error(std::string("eventfd failed: ") + std::strerror(errno));
    return fd;
}

// An eventfd stays readable once written and is never read here, so one write
// wakes every present and future poll on it.
void raise(const Fd& signal) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(signal.get(), &one, sizeof one);
}

void setOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// The peer sees a reset rather than an orderly end, as when a network path breaks.
void resetConnection(Fd& fd) {
    const linger abortive{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    fd.reset();
}

// Waits until `fd` has one of `events` (or a hang-up or error); false when the
// proxy stops first.
bool waitFor(int fd, short events, int stopFd) {
    pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[1].revents != 0) return false;
        if (fds[0].revents != 0) return true;
    }
}

// Appends up to `max` bytes; returns their number, 0 at the end of the stream, -1
// on an error or when the proxy stops.
long readSome(int fd, std::string& out, std::size_t max, int stopFd) {
    for (;;) {
        if (!waitFor(fd, POLLIN, stopFd)) return -1;
        const std::size_t old = out.size();
        out.resize(old + max);
        const ssize_t n = ::recv(fd, out.data() + old, max, 0);
        out.resize(old + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n >= 0) return static_cast<long>(n);
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
    }
}

bool writeAll(int fd, std::string_view data, int stopFd) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, stopFd)) return false;
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

// One side of an exchange: its socket and the bytes read ahead of what was consumed.
struct Peer {
    Fd fd;
    std::string ahead;
};

enum class ReadResult { Ok, Closed, Failed };

// Reads through the first `delimiter`; `out` gets everything up to and including it.
// Closed only when the stream ends cleanly before any byte of it.
ReadResult readThrough(Peer& peer, std::string_view delimiter, std::size_t limit, std::string& out, int stopFd) {
    std::size_t searchFrom = 0;
    for (;;) {
        const std::size_t found = peer.ahead.find(delimiter, searchFrom);
        if (found != std::string::npos) {
            const std::size_t end = found + delimiter.size();
            out.assign(peer.ahead, 0, end);
            peer.ahead.erase(0, end);
            return ReadResult::Ok;
        }
        if (peer.ahead.size() > limit) return ReadResult::Failed;
        searchFrom = peer.ahead.size() >= delimiter.size() ? peer.ahead.size() - delimiter.size() + 1 : 0;
        const long n = readSome(peer.fd.get(), peer.ahead, kReadChunk, stopFd);
        if (n == 0) return peer.ahead.empty() ? ReadResult::Closed : ReadResult::Failed;
        if (n < 0) return ReadResult::Failed;
    }
}

// Replaces `chunk` with up to `max` next bytes, read-ahead bytes first; returns
// their number, 0 at the end of the stream, -1 on an error or a stop.
long readChunk(Peer& peer, std::size_t max, std::string& chunk, int stopFd) {
    chunk.clear();
    if (!peer.ahead.empty()) {
        const std::size_t n = std::min(max, peer.ahead.size());
        chunk.assign(peer.ahead, 0, n);
        peer.ahead.erase(0, n);
        return static_cast<long>(n);
    }
    return readSome(peer.fd.get(), chunk, max, stopFd);
}

// Moves exactly `length` bytes from `from` to `to` (to nowhere when `to` is -1).
bool relayExact(Peer& from, int to, std::uint64_t length, int stopFd) {
    std::string chunk;
    while (length > 0) {
        const long n = readChunk(from, static_cast<std::size_t>(std::min<std::uint64_t>(length, kReadChunk)), chunk, stopFd);
        if (n <= 0) return false;
        if (to >= 0 && !writeAll(to, chunk, stopFd)) return false;
        length -= static_cast<std::uint64_t>(n);
    }
    return true;
}

bool relayUntilEnd(Peer& from, int to, int stopFd) {
    std::string chunk;
    for (;;) {
        const long n = readChunk(from, kReadChunk, chunk, stopFd);
        if (n == 0) return true;
        if (n < 0 || !writeAll(to, chunk, stopFd)) return false;
    }
}

bool relayChunked(Peer& from, int to, int stopFd) {
    std::string line;
    for (;;) {
        if (readThrough(from, "\r\n", kMaxHeadBytes, line, stopFd) != ReadResult::Ok) return false;
        if (!writeAll(to, line, stopFd)) return false;
        std::uint64_t size = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), size, 16);
        if (error != std::errc() || end == line.data()) return false;
        if (size == 0) break;
        if (!relayExact(from, to, size + 2, stopFd)) return false;  // the data and its CRLF
    }
    do {  // trailer fields up to the empty line
        if (readThrough(from, "\r\n", kMaxHeadBytes, line, stopFd) != ReadResult::Ok) return false;
        if (!writeAll(to, line, stopFd)) return false;
    } while (line != "\r\n");
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// True when the comma-separated `list` ("keep-alive, close") holds `token`.
bool hasToken(std::string_view list, std::string_view token) {
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        if (AsciiCase::equalsIgnoringCase(trimmed(list.substr(0, comma)), token)) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

std::optional<std::uint64_t> parseLength(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The head of a request or an answer, its lines kept byte for byte so that the
// fields passed on stay exactly as the sender wrote them.
struct MessageHead {
    struct Field {
        std::string name;
        std::string value;
        std::string line;  // with continuation lines, without the final CRLF
    };
    std::string startLine;
    std::vector<Field> fields;

    const std::string* field(std::string_view name) const {
        for (const auto& field : fields) {
            if (AsciiCase::equalsIgnoringCase(field.name, name)) return &field.value;
        }
        return nullptr;
    }

    // The head with the fields named in `dropped` left out and `added` lines added.
    std::string text(std::initializer_list<std::string_view> dropped, std::string_view added = {}) const {
        std::string out = startLine + "\r\n";
        for (const auto& field : fields) {
            const bool drop = std::any_of(dropped.begin(), dropped.end(), [&](std::string_view name) {
                return AsciiCase::equalsIgnoringCase(field.name, name);
            });
            if (!drop) out += field.line + "\r\n";
        }
        out += added;
        out += "\r\n";
        return out;
    }
};

// `text` ends with the empty line.
std::optional<MessageHead> parseHead(std::string_view text) {
    MessageHead head;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 2);
        if (first) {
            head.startLine = std::string(line);
            first = false;
        } else if (line.empty()) {
            break;
        } else if (line.front() == ' ' || line.front() == '\t') {  // an obsolete folded continuation
            if (head.fields.empty()) return std::nullopt;
            head.fields.back().line += "\r\n" + std::string(line);
            head.fields.back().value += " " + std::string(trimmed(line));
        } else {
            const std::size_t colon = line.find(':');
            if (colon == std::string_view::npos || colon == 0) return std::nullopt;
            head.fields.push_back({std::string(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1))),
                                   std::string(line)});
        }
    }
    return head;
}

struct Request {
    MessageHead head;
    std::string method;
    std::string target;
    std::uint64_t bodyLength = 0;
    bool expectsContinue = false;
    bool clientCloses = false;
};

enum class RequestProblem { None, Malformed, Chunked };

RequestProblem parseRequest(std::string_view text, Request& request) {
    auto head = parseHead(text);
    if (!head) return RequestProblem::Malformed;
    request.head = std::move(*head);
    const std::string& line = request.head.startLine;
    const std::size_t firstSpace = line.find(' ');
    const std::size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || lastSpace <= firstSpace + 1) return RequestProblem::Malformed;
    const std::string version = line.substr(lastSpace + 1);
    if (version.rfind("HTTP/1.", 0) != 0) return RequestProblem::Malformed;
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);

    if (request.head.field("Transfer-Encoding") != nullptr) return RequestProblem::Chunked;
    if (const std::string* length = request.head.field("Content-Length")) {
        const auto value = parseLength(*length);
        if (!value) return RequestProblem::Malformed;
        request.bodyLength = *value;
    }
    const std::string* expect = request.head.field("Expect");
    request.expectsContinue = expect != nullptr && AsciiCase::equalsIgnoringCase(*expect, "100-continue");
    const std::string* connection = request.head.field("Connection");
    request.clientCloses = version == "HTTP/1.0" ? connection == nullptr || !hasToken(*connection, "keep-alive")
                                                 : connection != nullptr && hasToken(*connection, "close");
    return RequestProblem::None;
}

// Answers in the form the storage service gives its errors.
std::string errorAnswer(int status, std::string_view reason, std::string_view code, std::string_view message,
                        const Request* request, bool closing, std::string_view extraFields = {}) {
    const std::string body = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>") +
                             std::string(code) + "</Code><Message>" + std::string(message) +
                             "</Message></Error>";
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
    out += extraFields;
    out += "Content-Type: application/xml\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    if (closing) out += "Connection: close\r\n";
    out += "\r\n";
    if (request == nullptr || request->method != "HEAD") out += body;
    return out;
}

bool bodyless(const Request& request, int status) {
    return request.method == "HEAD" || (status >= 100 && status < 200) || status == 204 || status == 304;
}

}  // namespace

struct FaultProxy::Shared {
    struct RuleState {
        Rule rule;
        Counts counts;
    };

    // What happens to one request: the fault to apply, the rules that count it.
    struct Decision {
        Action action = Action::Forward;
        Rule fault;
        std::vector<std::size_t> matched;
    };

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    std::string upstreamHost;
    std::string upstreamPort;
    std::vector<sockaddr_storage> upstreamAddresses;
    std::vector<socklen_t> upstreamAddressLengths;

    Fd stopSignal = makeEventFd();
    Fd listener;
    bool started = false;
    bool stopped = false;
    std::vector<Worker> workers;  // the acceptor's until it ends, then stop()'s

    mutable std::mutex mutex;
    mutable std::condition_variable stallsChanged;
    std::vector<RuleState> rules;
    std::vector<std::string> forwarded;
    std::size_t stalled = 0;
    std::shared_ptr<Fd> releaseSignal = std::make_shared<Fd>(makeEventFd());

    int stopFd() const { return stopSignal.get(); }

    Decision decide(const Request& request) {
        Decision decision;
        std::lock_guard lock(mutex);
        for (std::size_t id = 0; id < rules.size(); ++id) {
            RuleState& state = rules[id];
            if (!state.rule.method.empty() && state.rule.method != request.method) continue;
            if (request.target.find(state.rule.targetContains) == std::string::npos) continue;
            ++state.counts.matched;
            decision.matched.push_back(id);
            const bool faultsLeft = state.rule.times == kAlways || state.counts.faulted < state.rule.times;
            if (decision.action == Action::Forward && state.rule.action != Action::Forward && faultsLeft) {
                ++state.counts.faulted;
                decision.action = state.rule.action;
                decision.fault = state.rule;
            }
        }
        return decision;
    }

    void recordForwarded(const Decision& decision, const Request& request) {
        std::lock_guard lock(mutex);
        for (const std::size_t id : decision.matched) ++rules[id].counts.forwarded;
        forwarded.push_back(request.method + " " + request.target);
    }

    // True when released; false when the proxy stops or the client hangs up first.
    bool stallUntilReleased(int clientFd) {
        std::shared_ptr<Fd> release;
        {
            std::lock_guard lock(mutex);
            release = releaseSignal;
            ++stalled;
        }
        stallsChanged.notify_all();
        // Only a hang-up is watched on the client: its bytes stay unread.
        pollfd fds[3] = {{clientFd, POLLRDHUP, 0}, {stopFd(), POLLIN, 0}, {release->get(), POLLIN, 0}};
        bool released = false;
        for (;;) {
            const int ready = ::poll(fds, 3, -1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0 || fds[0].revents != 0 || fds[1].revents != 0) break;
            if (fds[2].revents != 0) {
                released = true;
                break;
            }
        }
        {
            std::lock_guard lock(mutex);
            --stalled;
        }
        stallsChanged.notify_all();
        return released;
    }

    Fd connectUpstream() const {
        for (std::size_t i = 0; i < upstreamAddresses.size(); ++i) {
            const auto* address = reinterpret_cast<const sockaddr*>(&upstreamAddresses[i]);
            Fd fd(::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
            if (!fd) continue;
            if (::connect(fd.get(), address, upstreamAddressLengths[i]) != 0) {
                if (errno != EINPROGRESS) continue;
                if (!waitFor(fd.get(), POLLOUT, stopFd())) return {};
                int error = 0;
                socklen_t length = sizeof error;
                if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) continue;
            }
            setOption(fd.get(), IPPROTO_TCP, TCP_NODELAY, 1);
            return fd;
        }
        return {};
    }

    // Sends the request (its first body bytes already in `held`) to the server and
    // its answer back; true when the client connection may carry another request.
    bool forward(Peer& client, const Request& request, const std::string& held, const Decision& decision) {
        Fd upstream = connectUpstream();
        if (!upstream) {
            if (!relayExact(client, -1, request.bodyLength - held.size(), stopFd())) return false;
            writeAll(client.fd.get(),
                     errorAnswer(502, "Bad Gateway", "BadGateway", "The proxy cannot reach the server.", &request, true),
                     stopFd());
            return false;
        }
        Peer server{std::move(upstream), {}};
        // The proxy has answered "100-continue" itself; the server must not wait for its own.
        if (!writeAll(server.fd.get(), request.head.text({"Expect"}), stopFd()) ||
            !writeAll(server.fd.get(), held, stopFd())) {
            return false;
        }
        if (!relayExact(client, server.fd.get(), request.bodyLength - held.size(), stopFd())) {
            // The client gave up in the middle of its body (a stalled request let go
            // after the client had given up on it): a plain close would have the server
            // take the bytes that came for a whole, cut request.
            resetConnection(server.fd);
            return false;
        }
        recordForwarded(decision, request);

        std::string text;
        std::optional<MessageHead> head;
        int status = 0;
        for (;;) {
            if (readThrough(server, "\r\n\r\n", kMaxHeadBytes, text, stopFd()) != ReadResult::Ok) return false;
            head = parseHead(text);
            if (!head) return false;
            const std::string& line = head->startLine;
            const std::size_t space = line.find(' ');
            if (space == std::string::npos || line.rfind("HTTP/1.", 0) != 0) return false;
            status = std::atoi(line.c_str() + space + 1);
            if (status < 100 || status >= 200) break;
            if (!writeAll(client.fd.get(), text, stopFd())) return false;  // interim answers pass as they are
        }

        enum class Framing { None, Length, Chunked, UntilEnd } framing = Framing::UntilEnd;
        std::uint64_t length = 0;
        const std::string* transferEncoding = head->field("Transfer-Encoding");
        const std::string* contentLength = head->field("Content-Length");
        if (bodyless(request, status)) {
            framing = Framing::None;
        } else if (transferEncoding != nullptr && hasToken(*transferEncoding, "chunked")) {
            framing = Framing::Chunked;
        } else if (contentLength != nullptr && parseLength(*contentLength)) {
            framing = Framing::Length;
            length = *parseLength(*contentLength);
        }
        // The server closes every connection after its answer; the client keeps its
        // own unless it asked otherwise or only the end of the stream ends the body.
        const bool closing = request.clientCloses || framing == Framing::UntilEnd;
        if (!writeAll(client.fd.get(), head->text({"Connection", "Keep-Alive"}, closing ? "Connection: close\r\n" : ""),
                      stopFd())) {
            return false;
        }
        if (decision.action == Action::CutAnswer && framing == Framing::Length) {
            // A server that fails half-way through an answer it has announced whole.
            relayExact(server, client.fd.get(), std::min<std::uint64_t>(length, decision.fault.afterBodyBytes),
                       stopFd());
            resetConnection(client.fd);
            return false;
        }
        bool whole = true;
        switch (framing) {
        case Framing::None: break;
        case Framing::Length: whole = relayExact(server, client.fd.get(), length, stopFd()); break;
        case Framing::Chunked: whole = relayChunked(server, client.fd.get(), stopFd()); break;
        case Framing::UntilEnd: whole = relayUntilEnd(server, client.fd.get(), stopFd()); break;
        }
        if (!whole) resetConnection(client.fd);  // the client must not take a cut answer for a whole one
        return whole && !closing;
    }

    void serve(Fd clientFd) {
        Peer client{std::move(clientFd), {}};
        for (;;) {
            std::string text;
            if (readThrough(client, "\r\n\r\n", kMaxHeadBytes, text, stopFd()) != ReadResult::Ok) return;
            Request request;
            switch (parseRequest(text, request)) {
            case RequestProblem::None: break;
            case RequestProblem::Malformed:
                writeAll(client.fd.get(),
                         errorAnswer(400, "Bad Request", "BadRequest", "The proxy cannot read this request.", nullptr,
                                     true),
                         stopFd());
                return;
            case RequestProblem::Chunked:
                writeAll(client.fd.get(),
                         errorAnswer(501, "Not Implemented", "NotImplemented",
                                     "The proxy takes only bodies with a Content-Length.", nullptr, true),
                         stopFd());
                return;
            }

            const Decision decision = decide(request);
            if (request.expectsContinue && !writeAll(client.fd.get(), "HTTP/1.1 100 Continue\r\n\r\n", stopFd())) return;

            const std::uint64_t held = std::min<std::uint64_t>(decision.fault.afterBodyBytes, request.bodyLength);
            std::string heldBody;
            switch (decision.action) {
            case Action::Forward:
            case Action::CutAnswer: break;
            case Action::DropMidBody:
                relayExact(client, -1, held, stopFd());
                resetConnection(client.fd);
                return;
            case Action::Stall:
            case Action::StallThenReset:
                while (heldBody.size() < held) {
                    std::string chunk;
                    if (readChunk(client, static_cast<std::size_t>(held - heldBody.size()), chunk, stopFd()) <= 0) return;
                    heldBody += chunk;
                }
                if (!stallUntilReleased(client.fd.get())) return;
                if (decision.action == Action::StallThenReset) {
                    resetConnection(client.fd);
                    return;
                }
                break;
            case Action::ServiceUnavailable:
            case Action::InternalError: {
                if (!relayExact(client, -1, request.bodyLength, stopFd())) return;
                const bool unavailable = decision.action == Action::ServiceUnavailable;
                const std::string answer =
                    unavailable
                        ? errorAnswer(503, "Slow Down", "SlowDown", "Please reduce your request rate.", &request,
                                      request.clientCloses,
                                      "Retry-After: " + std::to_string(decision.fault.retryAfterSeconds) + "\r\n")
                        : errorAnswer(500, "Internal Server Error", "InternalError",
                                      "We encountered an internal error. Please try again.", &request,
                                      request.clientCloses);
                if (!writeAll(client.fd.get(), answer, stopFd()) || request.clientCloses) return;
                continue;
            }
            }
            if (!forward(client, request, heldBody, decision)) return;
        }
    }

    void joinFinishedWorkers() {
        auto finished = std::partition(workers.begin(), workers.end(), [](const Worker& w) { return !w.done->load(); });
        for (auto it = finished; it != workers.end(); ++it) it->thread.join();
        workers.erase(finished, workers.end());
    }

    void acceptConnections() {
        for (;;) {
            if (!waitFor(listener.get(), POLLIN, stopFd())) return;
            Fd client(::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!client) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) continue;
                // Out of descriptors or memory: let running connections end before trying again.
                pollfd stop{stopFd(), POLLIN, 0};
                if (::poll(&stop, 1, 50) > 0) return;
                continue;
            }
            setOption(client.get(), IPPROTO_TCP, TCP_NODELAY, 1);
            joinFinishedWorkers();
            auto done = std::make_shared<std::atomic<bool>>(false);
            workers.push_back({std::thread([this, done, fd = std::move(client)]() mutable {
                                   serve(std::move(fd));
                                   done->store(true);
                               }),
                               done});
        }
    }
};

FaultProxy::FaultProxy(std::string upstreamEndpoint) : m_shared(std::make_unique<Shared>()) {
    const auto url = Url::parse(upstreamEndpoint);
    if (!url || url->scheme() != "http" || !url->host() || url->host()->empty()) {
        throw std::invalid_argument("the fault proxy needs an http://HOST:PORT endpoint, not " + upstreamEndpoint);
    }
    m_shared->upstreamHost = *url->host();
    m_shared->upstreamPort = std::to_string(url->port().value_or(80));
}

FaultProxy::~FaultProxy() { stop(); }

std::string FaultProxy::start() {
    Shared& shared = *m_shared;
    if (shared.started) throw std::logic_error("the fault proxy starts once");
    shared.started = true;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = ::getaddrinfo(shared.upstreamHost.c_str(), shared.upstreamPort.c_str(), &hints, &found);
    if (resolved != 0) {
        throw std::runtime_error("the fault proxy cannot resolve " + shared.upstreamHost + ": " + gai_strerror(resolved));
    }
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        sockaddr_storage address{};
        std::memcpy(&address, entry->ai_addr, entry->ai_addrlen);
        shared.upstreamAddresses.push_back(address);
        shared.upstreamAddressLengths.push_back(entry->ai_addrlen);
    }
    ::freeaddrinfo(found);

    shared.listener = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!shared.listener) throw std::runtime_error(std::string("socket failed: ") + std::strerror(errno));
    // Set before listen() so that accepted connections start with the small window.
    setOption(shared.listener.get(), SOL_SOCKET, SO_RCVBUF, kClientReceiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(shared.listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(shared.listener.get(), SOMAXCONN) != 0 ||
        ::getsockname(shared.listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error(std::string("the fault proxy cannot listen: ") + std::strerror(errno));
    }
    m_acceptor = std::thread([&shared] { shared.acceptConnections(); });
    return "http://localhost:" + std::to_string(ntohs(address.sin_port));
}

void FaultProxy::stop() {
    Shared& shared = *m_shared;
    if (!shared.started || shared.stopped) return;
    shared.stopped = true;
    raise(shared.stopSignal);
    if (m_acceptor.joinable()) m_acceptor.join();
    for (auto& worker : shared.workers) worker.thread.join();
    shared.workers.clear();
    shared.listener.reset();
}

std::size_t FaultProxy::addRule(Rule rule) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->rules.push_back({std::move(rule), {}});
    return m_shared->rules.size() - 1;
}

FaultProxy::Counts FaultProxy::counts(std::size_t rule) const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->rules.at(rule).counts;
}

std::vector<std::string> FaultProxy::forwardedRequests() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->forwarded;
}

bool FaultProxy::waitForStalls(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->stallsChanged.wait_for(lock, timeout, [&] { return m_shared->stalled >= count; });
}

void FaultProxy::releaseStalls() {
    std::lock_guard lock(m_shared->mutex);
    raise(*m_shared->releaseSignal);
    m_shared->releaseSignal = std::make_shared<Fd>(makeEventFd());
}

}  // namespace tarn::test
