#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

class QWidget;

namespace tarn::test {

// Files for the preview tests, made here rather than committed, in the formats the
// previews read. Each maker returns the file's path.
class PreviewTestFiles {
public:
    PreviewTestFiles();

    QString path(const QString& name) const;
    QString write(const QString& name, const QByteArray& bytes) const;

    // A PNG of a size in one colour.
    QString png(const QString& name, QSize size) const;
    // A JPEG stored `stored` in size, with an EXIF orientation tag (6: to be turned a
    // quarter clockwise, so it is shown with width and height swapped).
    QString jpegWithOrientation(const QString& name, QSize stored, int orientation) const;
    // A GIF of two frames of different colours, written out by hand: Qt cannot write GIF.
    QString animatedGif(const QString& name, QSize size) const;
    // A WAV of a 440 Hz tone.
    QString wav(const QString& name, int milliseconds) const;
    // A PDF with a line of text on each page.
    QString pdf(const QString& name, int pages) const;

private:
    QTemporaryDir m_folder;
};

// The inspector pane as far as a preview sees it: its tinted surface, 360 wide, with
// the 20-pixel margins of the card stack, holding the view under the section title.
// The caller owns the pane; the view becomes its child.
QWidget* makePreviewPane(QWidget* preview, const QString& title = QStringLiteral("Preview"));

// The short clip the player tests play (committed; see scripts/dev/make-preview-clip).
QString mediaClipPath();

}  // namespace tarn::test
