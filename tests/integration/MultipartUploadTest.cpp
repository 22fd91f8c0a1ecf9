#include "FaultProxy.h"
#include "S3TestBuckets.h"
#include "TestEnvironment.h"

#include "core/storage/CancelledError.h"
#include "core/storage/HttpExchange.h"
#include "core/storage/MultipartSession.h"
#include "core/storage/MultipartUploader.h"
#include "core/storage/PartUploadError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/S3RequestBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

using tarn::MultipartUploader;
using tarn::PartRetryPolicy;
using tarn::PartUploadError;
using tarn::S3Client;
using tarn::UploadPart;
using tarn::test::FaultProxy;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// The smallest part the server accepts in a completed upload (except the last).
constexpr std::int64_t kPartSize = 5 * 1024 * 1024;
// Four parts, the last a short one.
constexpr std::int64_t kFileSize = 3 * kPartSize + 123457;
constexpr const char* kKey = "uploads/big file.bin";

PartRetryPolicy quickPolicy() {
    PartRetryPolicy policy;
    policy.baseDelays = {0.05};
    policy.jitter = 0;
    return policy;
}

// A file of bytes that differ from part to part, so a part sent twice or in the
// wrong place shows in the stored object.
class LocalFile {
public:
    LocalFile() : m_path(std::filesystem::temp_directory_path() / ("tarn-multipart-" + std::to_string(::getpid()) +
                                                                  "-" + std::to_string(s_next++) + ".bin")) {
        std::mt19937_64 random(kFileSize);
        m_bytes.resize(static_cast<std::size_t>(kFileSize));
        for (char& byte : m_bytes) byte = static_cast<char>(random());
        std::ofstream(m_path, std::ios::binary).write(m_bytes.data(), static_cast<std::streamsize>(m_bytes.size()));
    }
    ~LocalFile() { std::filesystem::remove(m_path); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    const std::string& bytes() const { return m_bytes; }

private:
    static inline std::atomic<int> s_next = 0;
    std::filesystem::path m_path;
    std::string m_bytes;
};

std::string storedObject(const tarn::test::S3TestServer& server, const tarn::BucketConfig& bucket,
                         const std::string& key) {
    const tarn::S3Request request = tarn::S3RequestBuilder::request(
        "GET", tarn::S3RequestBuilder::objectURL(bucket, key), bucket, tarn::test::credentialsOf(server), {},
        std::nullopt, {}, std::chrono::system_clock::now());
    const tarn::HttpResponse response = tarn::HttpExchange::perform(request);
    EXPECT_EQ(response.statusCode, 200);
    return std::string(response.bodyText());
}

// One multipart upload of a local file to a bucket, through the fault proxy.
class ProxiedUpload {
public:
    ProxiedUpload(const tarn::test::S3TestServer& server, const std::string& stem)
        : m_server(server), bucket(tarn::test::createBucket(server, stem)), proxy(server.endpoint),
          proxied(bucket) {
        proxied.endpoint = *tarn::Url::parse(proxy.start());
        client.setLogger([this](std::string_view line) {
            const std::lock_guard lock(m_mutex);
            m_lines.emplace_back(line);
        });
        uploadId = client.createMultipartUpload(kKey, proxied, credentials(), "application/octet-stream");
    }

    tarn::S3Credentials credentials() const { return tarn::test::credentialsOf(m_server); }

    MultipartUploader uploader(int concurrency, PartRetryPolicy policy) {
        return MultipartUploader(client, proxied, credentials(), kKey, uploadId, file.path(), kFileSize, kPartSize,
                                 concurrency, std::move(policy));
    }

    std::vector<UploadPart> run(const MultipartUploader& uploader, std::vector<UploadPart> existing = {},
                                std::stop_token stop = {}) {
        return uploader.upload(
            existing,
            [this](std::int64_t bytes) { lastProgress = bytes; },
            [this](const UploadPart& part) { reported.push_back(part); }, stop);
    }

    std::vector<std::string> lines(const std::string& containing) const {
        const std::lock_guard lock(m_mutex);
        std::vector<std::string> found;
        for (const std::string& line : m_lines) {
            if (line.find(containing) != std::string::npos) found.push_back(line);
        }
        return found;
    }

    void completeAndCheck(std::vector<UploadPart> parts) {
        client.completeMultipartUpload(kKey, uploadId, std::move(parts), proxied, credentials());
        const std::string stored = storedObject(m_server, bucket, kKey);
        EXPECT_EQ(stored.size(), file.bytes().size());
        EXPECT_TRUE(stored == file.bytes()) << "the stored object differs from the local file";
    }

private:
    const tarn::test::S3TestServer& m_server;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;

public:
    const LocalFile file;
    const tarn::BucketConfig bucket;
    FaultProxy proxy;
    tarn::BucketConfig proxied;
    S3Client client;
    std::string uploadId;
    std::vector<UploadPart> reported;
    std::atomic<std::int64_t> lastProgress = -1;
};

}  // namespace

TEST(MultipartUpload, PartsThatFailOnTheWayStillGiveTheExactFile) {
    TARN_REQUIRE_S3_SERVER(server);
    ProxiedUpload upload(server, "mp-flaky");
    const auto error = upload.proxy.addRule({"PUT", "partNumber=2", FaultProxy::Action::InternalError, 1});
    const auto busy = upload.proxy.addRule({"PUT", "partNumber=3", FaultProxy::Action::ServiceUnavailable, 1, 0, 1});
    const auto dropped = upload.proxy.addRule({"PUT", "partNumber=4", FaultProxy::Action::DropMidBody, 1, 64 * 1024});

    const std::vector<UploadPart> parts = upload.run(upload.uploader(4, quickPolicy()));

    ASSERT_EQ(parts.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(parts[static_cast<std::size_t>(i)].number, i + 1);
    std::vector<UploadPart> reported = upload.reported;
    std::sort(reported.begin(), reported.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    EXPECT_EQ(reported, parts);
    EXPECT_EQ(upload.lastProgress, kFileSize);
    for (const auto rule : {error, busy, dropped}) EXPECT_EQ(upload.proxy.counts(rule), (FaultProxy::Counts{2, 1, 1}));

    EXPECT_THAT(upload.lines("分片 2 第 1/4 次 失败"),
                ElementsAre(HasSubstr("status=500 request-id=- error=InternalError ")));
    // The server's Retry-After of one second replaces the 0.05-second base delay.
    EXPECT_THAT(upload.lines("分片 3 第 1/4 次 失败"),
                ElementsAre(testing::AllOf(HasSubstr("status=503 "), testing::EndsWith("→ 重试，等待 1.00s"))));
    EXPECT_THAT(upload.lines("分片 4 第 1/4 次 失败"),
                ElementsAre(testing::AllOf(HasSubstr("status=- request-id=- error=curl "),
                                           testing::EndsWith("→ 重试，等待 0.05s"))));

    upload.completeAndCheck(parts);
}

TEST(MultipartUpload, StalledPartIsCutAndSentAgain) {
    TARN_REQUIRE_S3_SERVER(server);
    ProxiedUpload upload(server, "mp-stall");
    const auto stall = upload.proxy.addRule({"PUT", "partNumber=1", FaultProxy::Action::Stall, 1, 256 * 1024});
    // Long enough that only the stall the proxy makes is one, however busy the machine.
    PartRetryPolicy policy = quickPolicy();
    policy.stallTimeout = 5;

    const std::vector<UploadPart> parts = upload.run(upload.uploader(2, policy));

    EXPECT_EQ(upload.proxy.counts(stall), (FaultProxy::Counts{2, 1, 1}));
    EXPECT_THAT(upload.lines("分片 1 第 1/4 次 失败"),
                ElementsAre(HasSubstr(
                    "error=TarnManager.PartStalled 1 \"No progress for 5 s; connection closed.\" → 重试，等待 0.05s")));
    upload.completeAndCheck(parts);
}

TEST(MultipartUpload, PartThatKeepsFailingEndsTheRunAndStopsTheOthers) {
    TARN_REQUIRE_S3_SERVER(server);
    ProxiedUpload upload(server, "mp-fail");
    const auto failing =
        upload.proxy.addRule({"PUT", "partNumber=2", FaultProxy::Action::InternalError, FaultProxy::kAlways});
    // The other parts hang; only the failure of part 2 can end them in time.
    upload.proxy.addRule({"PUT", "partNumber=", FaultProxy::Action::Stall, FaultProxy::kAlways, 1024});
    PartRetryPolicy policy = quickPolicy();
    policy.maxAttempts = 3;

    try {
        upload.run(upload.uploader(4, policy));
        FAIL() << "a part that always fails did not fail the run";
    } catch (const PartUploadError& error) {
        EXPECT_EQ(error.partNumber(), 2);
        EXPECT_EQ(error.attempts(), 3);
        EXPECT_EQ(error.cause(), PartUploadError::Cause::transfer);
    }
    EXPECT_EQ(upload.proxy.counts(failing).faulted, 3);
    EXPECT_THAT(upload.lines("分片 2 第 3/3 次 失败"), ElementsAre(testing::EndsWith("→ 次数用尽，不再重试")));
    for (const int part : {1, 3, 4}) {
        EXPECT_EQ(upload.lines("分片 " + std::to_string(part) + " 第 1/3 次 取消 ").size(), 1u) << part;
    }
    EXPECT_TRUE(upload.reported.empty());
}

TEST(MultipartUpload, SecondRunSendsOnlyTheMissingParts) {
    TARN_REQUIRE_S3_SERVER(server);
    ProxiedUpload upload(server, "mp-resume");
    upload.proxy.addRule({"PUT", "partNumber=3", FaultProxy::Action::InternalError, 1});
    PartRetryPolicy once = quickPolicy();
    once.maxAttempts = 1;
    const tarn::MultipartSession session{upload.uploadId, kKey, kKey, kPartSize,
                                         tarn::MultipartSession::FileStamp::of(upload.file.path())};

    // One part at a time: parts 1 and 2 are stored, part 3 fails, part 4 never starts.
    EXPECT_THROW(upload.run(upload.uploader(1, once)), PartUploadError);
    ASSERT_EQ(upload.reported.size(), 2u);
    const std::size_t sentBefore = upload.proxy.forwardedRequests().size();

    ASSERT_TRUE(session.canResume(kKey, tarn::MultipartSession::FileStamp::of(upload.file.path()), {}));
    const MultipartUploader again(upload.client, upload.proxied, upload.credentials(), session.key, session.uploadId,
                                  upload.file.path(), session.file.size, session.partSize, 4, quickPolicy());
    const std::vector<UploadPart> parts = upload.run(again, upload.reported);

    std::vector<std::string> sent = upload.proxy.forwardedRequests();
    sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(sentBefore));
    std::sort(sent.begin(), sent.end());
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_THAT(sent[0], testing::StartsWith("PUT /uploads/big%20file.bin?partNumber=3&"));
    EXPECT_THAT(sent[1], testing::StartsWith("PUT /uploads/big%20file.bin?partNumber=4&"));
    upload.completeAndCheck(parts);
}

TEST(MultipartUpload, StopRequestEndsEveryPartInFlight) {
    TARN_REQUIRE_S3_SERVER(server);
    ProxiedUpload upload(server, "mp-cancel");
    upload.proxy.addRule({"PUT", "partNumber=", FaultProxy::Action::Stall, FaultProxy::kAlways, 4096});
    const MultipartUploader uploader = upload.uploader(3, quickPolicy());
    std::stop_source stop;
    std::exception_ptr outcome;
    std::jthread run([&] {
        try {
            upload.run(uploader, {}, stop.get_token());
        } catch (...) {
            outcome = std::current_exception();
        }
    });
    ASSERT_TRUE(upload.proxy.waitForStalls(3, std::chrono::seconds(10)));
    stop.request_stop();
    run.join();

    ASSERT_TRUE(outcome);
    EXPECT_THROW(std::rethrow_exception(outcome), tarn::CancelledError);
    EXPECT_EQ(upload.lines(" 取消 key=").size(), 3u);
}

TEST(MultipartUpload, AbortDropsTheUploadAndABadCompletionIsRefused) {
    TARN_REQUIRE_S3_SERVER(server);
    const tarn::BucketConfig bucket = tarn::test::createBucket(server, "mp-abort");
    const tarn::S3Credentials credentials = tarn::test::credentialsOf(server);
    S3Client client;
    const std::string uploadId = client.createMultipartUpload("a.bin", bucket, credentials, std::nullopt);
    const auto listed = [&] {
        const tarn::MultipartUploadListing listing =
            client.listMultipartUploads(bucket, credentials, std::nullopt, std::nullopt);
        return std::any_of(listing.uploads.begin(), listing.uploads.end(),
                           [&](const tarn::MultipartUpload& upload) { return upload.uploadId == uploadId; });
    };
    ASSERT_TRUE(listed());

    try {
        client.completeMultipartUpload("a.bin", uploadId, {{1, "\"not-a-part\""}}, bucket, credentials);
        FAIL() << "a completion naming a part that does not exist was accepted";
    } catch (const tarn::S3Error& error) {
        EXPECT_EQ(error.statusCode(), 400);
        EXPECT_EQ(error.errorCode(), "InvalidPart");
    }

    client.abortMultipartUpload("a.bin", uploadId, bucket, credentials);
    EXPECT_FALSE(listed());
}
