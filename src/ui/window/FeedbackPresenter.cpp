#include "ui/window/FeedbackPresenter.h"

#include "app/state/AppState.h"
#include "ui/views/DotBubbleView.h"
#include "ui/views/ToastPresenter.h"

#include <QEvent>
#include <QWidget>

namespace tarn {

FeedbackPresenter::FeedbackPresenter(AppState& state, QWidget* browser, QObject* parent)
    : QObject(parent)
    , m_browser(browser)
    , m_toasts(new ToastPresenter(browser))
{
    // The stack of toasts lies in the window, outside the content: it goes with this
    // build (see the destructor), not with the browser pane.
    m_toasts->setParent(this);
    m_standIn = new QWidget(browser);
    m_standIn->setObjectName(QStringLiteral("statusDotStandIn"));
    m_standIn->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_standIn->setFixedSize(anchorSize, anchorSize);
    m_anchor = m_standIn;
    browser->installEventFilter(this);
    placeStandIn();

    connect(&state, &AppState::toastRequested, this, &FeedbackPresenter::showToast);
    connect(&state, &AppState::bubbleRequested, this, &FeedbackPresenter::showBubble);
}

FeedbackPresenter::~FeedbackPresenter()
{
    if (m_browser) {
        m_browser->removeEventFilter(this);
    }
    // A rebuilt content shows its toasts in a stack of its own; the old stack would
    // otherwise stay in the window, empty but still taking clicks where it lay.
    if (m_toasts && m_toasts->container()) {
        m_toasts->container()->hide();
        m_toasts->container()->deleteLater();
    }
}

void FeedbackPresenter::setBubbleAnchor(QWidget* anchor)
{
    m_anchor = anchor;
    if (m_standIn && anchor != m_standIn) {
        m_standIn->deleteLater();
    }
}

bool FeedbackPresenter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_browser && event->type() == QEvent::Resize) {
        placeStandIn();
    }
    return QObject::eventFilter(watched, event);
}

void FeedbackPresenter::showToast(const ToastMessage& message)
{
    if (m_toasts) {
        m_toasts->show(message);
    }
}

void FeedbackPresenter::showBubble(const QString& text)
{
    if (m_browser) {
        DotBubbleView::show(text, m_anchor, m_browser);
    }
}

void FeedbackPresenter::placeStandIn()
{
    if (m_standIn && m_browser) {
        m_standIn->move(anchorInset, m_browser->height() - anchorInset - anchorSize);
    }
}

}  // namespace tarn
