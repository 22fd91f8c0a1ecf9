#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QTextBrowser>
#include <QUrl>

#include <functional>
#include <memory>

namespace tarn {

class PageDocument;

// A text browser for untrusted pages. It runs no scripts (it has no script engine)
// and fetches nothing: every resource a page asks for (an image, a style sheet) is
// refused, whatever its scheme: no network, no local file, so a page in the preview
// cache can neither read the other previews beside it nor tell anyone it was opened.
// Only images embedded in the page itself as data: URLs are shown, and only those
// decoded before the page came (see EmbeddedImages): nothing is decoded while the
// page is laid out. Links never navigate the view; a click on an http or https link
// is handed to `openLink`.
class PageBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit PageBrowser(std::function<void(const QUrl&)> openLink, QWidget* parent = nullptr);

    // Shows a page parsed elsewhere (see WebPreview) with the images decoded for it;
    // the browser takes the document over.
    void showPage(std::unique_ptr<PageDocument> page, QHash<QUrl, QImage> images);

    // Every resource asked for so far, served or refused, in order.
    const QList<QUrl>& requestedResources() const { return m_requested; }
    const QList<QUrl>& refusedResources() const { return m_refused; }

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void followLink(const QUrl& url);

    std::function<void(const QUrl&)> m_openLink;
    QHash<QUrl, QImage> m_images;
    QList<QUrl> m_requested;
    QList<QUrl> m_refused;
};

}  // namespace tarn
