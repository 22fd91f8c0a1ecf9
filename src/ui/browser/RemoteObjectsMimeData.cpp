#include "ui/browser/RemoteObjectsMimeData.h"

#include "ui/browser/DragOutStaging.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/storage/S3Error.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QMetaObject>
#include <QProgressDialog>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stop_token>
#include <system_error>
#include <utility>
#include <vector>

namespace tarn {

namespace fs = std::filesystem;

const QString RemoteObjectsMimeData::uriListFormat = QStringLiteral("text/uri-list");
const QString RemoteObjectsMimeData::gnomeCopiedFilesFormat = QStringLiteral("x-special/gnome-copied-files");

struct RemoteObjectsMimeData::Staging {
    enum class Phase { idle, running, done };

    QPointer<AppState> state;
    BucketConfig bucket;
    std::vector<Item> items;
    std::vector<std::string> names;
    QPointer<QWidget> dialogParent;

    Phase phase = Phase::idle;
    int runs = 0;
    QList<QUrl> urls;
    std::stop_source stop;
    QPointer<QProgressDialog> dialog;
};

namespace {

using Staging = std::shared_ptr<RemoteObjectsMimeData::Staging>;

// The receivers waiting now, each in an event loop inside its own request.
struct Waits {
    int depth = 0;
    std::vector<std::weak_ptr<RemoteObjectsMimeData::Staging>> stagings;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> after;
    std::unique_ptr<QObject> hold;
};

Waits& waits()
{
    static Waits shared;
    return shared;
}

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Whether an event for `receiver` (a widget, or the window that hands events to its
// widgets) goes to the progress dialog of a wait.
bool isForAWaitsDialog(const QObject* receiver)
{
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    const auto* window = qobject_cast<const QWindow*>(receiver);
    for (const auto& weak : waits().stagings) {
        const std::shared_ptr<RemoteObjectsMimeData::Staging> staging = weak.lock();
        if (!staging || !staging->dialog) {
            continue;
        }
        if ((widget != nullptr && widget->window() == staging->dialog.data()) ||
            (window != nullptr && window == staging->dialog->windowHandle())) {
            return true;
        }
    }
    return false;
}

// Keeps the user's input from everything but the progress dialogs of the waits: a
// command of the window (a copy, a delete, a language switch) must not run inside a
// request that is still being answered.
class InputHold : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return isUserInput(event->type()) && !isForAWaitsDialog(watched);
    }
};

// One receiver's wait, from its start to its end.
class Wait {
public:
    explicit Wait(const Staging& staging)
    {
        Waits& all = waits();
        if (all.depth++ == 0) {
            all.hold = std::make_unique<InputHold>();
            qApp->installEventFilter(all.hold.get());
        }
        all.stagings.push_back(staging);
    }

    ~Wait()
    {
        Waits& all = waits();
        all.stagings.pop_back();
        if (--all.depth > 0) {
            return;
        }
        qApp->removeEventFilter(all.hold.get());
        all.hold.reset();
        for (auto& [context, then] : std::exchange(all.after, {})) {
            if (context) {
                QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
            }
        }
    }

    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
};

// Downloads every entry into a new staging folder and publishes the URLs (none after
// a failure, which is an error toast unless the user cancelled).
QCoro::Task<> stageItems(std::shared_ptr<RemoteObjectsMimeData::Staging> staging)
{
    using Phase = RemoteObjectsMimeData::Staging::Phase;
    const QPointer<AppState> state = staging->state;
    QString failureText;
    QList<QUrl> urls;
    std::optional<fs::path> folder;

    const std::vector<BucketConfig> buckets = state ? state->allBuckets() : std::vector<BucketConfig>();
    const bool bucketKnown = std::any_of(buckets.begin(), buckets.end(),
                                         [&](const BucketConfig& bucket) { return bucket.id == staging->bucket.id; });
    if (!state) {
        staging->phase = Phase::done;
        co_return;
    }
    if (!bucketKnown) {
        failureText = L10n::t(QStringLiteral("no_bucket"));
    } else {
        QCoro::Task<std::optional<std::string>> reading = state->resolvedSecret(staging->bucket);
        const std::optional<std::string> secret = co_await reading;
        if (!state) {
            staging->phase = Phase::done;
            co_return;
        }
        if (!secret) {
            failureText = TransferCenter::describe(std::make_exception_ptr(S3Error::missingSecret()));
        } else {
            const S3Credentials credentials{staging->bucket.accessKeyID, *secret};
            std::exception_ptr failure;
            try {
                folder = DragOutStaging::makeFolder(state->privateFolder());
            } catch (...) {
                failure = std::current_exception();
            }
            for (std::size_t i = 0; folder && !failure && i < staging->items.size(); ++i) {
                const RemoteObjectsMimeData::Item& item = staging->items[i];
                const fs::path destination = *folder / staging->names[i];
                QCoro::Task<> download = state->transfers().runDragDownload(
                    item.key, destination, item.isFolder, staging->names[i], item.size, staging->bucket, credentials,
                    item.lastModified, staging->stop.get_token());
                try {
                    co_await download;
                } catch (...) {
                    failure = std::current_exception();
                }
                if (!state) {
                    staging->phase = Phase::done;
                    co_return;
                }
                if (!failure) {
                    urls.append(QUrl::fromLocalFile(QFile::decodeName(destination.c_str())));
                    if (staging->dialog) {
                        staging->dialog->setValue(static_cast<int>(i) + 1);
                    }
                }
            }
            if (failure && !staging->stop.get_token().stop_requested()) {
                failureText = TransferCenter::describe(failure);
            }
            if (failure) {
                urls.clear();
            }
        }
    }
    if (urls.isEmpty() && folder) {
        std::error_code ignored;
        fs::remove_all(*folder, ignored);
    }
    if (!failureText.isEmpty()) {
        const ToastMessage toast{failureText, ToastKind::error};
        state->sendToast(toast);
    }
    staging->urls = std::move(urls);
    staging->phase = Phase::done;
}

}  // namespace

RemoteObjectsMimeData::RemoteObjectsMimeData(AppState& state, BucketConfig bucket, std::vector<Item> items,
                                             QWidget* dialogParent)
    : m_staging(std::make_shared<Staging>())
{
    std::vector<DragOutStaging::Entry> entries;
    entries.reserve(items.size());
    for (const Item& item : items) {
        entries.push_back({DragOutStaging::fileName(item.key, item.isFolder ? "folder" : "download"), item.isFolder});
    }
    m_staging->state = &state;
    m_staging->bucket = std::move(bucket);
    m_staging->items = std::move(items);
    m_staging->names = DragOutStaging::uniqueNames(entries);
    m_staging->dialogParent = dialogParent;
}

RemoteObjectsMimeData::~RemoteObjectsMimeData()
{
    // Nobody can receive the files any more: a download still running is not needed.
    if (m_staging->phase == Staging::Phase::running) {
        m_staging->stop.request_stop();
    }
}

bool RemoteObjectsMimeData::isWaiting()
{
    return waits().depth > 0;
}

void RemoteObjectsMimeData::stopWaiting()
{
    for (const auto& weak : waits().stagings) {
        if (const std::shared_ptr<Staging> staging = weak.lock()) {
            staging->stop.request_stop();
        }
    }
}

void RemoteObjectsMimeData::afterWaiting(QObject* context, std::function<void()> then)
{
    if (waits().depth == 0) {
        QMetaObject::invokeMethod(context, std::move(then), Qt::QueuedConnection);
        return;
    }
    waits().after.emplace_back(context, std::move(then));
}

const BucketConfig& RemoteObjectsMimeData::bucket() const
{
    return m_staging->bucket;
}

const std::vector<RemoteObjectsMimeData::Item>& RemoteObjectsMimeData::items() const
{
    return m_staging->items;
}

const std::vector<std::string>& RemoteObjectsMimeData::fileNames() const
{
    return m_staging->names;
}

int RemoteObjectsMimeData::stagingRuns() const
{
    return m_staging->runs;
}

QStringList RemoteObjectsMimeData::formats() const
{
    return {uriListFormat, gnomeCopiedFilesFormat};
}

bool RemoteObjectsMimeData::hasFormat(const QString& mimeType) const
{
    return mimeType == uriListFormat || mimeType == gnomeCopiedFilesFormat;
}

QList<QUrl> RemoteObjectsMimeData::stagedUrls() const
{
    using Phase = Staging::Phase;
    const std::shared_ptr<Staging> staging = m_staging;
    if (staging->phase == Phase::idle) {
        staging->phase = Phase::running;
        ++staging->runs;
        startDetached(stageItems(staging));
    }
    if (staging->phase == Phase::running) {
        // The receiver waits for the answer; the window goes on painting meanwhile
        // and the dialog (shown when it takes a moment) offers to give up.
        std::unique_ptr<QProgressDialog> dialog;
        if (!staging->dialog) {
            QWidget* parent = staging->dialogParent ? staging->dialogParent->window() : nullptr;
            dialog = std::make_unique<QProgressDialog>(parent);
            // Every window waits with the receiver, the transfer panel too.
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->setLabelText(L10n::t(L10n::countKey(QStringLiteral("drag_out_preparing"), static_cast<qint64>(staging->items.size())),
                                        staging->items.size()));
            dialog->setCancelButtonText(L10n::t(QStringLiteral("cancel")));
            dialog->setRange(0, static_cast<int>(staging->items.size()));
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            dialog->setMinimumDuration(300);
            dialog->setValue(0);
            QObject::connect(dialog.get(), &QProgressDialog::canceled, dialog.get(),
                             [weak = std::weak_ptr<Staging>(staging)] {
                                 if (const std::shared_ptr<Staging> running = weak.lock()) {
                                     running->stop.request_stop();
                                 }
                             });
            staging->dialog = dialog.get();
        }
        const Wait wait(staging);
        QEventLoop loop;
        while (staging->phase == Phase::running) {
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    return staging->urls;
}

QVariant RemoteObjectsMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (!hasFormat(mimeType)) {
        return {};
    }
    const QPointer<RemoteObjectsMimeData> alive(const_cast<RemoteObjectsMimeData*>(this));
    const QList<QUrl> urls = stagedUrls();
    if (!alive || urls.isEmpty()) {
        return {};
    }
    if (mimeType == gnomeCopiedFilesFormat) {
        QByteArray text("copy");
        for (const QUrl& url : urls) {
            text += '\n' + url.toEncoded();
        }
        return text;
    }
    if (type.id() == QMetaType::QByteArray || type.id() == QMetaType::QString) {
        QByteArray text;
        for (const QUrl& url : urls) {
            text += url.toEncoded() + "\r\n";
        }
        return text;
    }
    QVariantList list;
    for (const QUrl& url : urls) {
        list.append(url);
    }
    return list;
}

}  // namespace tarn
