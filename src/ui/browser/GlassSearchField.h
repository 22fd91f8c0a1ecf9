#pragma once

#include <QColor>
#include <QLineEdit>

#include <functional>

namespace tarn {

// The header's search field: a magnifier, the text and a clear button in the shape
// every text field has (the style's: its fill, an edge of at least 3:1 and the
// accent's focus ring). onFocusChange(true) follows gaining the focus, onFocusChange(false) the
// end of editing. Escape clears the text (as typing would: textEdited follows, and
// Ctrl+Z brings it back); Escape in the empty field leaves it through onLeave.
class GlassSearchField : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int fieldHeight = 28;

    explicit GlassSearchField(QWidget* parent = nullptr);

    std::function<void(bool)> onFocusChange;
    std::function<void()> onLeave;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QColor m_fill;
};

}  // namespace tarn
