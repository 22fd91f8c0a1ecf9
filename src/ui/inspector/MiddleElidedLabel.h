#pragma once

#include <QLabel>

namespace tarn {

// A one-line, selectable label that cuts a text too long for its width in the middle,
// so both the start and the end of a long key stay readable; the whole text is its
// tool tip while it is cut.
//
// What leaves the label is never the "…": a selection that takes it in copies the
// part of the value it stands for (Ctrl+C, the Edit menu, the context menu and the
// selection a middle click pastes alike), and the context menu's Copy without a
// selection copies the whole value, so a value that has no copy button of its own
// (an ETag, a metadata value) can still be taken whole.
class MiddleElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit MiddleElidedLabel(const QString& text, QWidget* parent = nullptr);

    QString fullText() const { return m_fullText; }
    bool isElided() const { return text() != m_fullText; }
    // The part of the whole value that the selected part of the shown text stands for.
    QString selectedValue() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // The selection's value onto the clipboard (the Edit menu's Copy).
    void copy();
    void selectAll();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void elide();
    // Offers the selection's value as the selection a middle click pastes.
    void offerSelection() const;

    QString m_fullText;
};

}  // namespace tarn
