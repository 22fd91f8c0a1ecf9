// Draws the program's logo: a brand-green mark (two peaks over the still water of
// a mountain lake, cut out of a rounded square) and the word-mark "Tarn Manager";
// and, from the same mark, the application icon: a scalable SVG and PNGs of the
// sizes desktops ask for. Built and run by scripts/dev/make-logo; the files it
// writes are committed.
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTextStream>

#include <cstdio>

namespace {

const QColor brand(0x33, 0xD1, 0x6B);

// The mark in a 224 x 224 square at `origin`: the square with the peaks and two
// waves cut out of it, as one path that any painter or an SVG file can fill.
QPainterPath markAt(QPointF origin)
{
    const qreal left = origin.x();
    const qreal top = origin.y();
    QPainterPath square;
    square.addRoundedRect(QRectF(origin, QSizeF(224, 224)), 56, 56);

    QPainterPath peaks;
    peaks.moveTo(left + 40, top + 150);
    peaks.lineTo(left + 98, top + 62);
    peaks.lineTo(left + 128, top + 106);
    peaks.lineTo(left + 146, top + 82);
    peaks.lineTo(left + 186, top + 150);
    peaks.closeSubpath();
    QPainterPathStroker joint;
    joint.setWidth(10);
    joint.setJoinStyle(Qt::RoundJoin);
    joint.setCapStyle(Qt::RoundCap);
    QPainterPath cut = peaks.united(joint.createStroke(peaks));

    QPainterPathStroker line;
    line.setWidth(11);
    line.setCapStyle(Qt::RoundCap);
    for (const qreal y : {top + 178.0, top + 202.0}) {
        const qreal inset = y > top + 190 ? 70 : 48;
        QPainterPath wave;
        wave.moveTo(left + inset, y);
        wave.cubicTo(left + inset + 22, y - 9, left + 112 - 18, y - 9, left + 112, y);
        wave.cubicTo(left + 112 + 18, y + 9, left + 224 - inset - 22, y + 9, left + 224 - inset, y);
        cut = cut.united(line.createStroke(wave));
    }
    return square.subtracted(cut).simplified();
}

bool writeLogo(const QString& file)
{
    const QSize canvas(975, 288);
    QImage image(canvas, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF mark(24, 32, 224, 224);
    painter.fillPath(markAt(mark.topLeft()), brand);

    // The word-mark, as large as fits beside the mark, centred on it.
    const qreal textLeft = mark.right() + 40;
    const qreal textWidth = canvas.width() - textLeft - 24;
    QFont bold(QStringLiteral("Noto Sans CJK SC"));
    bold.setWeight(QFont::Bold);
    QFont regular(QStringLiteral("Noto Sans CJK SC"));
    regular.setWeight(QFont::Normal);
    const QString first = QStringLiteral("Tarn");
    const QString second = QStringLiteral(" Manager");
    qreal pixelSize = 140;
    for (;; pixelSize -= 1) {
        bold.setPixelSize(static_cast<int>(pixelSize));
        regular.setPixelSize(static_cast<int>(pixelSize));
        const qreal width = QFontMetricsF(bold).horizontalAdvance(first) + QFontMetricsF(regular).horizontalAdvance(second);
        if (width <= textWidth) {
            break;
        }
    }
    const QFontMetricsF metrics(bold);
    const qreal baseline = mark.center().y() + metrics.capHeight() / 2;
    QPainterPath text;
    text.addText(textLeft, baseline, bold, first);
    text.addText(textLeft + metrics.horizontalAdvance(first), baseline, regular, second);
    painter.setPen(Qt::NoPen);
    painter.fillPath(text, brand);
    painter.end();

    if (!image.save(file, "PNG")) {
        return false;
    }
    std::printf("wrote %s (%dx%d, font %s %d px)\n", qPrintable(file), canvas.width(), canvas.height(),
                qPrintable(QFontInfo(bold).family()), static_cast<int>(pixelSize));
    return true;
}

// The icon's canvas is 256 units with the mark centred, as desktops expect an
// application icon to leave a little room around its shape.
constexpr qreal iconCanvas = 256;
QPainterPath iconMark() { return markAt(QPointF(16, 16)); }

// Path data of `path` (simplified paths are polygons) with two decimals.
QString svgPathData(const QPainterPath& path)
{
    QString data;
    QTextStream out(&data);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(2);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.isMoveTo()) {
            if (i > 0) {
                out << "Z";
            }
            out << "M";
        } else if (element.isLineTo()) {
            out << "L";
        } else if (element.isCurveTo()) {
            const QPainterPath::Element first = path.elementAt(i + 1);
            const QPainterPath::Element second = path.elementAt(i + 2);
            out << "C" << element.x << " " << element.y << " " << first.x << " " << first.y << " " << second.x << " "
                << second.y;
            i += 2;
            continue;
        }
        out << element.x << " " << element.y;
    }
    out << "Z";
    return data;
}

bool writeIconSvg(const QString& file)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QTextStream svg(&out);
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
        << "  <path fill=\"" << brand.name() << "\" fill-rule=\"" << (iconMark().fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero")
        << "\" d=\"" << svgPathData(iconMark()) << "\"/>\n"
        << "</svg>\n";
    std::printf("wrote %s\n", qPrintable(file));
    return svg.status() == QTextStream::Ok;
}

bool writeIconPng(const QString& file, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / iconCanvas, size / iconCanvas);
    painter.fillPath(iconMark(), brand);
    painter.end();
    if (!image.save(file, "PNG")) {
        return false;
    }
    std::printf("wrote %s\n", qPrintable(file));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-logo LOGO.png ICON_FOLDER\n");
        return 2;
    }
    const QString logo = QString::fromLocal8Bit(argv[1]);
    const QDir icons(QString::fromLocal8Bit(argv[2]));
    bool written = writeLogo(logo) && writeIconSvg(icons.filePath(QStringLiteral("tarn-manager.svg")));
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512}) {
        written = written && writeIconPng(icons.filePath(QStringLiteral("tarn-manager-%1.png").arg(size)), size);
    }
    if (!written) {
        std::fprintf(stderr, "cannot write the logo or the icons\n");
        return 1;
    }
    return 0;
}
