#pragma once

#include <QPointer>

#include <coroutine>
#include <memory>

class QDialog;

namespace tarn {

// Opens a dialog window-modal (QDialog::open) and lets a coroutine wait for it to
// end while the event loop keeps running, without a nested loop. The result is the
// dialog's result code; a dialog destroyed before it ends counts as rejected. The
// coroutine resumes on a later turn of the event loop, so it may delete the dialog.
//
// Name it before awaiting it (g++ 12 destroys a temporary made in a co_await
// statement twice):  DialogAwaiter ended(dialog); const int result = co_await ended;
class DialogAwaiter {
public:
    explicit DialogAwaiter(QDialog* dialog);

    bool await_ready() const noexcept;
    void await_suspend(std::coroutine_handle<> waiting);
    int await_resume() const noexcept;

private:
    struct Outcome;

    QPointer<QDialog> m_dialog;
    std::shared_ptr<Outcome> m_outcome;
};

}  // namespace tarn
