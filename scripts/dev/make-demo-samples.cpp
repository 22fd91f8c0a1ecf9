// Draws two of the demo bucket's samples: a photo-like JPEG of a mountain lake at
// dawn and a one-page PDF guide in both languages. Built and run by
// scripts/dev/make-demo-samples; the files it writes are committed.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QList>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A mountain range across the width, closed down to `bottom`: peaks up to `height`
// above `base` and valleys between them, the slopes roughened a little.
QPainterPath ridge(qreal width, qreal base, qreal height, quint32 seed, qreal bottom)
{
    QRandomGenerator random(seed);
    QList<QPointF> corners;
    bool peak = random.bounded(2) == 0;
    for (qreal x = -40; x < width + 120; x += 50 + random.bounded(90), peak = !peak) {
        const qreal rise = peak ? 0.55 + 0.45 * random.generateDouble() : 0.1 + 0.3 * random.generateDouble();
        corners.append(QPointF(x, base - height * rise));
    }
    QPainterPath path;
    path.moveTo(corners.front().x(), bottom);
    for (int i = 0; i + 1 < corners.size(); ++i) {
        const QPointF from = corners[i];
        const QPointF to = corners[i + 1];
        const int steps = std::max(1, static_cast<int>((to.x() - from.x()) / 6));
        for (int step = 0; step < steps; ++step) {
            const QPointF point = from + (to - from) * (static_cast<qreal>(step) / steps);
            path.lineTo(point.x(), point.y() + (step == 0 ? 0 : random.bounded(5.0) - 2.5));
        }
    }
    path.lineTo(corners.back());
    path.lineTo(corners.back().x(), bottom);
    path.closeSubpath();
    return path;
}

bool writePhoto(const QString& file)
{
    const int width = 960;
    const int height = 600;
    const qreal shore = 380;
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Sky at dawn.
    QLinearGradient sky(0, 0, 0, shore);
    sky.setColorAt(0, QColor(0x1b, 0x2a, 0x4a));
    sky.setColorAt(0.55, QColor(0x6d, 0x7f, 0xb0));
    sky.setColorAt(0.85, QColor(0xf2, 0xb3, 0x8a));
    sky.setColorAt(1, QColor(0xfb, 0xd9, 0xa6));
    painter.fillRect(QRectF(0, 0, width, shore), sky);

    // Three ranges, the farther ones paler; the middle one with snow.
    struct Range {
        qreal base, height;
        quint32 seed;
        QColor top, bottom;
        bool snow;
    };
    const Range ranges[] = {
        {270, 130, 7, QColor(0x8a, 0x8f, 0xb8), QColor(0xb9, 0xa9, 0xb8), false},
        {320, 170, 11, QColor(0x4a, 0x55, 0x7e), QColor(0x7b, 0x76, 0x8e), true},
        {370, 60, 5, QColor(0x1f, 0x3b, 0x36), QColor(0x2c, 0x4a, 0x3c), false},
    };
    QImage land(width, static_cast<int>(shore), QImage::Format_ARGB32_Premultiplied);
    land.fill(Qt::transparent);
    {
        QPainter landPainter(&land);
        landPainter.setRenderHint(QPainter::Antialiasing);
        for (const Range& range : ranges) {
            const QPainterPath path = ridge(width, range.base, range.height, range.seed, shore);
            QLinearGradient fill(0, range.base - range.height, 0, shore);
            fill.setColorAt(0, range.top);
            fill.setColorAt(1, range.bottom);
            landPainter.fillPath(path, fill);
            if (range.snow) {
                // Snow down to a wavering line well below the highest peaks.
                QPainterPath snow;
                snow.moveTo(0, 0);
                for (qreal x = 0; x <= width; x += 8) {
                    snow.lineTo(x, range.base - range.height * 0.62 + 7 * std::sin(x / 23) + 4 * std::sin(x / 7));
                }
                snow.lineTo(width, 0);
                snow.closeSubpath();
                landPainter.fillPath(path.intersected(snow), QColor(236, 238, 248, 215));
            }
        }
    }
    painter.drawImage(0, 0, land);

    // The lake: the land mirrored, darkened, with ripples.
    QLinearGradient water(0, shore, 0, height);
    water.setColorAt(0, QColor(0x3b, 0x4d, 0x72));
    water.setColorAt(1, QColor(0x10, 0x1c, 0x30));
    painter.fillRect(QRectF(0, shore, width, height - shore), water);
    painter.save();
    painter.setOpacity(0.45);
    painter.drawImage(QRectF(0, shore, width, height - shore), land.mirrored(false, true),
                      QRectF(0, 0, width, height - shore));
    painter.restore();
    QRandomGenerator random(20261211);
    for (int i = 0; i < 260; ++i) {
        const qreal y = shore + 4 + std::pow(random.generateDouble(), 1.6) * (height - shore - 4);
        const qreal x = random.bounded(width);
        const qreal length = 10 + random.bounded(60) * (y - shore) / (height - shore);
        painter.setPen(QPen(QColor(255, 226, 190, 30 + random.bounded(50)), 1.2));
        painter.drawLine(QPointF(x, y), QPointF(x + length, y));
    }
    painter.end();

    return image.save(file, "JPG", 82);
}

bool writeGuide(const QString& file)
{
    QPdfWriter pdf(file);
    pdf.setPageSize(QPageSize(QPageSize::A5));
    pdf.setPageMargins(QMarginsF(16, 16, 16, 16), QPageLayout::Millimeter);
    pdf.setResolution(144);
    pdf.setTitle(QStringLiteral("Tarn Manager quick guide"));
    pdf.setCreator(QStringLiteral("Tarn Manager demo"));

    QTextDocument document;
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPointSizeF(13);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet(QStringLiteral("h1 { color: #1f8f4a; } h2 { color: #1f8f4a; } p, li { line-height: 140%; }"));
    document.setHtml(QStringLiteral(
        "<h1>Tarn Manager quick guide</h1>"
        "<p>This PDF lives in the demo bucket so that you can see the PDF preview. Double-click "
        "it to open it in your own PDF reader.</p>"
        "<h2>Moving files</h2>"
        "<ul><li>Drop files or folders on the list to upload them; large files go up in parts, "
        "several at a time, and resume after a failure.</li>"
        "<li>Drag objects out of the list to download them, or use Download in the inspector.</li>"
        "<li>Rename with Enter; Rename / Move in the context menu takes an object to another folder.</li></ul>"
        "<h2>Sharing</h2>"
        "<p>Share in the context menu makes a link that opens the object without an account; a "
        "presigned link works for the time you choose.</p>"
        "<h1>快速指南</h1>"
        "<p>这个 PDF 放在演示存储桶里，用来展示 PDF 预览。双击即可用你自己的 PDF 阅读器打开。</p>"
        "<ul><li>把文件或文件夹拖到列表上即可上传；大文件分片并行上传，失败后可续传。</li>"
        "<li>把对象拖出列表即可下载，也可以使用检查器中的“下载”。</li>"
        "<li>按回车键重命名；右键菜单中的“重命名 / 移动”可把对象移到其他文件夹。</li></ul>"
        "<p>右键菜单中的“分享”生成无需账号即可打开对象的链接；预签名链接在所选有效期内有效。</p>"));

    QPainter painter(&pdf);
    const QRect page = painter.viewport();
    document.setPageSize(page.size());
    document.drawContents(&painter);
    return painter.end();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-demo-samples PHOTO.jpg GUIDE.pdf\n");
        return 2;
    }
    const QGuiApplication application(argc, argv);
    const QString photo = QString::fromLocal8Bit(argv[1]);
    const QString guide = QString::fromLocal8Bit(argv[2]);
    if (!writePhoto(photo) || !writeGuide(guide)) {
        std::fprintf(stderr, "cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
