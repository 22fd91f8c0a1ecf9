#include "ui/views/BusySpinner.h"

#include "ui/theme/LoopingAnimation.h"
#include "ui/theme/TarnTheme.h"

#include <QPainter>

#include <cmath>

namespace tarn {
namespace {

constexpr int kSpokes = 8;
constexpr int kStepMilliseconds = 90;

}  // namespace

BusySpinner::BusySpinner(QWidget* parent)
    : QWidget(parent)
    , m_turning(new LoopingAnimation(this, std::chrono::milliseconds(kStepMilliseconds * kSpokes), kSpokes,
                                     [](qreal turn) { return std::floor(turn * kSpokes) / kSpokes; },
                                     [this](qreal turn) {
                                         m_step = static_cast<int>(std::lround(turn * kSpokes)) % kSpokes;
                                         update();
                                     }))
{
    setFixedSize(diameter, diameter);
    hide();
}

void BusySpinner::start()
{
    if (!m_turning->isStarted()) {
        m_turning->start();
    }
    show();
}

void BusySpinner::stop()
{
    m_turning->stop();
    hide();
}

bool BusySpinner::isSpinning() const
{
    return m_turning->isStarted();
}

bool BusySpinner::isDrawingFrames() const
{
    return m_turning->isRunning();
}

QSize BusySpinner::sizeHint() const
{
    return {diameter, diameter};
}

void BusySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const QColor base = TarnTheme::color(ThemeColor::secondaryLabel);
    const qreal outer = diameter / 2.0 - 1;
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The spoke at the current step is the brightest; the ones behind it fade.
        const int age = (m_step - spoke + kSpokes) % kSpokes;
        QColor color = base;
        color.setAlphaF(base.alphaF() * (1.0 - 0.8 * age / kSpokes));
        painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * spoke / kSpokes);
        painter.drawLine(QPointF(0, -outer * 0.45), QPointF(0, -outer));
        painter.restore();
    }
}

}  // namespace tarn
