#include "ui/window/CoalescedCall.h"

#include <QMetaObject>
#include <QObject>

#include <utility>

namespace tarn {

CoalescedCall::CoalescedCall(QObject* context, std::function<void()> call)
    : m_context(context)
    , m_call(std::move(call))
{
}

void CoalescedCall::request()
{
    if (m_pending || !m_context) {
        return;
    }
    m_pending = true;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_pending = false;
            m_call();
        },
        Qt::QueuedConnection);
}

}  // namespace tarn
