#pragma once

#include "ui/sheets/SheetView.h"

#include <functional>

class QLabel;

namespace tarn {

// The question before a delete, in the window over a dimmed layer as the sheets are:
// a warning sign, the title and the state's text of what is to go, then Cancel and
// Delete, Delete at the trailing end and drawn as destructive. The keyboard starts on
// Cancel, which Return presses until the user moves to Delete. Delete runs the
// deletion the sheet was made with (what was selected when it opened) after closing
// it; Cancel, Escape and a click beside it only close it.
class DeleteConfirmSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int textWidth = 340;
    static constexpr qreal iconPointSize = 40;

    DeleteConfirmSheet(const QString& title, const QString& message, std::function<void()> deletion,
                       std::function<void()> onClose, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QLabel* messageLabel() const { return m_message; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }

    void confirm();
    void cancel();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<void()> m_deletion;
    std::function<void()> m_onClose;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    bool m_decided = false;
};

}  // namespace tarn
