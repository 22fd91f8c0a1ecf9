#pragma once

#include <QColor>
#include <QWidget>

class QTextLayout;

namespace tarn {

// A label that wraps its text to at most a number of lines and cuts the last line
// with an ellipsis. Its preferred width is the text on one line; given less, it
// grows taller (height for width).
class WrappingLabel : public QWidget {
    Q_OBJECT

public:
    WrappingLabel(const QString& text, int maximumLines, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setColor(const QColor& color);
    int maximumLines() const { return m_maximumLines; }

    // The lines shown at a width, the last one cut when the text needs more.
    QStringList visibleLines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_text;
    int m_maximumLines;
    QColor m_color;
};

}  // namespace tarn
