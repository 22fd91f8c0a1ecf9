#include "ui/views/IconView.h"

#include "ui/icons/MingCute.h"

#include <QPainter>

namespace tarn {

IconView::IconView(const QString& iconName, qreal pointSize, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_pointSize(pointSize)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setIcon(iconName, color);
}

void IconView::setIcon(const QString& iconName, const QColor& color)
{
    m_iconName = iconName;
    m_icon = MingCute::icon(iconName, color);
    update();
}

QSize IconView::sizeHint() const
{
    return MingCute::iconSize(m_pointSize);
}

void IconView::paintEvent(QPaintEvent*)
{
    if (m_icon.isNull()) {
        return;
    }
    const QSize side = MingCute::iconSize(m_pointSize).boundedTo(size());
    const QRect square(QPoint((width() - side.width()) / 2, (height() - side.height()) / 2), side);
    QPainter painter(this);
    m_icon.paint(&painter, square, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}

}  // namespace tarn
