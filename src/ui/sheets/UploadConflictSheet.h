#pragma once

#include "app/state/UploadConflictMode.h"
#include "ui/sheets/SheetView.h"

#include <functional>

class QLabel;

namespace tarn {

class AppState;

// Asks what to do with the files of a parked upload whose keys exist already, and
// resumes it with the choice: skip those files, upload them under free names
// (Return), or replace the existing objects. Cancel drops the upload through the
// close action.
class UploadConflictSheet : public SheetView {
    Q_OBJECT

public:
    static constexpr int messageWidth = 420;

    UploadConflictSheet(AppState& state, std::function<void()> onClose, QWidget* parent = nullptr);

    QLabel* message() const { return m_message; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* skipButton() const { return m_skipButton; }
    QPushButton* renameButton() const { return m_renameButton; }
    QPushButton* replaceButton() const { return m_replaceButton; }

    // Hands the parked upload to the queue with a mode other than `ask`; the
    // sheet closes as its flag is cleared.
    void resume(UploadConflictMode mode);
    void cancel();

private:
    AppState& m_state;
    std::function<void()> m_onClose;
    // Set by the first choice: a second click before the sheet is gone does nothing.
    bool m_decided = false;
    QLabel* m_message = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_skipButton = nullptr;
    QPushButton* m_renameButton = nullptr;
    QPushButton* m_replaceButton = nullptr;
};

}  // namespace tarn
