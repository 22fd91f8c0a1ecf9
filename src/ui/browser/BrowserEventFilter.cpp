#include "ui/browser/BrowserEventFilter.h"

#include "ui/views/SheetOverlayView.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace tarn {

BrowserEventFilter::BrowserEventFilter(QWidget* browser, QLineEdit* searchField, Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_browser(browser)
    , m_searchField(searchField)
    , m_hooks(std::move(hooks))
{
}

bool BrowserEventFilter::takesText(const QWidget* widget)
{
    if (widget == nullptr) {
        return false;
    }
    if (const auto* field = qobject_cast<const QLineEdit*>(widget)) {
        return !field->isReadOnly();
    }
    if (const auto* editor = qobject_cast<const QTextEdit*>(widget)) {
        return !editor->isReadOnly();
    }
    if (const auto* editor = qobject_cast<const QPlainTextEdit*>(widget)) {
        return !editor->isReadOnly();
    }
    return qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

bool BrowserEventFilter::keysReachWindowOf(const QWidget* browser)
{
    if (browser == nullptr || QApplication::activePopupWidget() != nullptr ||
        QApplication::activeModalWidget() != nullptr) {
        return false;
    }
    const QWidget* window = browser->window();
    if (window == nullptr || !window->isActiveWindow()) {
        return false;
    }
    const QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && focus->window() != window) {
        return false;
    }
    // A sheet covers the window while it is shown, wherever the focus went.
    const QList<SheetOverlayView*> overlays = window->findChildren<SheetOverlayView*>();
    return std::none_of(overlays.begin(), overlays.end(),
                        [](const SheetOverlayView* overlay) { return overlay->isVisible(); });
}

bool BrowserEventFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        endSearchEditingOnClickOutside(watched, event);
        break;
    case QEvent::KeyPress:
        if (togglePreviewOnSpace(event)) {
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void BrowserEventFilter::endSearchEditingOnClickOutside(QObject* watched, QEvent* event)
{
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* target = qobject_cast<QWidget*>(watched);
    if (mouse->button() != Qt::LeftButton || target == nullptr || !m_searchField || !m_searchField->hasFocus()) {
        return;
    }
    if (target->window() != m_searchField->window()) {
        return;
    }
    const QPoint inField = m_searchField->mapFromGlobal(mouse->globalPosition().toPoint());
    if (!m_searchField->rect().contains(inField)) {
        m_searchField->clearFocus();
    }
}

bool BrowserEventFilter::togglePreviewOnSpace(QEvent* event)
{
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || key->modifiers().testFlag(Qt::ControlModifier)) {
        return false;
    }
    if (!keysReachWindowOf(m_browser)) {
        return false;
    }
    if (takesText(QApplication::focusWidget())) {
        return false;  // a space typed into the search field or a rename
    }
    if (!m_hooks.canTogglePreview || !m_hooks.canTogglePreview()) {
        return false;
    }
    if (m_hooks.togglePreview) {
        m_hooks.togglePreview();
    }
    return true;
}

}  // namespace tarn
