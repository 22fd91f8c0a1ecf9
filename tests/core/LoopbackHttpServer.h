#pragma once

#include "core/storage/S3Request.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarn::test {

// One request as it arrived on the wire.
struct RecordedRequest {
    std::string method;
    std::string target;               // path and query as sent
    std::vector<HttpHeader> headers;  // in wire order, names as sent
    std::string body;                 // de-chunked when it came chunked
    int connection = 0;               // which accepted connection carried it (from 1)

    const std::string* header(std::string_view name) const { return findHeader(headers, name); }
};

// What the server writes back for one request.
struct ScriptedAnswer {
    std::string bytes;  // status line, headers and body, exactly as written
    // Write only this many bytes of `bytes`, then go silent (the connection stays
    // open) until the server is destroyed.
    std::optional<std::size_t> hangAfter;
    // Close the connection once the bytes are written, as a server does that fails
    // in the middle of an answer.
    bool closeAfterWriting = false;
};

// A tiny HTTP/1.1 server on 127.0.0.1 that answers each request with what the
// handler scripts and records what it received: for checking the bytes a client
// puts on the wire and how it copes with answers a real server rarely gives.
class LoopbackHttpServer {
public:
    using Handler = std::function<ScriptedAnswer(const RecordedRequest&)>;

    explicit LoopbackHttpServer(Handler handler);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // "http://127.0.0.1:PORT"
    std::string endpoint() const;
    std::vector<RecordedRequest> requests() const;
    // Whether later requests are kept for requests(); they are by default. A server
    // that answers without end is told not to, so that its memory stays the same.
    void setRecording(bool recording);
    int connectionCount() const;

    // A complete answer with a Content-Length header after the given ones.
    static ScriptedAnswer answer(int status, const std::vector<HttpHeader>& headers, const std::string& body);

private:
    void acceptLoop();
    void serve(int socket, int connection);
    void hang();

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_threads;
    std::vector<RecordedRequest> m_requests;
    bool m_recording = true;
    int m_connections = 0;
    std::thread m_acceptor;
};

}  // namespace tarn::test
