// Draws the program's logo: a brand-green mark (two peaks over the still water of
// a mountain lake, cut out of a rounded square) and the word-mark "Tarn Manager".
// Built and run by scripts/dev/make-logo; the PNG it writes is committed.
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-logo OUTPUT.png\n");
        return 2;
    }
    const QColor brand(0x33, 0xD1, 0x6B);
    const QSize canvas(975, 288);
    QImage image(canvas, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The mark: a rounded square with the peaks and the water cut out of it.
    const QRectF mark(24, 32, 224, 224);
    QPainterPath square;
    square.addRoundedRect(mark, 56, 56);
    painter.fillPath(square, brand);

    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    const qreal left = mark.left();
    const qreal top = mark.top();
    QPainterPath peaks;
    peaks.moveTo(left + 40, top + 150);
    peaks.lineTo(left + 98, top + 62);
    peaks.lineTo(left + 128, top + 106);
    peaks.lineTo(left + 146, top + 82);
    peaks.lineTo(left + 186, top + 150);
    peaks.closeSubpath();
    QPen joint(Qt::black, 10, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(joint);
    painter.setBrush(Qt::black);
    painter.drawPath(peaks);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 11, Qt::SolidLine, Qt::RoundCap));
    for (const qreal y : {top + 178.0, top + 202.0}) {
        const qreal inset = y > top + 190 ? 70 : 48;
        QPainterPath wave;
        wave.moveTo(left + inset, y);
        wave.cubicTo(left + inset + 22, y - 9, left + 112 - 18, y - 9, left + 112, y);
        wave.cubicTo(left + 112 + 18, y + 9, left + 224 - inset - 22, y + 9, left + 224 - inset, y);
        painter.drawPath(wave);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

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

    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s (%dx%d, font %s %d px)\n", argv[1], canvas.width(), canvas.height(),
                qPrintable(QFontInfo(bold).family()), static_cast<int>(pixelSize));
    return 0;
}
