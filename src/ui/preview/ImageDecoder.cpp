#include "ui/preview/ImageDecoder.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace tarn::ImageDecoder {

namespace {

DecodedImage decodeWith(QImageReader& reader)
{
    DecodedImage result;
    reader.setAutoTransform(true);
    result.storedSize = reader.size();
    const QSize capped = cappedSize(result.storedSize);
    if (result.storedSize.isValid() && capped != result.storedSize) {
        // The scaled size is applied before the orientation: the longer side is the
        // same either way, and a decoder that can scales while it decodes (JPEG).
        reader.setScaledSize(capped);
    }
    result.animated = reader.supportsAnimation() && reader.imageCount() > 1;
    result.image = reader.read();
    // A format that cannot tell its size before decoding is scaled afterwards.
    if (!result.image.isNull() && cappedSize(result.image.size()) != result.image.size()) {
        result.image = result.image.scaled(cappedSize(result.image.size()), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return result;
}

}  // namespace

QSize cappedSize(const QSize& size, int limit)
{
    const int longer = std::max(size.width(), size.height());
    if (!size.isValid() || longer <= limit) {
        return size;
    }
    const double scale = static_cast<double>(limit) / longer;
    return {std::max(1, static_cast<int>(std::lround(size.width() * scale))),
            std::max(1, static_cast<int>(std::lround(size.height() * scale)))};
}

DecodedImage decode(const QString& path)
{
    QImageReader reader(path);
    return decodeWith(reader);
}

DecodedImage decode(QIODevice& device)
{
    QImageReader reader(&device);
    return decodeWith(reader);
}

}  // namespace tarn::ImageDecoder
