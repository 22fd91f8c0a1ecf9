#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tarn::test {

// A TCP proxy on loopback between a client and the S3 test server that breaks
// chosen requests the way flaky networks and busy servers do: a connection lost in
// the middle of a body, a peer that stops reading, an overloaded or failing server.
// Everything else passes through unchanged, the "Host" header included, so buckets
// are addressed virtual-hosted through the proxy exactly as on the server itself.
//
// Only the hop-by-hop parts of HTTP/1.1 are the proxy's own: it answers
// "Expect: 100-continue" itself (and drops that header on the way up), opens one
// server connection per request, and keeps the client's connection alive on its own
// terms, so the server's "Connection" and "Keep-Alive" headers do not reach the
// client. Requests must carry a Content-Length body; chunked requests get 501.
//
// Rules are matched against every request, also on a reused connection. Each
// matching rule counts the request; the first matching rule that still has faults
// to give applies its action; the others only count.
class FaultProxy {
public:
    enum class Action {
        Forward,             // only count the matching requests
        DropMidBody,         // read `afterBodyBytes` of the body, then reset the connection
        Stall,               // read `afterBodyBytes` of the body, then read nothing until released
        StallThenReset,      // as Stall, but once released reset the connection, forwarding nothing
        ServiceUnavailable,  // 503 "SlowDown" with "Retry-After", not forwarded
        InternalError,       // 500 "InternalError", not forwarded
        CutAnswer,           // forward, pass on `afterBodyBytes` of an answer with a
                             // Content-Length, then reset the connection
    };

    // `times` for a rule that breaks every matching request.
    static constexpr int kAlways = -1;

    struct Rule {
        std::string method;          // "PUT"; empty matches every method
        std::string targetContains;  // substring of the request target, e.g. "partNumber=3"
        Action action = Action::Forward;
        int times = 1;                   // matching requests that get the fault; kAlways for all
        std::size_t afterBodyBytes = 0;  // DropMidBody, Stall (capped at the body's length), CutAnswer
        int retryAfterSeconds = 1;       // ServiceUnavailable
    };

    struct Counts {
        int matched = 0;    // requests that matched the rule
        int faulted = 0;    // of those, the ones that got this rule's fault
        int forwarded = 0;  // of those, the ones sent whole to the server

        bool operator==(const Counts&) const = default;
    };

    // `upstreamEndpoint` as in TARN_TEST_S3_ENDPOINT: "http://HOST:PORT".
    explicit FaultProxy(std::string upstreamEndpoint);
    // Stops the proxy: no thread of it is left running.
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    // Starts listening on a free loopback port; returns "http://localhost:PORT".
    // Throws std::runtime_error when the proxy cannot listen or the server's name
    // does not resolve. A proxy starts once.
    std::string start();
    // Ends every connection (stalled ones included) and joins every thread.
    void stop();

    // May be called while requests flow; returns the rule's id for counts().
    std::size_t addRule(Rule rule);
    Counts counts(std::size_t rule) const;
    // Every request sent whole to the server, matched or not, as "METHOD target"
    // in the order the server received them.
    std::vector<std::string> forwardedRequests() const;

    // True once at least `count` connections are stalled at the same time.
    bool waitForStalls(std::size_t count, std::chrono::milliseconds timeout) const;
    // Lets every connection stalled now go on: its request is then read and
    // forwarded as usual. Later requests are stalled again while a rule has faults left.
    void releaseStalls();

private:
    struct Shared;
    std::unique_ptr<Shared> m_shared;
    std::thread m_acceptor;
};

}  // namespace tarn::test
