#pragma once

#include <QProxyStyle>

namespace tarn {

// Fusion with the few changes the dark window needs: thin scroll bars that lie over
// the content instead of taking room beside it.
class TarnStyle : public QProxyStyle {
    Q_OBJECT

public:
    TarnStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

}  // namespace tarn
