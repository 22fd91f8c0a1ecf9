#include "ui/preview/EmbeddedImages.h"

#include "ui/preview/ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace tarn {

namespace {

constexpr qint64 kBytesPerPixel = 4;

// The image's bytes as the page carries them: "data:image/png;base64,..." gives the
// PNG. Empty for anything but an image.
QByteArray payloadOf(const QUrl& url)
{
    if (url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) != 0) {
        return {};
    }
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
    return payload;
}

// The size the image declares, read from its header alone.
QSize declaredSize(QByteArray& payload)
{
    QBuffer buffer(&payload);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QImageReader(&buffer).size();
}

qint64 pixelsOf(const QSize& size)
{
    return size.isValid() ? qint64{size.width()} * size.height() : -1;
}

}  // namespace

QImage EmbeddedImages::decode(const QUrl& url, qint64 pixelLimit)
{
    QByteArray payload = payloadOf(url);
    const qint64 pixels = pixelsOf(declaredSize(payload));
    if (payload.isEmpty() || pixels < 0 || pixels > pixelLimit) {
        return {};
    }
    QBuffer buffer(&payload);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QImage image = ImageDecoder::decode(buffer).image;
    if (image.isNull()) {
        return {};
    }
    // In the form a pixmap takes over as it is, so that drawing it never converts it.
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QHash<QUrl, QImage> EmbeddedImages::decode(const QTextDocument& page)
{
    QHash<QUrl, QImage> images;
    QSet<QUrl> seen;
    qint64 left = maxBytes;
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) {
                continue;
            }
            const QUrl url(format.toImageFormat().name());
            if (seen.contains(url)) {
                continue;
            }
            seen.insert(url);
            const QImage image = decode(url, std::min(maxPixels, left / kBytesPerPixel));
            if (!image.isNull()) {
                left -= pixelsOf(image.size()) * kBytesPerPixel;
                images.insert(url, image);
            }
        }
    }
    return images;
}

}  // namespace tarn
