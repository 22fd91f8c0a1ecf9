#pragma once

#include <QWidget>

class QLabel;

namespace tarn {

// One quiet line under a preview with an information mark: that only the start of a
// large file is shown.
class PreviewNote : public QWidget {
    Q_OBJECT

public:
    explicit PreviewNote(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

    // The note for a file of which only the first bytes are shown.
    static QString truncationText(qint64 shownBytes, qint64 fileSize);

private:
    QLabel* m_label;
};

}  // namespace tarn
