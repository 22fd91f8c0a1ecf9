#pragma once

#include "app/state/ToastMessage.h"
#include "ui/views/TintedBlurView.h"

#include <QTimer>

#include <functional>

class QAbstractButton;

namespace tarn {

class WrappingLabel;

// One toast: an icon for its kind, up to three lines of text and a close button on
// a dark rounded surface. It fades in, stays 2 seconds from appear() (an error 5,
// long enough to be read whole), fades out, and once gone tells its presenter
// through onGone. A press anywhere on it, or on
// its close button, dismisses it early; a toast is dismissed once only.
class ToastView : public TintedBlurView {
    Q_OBJECT

public:
    static constexpr int lifetimeMs = 2000;
    static constexpr int errorLifetimeMs = 5000;
    static constexpr int fadeMs = 180;
    static constexpr int maximumWidth = 420;

    ToastView(const ToastMessage& message, std::function<void(ToastView*)> onGone, QWidget* parent = nullptr);

    void appear();
    void dismiss();
    bool isDismissed() const { return m_dismissed; }
    ToastKind kind() const { return m_kind; }
    // How long it stays from appear() unless dismissed earlier.
    int stayMs() const { return m_dismissTimer.interval(); }
    QString text() const;
    QAbstractButton* closeButton() const { return m_closeButton; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void leave();

    ToastKind m_kind;
    WrappingLabel* m_label = nullptr;
    QAbstractButton* m_closeButton = nullptr;
    QTimer m_dismissTimer;
    std::function<void(ToastView*)> m_onGone;
    bool m_dismissed = false;
};

}  // namespace tarn
