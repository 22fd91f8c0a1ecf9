#include "ui/views/BrandProgressBar.h"

#include "ui/theme/TarnTheme.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tarn {
namespace {

constexpr qreal kBarHeight = 4;
constexpr qreal kRadius = 2;
constexpr int kHeight = 14;
constexpr int kGlowReach = 3;

}  // namespace

BrandProgressBar::BrandProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void BrandProgressBar::setFraction(double fraction)
{
    if (fraction == m_fraction || (std::isnan(fraction) && std::isnan(m_fraction))) {
        return;
    }
    m_fraction = fraction;
    update();
}

double BrandProgressBar::clamp(double fraction)
{
    if (std::isnan(fraction) || fraction >= 1) {
        return 1;
    }
    return fraction < 0 ? 0 : fraction;
}

QRectF BrandProgressBar::trackRect() const
{
    return {0, (height() - kBarHeight) / 2, static_cast<qreal>(width()), kBarHeight};
}

QRectF BrandProgressBar::barRect() const
{
    QRectF bar = trackRect();
    bar.setWidth(bar.width() * clamp(m_fraction));
    return bar;
}

QSize BrandProgressBar::sizeHint() const
{
    return {120, kHeight};
}

QSize BrandProgressBar::minimumSizeHint() const
{
    return {0, kHeight};
}

void BrandProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, trackRect(), m_fraction);
}

void BrandProgressBar::paint(QPainter& painter, const QRectF& track, double fraction)
{
    paint(painter, track, fraction, TarnTheme::brand());
}

void BrandProgressBar::paint(QPainter& painter, const QRectF& track, double fraction, const QColor& fill)
{
    paint(painter, track, fraction, fill, TarnTheme::color(ThemeColor::brand, 0.2));
}

void BrandProgressBar::paint(QPainter& painter, const QRectF& track, double fraction, const QColor& fill,
                             const QColor& outline)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);

    QRectF bar = track;
    bar.setWidth(track.width() * clamp(fraction));
    if (bar.width() > 0) {
        painter.setPen(Qt::NoPen);
        // The glow: rings of the fill colour fading outwards, about 3 pixels wide.
        for (int ring = kGlowReach; ring >= 1; --ring) {
            const qreal spread = ring;
            QPainterPath glow;
            glow.addRoundedRect(bar.adjusted(-spread, -spread, spread, spread), kRadius + spread, kRadius + spread);
            QColor halo = fill;
            halo.setAlphaF(static_cast<float>(fill.alphaF() * 0.8 * 0.18 / ring));
            painter.fillPath(glow, halo);
        }
        QPainterPath filled;
        filled.addRoundedRect(bar, kRadius, kRadius);
        painter.fillPath(filled, fill);
    }
    painter.restore();
}

}  // namespace tarn
