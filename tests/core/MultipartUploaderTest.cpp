#include "LoopbackHttpServer.h"
#include "MultipartTestSupport.h"
#include "TestFiles.h"

#include "core/storage/CancelledError.h"
#include "core/storage/FileChangedError.h"
#include "core/storage/FileTooLargeError.h"
#include "core/storage/MultipartUploader.h"
#include "core/storage/PartStalledError.h"
#include "core/storage/PartUploadError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"
#include "core/storage/TransportError.h"

#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

using tarn::MultipartUploader;
using tarn::PartRetryPolicy;
using tarn::PartUploadError;
using tarn::S3Client;
using tarn::UploadPart;
using tarn::test::LoopbackHttpServer;
using tarn::test::RecordedRequest;
using tarn::test::ScriptedAnswer;
using testing::ElementsAre;
using testing::MatchesRegex;

namespace {

constexpr const char* kKey = "videos/clip.mp4";
// "耗时=" and the seconds of an attempt.
constexpr const char* kElapsed = "耗时=[0-9]+\\.[0-9][0-9]s";

ScriptedAnswer stored(int part) {
    return LoopbackHttpServer::answer(200, {{"ETag", "\"etag-" + std::to_string(part) + "\""},
                                            {"x-amz-request-id", "R" + std::to_string(part)}},
                                      "");
}

ScriptedAnswer refused(int status, const std::string& code, const std::string& message,
                       std::vector<tarn::HttpHeader> headers = {}) {
    return LoopbackHttpServer::answer(status, headers,
                                      "<Error><Code>" + code + "</Code><Message>" + message + "</Message></Error>");
}

// Silent after reading the request, as a server that never answers.
const ScriptedAnswer kSilence{"", 0};

// Fast retries with fixed waits, so tests can read the waits in the log.
PartRetryPolicy quickPolicy() {
    PartRetryPolicy policy;
    policy.baseDelays = {0.01, 0.02, 0.04};
    policy.jitter = 0;
    return policy;
}

// Threads of the engine still alive in this process.
int partThreads() {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == "tarn-part") ++count;
    }
    return count;
}

// A local file of `size` bytes and an uploader for it against the loopback server.
class UploadFixture {
public:
    UploadFixture(LoopbackHttpServer& server, std::int64_t size, std::int64_t partSize = 1000, int concurrency = 1,
                  PartRetryPolicy policy = quickPolicy())
        : m_file(m_folder.path() / "clip.mp4"), log(client),
          uploader(client, tarn::test::loopbackBucket(server), tarn::test::kMultipartCredentials, kKey, "U1", m_file,
                   size, partSize, concurrency, std::move(policy)) {
        tarn::test::writeFile(m_file, std::string(static_cast<std::size_t>(size), 'v'));
    }

    const std::filesystem::path& file() const { return m_file; }

    std::vector<UploadPart> upload(const std::vector<UploadPart>& existing = {}, std::stop_token stop = {}) {
        return uploader.upload(
            existing,
            [this](std::int64_t bytes) {
                // Called one at a time: a second caller inside would see `reporting` set.
                if (reporting.exchange(true)) overlappingReports = true;
                progress.push_back(bytes);
                lastProgress = bytes;
                reporting = false;
            },
            [this](const UploadPart& part) {
                reported.push_back(part);
                ++reportedCount;
            },
            stop);
    }

private:
    tarn::test::TemporaryFolder m_folder;
    std::filesystem::path m_file;

public:
    S3Client client;
    tarn::test::LogLines log;
    MultipartUploader uploader;
    std::vector<UploadPart> reported;
    std::atomic<int> reportedCount = 0;
    std::atomic<std::int64_t> lastProgress = -1;
    std::vector<std::int64_t> progress;
    std::atomic<bool> reporting = false;
    std::atomic<bool> overlappingReports = false;
};

// Answers each part from its own script, one answer per attempt; the last answer
// repeats.
class PartScripts {
public:
    explicit PartScripts(std::map<int, std::vector<ScriptedAnswer>> scripts) : m_scripts(std::move(scripts)) {}

    ScriptedAnswer operator()(const RecordedRequest& request) {
        const int part = tarn::test::partNumberIn(request.target);
        const std::lock_guard lock(m_mutex);
        const auto found = m_scripts.find(part);
        if (found == m_scripts.end()) return stored(part);
        const std::size_t attempt = m_attempts[part]++;
        return found->second[std::min(attempt, found->second.size() - 1)];
    }

private:
    std::mutex m_mutex;
    std::map<int, std::vector<ScriptedAnswer>> m_scripts;
    std::map<int, std::size_t> m_attempts;
};

}  // namespace

TEST(MultipartUploader, LogsEveryAttemptAndRetriesOnlyPassingFailures) {
    PartScripts scripts({
        {2, {refused(500, "InternalError", "boom"), stored(2)}},
        {3, {refused(403, "AccessDenied", "Access Denied", {{"x-amz-request-id", "R3"}})}},
    });
    LoopbackHttpServer server([&](const RecordedRequest& request) { return scripts(request); });
    UploadFixture upload(server, 2500);

    try {
        upload.upload();
        FAIL() << "a refused part was not reported";
    } catch (const PartUploadError& error) {
        EXPECT_EQ(error.partNumber(), 3);
        EXPECT_EQ(error.attempts(), 1);
        EXPECT_EQ(error.cause(), PartUploadError::Cause::transfer);
        EXPECT_STREQ(error.what(),
                     "Part 3 failed after 1 attempt(s): Storage request failed (403 AccessDenied). Access Denied");
    }
    const std::string elapsed = kElapsed;
    EXPECT_THAT(
        upload.log.all(),
        ElementsAre("分片 1 第 1/4 次 开始 key=videos/clip.mp4 bytes=1000",
                    MatchesRegex("分片 1 第 1/4 次 成功 key=videos/clip.mp4 bytes=1000 " + elapsed +
                                 " status=200 request-id=R1"),
                    "分片 2 第 1/4 次 开始 key=videos/clip.mp4 bytes=1000",
                    MatchesRegex("分片 2 第 1/4 次 失败 key=videos/clip.mp4 bytes=1000 " + elapsed +
                                 " status=500 request-id=- error=InternalError boom → 重试，等待 0.01s"),
                    "分片 2 第 2/4 次 开始 key=videos/clip.mp4 bytes=1000",
                    MatchesRegex("分片 2 第 2/4 次 成功 key=videos/clip.mp4 bytes=1000 " + elapsed +
                                 " status=200 request-id=R2"),
                    "分片 3 第 1/4 次 开始 key=videos/clip.mp4 bytes=500",
                    MatchesRegex("分片 3 第 1/4 次 失败 key=videos/clip.mp4 bytes=500 " + elapsed +
                                 " status=403 request-id=R3 error=AccessDenied Access Denied → 不重试")));
    // Parts stored before the failure were handed over for a later run.
    EXPECT_EQ(upload.reported, (std::vector<UploadPart>{{1, "\"etag-1\""}, {2, "\"etag-2\""}}));
}

TEST(MultipartUploader, GivesUpAfterTheLastAttempt) {
    PartScripts scripts({{1, {refused(503, "SlowDown", "Reduce your request rate.")}}});
    LoopbackHttpServer server([&](const RecordedRequest& request) { return scripts(request); });
    UploadFixture upload(server, 10);

    EXPECT_THROW(upload.upload(), PartUploadError);
    const std::vector<std::string> failures = upload.log.startingWith("分片 1 第 ");
    ASSERT_EQ(failures.size(), 8u);
    EXPECT_THAT(failures[1], testing::EndsWith("error=SlowDown Reduce your request rate. → 重试，等待 0.01s"));
    EXPECT_THAT(failures[3], testing::EndsWith(" → 重试，等待 0.02s"));
    EXPECT_THAT(failures[5], testing::EndsWith(" → 重试，等待 0.04s"));
    EXPECT_THAT(failures[7], testing::StartsWith("分片 1 第 4/4 次 失败 "));
    EXPECT_THAT(failures[7], testing::EndsWith(" → 次数用尽，不再重试"));
    EXPECT_EQ(server.requests().size(), 4u);
}

TEST(MultipartUploader, TheServersRetryAfterTakesThePlaceOfTheBaseDelay) {
    PartRetryPolicy policy = quickPolicy();
    policy.baseDelays = {100};  // a test that waited for these would time out
    policy.retryAfterCap = 0.05;
    PartScripts scripts({
        {1, {refused(429, "SlowDown", "later", {{"Retry-After", "0"}}), stored(1)}},
        {2, {refused(503, "SlowDown", "later", {{"Retry-After", "120"}}), stored(2)}},
    });
    LoopbackHttpServer server([&](const RecordedRequest& request) { return scripts(request); });
    UploadFixture upload(server, 2000, 1000, 1, policy);

    EXPECT_EQ(upload.upload(), (std::vector<UploadPart>{{1, "\"etag-1\""}, {2, "\"etag-2\""}}));
    EXPECT_THAT(upload.log.startingWith("分片 1 第 1/4 次 失败"), ElementsAre(testing::EndsWith("等待 0.00s")));
    // 120 s asked for, capped.
    EXPECT_THAT(upload.log.startingWith("分片 2 第 1/4 次 失败"), ElementsAre(testing::EndsWith("等待 0.05s")));
    EXPECT_EQ(upload.lastProgress, 2000);
}

TEST(MultipartUploader, StoredPartWithoutETagIsNotRetried) {
    LoopbackHttpServer server([](const RecordedRequest&) { return LoopbackHttpServer::answer(200, {}, ""); });
    UploadFixture upload(server, 10);
    try {
        upload.upload();
        FAIL() << "a part without ETag was accepted";
    } catch (const PartUploadError& error) {
        EXPECT_EQ(error.attempts(), 1);
        try {
            std::rethrow_exception(error.underlying());
        } catch (const tarn::S3Error& cause) {
            EXPECT_EQ(cause.kind(), tarn::S3Error::Kind::unexpectedResponse);
        }
    }
    EXPECT_THAT(upload.log.all().back(), testing::EndsWith(" status=200 request-id=- error=- → 不重试"));
}

TEST(MultipartUploader, FirstPartToFailForGoodStopsTheOthers) {
    std::atomic<const std::atomic<int>*> partsReported = nullptr;
    std::atomic<int> silenced = 0;
    LoopbackHttpServer server([&](const RecordedRequest& request) {
        switch (tarn::test::partNumberIn(request.target)) {
        case 1:
            return stored(1);
        case 3: {
            // Refused only once part 1 has been stored and handed over, and parts 2
            // and 4 are on their way (however slowly a busy machine starts them).
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while ((*partsReported.load() == 0 || silenced < 2) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            return refused(403, "AccessDenied", "no");
        }
        default:
            ++silenced;
            return kSilence;
        }
    });
    // Parts 2 and 4 would only be cut by the 30-second stall limit.
    UploadFixture upload(server, 4000, 1000, 4);
    partsReported = &upload.reportedCount;

    try {
        upload.upload();
        FAIL() << "the failure of part 3 was not reported";
    } catch (const PartUploadError& error) {
        EXPECT_EQ(error.partNumber(), 3);
    }
    EXPECT_EQ(upload.reported, (std::vector<UploadPart>{{1, "\"etag-1\""}}));
    for (const char* part : {"2", "4"}) {
        EXPECT_THAT(upload.log.startingWith(std::string("分片 ") + part + " 第 1/4 次 取消"),
                    ElementsAre(MatchesRegex(std::string(".* key=videos/clip.mp4 bytes=1000 ") + kElapsed)))
            << part;
    }
    EXPECT_EQ(partThreads(), 0);
}

TEST(MultipartUploader, StopRequestEndsTheRunInTransferAndInRetryWaits) {
    for (const bool waiting : {false, true}) {
        PartRetryPolicy policy = quickPolicy();
        policy.baseDelays = {60};
        LoopbackHttpServer server([&](const RecordedRequest&) {
            return waiting ? refused(500, "InternalError", "busy") : kSilence;
        });
        UploadFixture upload(server, 3000, 1000, 2, policy);
        std::stop_source stop;
        std::exception_ptr outcome;
        std::jthread run([&] {
            try {
                upload.upload({}, stop.get_token());
            } catch (...) {
                outcome = std::current_exception();
            }
        });
        // Both parts in flight (or both waiting to retry) before the stop request.
        const std::string marker = waiting ? "→ 重试，等待 60.00s" : " 开始 ";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        const auto marked = [&] {
            const std::vector<std::string> lines = upload.log.all();
            return std::count_if(lines.begin(), lines.end(),
                                 [&](const std::string& line) { return line.find(marker) != std::string::npos; });
        };
        while (marked() < 2 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!waiting) {
            // The cancel line reports the bytes sent: wait until the server holds both
            // whole parts, then give curl's progress callback time to count them.
            while (server.requests().size() < 2 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        stop.request_stop();
        run.join();

        ASSERT_TRUE(outcome);
        EXPECT_THROW(std::rethrow_exception(outcome), tarn::CancelledError) << waiting;
        const std::string cancelLine = waiting ? "分片 1 第 1/4 次 等待重试时取消 key=videos/clip.mp4"
                                               : "分片 1 第 1/4 次 取消 key=videos/clip.mp4 bytes=1000 ";
        EXPECT_THAT(upload.log.startingWith(cancelLine.substr(0, cancelLine.find(" key="))),
                    ElementsAre(testing::StartsWith(cancelLine)))
            << waiting;
        // Part 3 was never started.
        EXPECT_TRUE(upload.log.startingWith("分片 3 ").empty());
        EXPECT_TRUE(upload.reported.empty());
        EXPECT_EQ(partThreads(), 0);
    }
}

TEST(MultipartUploader, PartThatCannotBeReadFailsWithoutAnAttempt) {
    struct Case {
        const char* name;
        std::int64_t actualSize;  // the file measured 2500 bytes
        int failingPart;
        std::string cause;        // as the log names it
    };
    // A changed file is not an error of the system's: no errno stands for it.
    for (const Case& c : std::initializer_list<Case>{
             {"shrunk", 2000, 3, "file changed 1"},
             {"grown", 2600, 3, "file changed 1"},
             {"gone", -1, 1, "errno " + std::to_string(ENOENT)},
             // Swapped, after it was queued, for a link to a file of the same size
             // (a private key beside it), or for a pipe nobody writes to.
             {"link", -2, 1, "errno " + std::to_string(ELOOP)},
             {"pipe", -3, 1, "errno " + std::to_string(EINVAL)},
         }) {
        LoopbackHttpServer server([](const RecordedRequest& request) {
            return stored(tarn::test::partNumberIn(request.target));
        });
        UploadFixture upload(server, 2500);
        if (c.actualSize < 0) {
            std::filesystem::remove(upload.file());
            const std::filesystem::path secret = upload.file().parent_path() / "id_ed25519";
            if (c.actualSize == -2) {
                tarn::test::writeFile(secret, std::string(2500, 'k'));
                std::filesystem::create_symlink(secret, upload.file());
            }
            if (c.actualSize == -3) {
                ASSERT_EQ(::mkfifo(upload.file().c_str(), 0600), 0);
            }
        } else {
            std::filesystem::resize_file(upload.file(), static_cast<std::uintmax_t>(c.actualSize));
        }
        try {
            upload.upload();
            FAIL() << c.name << ": the changed file was uploaded";
        } catch (const PartUploadError& error) {
            EXPECT_EQ(error.partNumber(), c.failingPart) << c.name;
            EXPECT_EQ(error.attempts(), 0) << c.name;
            EXPECT_EQ(error.cause(), PartUploadError::Cause::localFile) << c.name;
            const bool changed = c.actualSize >= 0;
            try {
                std::rethrow_exception(error.underlying());
            } catch (const tarn::FileChangedError& cause) {
                EXPECT_TRUE(changed) << c.name;
                EXPECT_EQ(cause.path1(), upload.file()) << c.name;
            } catch (const std::filesystem::filesystem_error& cause) {
                EXPECT_FALSE(changed) << c.name;
                EXPECT_EQ(cause.path1(), upload.file()) << c.name;
            }
        }
        EXPECT_THAT(upload.log.all().back(),
                    MatchesRegex("分片 " + std::to_string(c.failingPart) +
                                 " 读取本地文件失败 key=videos/clip.mp4 " + c.cause + " \".*\" → 不重试"))
            << c.name;
        EXPECT_EQ(server.requests().size(), static_cast<std::size_t>(c.failingPart - 1)) << c.name;
    }
}

TEST(MultipartUploader, SendsEachPartsOwnBytesWhicheverWayTheFileIsRead) {
    // Parts of whole 4 KiB blocks are read past the page cache where the file system
    // allows it, others through it; a short last part ends either way of reading.
    struct Case {
        std::int64_t partSize;
        std::int64_t fileSize;
    };
    // Parts larger than the piece a thread holds go out a piece at a time, whether
    // their pieces start on whole blocks or not.
    constexpr auto piece = static_cast<std::int64_t>(MultipartUploader::pieceSize);
    for (const Case& c : {Case{8192, 3 * 8192}, Case{8192, 2 * 8192 + 3616}, Case{1000, 2500}, Case{8192, 100},
                          Case{piece * 5 / 2, 6 * piece}, Case{piece + 1000, 3 * piece + 17}}) {
        LoopbackHttpServer server([](const RecordedRequest& request) {
            return stored(tarn::test::partNumberIn(request.target));
        });
        UploadFixture upload(server, c.fileSize, c.partSize, 2);
        std::string content(static_cast<std::size_t>(c.fileSize), '\0');
        for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
        tarn::test::writeFile(upload.file(), content);

        EXPECT_EQ(upload.upload().size(), static_cast<std::size_t>(upload.uploader.partCount())) << c.fileSize;
        for (const RecordedRequest& request : server.requests()) {
            const int part = tarn::test::partNumberIn(request.target);
            const std::string expected =
                content.substr(static_cast<std::size_t>((part - 1) * c.partSize), static_cast<std::size_t>(c.partSize));
            EXPECT_TRUE(request.body == expected) << "part " << part << " of " << c.fileSize;
        }
    }
}

TEST(MultipartUploader, APartWhoseFileChangesWhileItGoesOutFailsBeforeItsLastByte) {
    // The part is hashed first and read again as it goes out: a write in between would
    // send bytes that are not the ones signed (and a server that does not check would
    // store them).
    LoopbackHttpServer server([](const RecordedRequest& request) {
        return stored(tarn::test::partNumberIn(request.target));
    });
    constexpr auto size = static_cast<std::int64_t>(4 * MultipartUploader::pieceSize);
    UploadFixture upload(server, size, size, 1);
    // An old date, which the write below moves on however coarse the clock.
    std::filesystem::last_write_time(upload.file(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    std::atomic<bool> written = false;
    const auto write = [&](std::int64_t bytes) {
        if (bytes == 0 || written.exchange(true)) return;
        std::fstream file(upload.file(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(0);
        file.put('w');
    };
    try {
        upload.uploader.upload({}, write, {});
        FAIL() << "a part of a changing file was sent";
    } catch (const PartUploadError& error) {
        EXPECT_EQ(error.cause(), PartUploadError::Cause::localFile);
        EXPECT_EQ(error.attempts(), 1);
    }
    EXPECT_TRUE(written);
    EXPECT_TRUE(server.requests().empty()) << "the server has the whole part";
    EXPECT_THAT(upload.log.all().back(),
                MatchesRegex("分片 1 第 1/4 次 读取本地文件失败 key=videos/clip.mp4 file changed 1 \".*changed while it was "
                             "read.*\" → 不重试"));
}

TEST(MultipartUploader, SendsOnlyTheMissingParts) {
    LoopbackHttpServer server([](const RecordedRequest& request) {
        return stored(tarn::test::partNumberIn(request.target));
    });
    UploadFixture upload(server, 2500, 1000, 4);

    // Numbers outside 1 … 3 are not parts of this upload; the later of two entries wins.
    const std::vector<UploadPart> result =
        upload.upload({{0, "\"zero\""}, {2, "\"old\""}, {2, "\"kept\""}, {9, "\"nine\""}});
    EXPECT_EQ(result, (std::vector<UploadPart>{{1, "\"etag-1\""}, {2, "\"kept\""}, {3, "\"etag-3\""}}));
    std::vector<int> sent;
    for (const RecordedRequest& request : server.requests()) sent.push_back(tarn::test::partNumberIn(request.target));
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent, (std::vector<int>{1, 3}));
    EXPECT_EQ(upload.lastProgress, 2500);

    // Everything stored already: nothing to send.
    UploadFixture finished(server, 2500);
    EXPECT_EQ(finished.upload({{3, "c"}, {1, "a"}, {2, "b"}}), (std::vector<UploadPart>{{1, "a"}, {2, "b"}, {3, "c"}}));
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_TRUE(finished.reported.empty());
}

TEST(MultipartUploader, KeepsAtMostTheGivenNumberOfPartsInFlight) {
    struct Case {
        int concurrency;
        std::int64_t size;
        int expectedAtOnce;
    };
    for (const Case& c : std::initializer_list<Case>{{0, 3000, 1}, {4, 3000, 3}, {2, 5000, 2}}) {
        // Each part is held until as many as may be in flight are, however slowly the
        // machine brings them; then a moment longer, for one too many to show up.
        std::mutex mutex;
        std::condition_variable changed;
        const int parts = static_cast<int>(c.size / 1000);
        int active = 0;
        int arrived = 0;
        int most = 0;
        LoopbackHttpServer server([&](const RecordedRequest& request) {
            std::unique_lock lock(mutex);
            most = std::max(most, ++active);
            ++arrived;
            changed.notify_all();
            // The last parts may be fewer than the limit.
            changed.wait_for(lock, std::chrono::seconds(30),
                             [&] { return active >= c.expectedAtOnce || arrived == parts; });
            changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return active > c.expectedAtOnce; });
            --active;
            return stored(tarn::test::partNumberIn(request.target));
        });
        UploadFixture upload(server, c.size, 1000, c.concurrency);
        EXPECT_EQ(upload.upload().size(), static_cast<std::size_t>(c.size / 1000));
        const std::lock_guard lock(mutex);
        EXPECT_EQ(most, c.expectedAtOnce) << "concurrency " << c.concurrency;
    }
}

TEST(MultipartUploader, KeepsWithinThePartLimitsOfTheStoreAndTheMemoryBudget) {
    LoopbackHttpServer server([](const RecordedRequest&) { return stored(1); });
    S3Client client;
    const auto make = [&](std::int64_t fileSize, std::int64_t partSize) {
        return MultipartUploader(client, tarn::test::loopbackBucket(server), tarn::test::kMultipartCredentials, kKey,
                                 "U1", "/nonexistent/file", fileSize, partSize, 4);
    };
    constexpr std::int64_t MiB = 1024 * 1024;
    constexpr std::int64_t TiB = 1024 * 1024 * MiB;
    const MultipartUploader large = make(200 * 1024 * MiB, 10 * MiB);
    EXPECT_EQ(large.partSize(), 21 * MiB);
    EXPECT_EQ(large.partCount(), 9753);
    EXPECT_EQ(large.concurrency(), 4);

    // Parts enlarged to 105 MiB: four in flight would hold 420 MiB; two fit in 256.
    EXPECT_EQ(make(1 * TiB, 10 * MiB).plan(), (tarn::MultipartPlan{105 * MiB, 9987, 2}));
    // 525 MiB parts: one at a time, never none.
    EXPECT_EQ(make(5 * TiB, 10 * MiB).plan(), (tarn::MultipartPlan{525 * MiB, 9987, 1}));

    EXPECT_THROW(make(5 * TiB + 1, 10 * MiB), tarn::FileTooLargeError);
    EXPECT_TRUE(server.requests().empty());
}

TEST(MultipartUploader, ProgressListenersGetByteCountsTheyMayKeep) {
    // Parts answered at once or after a retry; the counts handed over are values, in
    // the order they were taken, and still valid once the run has returned.
    PartScripts scripts({{2, {refused(500, "InternalError", "again"), stored(2)}}});
    LoopbackHttpServer server([&](const RecordedRequest& request) { return scripts(request); });
    UploadFixture upload(server, 4500, 1000, 3);
    upload.upload({{1, "\"etag-1\""}});

    std::int64_t last = 0;
    std::thread([&] { last = upload.progress.back(); }).join();
    EXPECT_EQ(last, 4500);
    EXPECT_FALSE(upload.overlappingReports);
    ASSERT_FALSE(upload.progress.empty());
    // Part 1 was stored before the run: the count starts from its bytes.
    EXPECT_GE(*std::min_element(upload.progress.begin(), upload.progress.end()), 1000);
    EXPECT_LE(*std::max_element(upload.progress.begin(), upload.progress.end()), 4500);
}

TEST(MultipartUploader, DescribesAnErrorWithTheErrorsUnderIt) {
    std::exception_ptr chain;
    try {
        try {
            throw std::runtime_error("level 1");
        } catch (...) {
            std::throw_with_nested(std::system_error(ECONNRESET, std::generic_category(), "level 2"));
        }
    } catch (...) {
        chain = std::current_exception();
    }
    for (int level = 3; level <= 6; ++level) {
        try {
            std::rethrow_exception(chain);
        } catch (...) {
            try {
                std::throw_with_nested(std::runtime_error("level " + std::to_string(level)));
            } catch (...) {
                chain = std::current_exception();
            }
        }
    }
    // Six levels, five written.
    EXPECT_EQ(MultipartUploader::describeChain(chain),
              "exception 0 \"level 6\" ← exception 0 ← exception 0 ← exception 0 ← errno 104");

    EXPECT_EQ(MultipartUploader::describeChain(std::make_exception_ptr(tarn::PartStalledError(30))),
              "TarnManager.PartStalled 1 \"No progress for 30 s; connection closed.\"");
    const tarn::TransportError reset = tarn::TransportError::failed(CURLE_RECV_ERROR, "Connection reset by peer", ECONNRESET);
    EXPECT_EQ(MultipartUploader::describeChain(std::make_exception_ptr(reset)),
              "curl 56 \"" + std::string(reset.what()) + "\" ← errno 104");
}
