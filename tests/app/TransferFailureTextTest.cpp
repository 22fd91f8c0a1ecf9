#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/KeychainError.h"
#include "core/storage/CancelledError.h"
#include "core/storage/DeleteObjectsError.h"
#include "core/storage/DownloadTarget.h"
#include "core/storage/FileChangedError.h"
#include "core/storage/FileTooLargeError.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/PartStalledError.h"
#include "core/storage/PartUploadError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"
#include "core/storage/UserMetadata.h"
#include "core/text/ByteFormatter.h"

#include "core/TestFiles.h"

#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace tarn {
namespace {

// A one-connection-at-a-time HTTP server on loopback that misbehaves as told once it
// has read a request: the faults a network or a broken server hands to libcurl.
class MisbehavingServer {
public:
    enum class Fault {
        closeWithoutAnswer,  // the connection ends before any answer
        cutBody,             // 100 bytes announced, 10 sent
        reset,               // the connection is reset
        silence,             // nothing is ever answered
        bodyOf64Bytes,       // a whole, well-formed answer of 64 bytes
    };

    explicit MisbehavingServer(Fault fault) : m_fault(fault) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("the test server cannot listen");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~MisbehavingServer() {
        m_stopping = true;
        m_thread.join();
        ::close(m_listener);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/object"; }

private:
    // Waits for `fd` to become readable; false once the server is stopping.
    bool waitReadable(int fd) const {
        while (!m_stopping) {
            pollfd watched{fd, POLLIN, 0};
            if (::poll(&watched, 1, 20) > 0) return true;
        }
        return false;
    }

    void serve() {
        while (waitReadable(m_listener)) {
            const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos && waitReadable(connection)) {
                const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.append(buffer, static_cast<std::size_t>(got));
            }
            answer(connection);
            ::close(connection);
        }
    }

    void answer(int connection) const {
        auto send = [connection](const std::string& bytes) {
            [[maybe_unused]] const ssize_t sent = ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        };
        switch (m_fault) {
        case Fault::closeWithoutAnswer:
            break;
        case Fault::cutBody:
            send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
            break;
        case Fault::reset: {
            const linger abortive{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            break;
        }
        case Fault::silence:
            while (waitReadable(connection)) {
                char buffer[256];
                if (::recv(connection, buffer, sizeof buffer, 0) <= 0) break;
            }
            break;
        case Fault::bodyOf64Bytes:
            send("HTTP/1.1 200 OK\r\nContent-Length: 64\r\n\r\n" + std::string(64, 'x'));
            break;
        }
    }

    Fault m_fault;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

// What a GET of `url` throws, with a short idle limit.
std::exception_ptr failureOfGet(const std::string& url, ExchangeOptions options = {}) {
    S3Request request;
    request.url = url;
    request.idleTimeout = 1s;
    options.connectTimeout = 5s;
    try {
        HttpExchange::perform(request, options);
    } catch (...) {
        return std::current_exception();
    }
    ADD_FAILURE() << "GET " << url << " did not fail";
    return {};
}

// A loopback port that nothing listens on.
int closedPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

template <class Work>
std::exception_ptr failureOf(Work work) {
    try {
        work();
    } catch (...) {
        return std::current_exception();
    }
    ADD_FAILURE() << "the call did not fail";
    return {};
}

// The interface in English, as the texts below are written.
class TransferFailureTextTest : public ::testing::Test {
protected:
    void SetUp() override { L10n::setLanguageCode(QStringLiteral("en")); }
    void TearDown() override { L10n::setLanguageCode(QStringLiteral("zh")); }

    static std::string described(const std::exception_ptr& error) {
        return TransferCenter::describe(error).toStdString();
    }
};

using Fault = MisbehavingServer::Fault;

TEST_F(TransferFailureTextTest, CurlFailuresReadAsTheNetworkFaultTheyAre) {
    EXPECT_EQ(described(failureOfGet("http://127.0.0.1:" + std::to_string(closedPort()) + "/")),
              "Could not connect to the server (curl 7)");
    EXPECT_EQ(described(failureOfGet("http://tarn-unresolvable.invalid/")),
              "The server address could not be resolved (curl 6)");
    const struct {
        Fault fault;
        const char* text;
    } cases[] = {
        {Fault::silence, "The request timed out (curl 28)"},
        {Fault::closeWithoutAnswer, "The network connection was lost (curl 52)"},
        {Fault::cutBody, "The network connection was lost (curl 18)"},
        {Fault::reset, "The network connection was lost (curl 56)"},
    };
    for (const auto& c : cases) {
        MisbehavingServer server(c.fault);
        EXPECT_EQ(described(failureOfGet(server.url())), c.text) << static_cast<int>(c.fault);
    }
}

// No route to the network: loopback always has one, so the failure libcurl reports
// for it is made here as the transport makes it.
TEST_F(TransferFailureTextTest, ANetworkWithoutRouteReadsAsOffline) {
    for (int osErrno : {ENETUNREACH, EHOSTUNREACH}) {
        const auto error = std::make_exception_ptr(
            TransportError::failed(CURLE_COULDNT_CONNECT, "Failed to connect to 192.0.2.1 port 443", osErrno));
        EXPECT_EQ(described(error), "No internet connection (curl 7)") << osErrno;
    }
    const auto refused = std::make_exception_ptr(TransportError::failed(CURLE_COULDNT_CONNECT, "refused", ECONNREFUSED));
    EXPECT_EQ(described(refused), "Could not connect to the server (curl 7)");
    // A code of no network meaning keeps libcurl's own words.
    const auto other = std::make_exception_ptr(TransportError::failed(CURLE_SSL_CONNECT_ERROR, "handshake failed", 0));
    EXPECT_EQ(described(other), "handshake failed (curl 35)");
}

TEST_F(TransferFailureTextTest, ACancellationIsNeverANetworkFailure) {
    std::stop_source stopped;
    stopped.request_stop();
    ExchangeOptions options;
    options.stopToken = stopped.get_token();
    EXPECT_EQ(described(failureOfGet("http://127.0.0.1:" + std::to_string(closedPort()) + "/", options)), "Cancelled");

    // Stopped while a silent server keeps it waiting, before the idle limit.
    MisbehavingServer server(Fault::silence);
    std::stop_source stop;
    ExchangeOptions waiting;
    waiting.stopToken = stop.get_token();
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const std::exception_ptr error = failureOfGet(server.url(), waiting);
    stopper.join();
    EXPECT_EQ(described(error), "Cancelled");
    EXPECT_EQ(described(std::make_exception_ptr(CancelledError())), "Cancelled");
}

TEST_F(TransferFailureTextTest, ErrnoFailuresKeepTheirTextAndNumber) {
    test::TemporaryFolder folder;
    { std::ofstream(folder.path() / "blocked") << "a file, not a folder"; }
    const std::exception_ptr error =
        failureOf([&] { DownloadTarget::file(folder.path() / "blocked" / "inside" / "a.txt").openParentFolder(); });
    const std::string text = described(error);
    int code = 0;
    try {
        std::rethrow_exception(error);
    } catch (const std::system_error& failure) {
        code = failure.code().value();
    }
    ASSERT_NE(code, 0);
    EXPECT_TRUE(text.ends_with(" (errno " + std::to_string(code) + ")")) << text;
    EXPECT_NE(text.find("blocked"), std::string::npos) << text;
}

// The local causes a user can act on read in the interface language with the path;
// the system's own words (and errno) stay for the rest.
TEST_F(TransferFailureTextTest, LocalFileFailuresReadAsTheirCauseWithThePath) {
    const std::filesystem::path path = "/home/ann/照片/a b.jpg";
    const QString shown = QString::fromStdString(path.string());
    const struct {
        int error;
        const char* key;
    } cases[] = {
        {ENOSPC, "local_no_space"},       {EDQUOT, "local_no_space"},  {EACCES, "local_no_permission"},
        {EPERM, "local_no_permission"},   {ENOENT, "local_not_found"}, {EROFS, "local_read_only"},
    };
    for (const QString& language : {QStringLiteral("en"), QStringLiteral("zh")}) {
        L10n::setLanguageCode(language);
        for (const auto& c : cases) {
            const auto error = std::make_exception_ptr(std::filesystem::filesystem_error(
                "Could not write the file", path, std::error_code(c.error, std::generic_category())));
            const QString text = TransferCenter::describe(error);
            EXPECT_EQ(text, L10n::t(QString::fromLatin1(c.key), shown)) << c.key;
            EXPECT_TRUE(text.contains(shown)) << c.key;
            EXPECT_FALSE(text.contains(QStringLiteral("errno"))) << c.key;
        }
        const QString changed = TransferCenter::describe(std::make_exception_ptr(FileChangedError(path)));
        EXPECT_EQ(changed, L10n::t(QStringLiteral("local_file_changed"), shown));
        EXPECT_FALSE(changed.contains(QStringLiteral("temporarily"))) << changed.toStdString();
    }
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(TransferCenter::describe(std::make_exception_ptr(std::filesystem::filesystem_error(
                  "Could not write the file", path, std::error_code(ENOSPC, std::generic_category())))),
              QStringLiteral("磁盘空间不足，无法写入“/home/ann/照片/a b.jpg”。"));
    L10n::setLanguageCode(QStringLiteral("en"));

    // Any other errno keeps the system's words and number.
    const std::string other = described(std::make_exception_ptr(std::filesystem::filesystem_error(
        "Could not write the file", path, std::error_code(EMFILE, std::generic_category()))));
    EXPECT_TRUE(other.ends_with(" (errno " + std::to_string(EMFILE) + ")")) << other;
}

TEST_F(TransferFailureTextTest, PartFailuresNameThePartAndTheirCause) {
    MisbehavingServer server(Fault::silence);
    const auto timedOut = failureOfGet(server.url());
    EXPECT_EQ(described(std::make_exception_ptr(PartUploadError(7, 3, PartUploadError::Cause::transfer, timedOut))),
              "Part 7 failed after 3 attempt(s): The request timed out (curl 28)");

    const auto unreadable = failureOf([] { return std::filesystem::file_size("/nonexistent/tarn-part"); });
    EXPECT_EQ(described(std::make_exception_ptr(PartUploadError(2, 0, PartUploadError::Cause::localFile, unreadable))),
              "Part 2: unable to read the local file: “/nonexistent/tarn-part” is no longer there; it may have been "
              "moved or deleted.");
    const auto other = std::make_exception_ptr(std::runtime_error("the cause's own words"));
    EXPECT_EQ(described(std::make_exception_ptr(PartUploadError(4, 0, PartUploadError::Cause::localFile, other))),
              "Part 4: unable to read the local file: the cause's own words");

    EXPECT_EQ(described(std::make_exception_ptr(PartStalledError(29.5))),
              "No progress for 30 seconds, connection closed");
    EXPECT_EQ(described(std::make_exception_ptr(PartStalledError(29.4))),
              "No progress for 29 seconds, connection closed");
}

TEST_F(TransferFailureTextTest, RefusedRequestsShowTheirCodeOrOneShortLineOfTheirBody) {
    QString longCjk;
    QString longEmoji;
    for (int i = 0; i < 130; ++i) {
        longCjk += QStringLiteral("表");
        longEmoji += QStringLiteral("👍🏽");
    }
    const struct {
        int status;
        std::string body;
        std::string text;
    } cases[] = {
        {403, "<Error><Code>AccessDenied</Code></Error>", "Storage request failed (403 AccessDenied): "},
        {404, "<?xml version=\"1.0\"?><Error><Code>NoSuchKey</Code><Message>The key does not exist.</Message></Error>",
         "Storage request failed (404 NoSuchKey): The key does not exist."},
        {404, "", "Storage request failed (404): "},
        {502, "\n\n  Bad gateway\nupstream down\r\nretry later  \n\n",
         "Storage request failed (502): Bad gateway upstream down retry later"},
        {500, longCjk.toStdString(), "Storage request failed (500): " + longCjk.left(120).toStdString()},
        {500, longEmoji.toStdString(), "Storage request failed (500): " + longEmoji.left(120 * 4).toStdString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(described(std::make_exception_ptr(S3Error::requestFailed(c.status, c.body))), c.text) << c.body;
    }
    // The other storage and keyring errors read in the interface's words; the
    // keyring's own text goes to the debug log only.
    EXPECT_EQ(described(std::make_exception_ptr(S3Error::invalidURL())), "Invalid endpoint URL.");
    EXPECT_EQ(described(std::make_exception_ptr(S3Error::missingSecret())), "Missing access secret.");
    const KeychainError locked(KeychainError::Kind::failed, "locked");
    EXPECT_EQ(described(std::make_exception_ptr(locked)), "The system keyring returned an error: locked");
    EXPECT_EQ(described(std::make_exception_ptr(KeychainError(KeychainError::Kind::unavailable, "org.freedesktop.DBus"))),
              "The system keyring (Secret Service) is not available.");
}

// The refusals the program makes itself, each in words of its own.
TEST_F(TransferFailureTextTest, RefusalsSayWhatWasRefused) {
    test::TemporaryFolder folder;
    std::filesystem::create_directories(folder.path() / "downloads");
    std::filesystem::create_symlink(folder.path(), folder.path() / "downloads" / "elsewhere");
    const BucketConfig bucket;
    const S3Credentials credentials;
    S3Client client;

    const struct {
        std::function<void()> refused;
        std::string text;
    } cases[] = {
        {[&] { DownloadTarget::inFolder(folder.path() / "downloads", "../escape.txt"); },
         "“../escape.txt” cannot be saved: it is not a usable file name here"},
        {[&] { DownloadTarget::inFolder(folder.path() / "downloads", "elsewhere/a.txt").checkExistingPieces(); },
         "“elsewhere/a.txt” cannot be saved: a symbolic link in the download folder is not followed"},
        {[] { UserMetadata::check({{"bad name", "v"}}); },
         "The metadata name “bad name” is not allowed: use only ASCII letters, digits, hyphens and a few symbols, "
         "without spaces"},
        {[] { UserMetadata::check({{"note", "line\nbreak"}}); },
         "The value of the metadata “note” is not allowed: use only printable ASCII characters, without line breaks "
         "or tabs"},
        {[] { UserMetadata::check({{"Tag", "a"}, {"tag", "b"}}); },
         "The metadata name “tag” is given twice (letter case does not count)"},
        {[&] { client.createFolder("..", "", bucket, credentials); },
         "“..” cannot be used: “.” and “..” are not allowed as names"},
        {[&] { client.createFolder("", "", bucket, credentials); }, "A name cannot be empty"},
        {[] { throw DeleteObjectsError({{"a.txt", "AccessDenied", std::nullopt}, {"b.txt", std::nullopt, std::nullopt}},
                                       2500); },
         "2 of 2500 objects were not deleted, including: a.txt (AccessDenied), b.txt"},
        {[] {
             throw DeleteObjectsError({{"a", std::nullopt, "Busy"}, {"b", "AccessDenied", std::nullopt},
                                       {"c", std::nullopt, std::nullopt}, {"d", std::nullopt, std::nullopt}},
                                      4);
         },
         "4 of 4 objects were not deleted, including: a (Busy), b (AccessDenied), c …"},
        {[] { throw FileTooLargeError(6LL << 30, 5LL << 30, FileTooLargeError::Limit::singleRequest); },
         "The file is too large to upload in one request (" + ByteFormatter::string(6LL << 30) +
             "); one request carries at most " + ByteFormatter::string(5LL << 30)},
        {[] { throw FileTooLargeError(6LL << 40, 5LL << 40); },
         "The file is too large to upload (" + ByteFormatter::string(6LL << 40) + "); an object holds at most " +
             ByteFormatter::string(5LL << 40)},
    };
    for (const auto& c : cases) EXPECT_EQ(described(failureOf(c.refused)), c.text);

    MisbehavingServer server(Fault::bodyOf64Bytes);
    ExchangeOptions capped;
    capped.maxBodyBytes = 16;
    EXPECT_EQ(described(failureOfGet(server.url(), capped)),
              "The storage answer is larger than " + ByteFormatter::string(16) + " and was not read");
}

TEST_F(TransferFailureTextTest, TheSameRulesSpeakChinese) {
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(described(failureOfGet("http://127.0.0.1:" + std::to_string(closedPort()) + "/")),
              "无法连接到服务器 (curl 7)");
    EXPECT_EQ(described(std::make_exception_ptr(PartStalledError(29.5))), "连续 30 秒没有进展，已断开连接");
    EXPECT_EQ(described(std::make_exception_ptr(CancelledError())), "已取消");
}

TEST_F(TransferFailureTextTest, AnUploadsFailureTextNamesItsFirstFailedFile) {
    const TransferCenter::FailedItem first{QStringLiteral("a.txt"), QStringLiteral("R")};
    EXPECT_EQ(TransferCenter::uploadFailureText(2, 5, first), QStringLiteral("2 upload(s) failed, first: a.txt — R"));
    EXPECT_EQ(TransferCenter::uploadFailureText(1, 1, first), QStringLiteral("R"));
    EXPECT_EQ(TransferCenter::uploadFailureText(2, 5, std::nullopt), QStringLiteral("2 uploads failed"));
    // One of several: said in the singular.
    EXPECT_EQ(TransferCenter::uploadFailureText(1, 5, first), QStringLiteral("1 upload failed: a.txt — R"));
    EXPECT_EQ(TransferCenter::uploadFailureText(1, 5, std::nullopt), QStringLiteral("1 upload failed"));
}

}  // namespace
}  // namespace tarn
