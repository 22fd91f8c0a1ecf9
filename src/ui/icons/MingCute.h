#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

namespace tarn {

// Every icon of the window by name. A name first passes the alias table once (so
// "share_3_line" means "square.and.arrow.up", while "square.and.arrow.up" itself
// means "arrow.up.circle"); the symbol name it gives is then drawn with a glyph of
// the MingCute icon set compiled into the program. A name without a glyph gives a
// null icon or pixmap, and each caller decides what to show instead.
class MingCute {
public:
    MingCute() = delete;

    // The symbol name an icon name stands for: the alias table, applied once.
    static QString symbolName(const QString& iconName);
    // The resource path of the glyph drawn for an icon name; empty when there is none.
    static QString glyphResource(const QString& iconName);
    // The resource path of a symbol's glyph (no alias applied); empty when there is none.
    static QString symbolGlyphResource(const QString& symbolName);
    // Every symbol name that has a glyph.
    static QStringList symbolNames();

    // The square an icon of a point size takes; the glyph's own margin makes the
    // drawing about as tall as text of that size.
    static QSize iconSize(qreal pointSize);

    // The icon tinted with a colour, drawn anew at every size and pixel ratio it is
    // asked for; disabled, it is drawn fainter.
    static QIcon icon(const QString& iconName, const QColor& color);
    // The icon at a point size for a device pixel ratio.
    static QPixmap pixmap(const QString& iconName, qreal pointSize, const QColor& color, qreal devicePixelRatio);

    // Draws the glyph of a resource, tinted, into a pixmap of a size in
    // device-independent pixels; null when the resource is no readable SVG.
    static QPixmap renderGlyph(const QString& resource, const QSize& size, const QColor& color,
                               qreal devicePixelRatio);
};

}  // namespace tarn
