#include "ui/preview/PreviewFile.h"

#include "core/text/Utf8.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <string_view>

namespace tarn::PreviewFile {

namespace {

// How many bytes the UTF-8 sequence that starts with this byte has; 0 for a
// continuation byte or a byte no sequence starts with.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80) {
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 4;
    }
    return 0;
}

// The length of the bytes without a character that the cut left unfinished.
qsizetype withoutCutCharacter(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    // A sequence is at most four bytes: look back over at most three continuations.
    for (qsizetype back = 1; back <= std::min<qsizetype>(4, size); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80) {
            continue;
        }
        const int length = sequenceLength(byte);
        return length > back ? size - back : size;
    }
    return size;
}

}  // namespace

Start read(const QString& path, qint64 cap)
{
    Start start;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return start;
    }
    start.fileSize = file.size();
    start.bytes = file.read(std::max<qint64>(0, std::min(cap, start.fileSize)));
    start.readable = file.error() == QFileDevice::NoError;
    return start;
}

std::optional<QString> utf8Text(const Start& start)
{
    if (!start.readable) {
        return std::nullopt;
    }
    const qsizetype length = start.truncated() ? withoutCutCharacter(start.bytes) : start.bytes.size();
    std::string_view bytes(start.bytes.constData(), static_cast<std::size_t>(length));
    if (!Utf8::isValid(bytes)) {
        return std::nullopt;
    }
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (bytes.starts_with(byteOrderMark)) {
        bytes.remove_prefix(byteOrderMark.size());
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString htmlText(const Start& start)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(start.bytes);
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringDecoder::Utf8);
    }
    return decoder.decode(start.bytes);
}

}  // namespace tarn::PreviewFile
