#pragma once

#include "ui/sheets/SheetView.h"

#include <functional>

class QLineEdit;

namespace tarn {

// A one-field prompt: a title, a text field, Cancel and a confirm button (Return).
// It knows nothing of folders or keys: confirming hands the text without white space
// at either end to onConfirm and closes; a blank text beeps and leaves the sheet open
// as it was.
class TextInputSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int fieldWidth = 440;

    TextInputSheet(const QString& title, const QString& placeholder, const QString& initial,
                   const QString& confirmTitle, std::function<void(const QString&)> onConfirm,
                   std::function<void()> onClose, std::function<void()> beep, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* confirmButton() const { return m_confirmButton; }

    void confirm();
    void cancel();

    // The text a confirmation hands on: white space (line breaks and the ideographic
    // space included) taken from both ends, inner spaces kept.
    static QString trimmed(const QString& text);

private:
    std::function<void(const QString&)> m_onConfirm;
    std::function<void()> m_onClose;
    std::function<void()> m_beep;
    QLineEdit* m_field = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_confirmButton = nullptr;
};

}  // namespace tarn
