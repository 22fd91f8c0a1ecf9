#include "ui/PreviewTestFiles.h"

#include "ui/theme/TarnTheme.h"
#include "ui/views/TintedBlurView.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QVBoxLayout>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace tarn::test {

namespace {

void appendLittle16(QByteArray& bytes, quint16 value)
{
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>(value >> 8));
}

void appendLittle32(QByteArray& bytes, quint32 value)
{
    appendLittle16(bytes, static_cast<quint16>(value & 0xFFFF));
    appendLittle16(bytes, static_cast<quint16>(value >> 16));
}

// The EXIF segment of a JPEG with nothing but the orientation: an APP1 marker, the
// "Exif" header, a little-endian TIFF header and one directory of one entry.
QByteArray exifOrientationSegment(int orientation)
{
    QByteArray tiff("II*\0", 4);
    appendLittle32(tiff, 8);       // the first directory follows the header
    appendLittle16(tiff, 1);       // one entry
    appendLittle16(tiff, 0x0112);  // Orientation
    appendLittle16(tiff, 3);       // SHORT
    appendLittle32(tiff, 1);       // one value
    appendLittle16(tiff, static_cast<quint16>(orientation));
    appendLittle16(tiff, 0);       // padding of the four-byte value field
    appendLittle32(tiff, 0);       // no further directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const auto length = static_cast<quint16>(payload.size() + 2);
    segment.append(static_cast<char>(length >> 8));
    segment.append(static_cast<char>(length & 0xFF));
    return segment + payload;
}

// LZW data for a GIF frame of pixels from a four-colour table. Two pixels follow each
// clear code, so the table never grows past 3-bit codes: plain, and valid.
QByteArray lzwPixels(const std::vector<quint8>& pixels)
{
    constexpr int clear = 4;
    constexpr int end = 5;
    constexpr int codeBits = 3;
    std::vector<int> codes;
    for (std::size_t i = 0; i < pixels.size(); i += 2) {
        codes.push_back(clear);
        codes.push_back(pixels[i]);
        if (i + 1 < pixels.size()) {
            codes.push_back(pixels[i + 1]);
        }
    }
    codes.push_back(end);
    QByteArray packed;
    quint32 buffer = 0;
    int filled = 0;
    for (const int code : codes) {
        buffer |= static_cast<quint32>(code) << filled;
        filled += codeBits;
        while (filled >= 8) {
            packed.append(static_cast<char>(buffer & 0xFF));
            buffer >>= 8;
            filled -= 8;
        }
    }
    if (filled > 0) {
        packed.append(static_cast<char>(buffer & 0xFF));
    }
    // Sub-blocks of at most 255 bytes, then an empty one.
    QByteArray blocks;
    for (qsizetype at = 0; at < packed.size(); at += 255) {
        const QByteArray chunk = packed.mid(at, 255);
        blocks.append(static_cast<char>(chunk.size()));
        blocks.append(chunk);
    }
    blocks.append('\0');
    return blocks;
}

}  // namespace

PreviewTestFiles::PreviewTestFiles()
{
    EXPECT_TRUE(m_folder.isValid());
}

QString PreviewTestFiles::path(const QString& name) const
{
    return m_folder.filePath(name);
}

QString PreviewTestFiles::write(const QString& name, const QByteArray& bytes) const
{
    QFile file(path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return file.fileName();
}

QString PreviewTestFiles::png(const QString& name, QSize size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 140, 220));
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(0, 0), size / 2), QColor(250, 200, 60));
    painter.end();
    EXPECT_TRUE(image.save(path(name), "PNG"));
    return path(name);
}

QString PreviewTestFiles::jpegWithOrientation(const QString& name, QSize stored, int orientation) const
{
    QImage image(stored, QImage::Format_RGB32);
    image.fill(QColor(200, 60, 60));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QImageWriter writer(&buffer, "jpeg");
    EXPECT_TRUE(writer.write(image));
    // After the start of image and the JFIF segment Qt writes first.
    qsizetype at = 2;
    if (jpeg.mid(2, 2) == QByteArray("\xFF\xE0", 2)) {
        at = 4 + ((static_cast<quint8>(jpeg[4]) << 8) | static_cast<quint8>(jpeg[5]));
    }
    jpeg.insert(at, exifOrientationSegment(orientation));
    return write(name, jpeg);
}

QString PreviewTestFiles::animatedGif(const QString& name, QSize size) const
{
    QByteArray gif("GIF89a");
    appendLittle16(gif, static_cast<quint16>(size.width()));
    appendLittle16(gif, static_cast<quint16>(size.height()));
    gif.append('\x91');  // a global table of four colours
    gif.append('\0');    // background colour
    gif.append('\0');    // no aspect ratio
    gif.append(QByteArray("\x00\x00\x00" "\xE0\x40\x40" "\x40\xC0\x60" "\xFF\xFF\xFF", 12));
    // Loop for ever.
    gif.append(QByteArray("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01\x00\x00\x00", 19));
    for (const quint8 colour : {quint8(1), quint8(2)}) {
        gif.append(QByteArray("\x21\xF9\x04\x00", 4));
        appendLittle16(gif, 10);  // a tenth of a second
        gif.append(QByteArray("\x00\x00", 2));
        gif.append('\x2C');
        appendLittle32(gif, 0);  // at the top left
        appendLittle16(gif, static_cast<quint16>(size.width()));
        appendLittle16(gif, static_cast<quint16>(size.height()));
        gif.append('\0');  // no local table, not interlaced
        gif.append('\x02');  // minimum code size
        gif.append(lzwPixels(std::vector<quint8>(static_cast<std::size_t>(size.width() * size.height()), colour)));
    }
    gif.append('\x3B');
    return write(name, gif);
}

QString PreviewTestFiles::wav(const QString& name, int milliseconds) const
{
    constexpr int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray data;
    for (int i = 0; i < samples; ++i) {
        const double value = 6000 * std::sin(2 * std::numbers::pi * 440 * i / rate);
        appendLittle16(data, static_cast<quint16>(static_cast<qint16>(value)));
    }
    QByteArray wav("RIFF");
    appendLittle32(wav, static_cast<quint32>(36 + data.size()));
    wav.append("WAVEfmt ");
    appendLittle32(wav, 16);
    appendLittle16(wav, 1);  // PCM
    appendLittle16(wav, 1);  // mono
    appendLittle32(wav, rate);
    appendLittle32(wav, rate * 2);
    appendLittle16(wav, 2);
    appendLittle16(wav, 16);
    wav.append("data");
    appendLittle32(wav, static_cast<quint32>(data.size()));
    return write(name, wav + data);
}

QString PreviewTestFiles::pdf(const QString& name, int pages) const
{
    QPdfWriter writer(path(name));
    writer.setPageSize(QPageSize(QPageSize::A5));
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            writer.newPage();
        }
        QFont font = painter.font();
        font.setPixelSize(28);
        painter.setFont(font);
        painter.drawText(QRect(40, 40, 340, 60), Qt::AlignLeft, QStringLiteral("Page %1 of %2").arg(page).arg(pages));
        font.setPixelSize(12);
        painter.setFont(font);
        for (int line = 0; line < 20; ++line) {
            painter.drawText(QPoint(40, 130 + line * 18),
                             QStringLiteral("Line %1: the quick brown fox jumps over the lazy dog.").arg(line + 1));
        }
    }
    painter.end();
    return path(name);
}

QWidget* makePreviewPane(QWidget* preview, const QString& title)
{
    auto* pane = new TintedBlurView(0.5);
    pane->setFixedWidth(360);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(20, 22, 20, 22);
    layout->setSpacing(9);
    auto* heading = new QLabel(title, pane);
    heading->setFont(TarnTheme::font(13));
    layout->addWidget(heading);
    layout->addWidget(preview);
    pane->adjustSize();
    return pane;
}

QString mediaClipPath()
{
    return QStringLiteral(TARN_TEST_DATA_DIR "/media/clip.webm");
}

}  // namespace tarn::test
