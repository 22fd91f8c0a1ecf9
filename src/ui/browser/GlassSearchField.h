#pragma once

#include <QLineEdit>

#include <functional>

namespace tarn {

// The header's search field: a magnifier, the text and a clear button on a faint
// rounded glass (the text background at 0.4 behind a hairline of the separator
// colour). onFocusChange(true) follows gaining the focus, onFocusChange(false) the
// end of editing.
class GlassSearchField : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int fieldHeight = 28;

    explicit GlassSearchField(QWidget* parent = nullptr);

    std::function<void(bool)> onFocusChange;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace tarn
