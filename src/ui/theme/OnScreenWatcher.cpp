#include "ui/theme/OnScreenWatcher.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace tarn {

OnScreenWatcher::OnScreenWatcher(QWidget* widget, bool activeWindowOnly)
    : QObject(widget)
    , m_widget(widget)
    , m_activeWindowOnly(activeWindowOnly)
{
    m_widget->installEventFilter(this);
    followWindow();
    m_onScreen = isOnScreen(m_widget) && (!m_activeWindowOnly || m_widget->isActiveWindow());
}

bool OnScreenWatcher::isOnScreen(const QWidget* widget)
{
    if (!widget->isVisible()) {
        return false;
    }
    const QWidget* window = widget->window();
    if (window->isMinimized()) {
        return false;
    }
    const QWindow* handle = window->windowHandle();
    return handle != nullptr && handle->isExposed();
}

bool OnScreenWatcher::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ParentChange:
        // The window is made when it is first shown, and a new parent may bring
        // another one.
        if (watched == m_widget) {
            followWindow();
        }
        reconsider();
        break;
    case QEvent::Hide:
    case QEvent::Expose:
    case QEvent::WindowStateChange:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        // Minimising hides the window's widgets (spontaneously: they stay visible
        // and come back when it is restored); every widget of a window hears of its
        // activation.
        reconsider();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void OnScreenWatcher::followWindow()
{
    QWindow* window = m_widget->window()->windowHandle();
    if (window == m_window) {
        return;
    }
    if (m_window != nullptr) {
        m_window->removeEventFilter(this);
    }
    m_window = window;
    if (m_window != nullptr) {
        m_window->installEventFilter(this);
    }
}

void OnScreenWatcher::reconsider()
{
    const bool onScreen = isOnScreen(m_widget) && (!m_activeWindowOnly || m_widget->isActiveWindow());
    if (onScreen != m_onScreen) {
        m_onScreen = onScreen;
        emit onScreenChanged(onScreen);
    }
}

}  // namespace tarn
