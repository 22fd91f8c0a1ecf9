#pragma once

#include <QString>

#include <cstdint>

class QFontMetrics;

namespace tarn {

// The size cell of a running upload: the bytes sent of the total ("37.5 / 286.1 MB").
// A cell too narrow for that gets a shorter form that still ends in the total: the
// numbers rounded to whole units ("38 / 286 MB"), then the total alone ("286.1 MB",
// "286 MB"). Only when not even that fits is the text cut, in the middle.
namespace UploadSizeText {

QString fitted(std::int64_t sent, std::int64_t total, const QFontMetrics& metrics, int width);

}  // namespace UploadSizeText

}  // namespace tarn
