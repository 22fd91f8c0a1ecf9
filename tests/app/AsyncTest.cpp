#include "FinishWithin.h"

#include "core/storage/CancelledError.h"
#include "core/storage/S3Client.h"
#include "core/storage/S3Error.h"

#include "integration/S3TestBuckets.h"
#include "integration/TestEnvironment.h"

#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace std::chrono_literals;
using tarn::test::finishWithin;

namespace tarn {
namespace {

class Async : public ::testing::Test {
protected:
    QThreadPool m_pool;
};

TEST_F(Async, BackgroundWorkRunsOffTheMainThreadAndComesBackToIt) {
    auto work = [](QThreadPool& pool) -> QCoro::Task<std::pair<QThread*, QThread*>> {
        QThread* worker = co_await inBackground(pool, [] { return QThread::currentThread(); });
        co_return std::pair(worker, QThread::currentThread());
    };
    const auto threads = finishWithin(work(m_pool));
    ASSERT_TRUE(threads);
    EXPECT_NE(threads->first, QThread::currentThread());
    EXPECT_EQ(threads->second, QThread::currentThread());
}

TEST_F(Async, ResultsAreMovedNotCopied) {
    const auto result = finishWithin(inBackground(m_pool, [] { return std::make_unique<int>(7); }));
    ASSERT_TRUE(result && *result);
    EXPECT_EQ(**result, 7);
}

TEST_F(Async, TheWorkKeepsWhatItCapturedUntilItIsDone) {
    const std::string key(100, 'k');  // long enough to live on the heap
    auto work = [](QThreadPool& pool, std::string key) -> QCoro::Task<std::string> {
        auto withSlash = [key = std::move(key)] { return key + "/"; };
        co_return co_await inBackground(pool, withSlash);
    };
    EXPECT_EQ(finishWithin(work(m_pool, key)), key + "/");
}

TEST_F(Async, TheCoreExceptionArrivesAsItWasThrown) {
    try {
        finishWithin(inBackground(m_pool, []() -> int { throw S3Error::requestFailed(503, "<Error/>"); }));
        ADD_FAILURE() << "nothing was thrown";
    } catch (const S3Error& error) {
        EXPECT_EQ(error.kind(), S3Error::Kind::requestFailed);
        EXPECT_EQ(error.statusCode(), 503);
    }
    EXPECT_THROW(finishWithin(inBackground(m_pool, [] { throw CancelledError(); })), CancelledError);
}

TEST_F(Async, ARefusedRequestOfTheRealServerIsCaughtAsAStorageError) {
    TARN_REQUIRE_S3_SERVER(server);
    BucketConfig missing;
    missing.bucketName = test::uniqueBucketName("never-made");
    missing.endpoint = *Url::parse(server.endpoint);
    missing.region = "us-east-1";
    S3Client client;
    const S3Credentials credentials = test::credentialsOf(server);
    try {
        finishWithin(inBackground(m_pool, [&] { return client.listPage(missing, credentials, "", "/", std::nullopt); }));
        ADD_FAILURE() << "listing a missing bucket succeeded";
    } catch (const S3Error& error) {
        EXPECT_EQ(error.statusCode(), 404);
    }
}

TEST_F(Async, ASleepRunsItsWholeTimeUnlessStopped) {
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(finishWithin(stoppableSleep(200ms, {})), true);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);

    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(finishWithin(stoppableSleep(1h, stopped.get_token()), 1s), false);
}

TEST_F(Async, AStopRequestEndsASleepAtOnceFromAnyThread) {
    std::stop_source fromMain;
    QTimer::singleShot(50ms, [&] { fromMain.request_stop(); });
    EXPECT_EQ(finishWithin(stoppableSleep(1h, fromMain.get_token()), 5s), false);

    std::stop_source fromWorker;
    std::jthread worker([&] {
        std::this_thread::sleep_for(50ms);
        fromWorker.request_stop();
    });
    EXPECT_EQ(finishWithin(stoppableSleep(1h, fromWorker.get_token()), 5s), false);
}

TEST_F(Async, ADetachedOperationRunsToItsEnd) {
    auto finished = std::make_shared<bool>(false);
    startDetached([](std::shared_ptr<bool> finished) -> QCoro::Task<> {
        co_await stoppableSleep(50ms, {});
        *finished = true;
    }(finished));
    EXPECT_TRUE(QTest::qWaitFor([&] { return *finished; }, 5000));

    // A failure that escapes one is logged, not rethrown into the event loop.
    startDetached([]() -> QCoro::Task<> {
        co_await stoppableSleep(10ms, {});
        throw S3Error::unexpectedResponse();
    }());
    QTest::qWait(100);
}

}  // namespace
}  // namespace tarn
