#pragma once

#include <QWidget>

namespace tarn {

// The rounded, slightly darker surface a preview's content lies on, so a page, a text
// or a PDF reads as one bounded thing in the pane. Its children draw no background.
class PreviewSurface : public QWidget {
    Q_OBJECT

public:
    static constexpr int cornerRadius = 8;

    explicit PreviewSurface(QWidget* parent = nullptr);
    // A surface holding one view, inset so the view's square corners stay within it.
    static PreviewSurface* around(QWidget* content, int inset = 1);

    // The surface drawn in another colour (an HTML page's paper, the player's stage).
    void setFillColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
};

}  // namespace tarn
