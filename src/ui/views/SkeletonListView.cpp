#include "ui/views/SkeletonListView.h"

#include "ui/theme/Animations.h"
#include "ui/theme/TarnTheme.h"

#include <QEasingCurve>
#include <QPainter>
#include <QPainterPath>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>

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
        auto* group = new QSequentialAnimationGroup(this);
        for (const auto& [from, to] : {std::pair{kDimmest, 1.0}, std::pair{1.0, kDimmest}}) {
            auto* half = new QVariantAnimation(group);
            half->setStartValue(from);
            half->setEndValue(to);
            half->setDuration(kHalfBreathMs);
            half->setEasingCurve(QEasingCurve::InOutSine);
            connect(half, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
                m_breath = value.toReal();
                update();
            });
            group->addAnimation(half);
        }
        group->setLoopCount(-1);
        m_breath = kDimmest;
        group->start();
        m_breathing = group;
    }
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
