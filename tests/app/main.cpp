#include <QCoreApplication>

#include <gtest/gtest.h>

// Application tests run the event loop of a real QCoreApplication, as the program does,
// so timers, queued signals and coroutines behave as they will there.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
