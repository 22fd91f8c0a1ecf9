#pragma once

#include <QImage>

namespace tarn {

// The logo at the foot of the sidebar: a 975 x 288 image with transparency, so its
// views keep that aspect ratio. Null when the image cannot be read; its views
// then stay empty.
class CorvaneLogo {
public:
    CorvaneLogo() = delete;

    static const QImage& image();
    static constexpr qreal aspectRatio = 975.0 / 288.0;
};

}  // namespace tarn
