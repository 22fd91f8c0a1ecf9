#pragma once

#include "core/config/ConfigModels.h"
#include "core/values/IsoDate.h"

#include <QList>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tarn {

class AppState;

// Objects and folders of a bucket, copied or dragged out of the browser, as a file
// manager takes files: offered as "text/uri-list" and "x-special/gnome-copied-files"
// but downloaded only when a receiver first asks for either. What is offered (the
// bucket, the keys, the folders, the sizes) is fixed when the copy or drag starts, so
// a receiver asking later gets those objects whatever the window shows by then.
//
// The first request downloads every entry through the transfer queue's drag-out
// download into a new staging folder (see DragOutStaging), one after the other, while
// a cancellable progress dialog over `dialogParent` keeps the window painting; the
// answer (the staged files' URLs) is kept and every later request gets it at once. A
// failure (no such bucket any more, no stored secret, a download that failed) is an
// error toast and the answer is no URLs; a cancelled one is no URLs without a toast.
//
// The request must be answered before it returns, so it waits in an event loop of its
// own, and whatever that loop runs runs inside the request. While a receiver waits:
// - the user's input (keys, clicks, drops) reaches only the progress dialog, so no
//   command of the window runs in the middle of the request;
// - the data object may still go (another application takes the clipboard): its
//   download then stops and the wait ends with no answer;
// - the program's end stops the downloads (stopWaiting) and comes after the wait has
//   returned (afterWaiting).
class RemoteObjectsMimeData : public QMimeData {
    Q_OBJECT

public:
    static const QString uriListFormat;
    static const QString gnomeCopiedFilesFormat;

    struct Item {
        std::string key;  // an object's key, or a folder's prefix
        bool isFolder = false;
        std::int64_t size = 0;  // 0 for folders and unknown sizes
        std::optional<TimePoint> lastModified;
    };

    RemoteObjectsMimeData(AppState& state, BucketConfig bucket, std::vector<Item> items, QWidget* dialogParent);
    ~RemoteObjectsMimeData() override;

    const BucketConfig& bucket() const;
    const std::vector<Item>& items() const;
    // The names the entries are staged under, in order.
    const std::vector<std::string>& fileNames() const;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    // What one copy or drag downloads and answers, shared with the download, which may
    // outlive this object: a clipboard replaced while a receiver waits deletes the
    // data it is asking.
    struct Staging;

    // The staged files, downloaded on the first call; empty when that failed.
    QList<QUrl> stagedUrls() const;
    // How many times the entries were downloaded: 0 or 1.
    int stagingRuns() const;

    // Whether a receiver waits for staged objects now.
    static bool isWaiting();
    // Stops the downloads every waiting receiver waits for; the waits end with no files.
    static void stopWaiting();
    // Calls `then` on a later turn of the event loop once no receiver waits (the loop
    // the outermost wait returns to); nothing when `context` is gone by then.
    static void afterWaiting(QObject* context, std::function<void()> then);

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    std::shared_ptr<Staging> m_staging;
};

}  // namespace tarn
