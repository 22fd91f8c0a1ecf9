#include "app/state/ApplicationId.h"
#include "app/text/L10n.h"
#include "ui/theme/TarnTheme.h"
#include "ui/window/AppDelegate.h"
#include "ui/window/MainThreadProbe.h"
#include "ui/window/PreferredLanguage.h"
#include "ui/window/UnixSignalWatcher.h"

#include <QApplication>
#include <QIcon>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The desktop matches the windows to the installed desktop entry by the
    // application ID: on X11 through their class, which is the application name, on
    // Wayland through the desktop file name. The window's geometry is kept beside
    // the configuration, in $XDG_CONFIG_HOME/TarnManager/<application ID>.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("TarnManager"));
    QCoreApplication::setApplicationName(tarn::applicationId());
    QGuiApplication::setDesktopFileName(tarn::applicationId());
    // What dialogs without a title of their own show, instead of the ID.
    QGuiApplication::setApplicationDisplayName(tarn::L10n::t(QStringLiteral("app_name")));
    // The installed icon; run from a build, the same drawing from the resources.
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(tarn::applicationId(), QIcon(QStringLiteral(":/tarn/app-icon.svg"))));

    // A session that ends, a terminal's Ctrl+C or a closed terminal quit the way the
    // window's close does, so the buffered history is written.
    tarn::UnixSignalWatcher signalWatcher({SIGTERM, SIGINT, SIGHUP});

    // The language comes first: every text below is looked up in it.
    tarn::PreferredLanguage::applyStored();
    tarn::TarnTheme::apply(application);

#ifdef TARN_MAIN_THREAD_PROBE
    // A measuring build: how long the window stays unanswering, on standard error.
    tarn::MainThreadProbe probe(stderr);
#endif
    tarn::AppDelegate delegate;
    QObject::connect(&signalWatcher, &tarn::UnixSignalWatcher::received, &delegate, &tarn::AppDelegate::quit);
    delegate.launch();
    return application.exec();
}
