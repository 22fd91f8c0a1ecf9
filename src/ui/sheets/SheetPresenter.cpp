#include "ui/sheets/SheetPresenter.h"

#include "app/state/AppState.h"
#include "ui/sheets/SheetFrame.h"
#include "ui/views/SheetOverlayView.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QGridLayout>
#include <QShortcut>

#include <algorithm>
#include <utility>

namespace tarn {
namespace {

std::size_t indexOf(SheetKind kind)
{
    return static_cast<std::size_t>(kind);
}

enum class InputKind { none, key, shortcutOverride, shortcut, pointer, drag };

InputKind inputKind(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
        return InputKind::key;
    case QEvent::ShortcutOverride:
        return InputKind::shortcutOverride;
    case QEvent::Shortcut:
        return InputKind::shortcut;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return InputKind::pointer;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return InputKind::drag;
    default:
        return InputKind::none;
    }
}

}  // namespace

SheetPresenter::SheetPresenter(AppState& state, QWidget* host, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_host(host)
{
    for (const SheetCatalog::Flag& flag : SheetCatalog::flags()) {
        m_factories[indexOf(flag.kind)] = SheetCatalog::factory(flag.kind);
    }
    for (const SheetCatalog::Flag& flag : SheetCatalog::flags()) {
        follow(flag.changed, flag.isShowing, m_published[indexOf(flag.kind)],
               [this, kind = flag.kind](bool showing) { apply(kind, showing); });
    }

    if (host != nullptr) {
        // The sheets go with the host; nothing is left to guard.
        connect(host, &QObject::destroyed, this, [this] {
            m_shown.clear();
            updateInputGuard();
        });
    }
    // Focus moved beneath the top sheet by code (a view refocusing itself after a
    // reload) goes back to the sheet.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && isBeneathTopWidget(now)) {
            QMetaObject::invokeMethod(this, [this] { focusTop(); }, Qt::QueuedConnection);
        }
    });
}

SheetPresenter::~SheetPresenter()
{
    if (m_guardingInput) {
        qApp->removeEventFilter(this);
    }
    for (const Shown& shown : m_shown) {
        if (shown.overlay) {
            // Later, not now: the presenter may go from inside a sheet's own handler.
            shown.overlay->hide();
            shown.overlay->deleteLater();
        }
    }
}

void SheetPresenter::setOperations(SheetOperations operations)
{
    m_operations = std::move(operations);
}

void SheetPresenter::setFactory(SheetKind kind, SheetFactory factory)
{
    m_factories[indexOf(kind)] = std::move(factory);
}

std::vector<SheetKind> SheetPresenter::shownSheets() const
{
    std::vector<SheetKind> kinds;
    for (const Shown& shown : m_shown) {
        kinds.push_back(shown.kind);
    }
    return kinds;
}

QWidget* SheetPresenter::sheet(SheetKind kind) const
{
    const auto shown = find(kind);
    return shown == m_shown.end() ? nullptr : shown->sheet.data();
}

SheetOverlayView* SheetPresenter::overlay(SheetKind kind) const
{
    const auto shown = find(kind);
    return shown == m_shown.end() ? nullptr : shown->overlay.data();
}

void SheetPresenter::follow(void (AppState::*changed)(), bool (AppState::*isShowing)() const, bool& published,
                            std::function<void(bool)> apply)
{
    // A value is taken when it is published and applied on a later turn of the event
    // loop, in order, repeats dropped: a sheet that clears its flag from its own
    // button is removed after that button's handler has returned.
    published = (m_state.*isShowing)();
    QMetaObject::invokeMethod(this, [apply, current = published] { apply(current); }, Qt::QueuedConnection);
    connect(&m_state, changed, this, [this, isShowing, &published, apply] {
        const bool showing = (m_state.*isShowing)();
        if (showing == published) {
            return;
        }
        published = showing;
        QMetaObject::invokeMethod(this, [apply, showing] { apply(showing); }, Qt::QueuedConnection);
    });
}

void SheetPresenter::apply(SheetKind kind, bool showing)
{
    const bool shown = find(kind) != m_shown.end();
    if (showing && !shown) {
        present(kind);
    } else if (!showing && shown) {
        dismiss(kind);
    }
}

void SheetPresenter::present(SheetKind kind)
{
    QWidget* host = m_host;
    const SheetFactory& factory = m_factories[indexOf(kind)];
    if (host == nullptr || !factory) {
        return;
    }
    std::function<void()> close = [presenter = QPointer<SheetPresenter>(this), kind] {
        if (presenter) {
            SheetCatalog::close(presenter->m_state, kind);
        }
    };
    QWidget* sheet = factory(*this, close);
    if (sheet == nullptr) {
        return;
    }

    // Where the focus goes back to when this sheet closes.
    QWidget* focus = host->window()->focusWidget();
    if (m_shown.empty()) {
        m_focusBeforeSheets = focus;
    } else if (const Shown& top = m_shown.back(); top.overlay && focus != nullptr && top.overlay->isAncestorOf(focus)) {
        m_shown.back().focusWhenCovered = focus;
    }

    auto* overlay = new SheetOverlayView(host);
    // A click on the sheet's background must not pull the focus out of its field;
    // the keyboard reaches the overlay through the sheet instead.
    overlay->setFocusPolicy(Qt::NoFocus);
    overlay->setOnDismiss(close);
    // Centred at its preferred size, never beyond the window: the sheet's own layout
    // takes what does not fit (a scrolled list, typically).
    auto* layout = new QGridLayout(overlay);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SheetFrame(sheet, overlay), 0, 0, Qt::AlignCenter);

    m_shown.push_back({kind, overlay, sheet, nullptr});
    updateInputGuard();
    overlay->show();
    overlay->raise();
    focusTop();
}

void SheetPresenter::dismiss(SheetKind kind)
{
    const auto shown = find(kind);
    if (shown == m_shown.end()) {
        return;
    }
    const bool wasTop = shown + 1 == m_shown.end();
    const QPointer<SheetOverlayView> overlay = shown->overlay;
    m_shown.erase(shown);
    // The focus moves before the sheet is hidden: hiding it would pass the focus on
    // by itself, as Tab does, to whatever comes next in the window.
    if (wasTop) {
        if (!m_shown.empty()) {
            focusTop();
        } else if (QWidget* previous = m_focusBeforeSheets; previous != nullptr && previous->isVisible() &&
                                                              previous->isEnabled()) {
            previous->setFocus(Qt::OtherFocusReason);
        } else if (QWidget* resting = m_restingFocus; resting != nullptr && resting->isVisible() &&
                                                         resting->isEnabled()) {
            // The keys were nowhere (a click had ended an edit): they go to the window's
            // main control, not to whatever follows the sheet in the window's order.
            resting->setFocus(Qt::OtherFocusReason);
        }
    }
    if (m_shown.empty()) {
        m_focusBeforeSheets = nullptr;
    }
    if (overlay) {
        if (QWidget* focus = overlay->window()->focusWidget(); focus != nullptr && overlay->isAncestorOf(focus)) {
            focus->clearFocus();
        }
        overlay->hide();
        overlay->deleteLater();
    }
    updateInputGuard();
}

std::vector<SheetPresenter::Shown>::const_iterator SheetPresenter::find(SheetKind kind) const
{
    return std::find_if(m_shown.begin(), m_shown.end(), [kind](const Shown& shown) { return shown.kind == kind; });
}

void SheetPresenter::focusTop()
{
    if (m_shown.empty()) {
        return;
    }
    const Shown& top = m_shown.back();
    if (!top.overlay || !top.sheet) {
        return;
    }
    QWidget* target = top.focusWhenCovered;
    if (target == nullptr || !target->isEnabled() || !target->isVisibleTo(top.overlay)) {
        // The sheet's own choice (its field, through its focus proxy), else the sheet.
        target = top.sheet;
    }
    target->setFocus(Qt::OtherFocusReason);
}

bool SheetPresenter::eventFilter(QObject* watched, QEvent* event)
{
    const InputKind kind = inputKind(event->type());
    if (kind == InputKind::none || m_shown.empty() || !isBeneathTop(watched)) {
        return false;
    }
    QWidget* focus = QApplication::focusWidget();
    const bool focusBeneath = focus != nullptr && isBeneathTopWidget(focus);
    switch (kind) {
    case InputKind::shortcutOverride:
        // Passing up from the sheet, the key may still be a shortcut of the menus;
        // one of a widget beneath is stopped when it fires. Sent to a focus left
        // beneath, it becomes a key press, which is stopped below.
        if (!focusBeneath) {
            return false;
        }
        event->accept();
        return true;
    case InputKind::drag:
        event->ignore();
        return true;
    case InputKind::key:
        if (focusBeneath) {
            focusTop();
        }
        event->accept();
        return true;
    case InputKind::shortcut:
    case InputKind::pointer:
    case InputKind::none:
        event->accept();
        return true;
    }
    return true;
}

bool SheetPresenter::isBeneathTop(QObject* receiver) const
{
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        return isBeneathTopWidget(widget);
    }
    if (auto* shortcut = qobject_cast<QShortcut*>(receiver)) {
        return isBeneathTopWidget(qobject_cast<QWidget*>(shortcut->parent()));
    }
    if (auto* action = qobject_cast<QAction*>(receiver)) {
        const QList<QObject*> owners = action->associatedObjects();
        return std::any_of(owners.cbegin(), owners.cend(),
                           [this](QObject* owner) { return isBeneathTopWidget(qobject_cast<QWidget*>(owner)); });
    }
    return false;
}

bool SheetPresenter::isBeneathTopWidget(const QWidget* widget) const
{
    if (widget == nullptr || !m_host || m_shown.empty()) {
        return false;
    }
    // isAncestorOf stays inside one window: alerts and the transfer panel are free.
    const bool inHost = widget == m_host || m_host->isAncestorOf(widget);
    if (!inHost) {
        return false;
    }
    const SheetOverlayView* top = m_shown.back().overlay;
    return top == nullptr || (widget != top && !top->isAncestorOf(widget));
}

void SheetPresenter::updateInputGuard()
{
    const bool guard = !m_shown.empty();
    if (guard == m_guardingInput) {
        return;
    }
    m_guardingInput = guard;
    if (guard) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

}  // namespace tarn
