#include "ui/preview/PageBrowser.h"

#include "ui/preview/ImageDecoder.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTextDocument>

#include <utility>

namespace tarn {

namespace {

// An image carried in the page is decoded while the page is laid out, on the
// interface thread: a few bytes must not unpack into hundreds of megabytes.
constexpr qint64 kMaxEmbeddedPixels = 4096 * 4096;

// The image a data: URL carries, when it carries one.
QImage embeddedImage(const QUrl& url)
{
    const QByteArray encoded = url.toEncoded();
    const qsizetype comma = encoded.indexOf(',');
    if (comma < 0) {
        return {};
    }
    // "data:image/png;base64," -> "image/png;base64"
    const QByteArray header = encoded.mid(5, comma - 5).toLower();
    if (!header.startsWith("image/")) {
        return {};
    }
    QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    if (header.endsWith(";base64")) {
        payload = QByteArray::fromBase64(payload);
    }
    QBuffer buffer(&payload);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return {};
    }
    {
        QImageReader probe(&buffer);
        const QSize size = probe.size();
        if (!size.isValid() || static_cast<qint64>(size.width()) * size.height() > kMaxEmbeddedPixels) {
            return {};
        }
    }
    buffer.seek(0);
    return ImageDecoder::decode(buffer).image;
}

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

QVariant PageBrowser::loadResource(int type, const QUrl& name)
{
    m_requested.append(name);
    if (type == QTextDocument::ImageResource && name.scheme() == QLatin1String("data")) {
        const QImage image = embeddedImage(name);
        if (!image.isNull()) {
            return image;
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
