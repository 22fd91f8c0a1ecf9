#pragma once

#include "app/state/ToastMessage.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tarn {

class ToastView;

// Shows toasts stacked at the bottom centre of its owner's window, newest lowest,
// at most four that are not already leaving. The stack lies over everything in the
// window and follows its size; a window whose content was rebuilt gets a new stack
// with the next toast.
class ToastPresenter : public QObject {
    Q_OBJECT

public:
    static constexpr int maxVisible = 4;

    explicit ToastPresenter(QWidget* owner);
    ~ToastPresenter() override;

    // Shows one toast; a message whose owner is gone is dropped.
    void show(const ToastMessage& message);

    // The toasts on screen, oldest first, those fading out included.
    QList<ToastView*> toasts() const;
    QWidget* container() const { return m_container; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* ensureContainer(QWidget* host);
    void layoutContainer();
    void trim();

    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_container;
    QList<QPointer<ToastView>> m_toasts;
};

}  // namespace tarn
