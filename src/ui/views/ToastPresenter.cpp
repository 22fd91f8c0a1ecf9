#include "ui/views/ToastPresenter.h"

#include "ui/views/ToastView.h"

#include <QEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {
namespace {

constexpr int kSpacing = 8;
constexpr int kBottomInset = 28;
constexpr int kSideInset = 20;

}  // namespace

ToastPresenter::ToastPresenter(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
{
}

ToastPresenter::~ToastPresenter()
{
    if (m_container) {
        m_container->removeEventFilter(this);
        if (QWidget* host = m_container->parentWidget(); host != nullptr) {
            host->removeEventFilter(this);
        }
    }
}

void ToastPresenter::show(const ToastMessage& message)
{
    if (!m_owner) {
        return;
    }
    QWidget* container = ensureContainer(m_owner->window());
    container->raise();

    auto* toast = new ToastView(message, [presenter = QPointer<ToastPresenter>(this)](ToastView* gone) {
        if (!presenter) {
            return;
        }
        presenter->m_toasts.removeAll(gone);
        presenter->layoutContainer();
    }, container);
    static_cast<QVBoxLayout*>(container->layout())->addWidget(toast, 0, Qt::AlignHCenter);
    m_toasts.append(toast);
    toast->show();
    container->show();
    layoutContainer();
    toast->appear();
    trim();
}

QList<ToastView*> ToastPresenter::toasts() const
{
    QList<ToastView*> result;
    for (const QPointer<ToastView>& toast : m_toasts) {
        if (toast) {
            result.append(toast);
        }
    }
    return result;
}

bool ToastPresenter::eventFilter(QObject* watched, QEvent* event)
{
    const bool hostResized = m_container && watched == m_container->parentWidget() && event->type() == QEvent::Resize;
    const bool stackChanged = watched == m_container && event->type() == QEvent::LayoutRequest;
    if (hostResized || stackChanged) {
        layoutContainer();
    }
    return QObject::eventFilter(watched, event);
}

QWidget* ToastPresenter::ensureContainer(QWidget* host)
{
    if (m_container && m_container->parentWidget() == host) {
        return m_container;
    }
    if (m_container) {
        // The window's content was rebuilt: the old stack and its toasts go with it.
        if (QWidget* oldHost = m_container->parentWidget(); oldHost != nullptr) {
            oldHost->removeEventFilter(this);
        }
        m_container->hide();
        m_container->deleteLater();
    }
    m_toasts.clear();

    auto* container = new QWidget(host);
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSpacing);
    container->installEventFilter(this);
    host->installEventFilter(this);
    m_container = container;
    return container;
}

void ToastPresenter::layoutContainer()
{
    if (!m_container) {
        return;
    }
    QWidget* host = m_container->parentWidget();
    QLayout* layout = m_container->layout();
    const int available = std::max(0, host->width() - 2 * kSideInset);
    const int width = std::min(layout->sizeHint().width(), available);
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->sizeHint().height();
    m_container->setGeometry((host->width() - width) / 2, host->height() - kBottomInset - height, width, height);
}

void ToastPresenter::trim()
{
    // Toasts already leaving do not count and stay until their fade has ended.
    auto staying = [this] {
        return std::count_if(m_toasts.cbegin(), m_toasts.cend(),
                             [](const QPointer<ToastView>& toast) { return toast && !toast->isDismissed(); });
    };
    while (staying() > maxVisible) {
        const auto oldest = std::find_if(m_toasts.cbegin(), m_toasts.cend(),
                                         [](const QPointer<ToastView>& toast) { return toast && !toast->isDismissed(); });
        // A copy: with animations off the toast leaves, and leaves the list, at once.
        const QPointer<ToastView> toast = *oldest;
        toast->dismiss();
    }
}

}  // namespace tarn
