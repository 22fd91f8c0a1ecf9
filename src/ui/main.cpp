#include "ui/theme/TarnTheme.h"
#include "ui/window/AppDelegate.h"
#include "ui/window/PreferredLanguage.h"
#include "ui/window/UnixSignalWatcher.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The window's geometry is kept beside the configuration, in
    // $XDG_CONFIG_HOME/TarnManager/TarnManager.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("TarnManager"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnManager"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tarn-manager"));

    // A session that ends, a terminal's Ctrl+C or a closed terminal quit the way the
    // window's close does, so the buffered history is written.
    tarn::UnixSignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP});

    // The language comes first: every text below is looked up in it.
    tarn::PreferredLanguage::applyStored();
    tarn::TarnTheme::apply(application);

    tarn::AppDelegate delegate;
    QObject::connect(&signalWatcher, &tarn::UnixSignalWatcher::received, &delegate, &tarn::AppDelegate::quit);
    delegate.launch();
    return application.exec();
}
