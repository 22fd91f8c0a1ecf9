#include "ui/theme/CorvaneLogo.h"

#include "ui/theme/UiResources.h"

namespace tarn {

const QImage& CorvaneLogo::image()
{
    static const QImage logo = [] {
        ensureUiResources();
        return QImage(QStringLiteral(":/tarn/logo.png"));
    }();
    return logo;
}

}  // namespace tarn
