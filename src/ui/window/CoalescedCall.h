#pragma once

#include <QPointer>

#include <functional>

class QObject;

namespace tarn {

// A call that many changes ask for and that runs once for all of them, on a later
// turn of the event loop: a view that follows several of the state's signals
// recomputes once per burst, and never inside the signal that told it. Meant as a
// member of its context object; nothing runs once the context is gone.
class CoalescedCall {
public:
    CoalescedCall(QObject* context, std::function<void()> call);

    void request();
    bool isPending() const { return m_pending; }

private:
    QPointer<QObject> m_context;
    std::function<void()> m_call;
    bool m_pending = false;
};

}  // namespace tarn
