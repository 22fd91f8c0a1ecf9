#include "ui/window/UnixSignalWatcher.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace tarn {
namespace {

TEST(UnixSignalWatcher, DeliversSignalsOnTheEventLoopAndPutsTheOldHandlersBack)
{
    struct sigaction before {};
    ::sigaction(SIGINT, nullptr, &before);
    {
        UnixSignalWatcher watcher({SIGTERM, SIGINT});
        ASSERT_TRUE(watcher.isWatching());
        // A second watcher would steal the pipe from the first.
        UnixSignalWatcher second({SIGINT});
        EXPECT_FALSE(second.isWatching());

        QSignalSpy received(&watcher, &UnixSignalWatcher::received);
        std::raise(SIGINT);
        std::raise(SIGTERM);
        EXPECT_EQ(received.count(), 0) << "nothing happens inside the handler";
        ASSERT_TRUE(QTest::qWaitFor([&] { return received.count() == 2; }, 2000));
        EXPECT_EQ(received.at(0).at(0).toInt(), SIGINT);
        EXPECT_EQ(received.at(1).at(0).toInt(), SIGTERM);
    }
    struct sigaction after {};
    ::sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace tarn
