#include "ui/preview/PreviewHost.h"

#include "app/text/L10n.h"
#include "core/preview/ObjectPreview.h"
#include "ui/preview/CircularProgressView.h"
#include "ui/preview/FileCardPreview.h"
#include "ui/preview/ImagePreview.h"
#include "ui/preview/MediaPreview.h"
#include "ui/preview/PdfPreview.h"
#include "ui/preview/PreviewChoice.h"
#include "ui/preview/PreviewPlaceholder.h"
#include "ui/preview/StoppablePreview.h"
#include "ui/preview/TextPreview.h"
#include "ui/preview/WebPreview.h"

#include <utility>

namespace tarn {

namespace {

constexpr int kPlaceholderHeight = 200;

std::optional<std::string> storedContentType(const std::optional<ObjectDetails>& details)
{
    return details ? details->contentType : std::nullopt;
}

}  // namespace

PreviewHost::PreviewHost(PreviewActions actions, const AppState* progressSource, QObject* parent)
    : QObject(parent)
    , m_actions(std::move(actions))
    , m_progressSource(progressSource)
{
}

PreviewHost::~PreviewHost()
{
    if (m_cachedPreview) {
        stopMedia(m_cachedPreview);
        // A parked view has no card to delete it.
        if (m_cachedPreview->parent() == nullptr) {
            delete m_cachedPreview;
        }
    }
}

QWidget* PreviewHost::preview(const ObjectItem& object, const InlinePreviewState& state,
                              const std::optional<ObjectDetails>& details)
{
    using Kind = InlinePreviewState::Kind;
    switch (state.kind) {
    case Kind::unsupported:
    case Kind::failed:
        return new PreviewPlaceholder(state.text, kPlaceholderHeight);
    case Kind::downloading:
        if (state.key == object.key) {
            auto* ring = new CircularProgressView();
            if (m_progressSource != nullptr) {
                ring->follow(*m_progressSource);
            }
            return ring;
        }
        break;
    case Kind::ready:
        if (state.key == object.key) {
            return readyPreview(object, state.url, details);
        }
        break;
    case Kind::loading:
    case Kind::empty:
    case Kind::folder:
        break;
    }
    return new PreviewPlaceholder(L10n::t(QStringLiteral("preview_loading")), kPlaceholderHeight);
}

QWidget* PreviewHost::readyPreview(const ObjectItem& object, const QUrl& url,
                                   const std::optional<ObjectDetails>& details)
{
    if (m_cachedPreview && m_cachedPreviewURL == url) {
        return m_cachedPreview;
    }
    dropCachedPreview();
    const PreviewKind kind = PreviewChoice::kind(object.key, storedContentType(details));
    QWidget* view = makeView(kind, object, url, details, m_actions);
    view->setFixedHeight(PreviewChoice::height(kind));
    m_cachedPreview = view;
    m_cachedPreviewURL = url;
    return view;
}

void PreviewHost::dropCachedPreview()
{
    if (m_cachedPreview) {
        stopMedia(m_cachedPreview);
        m_cachedPreview->deleteLater();
    }
    m_cachedPreview = nullptr;
    m_cachedPreviewURL = QUrl();
}

void PreviewHost::parkCachedPreview()
{
    if (m_cachedPreview && m_cachedPreview->parent() != nullptr) {
        m_cachedPreview->setParent(nullptr);
    }
}

void PreviewHost::stopMedia(QWidget* view)
{
    if (view == nullptr) {
        return;
    }
    if (auto* stoppable = dynamic_cast<StoppablePreview*>(view)) {
        stoppable->stopMedia();
    }
    for (QWidget* child : view->findChildren<QWidget*>()) {
        if (auto* stoppable = dynamic_cast<StoppablePreview*>(child)) {
            stoppable->stopMedia();
        }
    }
}

QWidget* PreviewHost::makeView(PreviewKind kind, const ObjectItem& object, const QUrl& url,
                               const std::optional<ObjectDetails>& details, const PreviewActions& actions)
{
    // Every kind but media reads a local copy in the preview cache.
    const QString path = url.toLocalFile();
    switch (kind) {
    case PreviewKind::media: {
        const std::string type = PreviewChoice::mimeType(object.key, storedContentType(details));
        const bool sound = type.starts_with("audio/") || ObjectPreview::previewSystemImage(object.key) == "waveform";
        return new MediaPreview(url, sound ? QStringLiteral("waveform") : QStringLiteral("film"));
    }
    case PreviewKind::markdown:
    case PreviewKind::html:
        return new WebPreview(path, kind == PreviewKind::markdown, actions.openLink);
    case PreviewKind::image:
        return new ImagePreview(path);
    case PreviewKind::pdf:
        return new PdfPreview(path);
    case PreviewKind::text:
        return new TextPreview(path);
    case PreviewKind::file:
        break;
    }
    FileCardPreview::File file;
    file.key = object.key;
    file.mimeType = PreviewChoice::mimeType(object.key, storedContentType(details));
    file.size = object.size;
    if (url.isLocalFile()) {
        file.localCopy = std::filesystem::path(path.toStdString());
    }
    return new FileCardPreview(std::move(file), actions.openWithDefaultApplication);
}

}  // namespace tarn
