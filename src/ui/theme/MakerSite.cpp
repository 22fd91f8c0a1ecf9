#include "ui/theme/MakerSite.h"

#ifndef TARN_MAKER_SITE_URL
#define TARN_MAKER_SITE_URL ""
#endif

namespace tarn {

QUrl MakerSite::url()
{
    static const QUrl site = fromSetting(QStringLiteral(TARN_MAKER_SITE_URL));
    return site;
}

QUrl MakerSite::fromSetting(const QString& setting)
{
    const QUrl url(setting.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        return {};
    }
    return url;
}

}  // namespace tarn
