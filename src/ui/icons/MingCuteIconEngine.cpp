#include "ui/icons/MingCuteIconEngine.h"

#include "ui/icons/MingCute.h"

#include <QPainter>

#include <algorithm>
#include <utility>

namespace tarn {

MingCuteIconEngine::MingCuteIconEngine(QString resource, QColor color)
    : m_resource(std::move(resource))
    , m_color(std::move(color))
{
}

void MingCuteIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    const int side = std::min(rect.width(), rect.height());
    const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
    painter->drawPixmap(square, scaledPixmap(square.size(), mode, state, ratio));
}

QPixmap MingCuteIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap MingCuteIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale)
{
    // The glyphs are square: a wider or taller request gets the largest square.
    const int side = std::min(size.width(), size.height());
    return MingCute::renderGlyph(m_resource, QSize(side, side), colorFor(mode), scale);
}

QSize MingCuteIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State)
{
    const int side = std::min(size.width(), size.height());
    return {side, side};
}

QIconEngine* MingCuteIconEngine::clone() const
{
    return new MingCuteIconEngine(m_resource, m_color);
}

QString MingCuteIconEngine::key() const
{
    return QStringLiteral("MingCuteIconEngine");
}

QColor MingCuteIconEngine::colorFor(QIcon::Mode mode) const
{
    if (mode != QIcon::Disabled) {
        return m_color;
    }
    QColor faint = m_color;
    faint.setAlphaF(m_color.alphaF() * 0.35f);
    return faint;
}

}  // namespace tarn
