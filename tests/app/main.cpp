#include "app/text/L10n.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// The interface language is one setting of the whole process: each test starts with
// the default one, whatever a test before it chose.
class DefaultLanguageForEachTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { tarn::L10n::setLanguageCode(QStringLiteral("zh")); }
};

}  // namespace

// Application tests run the event loop of a real QCoreApplication, as the program does,
// so timers, queued signals and coroutines behave as they will there.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new DefaultLanguageForEachTest);
    return RUN_ALL_TESTS();
}
