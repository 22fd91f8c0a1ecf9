#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace tarn::test {

namespace {

// Reads from the socket into `buffer` until it holds `wanted` bytes; false when the
// peer closed or the socket was shut down first.
bool fill(int socket, std::string& buffer, std::size_t wanted) {
    char chunk[65536];
    while (buffer.size() < wanted) {
        const ssize_t got = ::recv(socket, chunk, sizeof chunk, 0);
        if (got <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

// Reads until `marker` is in the buffer; the position after it, or npos.
std::size_t readUntil(int socket, std::string& buffer, std::string_view marker, std::size_t from) {
    while (true) {
        const std::size_t found = buffer.find(marker, from);
        if (found != std::string::npos) return found + marker.size();
        if (!fill(socket, buffer, buffer.size() + 1)) return std::string::npos;
    }
}

std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool writeAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 64) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("the loopback test server cannot listen");
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        ::shutdown(m_listener, SHUT_RDWR);
        for (const int socket : m_sockets) ::shutdown(socket, SHUT_RDWR);
    }
    m_stopped.notify_all();
    m_acceptor.join();
    for (std::thread& thread : m_threads) thread.join();
    for (const int socket : m_sockets) ::close(socket);
    ::close(m_listener);
}

std::string LoopbackHttpServer::endpoint() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<RecordedRequest> LoopbackHttpServer::requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackHttpServer::setRecording(bool recording) {
    const std::lock_guard lock(m_mutex);
    m_recording = recording;
}

int LoopbackHttpServer::connectionCount() const {
    const std::lock_guard lock(m_mutex);
    return m_connections;
}

ScriptedAnswer LoopbackHttpServer::answer(int status, const std::vector<HttpHeader>& headers,
                                          const std::string& body) {
    std::string bytes = "HTTP/1.1 " + std::to_string(status) + " Scripted\r\n";
    for (const HttpHeader& header : headers) bytes += header.name + ": " + header.value + "\r\n";
    bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    return {bytes, std::nullopt};
}

void LoopbackHttpServer::acceptLoop() {
    while (true) {
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        const std::lock_guard lock(m_mutex);
        if (socket < 0 || m_stopping) {
            if (socket >= 0) ::close(socket);
            return;
        }
        m_sockets.push_back(socket);
        const int connection = ++m_connections;
        m_threads.emplace_back([this, socket, connection] { serve(socket, connection); });
    }
}

void LoopbackHttpServer::serve(int socket, int connection) {
    std::string buffer;
    while (true) {
        const std::size_t headEnd = readUntil(socket, buffer, "\r\n\r\n", 0);
        if (headEnd == std::string::npos) return;
        RecordedRequest request;
        request.connection = connection;
        const std::string head = buffer.substr(0, headEnd - 4);
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        const std::size_t space = requestLine.find(' ');
        request.method = requestLine.substr(0, space);
        request.target = requestLine.substr(space + 1, requestLine.rfind(' ') - space - 1);
        while (lineEnd != std::string::npos) {
            const std::size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) request.headers.push_back({line.substr(0, colon), trimmed(line.substr(colon + 1))});
        }
        buffer.erase(0, headEnd);

        if (const std::string* length = request.header("Content-Length")) {
            const std::size_t size = std::stoul(*length);
            if (!fill(socket, buffer, size)) return;
            request.body = buffer.substr(0, size);
            buffer.erase(0, size);
        } else if (request.header("Transfer-Encoding") != nullptr) {
            while (true) {
                const std::size_t sizeEnd = readUntil(socket, buffer, "\r\n", 0);
                if (sizeEnd == std::string::npos) return;
                const std::size_t size = std::stoul(buffer.substr(0, sizeEnd - 2), nullptr, 16);
                if (!fill(socket, buffer, sizeEnd + size + 2)) return;
                request.body += buffer.substr(sizeEnd, size);
                buffer.erase(0, sizeEnd + size + 2);
                if (size == 0) break;
            }
        }

        {
            const std::lock_guard lock(m_mutex);
            if (m_recording) m_requests.push_back(request);
        }
        const ScriptedAnswer reply = m_handler(request);
        const std::size_t written = std::min(reply.hangAfter.value_or(reply.bytes.size()), reply.bytes.size());
        if (!writeAll(socket, std::string_view(reply.bytes).substr(0, written))) return;
        if (reply.hangAfter) {
            hang();
            return;
        }
        if (reply.closeAfterWriting) {
            ::shutdown(socket, SHUT_RDWR);
            return;
        }
    }
}

void LoopbackHttpServer::hang() {
    std::unique_lock lock(m_mutex);
    m_stopped.wait(lock, [this] { return m_stopping; });
}

}  // namespace tarn::test
