#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tarn {

// Reading a previewed file for display. A preview may be as large as the preview
// size limit allows (up to 2 GiB), far more than a text view can lay out without
// freezing the window, so only the start of the file is read and shown, and the view
// says so. Safe on any thread; the views call these off the interface thread.
namespace PreviewFile {

// The most shown of a plain text file: a few seconds of scrolling at most to lay out.
constexpr qint64 textDisplayCap = 4 * 1024 * 1024;
// The most shown of a Markdown or HTML page, whose rich layout costs far more: about
// a quarter of a second to lay out on the interface thread.
constexpr qint64 pageDisplayCap = 512 * 1024;

// The first bytes of a file, at most `cap` of them.
struct Start {
    bool readable = false;
    QByteArray bytes;
    qint64 fileSize = 0;  // the whole file's size

    bool truncated() const { return bytes.size() < fileSize; }
};

Start read(const QString& path, qint64 cap);

// The bytes as text when they are UTF-8. A start that was cut may end inside a
// character: those last bytes are dropped rather than counted as invalid. A byte
// order mark is dropped too. None when the bytes are not UTF-8.
std::optional<QString> utf8Text(const Start& start);

// An HTML page's text in the encoding it declares (byte order mark or meta charset),
// UTF-8 when it declares none.
QString htmlText(const Start& start);

}  // namespace PreviewFile

}  // namespace tarn
