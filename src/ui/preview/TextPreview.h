#pragma once

#include "ui/preview/StoppablePreview.h"

#include <QWidget>

class QPlainTextEdit;

namespace tarn {

class PreviewPages;

// A text file, read only, in a monospaced font. The file is read off the interface
// thread and only its first few MiB are shown, with a note saying so; a file that is
// not UTF-8 shows the failure text instead.
class TextPreview : public QWidget, public StoppablePreview {
    Q_OBJECT

public:
    explicit TextPreview(const QString& path, QWidget* parent = nullptr);

    bool isLoaded() const;
    // Whether the failure text is shown in place of the file's text.
    bool showsFailure() const;
    // The text shown: the file's (its start), or the failure text.
    QString shownText() const;
    // The note under the text; empty when the whole file is shown.
    QString noteText() const;

    void stopMedia() override;

    // A read-only, selectable view of plain text in the look of this preview.
    static QPlainTextEdit* makeView();
    // The first face of the preview's monospaced chain: one with Latin and CJK glyphs
    // (from fonts-noto-cjk, which the scripts install).
    static QString monospacedFamily() { return QStringLiteral("Noto Sans Mono CJK SC"); }
    QPlainTextEdit* view() const { return m_editor; }

private:
    QPlainTextEdit* m_editor;
    PreviewPages* m_pages;
};

}  // namespace tarn
