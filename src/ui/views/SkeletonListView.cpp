#include "ui/views/SkeletonListView.h"

#include "ui/theme/Animations.h"
#include "ui/theme/LoopingAnimation.h"
#include "ui/theme/TarnTheme.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace tarn {
namespace {

constexpr qreal kTopInset = 6;
constexpr qreal kBarRadius = 5;
constexpr std::array<qreal, 6> kWidthFractions{0.92, 0.78, 0.85, 0.60, 0.88, 0.70};
constexpr qreal kDimmest = 0.55;
constexpr int kHalfBreathMs = 900;
// Frames each way: enough for so slow a change of grey.
constexpr int kBreathSteps = 6;

}  // namespace

SkeletonListView::SkeletonListView(int rows, qreal rowHeight, qreal spacing, QWidget* parent)
    : QWidget(parent)
    , m_rows(std::max(0, rows))
    , m_rowHeight(rowHeight)
    , m_spacing(spacing)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    // Breathing never ends, so with animations off (tests) the bars simply stay at
    // full strength instead.
    if (Animations::enabled()) {
        m_breath = kDimmest;
        m_breathing = new LoopingAnimation(this, std::chrono::milliseconds(kHalfBreathMs * 2), kBreathSteps,
                                           LoopingAnimation::breath(QEasingCurve::InOutSine), [this](qreal rise) {
                                               m_breath = kDimmest + (1.0 - kDimmest) * rise;
                                               update();
                                           });
        m_breathing->start();
    }
}

bool SkeletonListView::isDrawingFrames() const
{
    return m_breathing != nullptr && m_breathing->isRunning();
}

QList<QRectF> SkeletonListView::barRects() const
{
    QList<QRectF> rects;
    const qreal barHeight = std::max<qreal>(0, m_rowHeight - 8);
    qreal y = kTopInset;
    for (int i = 0; i < m_rows; ++i) {
        rects.append(QRectF(0, y, width() * kWidthFractions[static_cast<std::size_t>(i) % kWidthFractions.size()],
                            barHeight));
        y += barHeight + m_spacing;
    }
    return rects;
}

QSize SkeletonListView::sizeHint() const
{
    const qreal barHeight = std::max<qreal>(0, m_rowHeight - 8);
    const qreal height = kTopInset + m_rows * barHeight + std::max(0, m_rows - 1) * m_spacing;
    return {240, static_cast<int>(std::ceil(height))};
}

void SkeletonListView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_breath);
    for (const QRectF& bar : barRects()) {
        QPainterPath shape;
        shape.addRoundedRect(bar, kBarRadius, kBarRadius);
        painter.fillPath(shape, TarnTheme::color(ThemeColor::skeletonBar));
    }
}

}  // namespace tarn
