#pragma once

#include <QAbstractAnimation>

#include <functional>

class QWidget;

namespace tarn {

// The one way the window layer runs animations, so that tests can switch them off:
// with animations off every animation completes at once, inside the call that
// starts it, with its end values set and its finished signal sent.
class Animations {
public:
    Animations() = delete;

    static bool enabled();
    static void setEnabled(bool enabled);

    // Starts a finite animation, or completes it at once when animations are off.
    static void start(QAbstractAnimation* animation,
                      QAbstractAnimation::DeletionPolicy policy = QAbstractAnimation::DeleteWhenStopped);

    // Fades a widget (and its children) to an opacity over a duration; `done` runs
    // when the fade has ended. A widget faded to 1 is painted without an effect again.
    // A fade started while another runs on the same widget replaces it, and the
    // replaced fade's `done` never runs.
    static void fade(QWidget* widget, qreal opacity, int milliseconds, std::function<void()> done = {});

    // The opacity a widget is painted with (1 without a fade).
    static qreal opacity(const QWidget* widget);
    static void setOpacity(QWidget* widget, qreal opacity);
};

}  // namespace tarn
