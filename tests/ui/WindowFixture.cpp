#include "ui/WindowFixture.h"

#include <gtest/gtest.h>

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"
#include "core/storage/S3Client.h"
#include "core/values/Uuid.h"
#include "ui/window/PreferredLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QEvent>
#include <QFile>
#include <QSettings>
#include <QTimer>

namespace tarn::test {

namespace {

QByteArray replaceEnv(const char* name, const QString& value)
{
    const QByteArray previous = qgetenv(name);
    qputenv(name, QFile::encodeName(value));
    return previous;
}

void restoreEnv(const char* name, const QByteArray& previous)
{
    if (previous.isNull()) {
        qunsetenv(name);
    } else {
        qputenv(name, previous);
    }
}

// An AppState over its own configuration folder, for the probes.
struct ProbeState {
    explicit ProbeState(const std::filesystem::path& file)
        : store(file)
        , state(store, secrets, client)
    {
    }
    ConfigStore store;
    KeychainSecretStore secrets;
    S3Client client;
    AppState state;
};

}  // namespace

WindowFixture::WindowFixture()
{
    QCoreApplication::setOrganizationName(QStringLiteral("TarnManager"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnManagerTests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.filePath(QStringLiteral("settings")));
    m_savedConfigHome = replaceEnv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")));
    m_savedCacheHome = replaceEnv("XDG_CACHE_HOME", m_folder.filePath(QStringLiteral("cache")));
}

WindowFixture::~WindowFixture()
{
    endDelegate();
    restoreEnv("XDG_CONFIG_HOME", m_savedConfigHome);
    restoreEnv("XDG_CACHE_HOME", m_savedCacheHome);
    // Untranslated Qt texts, then the program's default language.
    PreferredLanguage::apply(QStringLiteral("en"));
    L10n::setLanguageCode(QStringLiteral("zh"));
}

std::filesystem::path WindowFixture::configFile() const
{
    return ConfigStore().configURL();
}

void WindowFixture::storeLanguage(const std::string& code)
{
    AppConfig config = ConfigStore::defaultConfig();
    config.languageCode = code;
    ConfigStore().save(config);
}

AppDelegate& WindowFixture::launch(WindowContentFactory factory)
{
    endDelegate();
    PreferredLanguage::applyStored();
    // A keyring service of the test's own: the default one is the program's, and its
    // start-up would take over items other tests plant for the predecessor.
    m_delegate = std::make_unique<AppDelegate>(
        std::move(factory),
        std::make_unique<KeychainSecretStore>("app.TarnManager.test." + Uuid::random().toString()));
    m_delegate->launch();
    // Start-up ends after the keyring's answers, off the main thread; it then sets the
    // stored language, so a test that changes the language must come after it.
    QElapsedTimer waited;
    waited.start();
    while (!m_delegate->state().hasLoaded() && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_TRUE(m_delegate->state().hasLoaded()) << "start-up did not end";
    settle();
    return *m_delegate;
}

void WindowFixture::endDelegate()
{
    if (m_delegate) {
        m_delegate->shutdown();
        m_delegate.reset();
        settle();
    }
}

bool WindowFixture::stateFlushesHistory()
{
    QTemporaryDir folder;
    ProbeState probe(std::filesystem::path(folder.filePath(QStringLiteral("config.json")).toStdString()));
    probe.state.recordHistory(QStringLiteral("probe"), QStringLiteral("probe"), "probe", true);
    probe.state.flushHistory();
    return !probe.state.config().history.empty();
}

bool WindowFixture::stateClosesSheets()
{
    QTemporaryDir folder;
    ProbeState probe(std::filesystem::path(folder.filePath(QStringLiteral("config.json")).toStdString()));
    probe.state.setShowingAppSettings(true);
    probe.state.closeAllSheets();
    return !probe.state.showingAppSettings();
}

int execUntilQuit(int limitMilliseconds)
{
    // A timer of this call's own: one left behind would end a later test's loop.
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    limit.start(limitMilliseconds);
    return QCoreApplication::exec();
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

}  // namespace tarn::test
