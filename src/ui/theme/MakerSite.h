#pragma once

#include <QUrl>

namespace tarn {

// The maker's web site, opened by the sidebar's logo and the About page. It is a
// build setting (TARN_MAKER_SITE_URL), empty unless a packager sets one: the
// program then links to no site, and the logo does nothing when clicked.
class MakerSite {
public:
    MakerSite() = delete;

    // The site's address; empty when none is set or the setting is no web address.
    static QUrl url();
    // The address a setting names, by the same rule.
    static QUrl fromSetting(const QString& setting);
};

}  // namespace tarn
