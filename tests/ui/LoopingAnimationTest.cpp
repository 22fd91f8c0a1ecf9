#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"
#include "ui/browser/StatusDotView.h"
#include "ui/theme/LoopingAnimation.h"
#include "ui/theme/OnScreenWatcher.h"
#include "ui/views/BusySpinner.h"
#include "ui/views/SkeletonListView.h"

#include <QElapsedTimer>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {
namespace {

// A window holding one view in a panel of its own, so that the panel can be hidden
// while the window stays.
struct Holder {
    explicit Holder(QWidget* view)
    {
        auto* layout = new QVBoxLayout(&window);
        auto* panelLayout = new QVBoxLayout(panel);
        panelLayout->addWidget(view);
        layout->addWidget(panel);
        window.resize(320, 200);
    }
    // Shown, and the active window, as the window a user works in.
    bool showActive()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    QWidget window;
    QWidget* panel = new QWidget(&window);
};

TEST(LoopingAnimation, TheStatusDotBreathesWhileItsWindowIsShown)
{
    test::ScopedAnimations on(true);
    auto* dot = new StatusDotView();
    Holder holder(dot);
    ASSERT_TRUE(holder.showActive());
    ASSERT_TRUE(dot->isDrawingFrames());

    // Over a breath the dot goes from full strength to its faintest (breath 0 to 1,
    // opacity 1 to 0.45) and back; waiting ends as soon as both ends were neared.
    qreal least = dot->breath();
    qreal most = dot->breath();
    const bool breathed = QTest::qWaitFor([&] {
        least = std::min(least, dot->breath());
        most = std::max(most, dot->breath());
        return least < 0.25 && most > 0.75;
    }, 20000);
    EXPECT_TRUE(breathed) << "breath between " << least << " and " << most;
    test::saveGrab(&holder.window);
}

TEST(LoopingAnimation, EveryLoopingViewDrawsNoFrameWhileItCannotBeSeen)
{
    test::ScopedAnimations on(true);
    struct Case {
        std::string name;
        std::function<QWidget*()> make;
        std::function<bool(QWidget*)> drawing;
    };
    const std::vector<Case> cases{
        {"status dot", [] { return new StatusDotView(); },
         [](QWidget* view) { return static_cast<StatusDotView*>(view)->isDrawingFrames(); }},
        {"skeleton list", [] { return new SkeletonListView(6, 26, 10); },
         [](QWidget* view) { return static_cast<SkeletonListView*>(view)->isDrawingFrames(); }},
        {"spinner",
         [] {
             auto* spinner = new BusySpinner();
             spinner->start();
             return spinner;
         },
         [](QWidget* view) { return static_cast<BusySpinner*>(view)->isDrawingFrames(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* view = c.make();
        Holder holder(view);
        EXPECT_FALSE(c.drawing(view)) << "before its window is shown";

        ASSERT_TRUE(holder.showActive());
        EXPECT_TRUE(c.drawing(view)) << "shown";

        holder.panel->hide();
        EXPECT_FALSE(c.drawing(view)) << "in a hidden panel";
        holder.panel->show();
        EXPECT_TRUE(c.drawing(view)) << "its panel shown again";

        holder.window.showMinimized();
        test::settle();
        EXPECT_FALSE(c.drawing(view)) << "in a minimised window";
        holder.window.showNormal();
        ASSERT_TRUE(holder.showActive());
        EXPECT_TRUE(c.drawing(view)) << "its window restored";

        holder.window.hide();
        EXPECT_FALSE(c.drawing(view)) << "in a hidden window";
    }
}

TEST(LoopingAnimation, AStoppedSpinnerDrawsNothingWhenShown)
{
    BusySpinner spinner;
    spinner.start();
    EXPECT_TRUE(spinner.isSpinning());
    spinner.stop();
    spinner.show();
    EXPECT_FALSE(spinner.isSpinning());
    EXPECT_FALSE(spinner.isDrawingFrames());
}

TEST(LoopingAnimation, TheStatusDotRestsWhileItsWindowIsInTheBackground)
{
    test::ScopedAnimations on(true);
    auto* dot = new StatusDotView();
    Holder holder(dot);
    ASSERT_TRUE(holder.showActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dot->breath() > 0; }, 10000));

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(dot->isDrawingFrames());
    EXPECT_TRUE(dot->isBreathing());
    EXPECT_EQ(dot->breath(), 0.0) << "held at full strength, not anywhere in the breath";

    holder.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&holder.window));
    EXPECT_TRUE(dot->isDrawingFrames());
}

TEST(LoopingAnimation, DrawsAFrameOnlyWhenTheValueReachesAnotherStep)
{
    // A breath of 400 ms in 5 steps each way: at most ten frames a loop, each a whole
    // step away from the one before; where the loop stands follows the clock.
    constexpr int steps = 5;
    constexpr qint64 period = 400;
    std::vector<qreal> values;
    QWidget window;
    LoopingAnimation loop(&window, std::chrono::milliseconds(period), steps,
                          LoopingAnimation::breath(QEasingCurve::InOutQuad),
                          [&](qreal value) { values.push_back(value); });
    loop.start();
    EXPECT_TRUE(values.empty()) << "a window not shown gets no frame";
    QElapsedTimer clock;
    clock.start();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(values.size(), 1U) << "drawing starts with a frame at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return values.size() >= 12; }, 20000));
    loop.stop();
    const qint64 elapsed = clock.elapsed();
    EXPECT_LE(static_cast<qint64>(values.size()), (elapsed / period + 1) * 2 * steps + 1);
    for (std::size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(values[i] * steps, std::round(values[i] * steps), 1e-9) << values[i];
        if (i > 0) {
            EXPECT_NE(values[i], values[i - 1]);
        }
    }
    EXPECT_FALSE(loop.isRunning());
    EXPECT_EQ(loop.progress(), 0.0);
}

TEST(LoopingAnimation, TheWatcherFollowsAWidgetIntoAnotherWindow)
{
    // Declared first: the windows closing at the end still report.
    std::vector<bool> changes;
    QWidget first;
    QWidget second;
    auto* child = new QWidget(&first);
    auto* watcher = new OnScreenWatcher(child);
    QObject::connect(watcher, &OnScreenWatcher::onScreenChanged, [&](bool onScreen) { changes.push_back(onScreen); });
    first.show();
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    EXPECT_TRUE(watcher->isOnScreen());
    first.hide();
    EXPECT_FALSE(watcher->isOnScreen());
    child->setParent(&second);
    child->show();
    EXPECT_TRUE(watcher->isOnScreen());
    second.showMinimized();
    test::settle();
    EXPECT_FALSE(watcher->isOnScreen());
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false}));
}

}  // namespace
}  // namespace tarn
