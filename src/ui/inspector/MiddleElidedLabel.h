#pragma once

#include <QLabel>

namespace tarn {

// A one-line, selectable label that cuts a text too long for its width in the middle,
// so both the start and the end of a long key stay readable; the whole text is its
// tool tip while it is cut.
class MiddleElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit MiddleElidedLabel(const QString& text, QWidget* parent = nullptr);

    QString fullText() const { return m_fullText; }
    bool isElided() const { return text() != m_fullText; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    QString m_fullText;
};

}  // namespace tarn
