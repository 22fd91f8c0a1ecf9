#include "ui/UiTestSupport.h"
#include "ui/theme/Animations.h"

#include <QGraphicsEffect>
#include <QTest>
#include <QVariantAnimation>
#include <QWidget>

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(Animations, OffCompletesEveryAnimationInsideTheCall)
{
    test::ScopedAnimations off(false);
    QWidget widget;
    bool faded = false;
    Animations::fade(&widget, 0.0, 500, [&] { faded = true; });
    EXPECT_TRUE(faded);
    EXPECT_DOUBLE_EQ(Animations::opacity(&widget), 0.0);

    Animations::fade(&widget, 1.0, 500);
    EXPECT_DOUBLE_EQ(Animations::opacity(&widget), 1.0);
    EXPECT_EQ(widget.graphicsEffect(), nullptr);  // opaque again: painted directly

    QVariantAnimation animation;
    animation.setStartValue(0);
    animation.setEndValue(40);
    animation.setDuration(10'000);
    bool finished = false;
    QObject::connect(&animation, &QAbstractAnimation::finished, [&] { finished = true; });
    Animations::start(&animation, QAbstractAnimation::KeepWhenStopped);
    EXPECT_TRUE(finished);
    EXPECT_EQ(animation.currentValue().toInt(), 40);
}

TEST(Animations, OnAFadeTakesItsTimeAndANewerFadeReplacesIt)
{
    test::ScopedAnimations on(true);
    QWidget widget;
    bool firstDone = false;
    bool secondDone = false;
    Animations::fade(&widget, 0.0, 150, [&] { firstDone = true; });
    EXPECT_FALSE(firstDone);
    Animations::fade(&widget, 1.0, 100, [&] { secondDone = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return secondDone; }, 2000));
    QTest::qWait(200);
    EXPECT_FALSE(firstDone);
    EXPECT_DOUBLE_EQ(Animations::opacity(&widget), 1.0);
    EXPECT_EQ(widget.graphicsEffect(), nullptr);
}

}  // namespace
}  // namespace tarn
