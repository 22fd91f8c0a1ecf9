#include "app/state/AppState.h"

#include "app/state/DesktopNotifier.h"
#include "app/state/HeadlessUiServices.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/config/ConfigStore.h"

#include <QCoreApplication>
#include <QMetaType>
#include <QThread>

#include <algorithm>

namespace tarn {

namespace {

// Whole-pool waits are for blocking calls (network, keyring), not for processor time,
// so the pool is not limited to the number of cores.
constexpr int minimumWorkerThreads = 8;
// Folder counts for the clipboard at once; more wait their turn.
constexpr int clipboardCountThreads = 2;

// Property and signal types by name, for code that reaches them through the
// meta-object system (QObject::property, queued connections).
void registerMetaTypes() {
    static const bool registered = [] {
        qRegisterMetaType<ToastMessage>();
        qRegisterMetaType<AppConfig>();
        qRegisterMetaType<std::string>();
        qRegisterMetaType<std::optional<std::string>>();
        qRegisterMetaType<std::optional<Uuid>>();
        qRegisterMetaType<std::vector<ObjectItem>>();
        qRegisterMetaType<std::vector<ObjectPrefix>>();
        qRegisterMetaType<std::optional<BucketUsage>>();
        qRegisterMetaType<BucketUsageCache>();
        qRegisterMetaType<KeySet>();
        qRegisterMetaType<std::optional<ObjectDetails>>();
        qRegisterMetaType<InlinePreviewState>();
        qRegisterMetaType<std::optional<BucketConfig>>();
        qRegisterMetaType<std::vector<MetadataPair>>();
        qRegisterMetaType<std::vector<std::filesystem::path>>();
        qRegisterMetaType<std::vector<MultipartUpload>>();
        qRegisterMetaType<std::vector<TransferTask>>();
        return true;
    }();
    Q_UNUSED(registered);
}

}  // namespace

AppState::AppState(ConfigStore& configStore, KeychainSecretStore& secretStore, S3Client& client, QObject* parent)
    : QObject(parent),
      m_configStore(configStore),
      m_secretStore(secretStore),
      m_client(client),
      m_config(ConfigStore::defaultConfig()),
      m_languageCode(L10n::languageCode().toStdString()),
      m_statusText(L10n::t(QStringLiteral("status_ready"))),
      m_privateFolder(PrivateFolder::forCurrentUser()),
      m_notifier(std::make_unique<DesktopNotifier>()),
      m_headlessUi(std::make_unique<HeadlessUiServices>()),
      m_ui(m_headlessUi.get()) {
    registerMetaTypes();
    m_workers.setMaxThreadCount(std::max(minimumWorkerThreads, QThread::idealThreadCount()));
    m_keyringWrites.setMaxThreadCount(1);
    m_folderCounts.setMaxThreadCount(clipboardCountThreads);
    // Entries recorded in the last moments before quitting would otherwise wait for
    // a flush that never comes.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &AppState::flushHistory);
    }
    // Every change of the configuration, the accounts and buckets among them.
    connect(this, &AppState::configChanged, this, [this] { m_keyringReferences.follow(m_config, allBuckets()); });
    m_keyringReferences.follow(m_config, allBuckets());
}

AppState::~AppState() {
    for (std::stop_source* stop : {&m_searchStop, &m_loadMoreStop, &m_usageStop, &m_syncStop, &m_historyFlushStop,
                                      &m_lifetimeStop}) {
        stop->request_stop();
    }
    if (m_transfers) m_transfers->stopAll();
    m_keyringWrites.waitForDone();
    m_folderCounts.waitForDone();
    m_workers.waitForDone();
    flushHistoryAtExit();
}

void AppState::setConfig(AppConfig config) { publish(m_config, std::move(config), &AppState::configChanged); }

void AppState::saveConfig() {
    try {
        m_configStore.save(m_config);
    } catch (const std::exception&) {
        sendFailureToast("saveConfig", std::current_exception());
    }
    emit configChanged();
}

void AppState::setLanguageCode(std::string languageCode) {
    m_languageCode = std::move(languageCode);
    L10n::setLanguageCode(QString::fromStdString(m_languageCode));
    emit languageCodeChanged();
}

TransferCenter& AppState::transfers() {
    if (!m_transfers) m_transfers = std::make_unique<TransferCenter>(*this);
    return *m_transfers;
}

const std::vector<TransferTask>& AppState::transferTasks() const {
    static const std::vector<TransferTask> none;
    return m_transfers ? m_transfers->tasks() : none;
}

void AppState::setIsSyncingBuckets(bool isSyncingBuckets) {
    publish(m_isSyncingBuckets, isSyncingBuckets, &AppState::isSyncingBucketsChanged);
}

void AppState::sendToast(const ToastMessage& message) { emit toastRequested(message); }

void AppState::sendBubble(const QString& text) { emit bubbleRequested(text); }

QString AppState::reportFailure(const char* operation, const std::exception_ptr& error) const {
    std::string detail = "unknown error";
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        detail = caught.what();
    } catch (...) {
    }
    debugLog(std::string(operation) + " 失败 — " + detail);
    return TransferCenter::describe(error);
}

void AppState::sendFailureToast(const char* operation, const std::exception_ptr& error) {
    sendToast({reportFailure(operation, error), ToastKind::error});
}

}  // namespace tarn
