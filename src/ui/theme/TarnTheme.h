#pragma once

#include "ui/theme/ThemeColor.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

#include <span>

class QApplication;

namespace tarn {

// The look every pane, row and sheet shares: one table of colours, the dark
// palette built from it, the application font and the style. Main thread only.
class TarnTheme {
public:
    TarnTheme() = delete;

    // One row of the colour table: sRGB components from 0 to 1.
    struct Entry {
        ThemeColor role;
        const char* name;
        float red;
        float green;
        float blue;
        float alpha;
    };

    // The whole table, one entry per role, in the order of ThemeColor.
    static std::span<const Entry> table();

    static QColor color(ThemeColor role);
    // The colour of a role with its alpha replaced (the brand at 0.2 for an outline).
    static QColor color(ThemeColor role, qreal alpha);
    static QColor brand() { return color(ThemeColor::brand); }
    // A colour laid over an opaque one (source-over): the opaque result.
    static QColor over(const QColor& top, const QColor& bottom);
    static QColor baseTint() { return color(ThemeColor::baseTint); }

    // Fusion's roles filled from the table: dark window, light text, brand accents.
    static QPalette palette();

    // Chinese is the default language; one CJK family with its own Latin glyphs
    // renders both scripts with the same weight and height.
    static QString fontFamily();
    // The interface font at a size in device-independent pixels, the unit in which
    // every size of the window layer is given.
    static QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

    // Installs the style, the palette and the application font.
    static void apply(QApplication& application);
};

}  // namespace tarn
