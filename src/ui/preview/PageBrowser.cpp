#include "ui/preview/PageBrowser.h"

#include "ui/preview/PageDocument.h"

#include <QPixmap>
#include <QTextDocument>

#include <utility>

namespace tarn {

namespace {

// What the document is handed for a refused resource: an empty image keeps an <img>
// at the size its page gives it, and, unlike nothing, is not asked for again at every
// layout.
QVariant refusal(int type)
{
    if (type == QTextDocument::ImageResource) {
        QImage nothing(1, 1, QImage::Format_ARGB32_Premultiplied);
        nothing.fill(Qt::transparent);
        return nothing;
    }
    if (type == QTextDocument::StyleSheetResource) {
        return QString();
    }
    return {};
}

}  // namespace

PageBrowser::PageBrowser(std::function<void(const QUrl&)> openLink, QWidget* parent)
    : QTextBrowser(parent)
    , m_openLink(std::move(openLink))
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &PageBrowser::followLink);
}

void PageBrowser::showPage(std::unique_ptr<PageDocument> page, QHash<QUrl, QImage> images)
{
    // What the page asked for while it was parsed was refused there.
    m_requested.append(page->refusedWithoutGate());
    m_refused.append(page->refusedWithoutGate());
    m_images = std::move(images);
    page->setGate([this](int type, const QUrl& name) { return loadResource(type, name); });
    page->setParent(this);
    // The document that was shown goes with it, being the browser's own.
    setDocument(page.release());
}

QVariant PageBrowser::loadResource(int type, const QUrl& name)
{
    m_requested.append(name);
    if (type == QTextDocument::ImageResource) {
        if (auto found = m_images.find(name); found != m_images.end()) {
            // A pixmap, which the document keeps and draws as it is: an image would be
            // made into one again at every paint. Taken over without a copy, being in
            // a pixmap's own form already (and not searched for transparent pixels).
            QPixmap pixmap = QPixmap::fromImage(std::move(found.value()), Qt::NoOpaqueDetection);
            m_images.erase(found);
            return pixmap;
        }
    }
    m_refused.append(name);
    return refusal(type);
}

void PageBrowser::followLink(const QUrl& url)
{
    if (url.scheme().isEmpty() && url.path().isEmpty() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    const QString scheme = url.scheme().toLower();
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && m_openLink) {
        m_openLink(url);
    }
}

}  // namespace tarn
