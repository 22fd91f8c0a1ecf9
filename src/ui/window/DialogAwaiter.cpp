#include "ui/window/DialogAwaiter.h"

#include <QCoreApplication>
#include <QDialog>
#include <QMetaObject>

namespace tarn {

struct DialogAwaiter::Outcome {
    int result = QDialog::Rejected;
    bool ended = false;
    std::coroutine_handle<> waiting;
    QMetaObject::Connection finished;
    QMetaObject::Connection destroyed;

    void end(int code)
    {
        if (ended) {
            return;
        }
        ended = true;
        result = code;
        QObject::disconnect(finished);
        QObject::disconnect(destroyed);
        // Not inside the dialog's own signal: the waiting code may delete the dialog.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [handle = waiting] { handle.resume(); }, Qt::QueuedConnection);
    }
};

DialogAwaiter::DialogAwaiter(QDialog* dialog)
    : m_dialog(dialog)
    , m_outcome(std::make_shared<Outcome>())
{
}

bool DialogAwaiter::await_ready() const noexcept
{
    return m_dialog.isNull();
}

void DialogAwaiter::await_suspend(std::coroutine_handle<> waiting)
{
    m_outcome->waiting = waiting;
    // The application is the context of both connections: it outlives the dialog.
    QObject* context = QCoreApplication::instance();
    m_outcome->finished = QObject::connect(m_dialog, &QDialog::finished, context,
                                           [outcome = m_outcome](int code) { outcome->end(code); });
    m_outcome->destroyed = QObject::connect(m_dialog, &QObject::destroyed, context,
                                            [outcome = m_outcome] { outcome->end(QDialog::Rejected); });
    m_dialog->open();
}

int DialogAwaiter::await_resume() const noexcept
{
    return m_outcome->result;
}

}  // namespace tarn
