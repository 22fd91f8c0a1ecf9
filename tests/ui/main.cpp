#include "ui/theme/Animations.h"
#include "ui/theme/TarnTheme.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The offscreen platform warns on every window it shows that it cannot pass size
// hints on or raise it; that says nothing about the code under test and buries real
// messages.
QtMessageHandler gDefaultHandler = nullptr;

void quietOffscreenHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support propagateSizeHints")) ||
        message.startsWith(QLatin1String("This plugin does not support raise"))) {
        return;
    }
    if (gDefaultHandler != nullptr) {
        gDefaultHandler(type, context, message);
    }
}

}  // namespace

// Widget tests run on a real QApplication with the program's theme, offscreen, with
// animations completing at once; a test that is about timing turns them on itself.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest does at build time) needs no application, and making
    // one there only adds the platform's complaints about the build's environment.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    gDefaultHandler = qInstallMessageHandler(quietOffscreenHandler);
    QApplication application(argc, argv);
    tarn::TarnTheme::apply(application);
    tarn::Animations::setEnabled(false);
    return RUN_ALL_TESTS();
}
