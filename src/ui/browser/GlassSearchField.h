#pragma once

#include <QLineEdit>

#include <functional>

namespace tarn {

// The header's search field: a magnifier, the text and a clear button on a faint
// rounded glass (the text background at 0.4 behind a hairline of the separator
// colour). onFocusChange(true) follows gaining the focus, onFocusChange(false) the
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
};

}  // namespace tarn
