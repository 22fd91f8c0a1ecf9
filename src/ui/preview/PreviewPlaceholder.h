#pragma once

#include <QWidget>

class QLabel;

namespace tarn {

// A short text centred in place of a preview: that it is coming, or why there is none.
class PreviewPlaceholder : public QWidget {
    Q_OBJECT

public:
    PreviewPlaceholder(const QString& text, int minimumHeight, QWidget* parent = nullptr);

    QString text() const;

private:
    QLabel* m_label;
};

}  // namespace tarn
