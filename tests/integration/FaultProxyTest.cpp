#include "FaultProxy.h"
#include "SignedHeaders.h"
#include "TestEnvironment.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

// The fault proxy that the storage tests put between the client and the test
// server: it must pass everything through untouched (or those tests would test
// the proxy), break exactly the requests a rule names, and count what it did.

namespace tarn::test {

void PrintTo(const FaultProxy::Counts& counts, std::ostream* out) {
    *out << "{matched " << counts.matched << ", faulted " << counts.faulted << ", forwarded " << counts.forwarded
         << "}";
}

}  // namespace tarn::test

using namespace std::chrono_literals;
using tarn::test::FaultProxy;

namespace {

struct Exchange {
    CURLcode result = CURLE_OK;
    std::string error;
    long status = 0;
    std::string headers;
    std::string body;
    long newConnections = 0;
    curl_off_t uploaded = 0;
    std::string sentHead;  // the request head exactly as curl wrote it
};

struct Options {
    std::string body;
    bool upload = false;        // PUT `body`
    bool headOnly = false;      // HEAD
    // Give up once the sent byte count, having begun to grow, has not grown for this
    // long. (curl's own low-speed limit averages over five seconds, too slow for a
    // short test.) The wait for the connection and for the "100 Continue" is not
    // counted: on a busy machine it alone can take longer.
    std::chrono::milliseconds idleLimit{0};
    std::vector<tarn::HttpHeader> extraHeaders;  // signed with the rest
    bool expectContinue = true;  // false: the body goes out at once, without "Expect: 100-continue"
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

struct Upload {
    const std::string* body;
    std::size_t offset = 0;
};

std::size_t supply(char* buffer, std::size_t size, std::size_t count, void* source) {
    auto* upload = static_cast<Upload*>(source);
    const std::size_t n = std::min(size * count, upload->body->size() - upload->offset);
    std::memcpy(buffer, upload->body->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

struct IdleWatch {
    std::chrono::milliseconds limit;
    curl_off_t sent = 0;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
};

int abortWhenIdle(void* watch, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* idle = static_cast<IdleWatch*>(watch);
    const auto now = std::chrono::steady_clock::now();
    if (sent != idle->sent) {
        idle->sent = sent;
        idle->since = now;
    }
    if (sent == 0) return 0;
    return now - idle->since >= idle->limit ? 1 : 0;
}

int recordSentHead(CURL*, curl_infotype type, char* data, std::size_t size, void* target) {
    if (type == CURLINFO_HEADER_OUT) static_cast<std::string*>(target)->append(data, size);
    return 0;
}

// One curl handle, so that its exchanges share (and reuse) connections.
// Every request is signed with the configured keys, as a server that checks
// signatures requires.
class Client {
public:
    explicit Client(tarn::test::S3TestServer keys) : m_keys(std::move(keys)), m_curl(curl_easy_init()) {}
    ~Client() { curl_easy_cleanup(m_curl); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    Exchange perform(const std::string& url, const Options& options = {}) {
        Exchange exchange;
        char error[CURL_ERROR_SIZE] = {};
        Upload upload{&options.body};
        IdleWatch idle{options.idleLimit};
        const std::string method = options.upload ? "PUT" : options.headOnly ? "HEAD" : "GET";
        curl_slist* headers = options.expectContinue ? nullptr : curl_slist_append(nullptr, "Expect:");
        for (const std::string& line :
             tarn::test::signedHeaderLines(m_keys, method, url, options.body, options.extraHeaders)) {
            headers = curl_slist_append(headers, line.c_str());
        }

        curl_easy_reset(m_curl);  // keeps the connection cache
        curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, error);
        curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &exchange.body);
        curl_easy_setopt(m_curl, CURLOPT_HEADERFUNCTION, collect);
        curl_easy_setopt(m_curl, CURLOPT_HEADERDATA, &exchange.headers);
        curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, recordSentHead);
        curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, &exchange.sentHead);
        curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);  // feeds the debug function only
        curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, 30L);  // only a guard against a hanging test
        if (options.upload) {
            curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, supply);
            curl_easy_setopt(m_curl, CURLOPT_READDATA, &upload);
            curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(options.body.size()));
        }
        if (options.headOnly) curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L);
        if (options.idleLimit.count() > 0) {
            curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
            curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, abortWhenIdle);
            curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, &idle);
        }

        exchange.result = curl_easy_perform(m_curl);
        exchange.error = error;
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &exchange.status);
        curl_easy_getinfo(m_curl, CURLINFO_NUM_CONNECTS, &exchange.newConnections);
        curl_easy_getinfo(m_curl, CURLINFO_SIZE_UPLOAD_T, &exchange.uploaded);
        curl_slist_free_all(headers);
        return exchange;
    }

private:
    tarn::test::S3TestServer m_keys;
    CURL* m_curl;
};

Options put(std::string body) { return {std::move(body), true}; }

// Distinct bytes at every offset, so that a shifted or cut copy never passes.
std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
    return bytes;
}

// The "Content-Length" line of an answer's head, without its line end; empty when
// there is none.
std::string contentLengthLine(const std::string& headers) {
    const std::size_t start = headers.find("Content-Length: ");
    if (start == std::string::npos) return {};
    return headers.substr(start, headers.find('\r', start) - start);
}

// "http://localhost:PORT" -> "http://BUCKET.localhost:PORT"
std::string virtualHosted(const std::string& endpoint, const std::string& bucket) {
    const std::string scheme = "http://";
    return scheme + bucket + "." + endpoint.substr(scheme.size());
}

class FaultProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto server = tarn::test::s3TestServer();
        if (!server) GTEST_SKIP() << "TARN_TEST_S3_ENDPOINT is not set; run scripts/test";
        m_server = *server;
        m_bucket = tarn::test::uniqueBucketName("fault-proxy");
        m_proxy = std::make_unique<FaultProxy>(m_server.endpoint);
        m_proxyEndpoint = m_proxy->start();
        ASSERT_EQ(newClient().perform(virtualHosted(m_server.endpoint, m_bucket) + "/", put("")).status, 200);
    }

    // An object's URL through the proxy, or on the server itself.
    std::string viaProxy(const std::string& key) const { return virtualHosted(m_proxyEndpoint, m_bucket) + "/" + key; }
    std::string onServer(const std::string& key) const {
        return virtualHosted(m_server.endpoint, m_bucket) + "/" + key;
    }

    // A client of its own, with a connection cache of its own.
    Client newClient() const { return Client(m_server); }

    // The object as stored, read around the proxy (`status` 404 when absent).
    Exchange stored(const std::string& key) const { return newClient().perform(onServer(key)); }

    tarn::test::S3TestServer m_server;
    std::string m_bucket;
    std::unique_ptr<FaultProxy> m_proxy;
    std::string m_proxyEndpoint;
};

TEST_F(FaultProxyTest, ForwardsEverythingUnchangedOverOneConnection) {
    const std::size_t everything = m_proxy->addRule({});
    const std::string large = patterned(3 * 1024 * 1024);  // many times the proxy's buffers
    const std::string small = patterned(1000);
    Client client = newClient();

    const Exchange list = client.perform(m_proxyEndpoint + "/");
    ASSERT_EQ(list.result, CURLE_OK) << list.error;
    EXPECT_EQ(list.status, 200);
    EXPECT_NE(list.body.find("<Name>" + m_bucket + "</Name>"), std::string::npos) << list.body;

    // The server takes the bucket from the first label of "Host": it must arrive as sent.
    const std::string createdThrough = tarn::test::uniqueBucketName("fault-proxy-host");
    EXPECT_EQ(client.perform(virtualHosted(m_proxyEndpoint, createdThrough) + "/", put("")).status, 200);
    EXPECT_NE(newClient().perform(m_server.endpoint + "/").body.find("<Name>" + createdThrough + "</Name>"),
              std::string::npos);

    const Exchange putLarge = client.perform(viaProxy("large"), put(large));
    ASSERT_EQ(putLarge.result, CURLE_OK) << putLarge.error;
    EXPECT_EQ(putLarge.status, 200);
    EXPECT_NE(putLarge.sentHead.find("Expect: 100-continue"), std::string::npos);
    EXPECT_EQ(putLarge.newConnections, 1);

    // Every later exchange with the bucket's host reuses that one connection.
    const Exchange putSmall = client.perform(viaProxy("small"), put(small));
    EXPECT_EQ(putSmall.status, 200);
    EXPECT_EQ(putSmall.newConnections, 0);
    const Exchange getLarge = client.perform(viaProxy("large"));
    EXPECT_EQ(getLarge.status, 200);
    EXPECT_TRUE(getLarge.body == large) << "got " << getLarge.body.size() << " bytes";
    EXPECT_EQ(getLarge.newConnections, 0);
    Options head;
    head.headOnly = true;
    const Exchange headSmall = client.perform(viaProxy("small"), head);
    EXPECT_EQ(headSmall.status, 200);
    // The length as the server itself gives it for a HEAD (the object's, from S3; a
    // server in front of it may give another).
    const Exchange headOnServer = newClient().perform(onServer("small"), head);
    const std::string length = contentLengthLine(headOnServer.headers);
    EXPECT_FALSE(length.empty()) << headOnServer.headers;
    EXPECT_EQ(contentLengthLine(headSmall.headers), length) << headSmall.headers;
    EXPECT_EQ(headSmall.newConnections, 0);
    const Exchange missing = client.perform(viaProxy("missing"));
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(missing.body.find("NoSuchKey"), std::string::npos) << missing.body;
    EXPECT_EQ(missing.newConnections, 0);
    const Exchange getSmall = client.perform(viaProxy("small"));
    EXPECT_EQ(getSmall.body, small);
    EXPECT_EQ(getSmall.newConnections, 0);

    EXPECT_TRUE(stored("large").body == large);
    EXPECT_EQ(m_proxy->counts(everything), (FaultProxy::Counts{8, 0, 8}));
    const std::vector<std::string> forwarded = m_proxy->forwardedRequests();
    ASSERT_EQ(forwarded.size(), 8u);
    EXPECT_EQ(forwarded[0], "GET /");
    EXPECT_EQ(forwarded[2], "PUT /large");
    EXPECT_EQ(forwarded[5], "HEAD /small");
}

TEST_F(FaultProxyTest, AnswersServerErrorsWithoutForwarding) {
    struct Case {
        FaultProxy::Action action;
        long status;
        const char* code;
        const char* retryAfter;  // the header line expected, or nullptr
    };
    const Case cases[] = {
        {FaultProxy::Action::ServiceUnavailable, 503, "<Code>SlowDown</Code>", "Retry-After: 7\r\n"},
        {FaultProxy::Action::InternalError, 500, "<Code>InternalError</Code>", nullptr},
    };
    const std::string body = patterned(100 * 1024);
    for (const Case& c : cases) {
        const std::string key = "answered-" + std::to_string(c.status);
        SCOPED_TRACE(key);
        const std::size_t rule = m_proxy->addRule({"PUT", key, c.action, 2, 0, 7});
        Client client = newClient();

        for (int attempt = 0; attempt < 2; ++attempt) {
            const Exchange failed = client.perform(viaProxy(key), put(body));
            ASSERT_EQ(failed.result, CURLE_OK) << failed.error;
            EXPECT_EQ(failed.status, c.status);
            EXPECT_NE(failed.body.find(c.code), std::string::npos) << failed.body;
            EXPECT_EQ(failed.headers.find("Retry-After") != std::string::npos, c.retryAfter != nullptr);
            if (c.retryAfter != nullptr) {
                EXPECT_NE(failed.headers.find(c.retryAfter), std::string::npos) << failed.headers;
            }
            // A fault answer leaves the connection usable, as a server's own would.
            EXPECT_EQ(failed.newConnections, attempt == 0 ? 1 : 0);
        }
        EXPECT_EQ(client.perform(viaProxy(key)).status, 404) << "a GET does not match a PUT rule";
        EXPECT_EQ(client.perform(viaProxy("unrelated-" + std::to_string(c.status)), put(body)).status, 200)
            << "another key does not match";

        const Exchange third = client.perform(viaProxy(key), put(body));
        EXPECT_EQ(third.status, 200) << "the rule has given its two faults";
        EXPECT_EQ(third.newConnections, 0);
        EXPECT_TRUE(stored(key).body == body);

        EXPECT_EQ(m_proxy->counts(rule), (FaultProxy::Counts{3, 2, 1}));
    }
}

TEST_F(FaultProxyTest, DropsTheConnectionInTheMiddleOfTheBody) {
    struct Case {
        std::size_t bodySize;
        std::size_t dropAfter;
    };
    // A drop within the proxy's first read of the body, and one deep into it.
    for (const Case c : {Case{512 * 1024, 64 * 1024}, Case{3 * 1024 * 1024, 1024 * 1024}}) {
        const std::string key = "dropped-" + std::to_string(c.bodySize);
        SCOPED_TRACE(key);
        const std::string body = patterned(c.bodySize);
        const std::size_t rule = m_proxy->addRule({"PUT", key, FaultProxy::Action::DropMidBody, 1, c.dropAfter});
        Client client = newClient();

        const Exchange dropped = client.perform(viaProxy(key), put(body));
        EXPECT_TRUE(dropped.result == CURLE_SEND_ERROR || dropped.result == CURLE_RECV_ERROR ||
                    dropped.result == CURLE_GOT_NOTHING)
            << curl_easy_strerror(dropped.result) << ": " << dropped.error;
        EXPECT_EQ(stored(key).status, 404);

        const Exchange retried = client.perform(viaProxy(key), put(body));
        EXPECT_EQ(retried.status, 200);
        EXPECT_TRUE(stored(key).body == body);

        EXPECT_EQ(m_proxy->counts(rule), (FaultProxy::Counts{2, 1, 1}));
    }
}

TEST_F(FaultProxyTest, StalledSenderMakesNoProgress) {
    const std::size_t rule = m_proxy->addRule({"PUT", "stalled", FaultProxy::Action::Stall});
    // Far more than the socket buffers between the client and the proxy can hold.
    const std::string body = patterned(16 * 1024 * 1024);
    Options options = put(body);
    options.idleLimit = 1s;

    const Exchange stalled = newClient().perform(viaProxy("stalled"), options);
    EXPECT_EQ(stalled.result, CURLE_ABORTED_BY_CALLBACK) << stalled.error;
    EXPECT_GT(stalled.uploaded, 0);
    EXPECT_LT(stalled.uploaded, static_cast<curl_off_t>(body.size())) << "the sender did not stall mid-body";
    EXPECT_EQ(stored("stalled").status, 404);
    EXPECT_EQ(m_proxy->counts(rule), (FaultProxy::Counts{1, 1, 0}));
}

TEST_F(FaultProxyTest, ReleasedStallIsForwarded) {
    const std::size_t rule = m_proxy->addRule({"PUT", "released", FaultProxy::Action::Stall, 1, 1000});
    const std::string body = patterned(100 * 1024);
    Exchange exchange;
    std::thread sender([&] { exchange = newClient().perform(viaProxy("released"), put(body)); });

    const bool stalled = m_proxy->waitForStalls(1, 20s);
    EXPECT_TRUE(stalled);
    EXPECT_EQ(m_proxy->counts(rule).forwarded, 0);
    EXPECT_EQ(stored("released").status, 404);
    m_proxy->releaseStalls();
    sender.join();

    ASSERT_EQ(exchange.result, CURLE_OK) << exchange.error;
    EXPECT_EQ(exchange.status, 200);
    EXPECT_TRUE(stored("released").body == body);
    EXPECT_EQ(m_proxy->counts(rule).forwarded, 1);
    EXPECT_FALSE(m_proxy->waitForStalls(1, 0ms));
}

TEST_F(FaultProxyTest, StopEndsStalledExchanges) {
    m_proxy->addRule({"PUT", "stopped", FaultProxy::Action::Stall, FaultProxy::kAlways});
    Exchange first;
    Exchange second;
    std::thread firstSender([&] { first = newClient().perform(viaProxy("stopped"), put(patterned(1000))); });
    std::thread secondSender([&] { second = newClient().perform(viaProxy("stopped"), put(patterned(1000))); });
    EXPECT_TRUE(m_proxy->waitForStalls(2, 20s));

    m_proxy->stop();
    firstSender.join();
    secondSender.join();
    EXPECT_NE(first.result, CURLE_OK);
    EXPECT_NE(second.result, CURLE_OK);
    EXPECT_EQ(newClient().perform(m_proxyEndpoint + "/").result, CURLE_COULDNT_CONNECT);
}

// A stand-in server that records each request as it arrives and gives one canned
// answer per connection, for what the test server cannot show: the exact bytes
// passed on, and answers framed other than by Content-Length.
class CannedServer {
public:
    CannedServer(std::string answer, int connections) : m_answer(std::move(answer)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_endpoint = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        m_thread = std::thread([this, connections] {
            for (int i = 0; i < connections; ++i) serveOne();
        });
    }
    ~CannedServer() {
        join();
        ::close(m_listener);
    }

    const std::string& endpoint() const { return m_endpoint; }
    // Complete only once the server thread has ended (after the destructor or join()).
    const std::vector<std::string>& requests() const { return m_requests; }
    void join() {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    // Every wait is bounded, so that a proxy that misbehaves fails the test rather than hanging it.
    static bool readable(int fd) {
        pollfd entry{fd, POLLIN, 0};
        return ::poll(&entry, 1, 10000) == 1;
    }

    void serveOne() {
        if (!readable(m_listener)) return;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0) return;
        std::string request;
        char buffer[65536];
        std::size_t expected = std::string::npos;
        while (expected == std::string::npos || request.size() < expected) {
            if (!readable(fd)) break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
            const std::size_t headEnd = request.find("\r\n\r\n");
            if (expected == std::string::npos && headEnd != std::string::npos) {
                const std::size_t field = request.find("Content-Length: ");
                const std::size_t length = field < headEnd ? std::stoul(request.substr(field + 16)) : 0;
                expected = headEnd + 4 + length;
            }
        }
        m_requests.push_back(request);
        ::send(fd, m_answer.data(), m_answer.size(), MSG_NOSIGNAL);
        while (readable(fd) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }  // the proxy ends the connection after one answer
        ::close(fd);
    }

    std::string m_answer;
    int m_listener = -1;
    std::string m_endpoint;
    std::thread m_thread;
    std::vector<std::string> m_requests;
};

std::string withoutExpect(std::string head) {
    const std::string expect = "Expect: 100-continue\r\n";
    const std::size_t found = head.find(expect);
    EXPECT_NE(found, std::string::npos) << head;
    if (found != std::string::npos) head.erase(found, expect.size());
    return head;
}

TEST(FaultProxyForwarding, PassesBytesThroughAndOwnsOnlyTheHopByHopFields) {
    // A chunked answer that asks to keep the server connection alive: the proxy
    // must frame it correctly and must not pass on what concerns its own hop.
    CannedServer server(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: keep-alive\r\nKeep-Alive: timeout=5\r\n"
        "X-Answer:  kept  as is\r\n\r\n5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nX-Trailer: t\r\n\r\n",
        2);
    FaultProxy proxy(server.endpoint());
    const std::string proxyEndpoint = proxy.start();
    const std::string url = virtualHosted(proxyEndpoint, "some-bucket") + "/some/key?partNumber=3&uploadId=x%2By";
    const std::string body = patterned(2 * 1024 * 1024);
    Options options = put(body);
    options.extraHeaders = {{"X-Odd", " spaced\tvalue "}};
    const tarn::test::S3TestServer keys = tarn::test::s3TestServerAt(server.endpoint());
    Client client(keys);

    const Exchange first = client.perform(url, options);
    Options withoutContinue = put("second");
    withoutContinue.expectContinue = false;  // as a client that sends its body at once
    const Exchange second = client.perform(url, withoutContinue);
    server.join();

    ASSERT_EQ(first.result, CURLE_OK) << first.error;
    EXPECT_EQ(first.body, "hello world");
    EXPECT_EQ(first.headers.find("Keep-Alive"), std::string::npos) << first.headers;
    EXPECT_EQ(first.headers.find("Connection"), std::string::npos) << first.headers;
    EXPECT_NE(first.headers.find("X-Answer:  kept  as is\r\n"), std::string::npos) << first.headers;
    ASSERT_EQ(second.result, CURLE_OK) << second.error;
    EXPECT_EQ(second.body, "hello world");
    EXPECT_EQ(second.newConnections, 0);

    ASSERT_EQ(server.requests().size(), 2u);
    // Byte for byte what the client sent, but for the "Expect" that the proxy answered itself.
    const std::string firstHead = withoutExpect(first.sentHead);
    EXPECT_NE(firstHead.find("Host: some-bucket.localhost:"), std::string::npos) << firstHead;
    EXPECT_NE(firstHead.find("X-Odd:  spaced\tvalue \r\n"), std::string::npos) << firstHead;
    // Signed with the configured keys, the odd header among the signed ones.
    EXPECT_NE(firstHead.find("Credential=" + keys.accessKey + "/"), std::string::npos) << firstHead;
    EXPECT_NE(firstHead.find("SignedHeaders=host;x-amz-content-sha256;x-amz-date;x-odd,"), std::string::npos)
        << firstHead;
    EXPECT_TRUE(server.requests()[0] == firstHead + body) << server.requests()[0].substr(0, 400);
    EXPECT_EQ(server.requests()[1], second.sentHead + "second");
    EXPECT_EQ(proxy.forwardedRequests(),
              std::vector<std::string>(2, "PUT /some/key?partNumber=3&uploadId=x%2By"));
}

}  // namespace
