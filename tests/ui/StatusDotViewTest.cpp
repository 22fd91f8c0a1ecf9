#include "ui/UiTestSupport.h"
#include "ui/WindowFixture.h"
#include "ui/browser/ObjectBrowserView.h"
#include "ui/browser/StatusDotView.h"
#include "ui/window/MainWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace tarn {
namespace {

// Every paint event a widget of one window receives while it lives.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~PaintLog() override { qApp->removeEventFilter(this); }
    PaintLog(const PaintLog&) = delete;
    PaintLog& operator=(const PaintLog&) = delete;

    struct Paint {
        QWidget* widget;
        QRegion region;
    };
    std::vector<Paint> paints;

    void clear() { paints.clear(); }
    int paintsOf(const QWidget* widget) const
    {
        return static_cast<int>(std::count_if(paints.begin(), paints.end(),
                                              [widget](const Paint& paint) { return paint.widget == widget; }));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->window() == m_window) paints.push_back({widget, static_cast<QPaintEvent*>(event)->region()});
        }
        return false;
    }

private:
    QWidget* m_window;
};

qint64 area(const QRegion& region)
{
    qint64 pixels = 0;
    for (const QRect& rect : region) pixels += static_cast<qint64>(rect.width()) * rect.height();
    return pixels;
}

// What the screen shows of a widget: the window system's copy, not a new rendering.
QImage onScreen(QWidget* widget)
{
    const QPoint place = widget->mapTo(widget->window(), QPoint(0, 0));
    QScreen* screen = widget->window()->screen();
    return screen->grabWindow(widget->window()->winId(), place.x(), place.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The number of pixels in which two images differ by more than `tolerance` in a channel.
int differingPixels(const QImage& a, const QImage& b, int tolerance = 2)
{
    if (a.size() != b.size()) return a.width() * a.height() + 1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (!test::sameColor(a.pixelColor(x, y), b.pixelColor(x, y), tolerance)) ++differing;
        }
    }
    return differing;
}

// The dot as it is drawn when the panes behind it are repainted for it: a translucent
// widget that paints the dot alone.
class TranslucentDot : public QWidget {
public:
    TranslucentDot(QWidget* parent, QColor color) : QWidget(parent), m_color(color)
    {
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        StatusDotView::paintDot(painter, QRectF(rect()), m_color, 0);
    }

private:
    QColor m_color;
};

// Lets the window paint what is due and waits until the screen shows it.
void repaintNow(QWidget* window)
{
    window->repaint();
    test::settle();
}

class StatusDotViewTest : public test::WindowFixture {
protected:
    MainWindow& openWindow()
    {
        MainWindow& window = *launch().window();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        test::settle();
        return window;
    }
};

TEST_F(StatusDotViewTest, AFrameOfTheBreathRepaintsTheDotAlone)
{
    test::ScopedAnimations on(true);
    MainWindow& window = openWindow();
    auto* dot = window.findChild<StatusDotView*>();
    ASSERT_NE(dot, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dot->isDrawingFrames(); }, 10000));
    // What opening the window started (the first listing, fades) has ended.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dot->breath() > 0; }, 10000));
    test::settle();

    PaintLog log(&window);
    const int copies = dot->backdropCopies();
    EXPECT_GT(copies, 0) << "the dot was never drawn over a copy of what lies behind it";
    int frames = 0;
    qreal seen = dot->breath();
    // A few frames, each a new step of the breath.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        if (dot->breath() != seen && log.paintsOf(dot) > frames) {
            seen = dot->breath();
            ++frames;
        }
        return frames >= 3;
    }, 10000));
    ASSERT_FALSE(log.paints.empty());
    for (const PaintLog::Paint& paint : log.paints) {
        EXPECT_EQ(paint.widget, dot) << "a frame repainted " << paint.widget->metaObject()->className();
        EXPECT_TRUE(QRegion(dot->rect()).contains(paint.region.boundingRect()));
        EXPECT_LE(area(paint.region), StatusDotView::side * StatusDotView::side);
    }
    EXPECT_EQ(dot->backdropCopies(), copies) << "what lies behind the dot was copied again for a frame";
}

TEST_F(StatusDotViewTest, EachStepOfTheBreathIsDrawnOnceThenCopied)
{
    test::ScopedAnimations on(true);
    MainWindow& window = openWindow();
    auto* dot = window.findChild<StatusDotView*>();
    ASSERT_NE(dot, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dot->isDrawingFrames() && dot->breath() > 0; }, 10000));
    test::settle();

    PaintLog log(&window);
    const int copies = dot->backdropCopies();
    const int rendered = dot->framesRendered();
    // Two whole breaths: every step is shown at least twice.
    std::vector<int> shown(StatusDotView::breathSteps + 1, 0);
    qreal seen = dot->breath();
    int paints = log.paintsOf(dot);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        if (log.paintsOf(dot) > paints && dot->breath() != seen) {
            paints = log.paintsOf(dot);
            seen = dot->breath();
            ++shown[static_cast<std::size_t>(std::lround(seen * StatusDotView::breathSteps))];
        }
        return std::all_of(shown.begin(), shown.end(), [](int times) { return times >= 2; });
    }, 20000));
    ASSERT_EQ(dot->backdropCopies(), copies) << "what lies behind the dot changed meanwhile";
    EXPECT_LE(dot->framesRendered() - rendered, StatusDotView::breathSteps + 1);

    // Another status is drawn in its own colour, not from the frames kept of the last.
    const int before = dot->framesRendered();
    dot->update(StatusDotView::Status::error);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dot->framesRendered() > before; }, 5000));
    const QColor centre = onScreen(dot).pixelColor(StatusDotView::side / 2, StatusDotView::side / 2);
    EXPECT_NEAR(centre.hsvHue(), StatusDotView::color(StatusDotView::Status::error).hsvHue(), 12)
        << centre.name().toStdString();
}

TEST_F(StatusDotViewTest, TheDotLooksAsIfThePanesBehindItWereRepaintedForIt)
{
    test::ScopedAnimations off(false);
    MainWindow& window = openWindow();
    auto* dot = window.findChild<StatusDotView*>();
    ASSERT_NE(dot, nullptr);
    repaintNow(&window);
    const QImage drawn = onScreen(dot);
    test::saveGrab(dot->parentWidget());
    test::saveGrab(dot->parentWidget(), QStringLiteral("2x"), 2.0);

    // The same place with a translucent dot in its stead, the panes repainted under it.
    QSizePolicy keep = dot->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    dot->setSizePolicy(keep);
    auto* twin = new TranslucentDot(dot->parentWidget(), dot->color());
    twin->setGeometry(dot->geometry());
    dot->hide();
    twin->show();
    repaintNow(&window);
    const QImage expected = onScreen(twin);

    EXPECT_EQ(differingPixels(drawn, expected), 0);
}

// A plain surface whose colour can change without anything else of it changing.
class Surface : public QWidget {
public:
    QColor color = Qt::darkRed;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), color); }
};

TEST_F(StatusDotViewTest, WhatLiesBehindTheDotIsCopiedAgainWhenItChangesOrMoves)
{
    test::ScopedAnimations off(false);
    Surface surface;
    auto* row = new QHBoxLayout(&surface);
    auto* dot = new StatusDotView();
    row->addWidget(dot, 0, Qt::AlignLeft | Qt::AlignTop);
    surface.resize(120, 60);
    surface.show();
    surface.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&surface));
    repaintNow(&surface);
    EXPECT_EQ(onScreen(dot).pixelColor(0, 0), QColor(Qt::darkRed));

    // Repainted around the dot: the dot shows the new surface around it.
    surface.color = Qt::darkBlue;
    surface.update();
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(dot).pixelColor(0, 0) == QColor(Qt::darkBlue); }, 5000))
        << onScreen(dot).pixelColor(0, 0).name().toStdString();

    // Moved over a part that paints differently.
    const int copies = dot->backdropCopies();
    auto* stripe = new Surface();
    stripe->color = Qt::darkGreen;
    stripe->setParent(&surface);
    stripe->setGeometry(60, 0, 60, 60);
    stripe->lower();
    stripe->show();
    row->setContentsMargins(70, 10, 0, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(dot).pixelColor(0, 0) == QColor(Qt::darkGreen); }, 5000))
        << onScreen(dot).pixelColor(0, 0).name().toStdString();
    EXPECT_EQ(dot->mapTo(&surface, QPoint(0, 0)), QPoint(70, 10));
    EXPECT_GT(dot->backdropCopies(), copies);

    // Repainted elsewhere, on both sides of the dot at once: nothing to copy again.
    auto* left = new QWidget(&surface);
    left->setGeometry(0, 40, 30, 10);
    auto* right = new QWidget(&surface);
    right->setGeometry(100, 0, 20, 8);
    left->show();
    right->show();
    test::settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return onScreen(dot).pixelColor(0, 0) == QColor(Qt::darkGreen); }, 5000));
    const int settled = dot->backdropCopies();
    PaintLog log(&surface);
    left->update();
    right->update();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.paintsOf(&surface) > 0; }, 5000));
    test::settle();
    EXPECT_EQ(dot->backdropCopies(), settled);
}

}  // namespace
}  // namespace tarn
