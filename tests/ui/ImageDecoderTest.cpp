#include "ui/PreviewTestFiles.h"
#include "ui/preview/ImageDecoder.h"

#include <QImageReader>

#include <gtest/gtest.h>

namespace tarn {
namespace {

using test::PreviewTestFiles;

TEST(ImageDecoder, DecodesEachFormatUprightAtItsSize)
{
    PreviewTestFiles files;
    const DecodedImage png = ImageDecoder::decode(files.png(QStringLiteral("a.png"), QSize(64, 48)));
    EXPECT_EQ(png.image.size(), QSize(64, 48));
    EXPECT_FALSE(png.animated);

    // Stored 40 x 20 and tagged to be turned a quarter: shown 20 x 40.
    const DecodedImage rotated =
        ImageDecoder::decode(files.jpegWithOrientation(QStringLiteral("phone.jpg"), QSize(40, 20), 6));
    EXPECT_EQ(rotated.storedSize, QSize(40, 20));
    EXPECT_EQ(rotated.image.size(), QSize(20, 40));
    // Orientation 1 is upright already.
    const DecodedImage upright =
        ImageDecoder::decode(files.jpegWithOrientation(QStringLiteral("upright.jpg"), QSize(40, 20), 1));
    EXPECT_EQ(upright.image.size(), QSize(40, 20));

    const DecodedImage gif = ImageDecoder::decode(files.animatedGif(QStringLiteral("blink.gif"), QSize(6, 4)));
    EXPECT_EQ(gif.image.size(), QSize(6, 4));
    EXPECT_TRUE(gif.animated);
    QImageReader frames(files.path(QStringLiteral("blink.gif")));
    EXPECT_EQ(frames.imageCount(), 2);
    const QImage first = frames.read();
    const QImage second = frames.read();
    EXPECT_NE(first.pixel(0, 0), second.pixel(0, 0));
}

TEST(ImageDecoder, ScalesTheLongerSideTo4096WhileReading)
{
    PreviewTestFiles files;
    const DecodedImage wide = ImageDecoder::decode(files.png(QStringLiteral("wide.png"), QSize(5000, 100)));
    EXPECT_EQ(wide.storedSize, QSize(5000, 100));
    EXPECT_EQ(wide.image.size(), QSize(4096, 82));
    // Turned after scaling: the longer side is still 4,096.
    const DecodedImage tall =
        ImageDecoder::decode(files.jpegWithOrientation(QStringLiteral("tall.jpg"), QSize(6000, 300), 6));
    EXPECT_EQ(tall.image.size(), QSize(205, 4096));

    EXPECT_EQ(ImageDecoder::cappedSize(QSize(4096, 10)), QSize(4096, 10));
    EXPECT_EQ(ImageDecoder::cappedSize(QSize(100, 8192)), QSize(50, 4096));
}

TEST(ImageDecoder, WebpAndTiffComeFromThePlugins)
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    ASSERT_TRUE(formats.contains("webp")) << "qt6-image-formats-plugins is missing";
    ASSERT_TRUE(formats.contains("tiff"));
    PreviewTestFiles files;
    for (const char* format : {"webp", "tiff"}) {
        SCOPED_TRACE(format);
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = files.path(QStringLiteral("image.") + QString::fromLatin1(format));
        ASSERT_TRUE(image.save(path, format));
        EXPECT_EQ(ImageDecoder::decode(path).image.size(), QSize(30, 20));
    }
}

TEST(ImageDecoder, WhatNoDecoderReadsGivesNoImage)
{
    PreviewTestFiles files;
    // A HEIC container this machine has no decoder for, or simply not an image.
    EXPECT_TRUE(ImageDecoder::decode(files.write(QStringLiteral("x.heic"), QByteArray("\0\0\0\x18" "ftypheic", 12)))
                    .image.isNull());
    EXPECT_TRUE(ImageDecoder::decode(files.write(QStringLiteral("x.png"), QByteArray("not a png"))).image.isNull());
    EXPECT_TRUE(ImageDecoder::decode(files.path(QStringLiteral("missing.png"))).image.isNull());
}

}  // namespace
}  // namespace tarn
