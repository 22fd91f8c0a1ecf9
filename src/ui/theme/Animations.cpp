#include "ui/theme/Animations.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

namespace tarn {
namespace {

bool gEnabled = true;

// Names the running fade of a widget, so that a newer fade can replace it.
const char* const kFadeName = "tarn-fade";

QGraphicsOpacityEffect* opacityEffect(const QWidget* widget)
{
    return qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
}

}  // namespace

bool Animations::enabled()
{
    return gEnabled;
}

void Animations::setEnabled(bool enabled)
{
    gEnabled = enabled;
}

void Animations::start(QAbstractAnimation* animation, QAbstractAnimation::DeletionPolicy policy)
{
    animation->start(policy);
    if (!gEnabled && animation->totalDuration() >= 0) {
        // Jumping to the end stops the animation, which sends finished and, with
        // DeleteWhenStopped, schedules its deletion.
        animation->setCurrentTime(animation->totalDuration());
    }
}

void Animations::fade(QWidget* widget, qreal opacity, int milliseconds, std::function<void()> done)
{
    // Two fades writing one opacity would fight, and the older one ending would drop
    // the effect under the newer: the newer fade replaces the older, whose `done`
    // never runs.
    for (auto* running : widget->findChildren<QPropertyAnimation*>(QLatin1String(kFadeName), Qt::FindDirectChildrenOnly)) {
        running->disconnect(widget);
        running->stop();
        running->deleteLater();
    }
    QGraphicsOpacityEffect* effect = opacityEffect(widget);
    if (effect == nullptr) {
        effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(1.0);
        widget->setGraphicsEffect(effect);
    }
    auto* animation = new QPropertyAnimation(effect, "opacity", widget);
    animation->setObjectName(QLatin1String(kFadeName));
    animation->setDuration(milliseconds);
    animation->setStartValue(effect->opacity());
    animation->setEndValue(opacity);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(animation, &QAbstractAnimation::finished, widget,
                     [target = QPointer<QWidget>(widget), opacity, done = std::move(done)] {
                         // An opaque widget needs no effect; dropping it keeps its
                         // painting direct and its grabs exact.
                         if (target && opacity >= 1.0) {
                             target->setGraphicsEffect(nullptr);
                         }
                         if (done) {
                             done();
                         }
                     });
    start(animation);
}

qreal Animations::opacity(const QWidget* widget)
{
    const QGraphicsOpacityEffect* effect = opacityEffect(widget);
    return effect != nullptr ? effect->opacity() : 1.0;
}

void Animations::setOpacity(QWidget* widget, qreal opacity)
{
    if (opacity >= 1.0) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    QGraphicsOpacityEffect* effect = opacityEffect(widget);
    if (effect == nullptr) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
}

}  // namespace tarn
