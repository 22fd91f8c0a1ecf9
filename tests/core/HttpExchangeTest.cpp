#include "LoopbackHttpServer.h"

#include "core/storage/CancelledError.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/ResponseTooLargeError.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransientErrors.h"
#include "core/storage/TransportError.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using tarn::CancelledError;
using tarn::ExchangeOptions;
using tarn::HttpHeader;
using tarn::HttpResponse;
using tarn::S3Request;
using tarn::TransferProgress;
using tarn::TransportError;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::ScriptedAnswer;

namespace {

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

ScriptedAnswer ok(const std::string& body = "") {
    return LoopbackHttpServer::answer(200, {}, body);
}

// Header texts sorted, so that lists compare regardless of order.
std::vector<std::string> sortedTexts(const std::vector<HttpHeader>& headers) {
    std::vector<std::string> texts;
    for (const HttpHeader& header : headers) texts.push_back(header.name + ": " + header.value);
    std::sort(texts.begin(), texts.end());
    return texts;
}

S3Request requestTo(const LoopbackHttpServer& server, const std::string& method, const std::string& target) {
    S3Request request;
    request.method = method;
    request.url = server.endpoint() + target;
    request.headers = {{"Host", server.endpoint().substr(7)}};
    return request;
}

// A port on loopback where nothing listens.
int closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

}  // namespace

TEST(HttpExchange, SendsExactlyTheRequestsHeadersAndBody) {
    LoopbackHttpServer server([](const RecordedRequest&) { return ok(); });
    struct Case {
        std::string method;
        std::vector<HttpHeader> extraHeaders;
        std::string body;
        bool sendsLength;
    };
    const std::string large(3 * 1024 * 1024, 'x');
    const Case cases[] = {
        {"GET", {{"x-amz-date", "20240501T000000Z"}, {"Authorization", "AWS4-HMAC-SHA256 sig"}}, "", false},
        // An empty PUT (a folder marker) must carry its zero length, never go chunked.
        {"PUT", {{"x-amz-content-sha256", "e3b0"}}, "", true},
        // Large enough that libcurl would otherwise ask "Expect: 100-continue".
        {"PUT", {{"Content-Type", "application/octet-stream"}}, large, true},
        // An empty content type is sent as given, with its empty value.
        {"POST", {{"Content-Type", ""}}, "", true},
        {"POST", {{"Content-Type", "application/xml"}, {"Content-MD5", "abc=="}}, "<Delete/>", true},
        {"DELETE", {}, "", false},
    };
    for (const Case& c : cases) {
        S3Request request = requestTo(server, c.method, "/media/a%20b.txt?uploads");
        request.headers.insert(request.headers.end(), c.extraHeaders.begin(), c.extraHeaders.end());
        request.body = bytes(c.body);
        const HttpResponse response = tarn::HttpExchange::perform(request);
        EXPECT_EQ(response.statusCode, 200);

        const RecordedRequest received = server.requests().back();
        EXPECT_EQ(received.method, c.method);
        EXPECT_EQ(received.target, "/media/a%20b.txt?uploads");
        std::vector<HttpHeader> expected = request.headers;
        if (c.sendsLength) expected.push_back({"Content-Length", std::to_string(c.body.size())});
        EXPECT_EQ(sortedTexts(received.headers), sortedTexts(expected)) << c.method << " " << c.body.size();
        EXPECT_TRUE(received.body == c.body) << c.method;
    }

    S3Request smuggling = requestTo(server, "GET", "/media/k");
    smuggling.headers.push_back({"x-amz-meta-a", "1\r\nAuthorization: forged"});
    const std::size_t sent = server.requests().size();
    EXPECT_THROW(tarn::HttpExchange::perform(smuggling), std::invalid_argument);
    EXPECT_EQ(server.requests().size(), sent);
}

TEST(HttpExchange, KeepsOnlyTheFinalAnswersHeadersInOrder) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        return ScriptedAnswer{"HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n"
                              "HTTP/1.1 206 Partial Content\r\nETag: \"abc\"\r\nx-amz-meta-a: 1\r\n"
                              "X-Amz-Meta-A:   2  \r\nContent-Length: 3\r\n\r\nxyz",
                              std::nullopt};
    });
    const HttpResponse response = tarn::HttpExchange::perform(requestTo(server, "GET", "/b/k"));
    EXPECT_EQ(response.statusCode, 206);
    const std::vector<HttpHeader> expected = {
        {"ETag", "\"abc\""}, {"x-amz-meta-a", "1"}, {"X-Amz-Meta-A", "2"}, {"Content-Length", "3"}};
    EXPECT_EQ(response.headers, expected);
    EXPECT_EQ(response.bodyText(), "xyz");
    EXPECT_FALSE(response.stoppedEarly);
    ASSERT_NE(response.header("etag"), nullptr);
    EXPECT_EQ(*response.header("etag"), "\"abc\"");
}

TEST(HttpExchange, BodySinkTakesSuccessfulBodiesAndMayStopEarly) {
    const std::string object(1024 * 1024 + 17, 'o');
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        if (request.target == "/missing") return LoopbackHttpServer::answer(404, {}, "<Error/>");
        return LoopbackHttpServer::answer(200, {{"Content-Type", "image/png"}}, object);
    });

    std::string sunk;
    int headStatus = 0;
    ExchangeOptions options;
    options.onBody = [&](const HttpResponse& head, std::span<const std::uint8_t> chunk) {
        headStatus = head.statusCode;
        EXPECT_NE(head.header("Content-Type"), nullptr);
        sunk.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
        return true;
    };
    const HttpResponse whole = tarn::HttpExchange::perform(requestTo(server, "GET", "/object"), options);
    EXPECT_EQ(whole.statusCode, 200);
    EXPECT_TRUE(whole.body.empty());
    EXPECT_EQ(headStatus, 200);
    EXPECT_TRUE(sunk == object);

    // The body of a refused request stays in the response, where it can be reported.
    sunk.clear();
    const HttpResponse refused = tarn::HttpExchange::perform(requestTo(server, "GET", "/missing"), options);
    EXPECT_EQ(refused.statusCode, 404);
    EXPECT_EQ(refused.bodyText(), "<Error/>");
    EXPECT_TRUE(sunk.empty());

    options.onBody = [&](const HttpResponse&, std::span<const std::uint8_t> chunk) {
        sunk.append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
        return false;
    };
    const HttpResponse head = tarn::HttpExchange::perform(requestTo(server, "GET", "/object"), options);
    EXPECT_TRUE(head.stoppedEarly);
    EXPECT_EQ(head.statusCode, 200);
    EXPECT_LT(sunk.size(), object.size());
    // The thread's handles are fine for the next exchange.
    EXPECT_EQ(tarn::HttpExchange::perform(requestTo(server, "GET", "/missing")).statusCode, 404);
}

TEST(HttpExchange, KeepsOnlyTheStartOfARefusedRequestsBody) {
    const std::size_t kept = tarn::S3Error::kMaxBodyBytes;
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        if (request.target == "/whole") return LoopbackHttpServer::answer(502, {}, std::string(kept, 'w'));
        // A gateway's page that never ends: a length far beyond what comes, then silence.
        ScriptedAnswer answer{"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 1073741824\r\n\r\n" +
                              std::string(1024 * 1024, 'e')};
        answer.hangAfter = answer.bytes.size();
        return answer;
    });
    S3Request endless = requestTo(server, "GET", "/endless");
    endless.idleTimeout = std::chrono::seconds(5);
    const HttpResponse cut = tarn::HttpExchange::perform(endless);
    EXPECT_EQ(cut.statusCode, 502);
    EXPECT_EQ(cut.body.size(), kept);
    EXPECT_TRUE(cut.bodyCut);

    const HttpResponse whole = tarn::HttpExchange::perform(requestTo(server, "GET", "/whole"));
    EXPECT_EQ(whole.body.size(), kept);
    EXPECT_FALSE(whole.bodyCut);
}

TEST(HttpExchange, SuccessBodyPastItsLimitFailsWhileItArrives) {
    constexpr std::size_t kLimit = 256 * 1024;
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        if (request.target == "/fits") return ok(std::string(kLimit, 'x'));
        // Both go silent once their bytes are out: only a client that stops reading
        // at the limit gets past them.
        ScriptedAnswer answer;
        if (request.target == "/announced") {
            answer.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 209715200\r\n\r\n" + std::string(1024, 'x');
        } else {
            answer.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(1024 * 1024, 'x');
        }
        answer.hangAfter = answer.bytes.size();
        return answer;
    });
    ExchangeOptions options;
    options.maxBodyBytes = kLimit;
    EXPECT_EQ(tarn::HttpExchange::perform(requestTo(server, "GET", "/fits"), options).body.size(), kLimit);
    for (const std::string target : {"/announced", "/unannounced"}) {
        S3Request request = requestTo(server, "GET", target);
        request.idleTimeout = std::chrono::seconds(5);
        try {
            tarn::HttpExchange::perform(request, options);
            ADD_FAILURE() << target << " accepted";
        } catch (const tarn::ResponseTooLargeError& error) {
            EXPECT_EQ(error.limit(), kLimit);
            EXPECT_STREQ(error.what(), "The storage answer is larger than 256 KB; it was not read further.");
        }
    }
}

TEST(HttpExchange, ReportsProgressInBothDirections) {
    const std::string object(512 * 1024, 'd');
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        return ok(request.method == "GET" ? object : "");
    });
    std::vector<TransferProgress> reports;
    ExchangeOptions options;
    options.onProgress = [&](const TransferProgress& progress) { reports.push_back(progress); };

    S3Request upload = requestTo(server, "PUT", "/b/part");
    upload.body.assign(2 * 1024 * 1024, 'u');
    tarn::HttpExchange::perform(upload, options);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().sent, 2 * 1024 * 1024);
    EXPECT_EQ(reports.back().sendTotal, 2 * 1024 * 1024);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end(),
                               [](const auto& a, const auto& b) { return a.sent < b.sent; }));

    reports.clear();
    tarn::HttpExchange::perform(requestTo(server, "GET", "/b/object"), options);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().received, static_cast<std::int64_t>(object.size()));
    EXPECT_EQ(reports.back().receiveTotal, static_cast<std::int64_t>(object.size()));
}

TEST(HttpExchange, IdleLimitEndsATransferThatStandsStill) {
    LoopbackHttpServer server([](const RecordedRequest&) {
        ScriptedAnswer answer = LoopbackHttpServer::answer(200, {}, std::string(1000, 'b'));
        answer.hangAfter = answer.bytes.size() - 990;  // the head and ten bytes, then silence
        return answer;
    });
    S3Request request = requestTo(server, "GET", "/b/object");
    request.idleTimeout = std::chrono::seconds(1);
    try {
        tarn::HttpExchange::perform(request);
        FAIL() << "no time-out";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind(), TransportError::Kind::idleTimeout);
        EXPECT_EQ(error.curlCode(), CURLE_OPERATION_TIMEDOUT);
        EXPECT_STREQ(error.what(), "No data moved for 1 s; the exchange was abandoned.");
    }
}

TEST(HttpExchange, StallLimitKeepsCountingWhileTheAnswerIsAwaited) {
    // The server takes every byte of the part and never answers.
    LoopbackHttpServer server([](const RecordedRequest&) { return ScriptedAnswer{"", 0}; });
    S3Request request = requestTo(server, "PUT", "/b/k?partNumber=1&uploadId=u");
    request.body.assign(256 * 1024, 'p');
    ExchangeOptions options;
    options.stallTimeout = std::chrono::milliseconds(500);
    try {
        tarn::HttpExchange::perform(request, options);
        FAIL() << "no stall";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind(), TransportError::Kind::stalled);
        EXPECT_DOUBLE_EQ(error.limit().count(), 0.5);
    }
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].body.size(), request.body.size());
}

TEST(HttpExchange, StopRequestEndsTheExchangeAtOnce) {
    LoopbackHttpServer server([](const RecordedRequest&) { return ScriptedAnswer{"", 0}; });
    std::stop_source stop;
    ExchangeOptions options;
    options.stopToken = stop.get_token();
    const auto start = std::chrono::steady_clock::now();
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    EXPECT_THROW(tarn::HttpExchange::perform(requestTo(server, "GET", "/b/slow"), options), CancelledError);
    // The server would keep quiet for a minute; the stop must not wait for that.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // Stopped before it starts: nothing goes out.
    const std::size_t sent = server.requests().size();
    EXPECT_THROW(tarn::HttpExchange::perform(requestTo(server, "GET", "/b/never"), options), CancelledError);
    EXPECT_EQ(server.requests().size(), sent);
}

TEST(HttpExchange, RefusedConnectionIsATransportErrorWithTheSocketError) {
    S3Request request;
    request.url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    try {
        tarn::HttpExchange::perform(request);
        FAIL() << "connected";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind(), TransportError::Kind::failed);
        EXPECT_EQ(error.curlCode(), CURLE_COULDNT_CONNECT);
        EXPECT_EQ(error.osErrno(), ECONNREFUSED);
        EXPECT_NE(std::string(error.what()).find("Couldn't connect to server"), std::string::npos) << error.what();
    }

    // Only http and https leave the program.
    request.url = "file:///etc/passwd";
    EXPECT_THROW(tarn::HttpExchange::perform(request), TransportError);
}

TEST(HttpExchange, ErrnoComesOnlyFromTheExchangeThatFailed) {
    S3Request refused;
    refused.url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
    struct Case {
        std::string url;
        int curlCode;
    };
    const Case cases[] = {
        {"ftp://127.0.0.1/file", CURLE_UNSUPPORTED_PROTOCOL},
        {"http://[::1/", CURLE_URL_MALFORMAT},
    };
    for (const Case& c : cases) {
        // A refused connection first, on the same thread, so its errno is the one
        // an exchange without a socket error of its own could pick up.
        EXPECT_THROW(tarn::HttpExchange::perform(refused), TransportError);
        S3Request request;
        request.url = c.url;
        try {
            tarn::HttpExchange::perform(request);
            ADD_FAILURE() << c.url << " was sent";
        } catch (const TransportError& error) {
            EXPECT_EQ(error.curlCode(), c.curlCode) << c.url;
            EXPECT_EQ(error.osErrno(), 0) << c.url;
            EXPECT_EQ(std::string(error.what()).find("errno"), std::string::npos) << error.what();
            // A lasting fault: sending it again cannot help.
            EXPECT_FALSE(tarn::TransientErrors::isTransient(error)) << c.url;
        }
    }
}

TEST(HttpExchange, ReusesConnectionsAndServesManyThreads) {
    LoopbackHttpServer server([](const RecordedRequest& request) { return ok(request.target); });
    for (int i = 0; i < 3; ++i) tarn::HttpExchange::perform(requestTo(server, "GET", "/b/again"));
    EXPECT_EQ(server.connectionCount(), 1);

    std::atomic<int> mismatches = 0;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 20; ++i) {
                    const std::string target = "/b/" + std::to_string(t) + "-" + std::to_string(i);
                    if (tarn::HttpExchange::perform(requestTo(server, "GET", target)).bodyText() != target) ++mismatches;
                }
            });
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_LE(server.connectionCount(), 1 + 8);
}

TEST(HttpExchange, ErrorsOfCallbacksPassThrough) {
    LoopbackHttpServer server([](const RecordedRequest&) { return ok("body"); });
    ExchangeOptions options;
    options.onProgress = [](const TransferProgress&) { throw std::runtime_error("progress failed"); };
    EXPECT_THROW(
        {
            try {
                tarn::HttpExchange::perform(requestTo(server, "GET", "/b/k"), options);
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "progress failed");
                throw;
            }
        },
        std::runtime_error);
}

TEST(HttpExchange, BodySourceIsReadWhileTheRequestGoesOut) {
    LoopbackHttpServer server([](const RecordedRequest&) { return ok(); });
    std::string body(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 % 251);

    struct Case {
        const char* name;
        std::size_t failAt;  // the read from this offset on throws; npos: none does
    };
    for (const Case& c : {Case{"whole", std::string::npos}, Case{"failing", 2 * 1024 * 1024}}) {
        std::vector<std::int64_t> offsets;
        ExchangeOptions options;
        options.body = tarn::BodySource{
            static_cast<std::int64_t>(body.size()), [&](std::int64_t offset, std::span<std::uint8_t> buffer) {
                if (static_cast<std::size_t>(offset) + buffer.size() > c.failAt) {
                    throw std::runtime_error("the disk failed");
                }
                offsets.push_back(offset);
                std::memcpy(buffer.data(), body.data() + offset, buffer.size());
                return buffer.size();
            }};
        TransferProgress last;
        options.onProgress = [&](const TransferProgress& progress) { last = progress; };
        const std::size_t before = server.requests().size();

        S3Request request = requestTo(server, "PUT", "/b/streamed");
        if (c.failAt == std::string::npos) {
            EXPECT_EQ(tarn::HttpExchange::perform(request, options).statusCode, 200);
            const RecordedRequest received = server.requests().back();
            ASSERT_NE(received.header("Content-Length"), nullptr);
            EXPECT_EQ(*received.header("Content-Length"), std::to_string(body.size()));
            EXPECT_TRUE(received.body == body);
            EXPECT_EQ(last.sent, static_cast<std::int64_t>(body.size()));
            EXPECT_EQ(last.sendTotal, static_cast<std::int64_t>(body.size()));
        } else {
            // The error ends the exchange; the server never sees a whole request.
            EXPECT_THROW(tarn::HttpExchange::perform(request, options), std::runtime_error) << c.name;
            EXPECT_EQ(server.requests().size(), before) << c.name;
        }
        EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end())) << c.name;
    }

    // A request cannot carry a body of its own and a body source.
    S3Request both = requestTo(server, "PUT", "/b/both");
    both.body = bytes("x");
    ExchangeOptions options;
    options.body = tarn::BodySource{1, [](std::int64_t, std::span<std::uint8_t> buffer) { return buffer.size(); }};
    EXPECT_THROW(tarn::HttpExchange::perform(both, options), std::invalid_argument);
}
