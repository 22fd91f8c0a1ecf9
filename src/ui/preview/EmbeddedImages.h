#pragma once

#include <QHash>
#include <QImage>
#include <QUrl>

class QTextDocument;

namespace tarn {

// Images a page carries in itself as data: URLs, the only images a page preview shows.
// A few bytes of one can unpack into hundreds of megabytes, and decoding one takes
// long: they are decoded off the interface thread, before the page is laid out, and
// only as many as fit together in maxBytes, each at most maxPixels. An image left out
// shows as an empty box of its size.
namespace EmbeddedImages {

constexpr qint64 maxPixels = qint64{4096} * 4096;
// Decoded, all images of one page together.
constexpr qint64 maxBytes = qint64{64} * 1024 * 1024;

// The images the page's text names (by the URL its layout will ask for), decoded in
// the page's order and ready to draw, while they fit.
QHash<QUrl, QImage> decode(const QTextDocument& page);

// The image one data: URL carries; null when it carries none or is larger than
// `pixelLimit`.
QImage decode(const QUrl& url, qint64 pixelLimit = maxPixels);

}  // namespace EmbeddedImages

}  // namespace tarn
