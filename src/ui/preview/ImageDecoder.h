#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

namespace tarn {

// An image as a preview shows it: upright (its EXIF orientation applied) and at most
// 4,096 pixels on its longer side, scaled while it is read, so a photo of a hundred
// megapixels costs what a screen's worth does. Safe on any thread.
struct DecodedImage {
    QImage image;           // the first frame; null when the data cannot be decoded
    QSize storedSize;       // the size the file declares, before orientation and scaling
    bool animated = false;  // more than one frame: the view plays it
};

namespace ImageDecoder {

constexpr int maxSide = 4096;

// The size scaled down, keeping its proportions, so neither side exceeds `limit`.
QSize cappedSize(const QSize& size, int limit = maxSide);

DecodedImage decode(const QString& path);
DecodedImage decode(QIODevice& device);

}  // namespace ImageDecoder

}  // namespace tarn
