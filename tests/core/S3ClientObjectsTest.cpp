#include "LoopbackHttpServer.h"
#include "ScopedEnv.h"
#include "TestFiles.h"

#include "core/crypto/Crypto.h"
#include "core/storage/CancelledError.h"
#include "core/storage/DeleteObjectsError.h"
#include "core/storage/DownloadOverrunError.h"
#include "core/storage/DownloadTarget.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <filesystem>
#include <thread>

using tarn::S3Client;
using tarn::S3Error;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using testing::ElementsAre;
using testing::HasSubstr;

namespace fs = std::filesystem;

namespace {

const tarn::S3Credentials credentials{"AKIDEXAMPLE", "secret"};

// Path-style on 127.0.0.1, so every request target starts with "/media/".
tarn::BucketConfig mediaBucket(const LoopbackHttpServer& server) {
    return {.bucketName = "media", .endpoint = *tarn::Url::parse(server.endpoint()), .region = "us-east-1"};
}

std::vector<std::string> requestLines(const LoopbackHttpServer& server) {
    std::vector<std::string> lines;
    for (const RecordedRequest& request : server.requests()) lines.push_back(request.method + " " + request.target);
    return lines;
}

std::string headerOf(const RecordedRequest& request, std::string_view name) {
    const std::string* value = request.header(name);
    return value == nullptr ? "(none)" : *value;
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        names.push_back(fs::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::string copyResult =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><CopyObjectResult><ETag>\"e\"</ETag></CopyObjectResult>";
const std::string errorInsideSuccess =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error><Code>InternalError</Code><Message>copy "
    "broke</Message></Error>";

}  // namespace

TEST(S3ClientObjectRequests, MoveCopiesAndDeletesTheSourceOnlyAfterTheCopySucceeded) {
    struct Case {
        int status;
        std::string body;
        bool succeeds;
    };
    const Case cases[] = {
        {200, copyResult, true},
        {200,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CopyObjectResult xmlns=\"http://s3.amazonaws.com/doc/2006-03-01/\">"
         "<LastModified>2024-05-01T10:00:00.000Z</LastModified><ETag>\"e\"</ETag></CopyObjectResult>",
         true},
        // The server answered 200 and then failed: the copy does not exist.
        {200, errorInsideSuccess, false},
        {200, "<?xml version=\"1.0\"?><!DOCTYPE Error><Error><Code>InternalError</Code></Error>", false},
        // A 200 that does not say the copy was made: nothing, a proxy's page, another
        // document, a result cut short.
        {200, "", false},
        {200, "<html><body>Welcome</body></html>", false},
        {200, "<!DOCTYPE html><html><body><p>Welcome<br></body></html>", false},
        {200, "<ListBucketResult></ListBucketResult>", false},
        {200, "<CopyObjectResult><ETag>\"e\"</ETag>", false},
        {503, "<Error><Code>SlowDown</Code></Error>", false},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&](const RecordedRequest& request) {
            if (request.method == "PUT") return LoopbackHttpServer::answer(c.status, {}, c.body);
            return LoopbackHttpServer::answer(204, {}, "");
        });
        S3Client client;
        const auto move = [&] {
            client.moveObject("in dir/a+b ü.txt", "out/a+b ü.txt", mediaBucket(server), credentials);
        };
        if (c.succeeds) {
            EXPECT_NO_THROW(move()) << c.body;
        } else {
            EXPECT_THROW(move(), S3Error) << c.body;
        }

        // The source's head first, for the storage class its copy keeps.
        const std::vector<RecordedRequest> requests = server.requests();
        ASSERT_GE(requests.size(), 2u);
        // This server is not the maker's, so the copy source carries no move suffix.
        EXPECT_EQ(headerOf(requests[1], "x-amz-copy-source"), "/media/in%20dir/a%2Bb%20%C3%BC.txt");
        if (c.succeeds) {
            EXPECT_THAT(requestLines(server),
                        ElementsAre("HEAD /media/in%20dir/a%2Bb%20%C3%BC.txt", "PUT /media/out/a%2Bb%20%C3%BC.txt",
                                    "DELETE /media/in%20dir/a%2Bb%20%C3%BC.txt"));
        } else {
            EXPECT_THAT(requestLines(server),
                        ElementsAre("HEAD /media/in%20dir/a%2Bb%20%C3%BC.txt", "PUT /media/out/a%2Bb%20%C3%BC.txt"))
                << c.body;
        }
    }

    // Moving onto the same key would copy onto itself and then delete the only copy.
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, copyResult); });
    S3Client().moveObject("same.txt", "same.txt", mediaBucket(server), credentials);
    EXPECT_TRUE(server.requests().empty());
}

TEST(S3ClientObjectRequests, AStopWhileTheServerCopiesStillEndsTheMoveInOnePlace) {
    std::atomic<bool> copyArrived = false;
    std::atomic<bool> stopped = false;
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        if (request.method != "PUT") return LoopbackHttpServer::answer(204, {}, "");
        // The copy is made on the server; its answer comes only after the stop.
        copyArrived = true;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!stopped && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return LoopbackHttpServer::answer(200, {}, copyResult);
    });
    std::stop_source stop;
    std::jthread stopper([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!copyArrived && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stop.request_stop();
        stopped = true;
    });
    S3Client().moveObject("a.txt", "b.txt", mediaBucket(server), credentials, stop.get_token());
    EXPECT_THAT(requestLines(server), ElementsAre("HEAD /media/a.txt", "PUT /media/b.txt", "DELETE /media/a.txt"));

    // Before the copy is asked for, a stop still ends the move with nothing done.
    LoopbackHttpServer untouched([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, copyResult); });
    EXPECT_THROW(S3Client().moveObject("a.txt", "b.txt", mediaBucket(untouched), credentials, stop.get_token()),
                 tarn::CancelledError);
    EXPECT_TRUE(untouched.requests().empty());
}

TEST(S3ClientObjectRequests, OnlyTheMakersServiceIsAskedToMoveTheObjectItself) {
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, copyResult); });
    // The maker's host does not resolve here: the loopback server stands in as the proxy.
    const tarn::test::ScopedEnv proxy("http_proxy", server.endpoint().c_str());
    const tarn::test::ScopedEnv noProxy("no_proxy", nullptr);
    const tarn::test::ScopedEnv noProxyUpper("NO_PROXY", nullptr);
    const tarn::BucketConfig bucket{
        .bucketName = "media", .endpoint = *tarn::Url::parse("http://s3.corvane.example"), .region = "us-east-1"};

    S3Client().moveObject("in dir/a.txt", "out/a.txt", bucket, credentials);
    // One request: the service moves it, so no delete follows.
    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "PUT");
    EXPECT_THAT(requests[0].target, HasSubstr("corvane.example/out/a.txt"));
    EXPECT_EQ(headerOf(requests[0], "x-amz-copy-source"), "/media/in%20dir/a.txt?move=true");
}

TEST(S3ClientObjectRequests, KeysAreSentExactlyAndFolderNamesMustNameAFolder) {
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, ""); });
    S3Client client;
    // A squashed "a/../b" would address, and delete, the object "b".
    client.deleteObject("a/../b/./c", mediaBucket(server), credentials);
    client.createFolder("/new/", "docs", mediaBucket(server), credentials);
    for (const std::string name : {"", "/", "..", "a/./b", "../up"}) {
        EXPECT_THROW(client.createFolder(name, "docs/", mediaBucket(server), credentials), std::invalid_argument)
            << name;
    }
    // An empty key would address the bucket itself.
    EXPECT_THROW(client.deleteObject("", mediaBucket(server), credentials), std::invalid_argument);
    EXPECT_THAT(requestLines(server), ElementsAre("DELETE /media/a/../b/./c", "PUT /media/docs/new/"));
    EXPECT_EQ(headerOf(server.requests()[1], "Content-Type"), "application/x-directory");
    EXPECT_EQ(server.requests()[1].body, "");
}

TEST(S3ClientObjectRequests, BatchDeleteSendsBatchesOf1000AndNamesTheKeysNotDeleted) {
    std::vector<std::string> keys;
    for (int i = 0; i < 2500; ++i) keys.push_back("k" + std::to_string(10000 + i) + (i % 2 ? " & <x>" : ""));
    // The first batch refuses two keys, the last five.
    const auto refusing = [&](std::size_t first, std::size_t count) {
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><DeleteResult>";
        for (std::size_t i = first; i < first + count; ++i) {
            xml += "<Error><Key>" + std::to_string(10000 + i) +
                   "</Key><Code>AccessDenied</Code><Message>no</Message></Error>";
        }
        return xml + "</DeleteResult>";
    };
    int batch = 0;
    LoopbackHttpServer server([&](const RecordedRequest&) {
        const std::string body = ++batch == 1 ? refusing(0, 2) : batch == 3 ? refusing(2000, 5) : refusing(0, 0);
        return LoopbackHttpServer::answer(200, {{"Content-Type", "application/xml"}}, body);
    });
    S3Client client;
    try {
        client.deleteObjects(keys, mediaBucket(server), credentials);
        ADD_FAILURE() << "refused keys must fail the operation";
    } catch (const tarn::DeleteObjectsError& error) {
        EXPECT_EQ(error.failures().size(), 7u);
        EXPECT_EQ(error.failures()[0], (tarn::DeleteFailure{"10000", "AccessDenied", "no"}));
        EXPECT_STREQ(error.what(),
                     "7 of 2500 objects were not deleted: \"10000\" (AccessDenied), \"10001\" (AccessDenied), "
                     "\"12000\" (AccessDenied), \"12001\" (AccessDenied), \"12002\" (AccessDenied) and 2 more.");
    }

    // Every batch was sent, in key order, each with the MD5 of exactly its bytes.
    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    const std::size_t sizes[] = {1000, 1000, 500};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].method + " " + requests[i].target, "POST /media?delete");
        EXPECT_EQ(headerOf(requests[i], "Content-MD5"), tarn::Crypto::base64(tarn::Crypto::md5(requests[i].body)));
        EXPECT_EQ(headerOf(requests[i], "Content-Type"), "application/xml");
        std::size_t count = 0;
        for (std::size_t at = requests[i].body.find("<Object>"); at != std::string::npos;
             at = requests[i].body.find("<Object>", at + 1)) {
            ++count;
        }
        EXPECT_EQ(count, sizes[i]);
    }
    EXPECT_THAT(requests[1].body, HasSubstr("<Key>k11000</Key>"));
    EXPECT_THAT(requests[0].body, HasSubstr("<Key>k10001 &amp; &lt;x&gt;</Key>"));

    // An empty list sends nothing.
    client.deleteObjects({}, mediaBucket(server), credentials);
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST(S3ClientObjectRequests, BatchDeleteTakesAnEmptySuccessAsAllDeleted) {
    // Quiet mode lists only failures; some servers then send no document at all.
    for (const std::string body : {"", "\r\n"}) {
        LoopbackHttpServer server([&](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, body); });
        const std::vector<std::string> keys(1500, "k");
        EXPECT_NO_THROW(S3Client().deleteObjects(keys, mediaBucket(server), credentials));
        EXPECT_EQ(server.requests().size(), 2u);
    }
}

TEST(S3ClientObjectRequests, BatchDeleteFailsOnAnswersThatSayNothingWasDeleted) {
    struct Case {
        std::string body;
        S3Error::Kind kind;
    };
    const Case cases[] = {
        {errorInsideSuccess, S3Error::Kind::requestFailed},
        {"<?xml version=\"1.0\"?><ListBucketResult/>", S3Error::Kind::unexpectedResponse},
    };
    for (const Case& c : cases) {
        LoopbackHttpServer server([&](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, c.body); });
        const std::vector<std::string> keys(1500, "k");
        try {
            S3Client().deleteObjects(keys, mediaBucket(server), credentials);
            ADD_FAILURE() << c.body;
        } catch (const S3Error& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.body;
        }
        // The failing first batch ends the operation.
        EXPECT_EQ(server.requests().size(), 1u) << c.body;
    }
}

TEST(S3ClientObjectRequests, HeadReadsStoredHeadersAndStopsWhenTheServerIgnoresTheRange) {
    // A server that ignores the range starts sending a 1 GiB object and never
    // finishes: the head must not wait for the body.
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Length: 1073741824\r\nContent-Type: image/png\r\nETag: \"abc\"\r\n"
        "X-Amz-Meta-Author: Ann\r\nx-amz-meta-color: blue\r\nCache-Control: max-age=60\r\n"
        "Content-Disposition: attachment\r\nContent-Encoding: gzip\r\nContent-Language: de\r\n"
        "Expires: Thu, 01 Dec 2033 16:00:00 GMT\r\n\r\n";
    LoopbackHttpServer server([&](const RecordedRequest&) {
        return tarn::test::ScriptedAnswer{head + std::string(256 * 1024, 'x'), head.size() + 256 * 1024};
    });
    std::stop_source giveUp;
    std::jthread watchdog([&](std::stop_token done) {
        for (int i = 0; i < 200 && !done.stop_requested(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        giveUp.request_stop();
    });

    const tarn::ObjectItem item{"pics/a.png", 7, std::nullopt, std::nullopt, std::string("listed")};
    const tarn::ObjectDetails details = S3Client().details(item, mediaBucket(server), credentials, giveUp.get_token());
    watchdog.request_stop();

    EXPECT_EQ(details.item, item);
    EXPECT_EQ(details.contentType, "image/png");
    EXPECT_EQ(details.eTag, "\"abc\"");
    EXPECT_EQ(details.metadata, (std::map<std::string, std::string>{{"Author", "Ann"}, {"color", "blue"}}));
    EXPECT_EQ(details.cacheControl, "max-age=60");
    EXPECT_EQ(details.contentDisposition, "attachment");
    EXPECT_EQ(details.contentEncoding, "gzip");
    EXPECT_EQ(details.contentLanguage, "de");
    EXPECT_EQ(details.expires, "Thu, 01 Dec 2033 16:00:00 GMT");
    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(headerOf(requests[0], "Range"), "bytes=0-0");
}

TEST(S3ClientObjectRequests, HeadOfAnEmptyObjectIsReadWithHeadAfterTheRangeIsRefused) {
    LoopbackHttpServer server([](const RecordedRequest& request) {
        if (request.method == "GET") {
            return LoopbackHttpServer::answer(416, {{"Content-Type", "application/xml"}},
                                              "<Error><Code>InvalidRange</Code></Error>");
        }
        return LoopbackHttpServer::answer(200, {{"Content-Type", "text/plain"}, {"x-amz-meta-k", "v"}}, "");
    });
    const tarn::ObjectItem item{"empty.txt", 0, std::nullopt, std::nullopt,
                                std::string("d41d8cd98f00b204e9800998ecf8427e")};
    const tarn::ObjectDetails details = S3Client().details(item, mediaBucket(server), credentials);
    EXPECT_EQ(details.contentType, "text/plain");
    // No ETag header: the listed one stands in.
    EXPECT_EQ(details.eTag, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(details.metadata, (std::map<std::string, std::string>{{"k", "v"}}));
    EXPECT_THAT(requestLines(server), ElementsAre("GET /media/empty.txt", "HEAD /media/empty.txt"));

    // Any other refusal is the caller's error.
    LoopbackHttpServer refusing([](const RecordedRequest&) { return LoopbackHttpServer::answer(403, {}, "denied"); });
    EXPECT_THROW(S3Client().details(item, mediaBucket(refusing), credentials), S3Error);
    EXPECT_EQ(refusing.requests().size(), 1u);
}

TEST(S3ClientObjectRequests, MetadataReplacementSendsTheStoredHeadersAgain) {
    std::string copyAnswer = copyResult;
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        if (request.method == "GET") {
            return LoopbackHttpServer::answer(206,
                                              {{"Content-Type", "text/markdown"},
                                               {"Cache-Control", "no-cache"},
                                               {"Content-Disposition", "inline"},
                                               {"Content-Encoding", "gzip"},
                                               {"Content-Language", "fr"},
                                               {"Expires", "Wed, 21 Oct 2037 07:28:00 GMT"},
                                               {"x-amz-meta-old", "1"}},
                                              "x");
        }
        return LoopbackHttpServer::answer(200, {}, copyAnswer);
    });
    S3Client client;
    const std::map<std::string, std::string> metadata{{"color", "blue"}, {"Reviewed-By", "Ann Lee"}};
    client.updateMetadata("dir/a b.md", metadata, std::nullopt, mediaBucket(server), credentials);
    client.updateMetadata("dir/a b.md", {}, "text/plain", mediaBucket(server), credentials);

    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const std::size_t copy : {1, 3}) {
        const RecordedRequest& put = requests[copy];
        EXPECT_EQ(put.method + " " + put.target, "PUT /media/dir/a%20b.md");
        EXPECT_EQ(headerOf(put, "x-amz-copy-source"), "/media/dir/a%20b.md");
        EXPECT_EQ(headerOf(put, "x-amz-metadata-directive"), "REPLACE");
        EXPECT_EQ(headerOf(put, "Cache-Control"), "no-cache");
        EXPECT_EQ(headerOf(put, "Content-Disposition"), "inline");
        EXPECT_EQ(headerOf(put, "Content-Encoding"), "gzip");
        EXPECT_EQ(headerOf(put, "Content-Language"), "fr");
        EXPECT_EQ(headerOf(put, "Expires"), "Wed, 21 Oct 2037 07:28:00 GMT");
        EXPECT_EQ(headerOf(put, "x-amz-meta-old"), "(none)");
    }
    EXPECT_EQ(headerOf(requests[1], "Content-Type"), "text/markdown");
    EXPECT_EQ(headerOf(requests[1], "x-amz-meta-color"), "blue");
    EXPECT_EQ(headerOf(requests[1], "x-amz-meta-Reviewed-By"), "Ann Lee");
    EXPECT_EQ(headerOf(requests[3], "Content-Type"), "text/plain");
    EXPECT_EQ(headerOf(requests[3], "x-amz-meta-color"), "(none)");

    // A replacement the server did not confirm did not happen.
    for (const std::string& answer : {errorInsideSuccess, std::string(), std::string("<html>ok</html>")}) {
        copyAnswer = answer;
        EXPECT_THROW(client.updateMetadata("dir/a b.md", metadata, std::nullopt, mediaBucket(server), credentials),
                     S3Error)
            << answer;
    }
}

TEST(S3ClientObjectRequests, MetadataThatCannotBeSentIsRefusedBeforeAnyRequest) {
    const std::map<std::string, std::string> refused[] = {
        {{"", "v"}},      {{"two words", "v"}}, {{"naïve", "v"}},        {{"a:b", "v"}},
        {{"a/b", "v"}},   {{"x\r\ny", "v"}},    {{"ok", "line\nbreak"}}, {{"ok", "tab\there"}},
        {{"ok", "café"}}, {{"ok", "bell\x07"}}, {{"ok", "del\x7f"}},     {{"Color", "a"}, {"color", "b"}},
    };
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, ""); });
    S3Client client;
    for (const auto& metadata : refused) {
        try {
            client.updateMetadata("a.txt", metadata, std::nullopt, mediaBucket(server), credentials);
            ADD_FAILURE() << metadata.begin()->first;
        } catch (const std::invalid_argument& error) {
            // The message names the entry ("color", of the two that are one name).
            EXPECT_THAT(error.what(), HasSubstr("\"" + metadata.rbegin()->first + "\"")) << metadata.begin()->first;
        }
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST(S3ClientObjectRequests, FailedDownloadsLeaveThePreviousFileAndNoTemporaryFile) {
    const std::string body(100000, 'n');
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    enum class Failure { cutByServer, refused, stopped };
    for (const Failure failure : {Failure::cutByServer, Failure::refused, Failure::stopped}) {
        LoopbackHttpServer server([&](const RecordedRequest&) {
            switch (failure) {
                case Failure::cutByServer:
                    return tarn::test::ScriptedAnswer{head + body.substr(0, 40000), std::nullopt, true};
                case Failure::refused:
                    return LoopbackHttpServer::answer(403, {}, "<Error><Code>AccessDenied</Code></Error>");
                case Failure::stopped:
                    break;
            }
            return tarn::test::ScriptedAnswer{head + body.substr(0, 40000), head.size() + 40000};
        });
        tarn::test::TemporaryFolder folder;
        const fs::path target = folder.path() / "report.pdf";
        tarn::test::writeFile(target, "previous");
        std::stop_source stop;
        std::int64_t written = 0;
        S3Client client;
        const auto onBytes = [&](std::int64_t bytes, std::int64_t expected) {
            written = bytes;
            EXPECT_EQ(expected, 100000);
            if (failure == Failure::stopped && bytes >= 30000) stop.request_stop();
        };

        const auto toFile = [&] {
            client.downloadToFile("report.pdf", target, mediaBucket(server), credentials, onBytes, stop.get_token());
        };
        const auto intoFolder = [&] {
            client.downloadObject(
                "docs/report.pdf", mediaBucket(server), credentials, folder.path(), std::nullopt, [](double) {},
                stop.get_token());
        };
        switch (failure) {
            case Failure::cutByServer:
                EXPECT_THROW(toFile(), tarn::TransportError);
                EXPECT_EQ(written, 40000);
                EXPECT_THROW(intoFolder(), tarn::TransportError);
                break;
            case Failure::refused:
                EXPECT_THROW(toFile(), S3Error);
                EXPECT_THROW(intoFolder(), S3Error);
                // The target's folder is made only for an object that is really coming.
                EXPECT_THROW(client.downloadToFile("x", folder.path() / "new" / "x", mediaBucket(server), credentials),
                             S3Error);
                break;
            case Failure::stopped:
                EXPECT_THROW(toFile(), tarn::CancelledError);
                break;
        }
        EXPECT_EQ(tarn::test::readFile(target), "previous");
        EXPECT_THAT(filesIn(folder.path()), ElementsAre("report.pdf"));
    }
}

TEST(S3ClientObjectRequests, ADownloadOfAListedObjectStopsAtItsListedSize) {
    // Listed at 10 bytes; the answer says more, or its body goes on: a megabyte until
    // the server closes, or without end.
    const std::string megabyte(1 << 20, 'x');
    // The last chunk never comes: the server writes this much and falls silent.
    const std::string endless = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n" + megabyte + "\r\n";
    struct Case {
        const char* name;
        tarn::test::ScriptedAnswer answer;
        bool fits;
    };
    const Case cases[] = {
        {"as listed", LoopbackHttpServer::answer(200, {}, "0123456789"), true},
        {"announced larger", LoopbackHttpServer::answer(200, {}, megabyte), false},
        {"until closed", {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + megabyte, std::nullopt, true}, false},
        {"without end", {endless, endless.size()}, false},
    };
    const tarn::ObjectItem listed{"docs/report.pdf", 10};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server([&](const RecordedRequest&) { return c.answer; });
        tarn::test::TemporaryFolder folder;
        S3Client client;
        const auto intoFolder = [&] {
            return client.downloadObject(listed, mediaBucket(server), credentials, folder.path() / "preview",
                                         "copy.pdf", [](double) {});
        };
        const auto toTarget = [&] {
            client.downloadToFile(listed, tarn::DownloadTarget::inFolder(folder.path(), "chosen/report.pdf"),
                                  mediaBucket(server), credentials);
        };
        if (c.fits) {
            EXPECT_EQ(tarn::test::readFile(intoFolder()), "0123456789");
            toTarget();
            EXPECT_EQ(tarn::test::readFile(folder.path() / "chosen" / "report.pdf"), "0123456789");
            continue;
        }
        for (const std::function<void()>& download : std::vector<std::function<void()>>{intoFolder, toTarget}) {
            try {
                download();
                ADD_FAILURE() << "more than listed was taken";
            } catch (const tarn::DownloadOverrunError& error) {
                EXPECT_EQ(error.key(), "docs/report.pdf");
                EXPECT_EQ(error.announced(), 10);
            }
        }
        // Nothing of it is kept, not even a staged file.
        for (const auto& entry : fs::recursive_directory_iterator(folder.path())) {
            EXPECT_TRUE(entry.is_directory()) << entry.path();
        }
    }
}

TEST(S3ClientObjectRequests, DownloadIntoAFolderRefusesNamesThatLeaveItBeforeAnyRequest) {
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, "data"); });
    tarn::test::TemporaryFolder folder;
    const fs::path inside = folder.path() / "inside";
    S3Client client;
    // Without a name the key's last piece is used: ".." is refused, "a/" gives "a".
    EXPECT_THROW(client.downloadObject("x/..", mediaBucket(server), credentials, inside), std::invalid_argument);
    for (const std::string name : {"../escape.txt", "a/../../escape.txt", "/tmp/escape.txt", "a/", ""}) {
        EXPECT_THROW(client.downloadObject("k", mediaBucket(server), credentials, inside, name), std::invalid_argument)
            << name;
    }
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(filesIn(folder.path()).empty());

    EXPECT_EQ(client.downloadObject("docs/a/", mediaBucket(server), credentials, inside), inside / "a");
    EXPECT_EQ(tarn::test::readFile(inside / "a"), "data");
}

// A link already in the chosen folder ("docs" pointing beside it or anywhere) must
// not carry a download out of it: refused before the request when it is there, and
// when it is planted while the request is under way.
TEST(S3ClientObjectRequests, DownloadIntoAFolderNeverFollowsALinkBelowIt) {
    tarn::test::TemporaryFolder root;
    const fs::path chosen = root.path() / "chosen";
    const fs::path elsewhere = root.path() / "elsewhere";
    fs::create_directories(chosen);
    fs::create_directories(elsewhere);
    std::atomic<bool> plantLink = false;
    LoopbackHttpServer server([&](const RecordedRequest&) {
        if (plantLink) fs::create_directory_symlink(elsewhere, chosen / "late");
        return LoopbackHttpServer::answer(200, {}, "payload");
    });
    S3Client client;
    const auto bucket = mediaBucket(server);

    for (const fs::path& link : {fs::path("../elsewhere"), elsewhere}) {
        SCOPED_TRACE(link);
        fs::create_directory_symlink(link, chosen / "docs");
        const auto refused = [](const std::invalid_argument& error) {
            EXPECT_THAT(error.what(), HasSubstr("\"docs\" is a symbolic link, which is not followed"));
        };
        try {
            client.downloadObject("docs/notes.txt", bucket, credentials, chosen, "docs/notes.txt");
            ADD_FAILURE() << "saved through the link";
        } catch (const std::invalid_argument& error) {
            refused(error);
        }
        try {
            client.downloadToFile("docs/notes.txt", tarn::DownloadTarget::inFolder(chosen, "docs/sub/notes.txt"),
                                  bucket, credentials);
            ADD_FAILURE() << "saved through the link";
        } catch (const std::invalid_argument& error) {
            refused(error);
        }
        fs::remove(chosen / "docs");
    }
    EXPECT_TRUE(server.requests().empty());

    plantLink = true;
    EXPECT_THROW(client.downloadToFile("late/notes.txt", tarn::DownloadTarget::inFolder(chosen, "late/notes.txt"),
                                       bucket, credentials),
                 std::invalid_argument);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    // Nothing was left beside the link either.
    EXPECT_EQ(std::distance(fs::directory_iterator(chosen), fs::directory_iterator()), 1);

    // Without links the folders below the chosen one are made as the key says.
    plantLink = false;
    client.downloadToFile("a/b/c.txt", tarn::DownloadTarget::inFolder(chosen, "a/b/c.txt"), bucket, credentials);
    EXPECT_EQ(tarn::test::readFile(chosen / "a" / "b" / "c.txt"), "payload");
}

// A name that could never be saved is refused before its body is fetched.
TEST(S3ClientObjectRequests, DownloadRefusesOverlongNamesBeforeAnyRequest) {
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, "data"); });
    tarn::test::TemporaryFolder folder;
    S3Client client;
    const std::string longName(256, 'n');
    EXPECT_THROW(client.downloadObject(longName, mediaBucket(server), credentials, folder.path()),
                 std::invalid_argument);
    EXPECT_THROW(client.downloadObject("k", mediaBucket(server), credentials, folder.path(), "docs/" + longName),
                 std::invalid_argument);
    EXPECT_THROW(client.downloadToFile("k", folder.path() / longName, mediaBucket(server), credentials),
                 std::invalid_argument);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(filesIn(folder.path()).empty());
}
