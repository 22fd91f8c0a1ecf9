#include "ui/icons/MingCute.h"

#include "ui/icons/MingCuteIconEngine.h"
#include "ui/theme/UiResources.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>
#include <utility>

namespace tarn {
namespace {

// Icon names that stand for another symbol. Applied once, never repeatedly.
const QHash<QString, QString>& aliasTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("document_line"), QStringLiteral("doc")},
        {QStringLiteral("folder_2_line"), QStringLiteral("folder.fill")},
        {QStringLiteral("storage_fill"), QStringLiteral("externaldrive")},
        {QStringLiteral("refresh_1_line"), QStringLiteral("arrow.clockwise")},
        {QStringLiteral("share_3_line"), QStringLiteral("square.and.arrow.up")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("arrow.up.circle")},
    };
    return table;
}

// The glyph drawn for each symbol name, as "category/file" of the icon set.
// scripts/dev/vendor-mingcute copies exactly the files named here.
const QHash<QString, QString>& glyphTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("archivebox"), QStringLiteral("file/archive_line")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("system/refresh_1_line")},
        {QStringLiteral("arrow.down.circle"), QStringLiteral("arrow/arrow_down_circle_line")},
        {QStringLiteral("arrow.down.right.and.arrow.up.left"), QStringLiteral("media/fullscreen_exit_line")},
        {QStringLiteral("arrow.up.circle"), QStringLiteral("arrow/arrow_up_circle_line")},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("media/fullscreen_line")},
        {QStringLiteral("arrow.up.right"), QStringLiteral("arrow/arrow_right_up_line")},
        {QStringLiteral("arrow.up.right.square"), QStringLiteral("file/external_link_line")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("arrow/back_line")},
        {QStringLiteral("arrowshape.turn.up.right"), QStringLiteral("system/share_forward_line")},
        {QStringLiteral("checkmark.circle"), QStringLiteral("system/check_circle_line")},
        {QStringLiteral("chevron.left"), QStringLiteral("arrow/left_line")},
        {QStringLiteral("chevron.right"), QStringLiteral("arrow/right_line")},
        {QStringLiteral("doc"), QStringLiteral("file/document_line")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("file/copy_2_line")},
        {QStringLiteral("doc.richtext"), QStringLiteral("file/pdf_line")},
        {QStringLiteral("doc.text"), QStringLiteral("file/document_2_line")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("system/alert_fill")},
        {QStringLiteral("externaldrive"), QStringLiteral("device/storage_line")},
        {QStringLiteral("film"), QStringLiteral("media/film_line")},
        {QStringLiteral("folder"), QStringLiteral("file/folder_line")},
        {QStringLiteral("folder.badge.plus"), QStringLiteral("file/new_folder_line")},
        {QStringLiteral("folder.fill"), QStringLiteral("file/folder_fill")},
        {QStringLiteral("gearshape"), QStringLiteral("system/settings_3_line")},
        {QStringLiteral("info.circle"), QStringLiteral("system/information_line")},
        {QStringLiteral("info.circle.fill"), QStringLiteral("system/information_fill")},
        {QStringLiteral("link"), QStringLiteral("file/link_line")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("file/search_line")},
        {QStringLiteral("minus.circle.fill"), QStringLiteral("system/minus_circle_fill")},
        {QStringLiteral("minus.magnifyingglass"), QStringLiteral("file/zoom_out_line")},
        {QStringLiteral("pause.fill"), QStringLiteral("media/pause_fill")},
        {QStringLiteral("pencil"), QStringLiteral("editor/pencil_line")},
        {QStringLiteral("photo"), QStringLiteral("file/pic_line")},
        {QStringLiteral("play.fill"), QStringLiteral("media/play_fill")},
        {QStringLiteral("plus"), QStringLiteral("system/add_line")},
        {QStringLiteral("plus.circle"), QStringLiteral("system/add_circle_line")},
        {QStringLiteral("plus.magnifyingglass"), QStringLiteral("file/zoom_in_line")},
        {QStringLiteral("sidebar.right"), QStringLiteral("design/layout_right_line")},
        {QStringLiteral("speaker.slash"), QStringLiteral("media/volume_off_line")},
        {QStringLiteral("speaker.wave.2"), QStringLiteral("media/volume_line")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("file/download_line")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("system/share_3_line")},
        {QStringLiteral("star"), QStringLiteral("shape/star_line")},
        {QStringLiteral("star.fill"), QStringLiteral("shape/star_fill")},
        {QStringLiteral("trash"), QStringLiteral("system/delete_2_line")},
        {QStringLiteral("waveform"), QStringLiteral("media/music_2_line")},
        {QStringLiteral("xmark"), QStringLiteral("system/close_line")},
        {QStringLiteral("xmark.circle"), QStringLiteral("system/close_circle_line")},
    };
    return table;
}

}  // namespace

QString MingCute::symbolName(const QString& iconName)
{
    return aliasTable().value(iconName, iconName);
}

QString MingCute::glyphResource(const QString& iconName)
{
    return symbolGlyphResource(symbolName(iconName));
}

QString MingCute::symbolGlyphResource(const QString& symbolName)
{
    const QString glyph = glyphTable().value(symbolName);
    if (glyph.isEmpty()) {
        return {};
    }
    return QStringLiteral(":/icons/mingcute/%1.svg").arg(glyph);
}

QStringList MingCute::symbolNames()
{
    QStringList names = glyphTable().keys();
    names.sort();
    return names;
}

QSize MingCute::iconSize(qreal pointSize)
{
    const int side = static_cast<int>(std::lround(pointSize * 8.0 / 7.0));
    return {side, side};
}

QIcon MingCute::icon(const QString& iconName, const QColor& color)
{
    const QString resource = glyphResource(iconName);
    if (resource.isEmpty()) {
        return {};
    }
    return QIcon(new MingCuteIconEngine(resource, color));
}

QPixmap MingCute::pixmap(const QString& iconName, qreal pointSize, const QColor& color, qreal devicePixelRatio)
{
    const QString resource = glyphResource(iconName);
    if (resource.isEmpty()) {
        return {};
    }
    return renderGlyph(resource, iconSize(pointSize), color, devicePixelRatio);
}

QPixmap MingCute::renderGlyph(const QString& resource, const QSize& size, const QColor& color,
                              qreal devicePixelRatio)
{
    if (size.isEmpty()) {
        return {};
    }
    const QString key = QStringLiteral("mingcute|%1|%2x%3|%4|%5")
                            .arg(resource)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        return cached;
    }

    ensureUiResources();
    static QHash<QString, QSvgRenderer*> renderers;  // main thread only; kept for the process
    QSvgRenderer*& renderer = renderers[resource];
    if (renderer == nullptr) {
        renderer = new QSvgRenderer(resource);
    }
    if (!renderer->isValid()) {
        return {};
    }

    const QSize pixels(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                       static_cast<int>(std::ceil(size.height() * devicePixelRatio)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer->render(&painter, QRectF(QPointF(0, 0), pixels));
        // The glyphs are single-colour shapes: keeping their coverage and replacing
        // the colour tints them.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, result);
    return result;
}

}  // namespace tarn
