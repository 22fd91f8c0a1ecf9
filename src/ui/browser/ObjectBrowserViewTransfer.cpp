#include "ui/browser/ObjectBrowserView.h"

#include "ui/browser/BrowserRow.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/browser/RemoteObjectsMimeData.h"

#include "app/state/AppState.h"
#include "app/state/Async.h"
#include "core/values/SaturatingSum.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

namespace tarn {

namespace {

// Puts the copied objects on the clipboard once the state agrees: at once for a copy
// within its limits, after the user's yes for a larger one, which a clipboard manager
// would start downloading as soon as it appears there.
QCoro::Task<> offerCopy(AppState& state, std::unique_ptr<RemoteObjectsMimeData> data)
{
    std::size_t objects = 0;
    std::int64_t bytes = 0;
    std::vector<std::string> folders;
    for (const RemoteObjectsMimeData::Item& item : data->items()) {
        if (item.isFolder) {
            folders.push_back(item.key);
        } else {
            ++objects;
            // Sizes a server reports can be anything: a sum that wrapped round would
            // pass for a small copy.
            bytes = saturatingSum(bytes, item.size);
        }
    }
    QCoro::Task<bool> asking = state.confirmClipboardCopy(data->bucket(), objects, bytes, std::move(folders));
    if (co_await asking) {
        QGuiApplication::clipboard()->setMimeData(data.release());
    }
}

}  // namespace

RemoteObjectsMimeData* ObjectBrowserView::makeMimeData(const std::vector<int>& rows) const
{
    // The rows point into the listing of the bucket shown; another one selected
    // meanwhile (its listing not in yet) offers nothing.
    const std::optional<BucketConfig> bucket = m_state.selectedBucket();
    if (!bucket || m_state.listingBucketID() != bucket->id) {
        return nullptr;
    }
    std::vector<RemoteObjectsMimeData::Item> items;
    for (const int row : rows) {
        if (const ObjectPrefix* folder = m_model->prefix(row)) {
            items.push_back({folder->prefix, true, 0, std::nullopt});
        } else if (const ObjectItem* object = m_model->object(row)) {
            items.push_back({object->key, false, object->size, object->lastModified});
        }
    }
    if (items.empty()) {
        return nullptr;
    }
    return new RemoteObjectsMimeData(m_state, *bucket, std::move(items), const_cast<ObjectBrowserView*>(this));
}

void ObjectBrowserView::copySelectedToPasteboard()
{
    std::unique_ptr<RemoteObjectsMimeData> data(makeMimeData(selectedRows()));
    if (!data) {
        m_state.ui().beep();
        return;
    }
    startDetached(offerCopy(m_state, std::move(data)));
}

void ObjectBrowserView::paste()
{
    if (qobject_cast<const RemoteObjectsMimeData*>(QGuiApplication::clipboard()->mimeData()) != nullptr) {
        m_state.ui().beep();
        return;
    }
    m_state.pasteFromClipboard();
}

void ObjectBrowserView::startDrag()
{
    RemoteObjectsMimeData* data = makeMimeData(selectedRows());
    if (data == nullptr) {
        return;
    }
    // Qt keeps the drag until the drop target has taken what it asked for.
    auto* drag = new QDrag(m_table);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

std::vector<std::filesystem::path> ObjectBrowserView::droppedFiles(const QDropEvent& event)
{
    // Rows dragged inside this program are remote objects, not files to upload.
    const QMimeData* data = event.mimeData();
    if (event.source() != nullptr || data == nullptr || qobject_cast<const RemoteObjectsMimeData*>(data) != nullptr ||
        !data->hasUrls()) {
        return {};
    }
    std::vector<std::filesystem::path> files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            files.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
        }
    }
    return files;
}

void ObjectBrowserView::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedFiles(*event).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_state.setIsDropTargeted(true);
}

void ObjectBrowserView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_state.setIsDropTargeted(false);
    TintedBlurView::dragLeaveEvent(event);
}

void ObjectBrowserView::dropEvent(QDropEvent* event)
{
    m_state.setIsDropTargeted(false);
    std::vector<std::filesystem::path> files = droppedFiles(*event);
    if (files.empty() || !m_state.handleDrop(std::move(files))) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

}  // namespace tarn
