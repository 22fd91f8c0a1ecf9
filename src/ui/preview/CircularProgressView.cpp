#include "ui/preview/CircularProgressView.h"

#include "app/state/AppState.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/BrandProgressBar.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tarn {

CircularProgressView::CircularProgressView(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(200);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CircularProgressView::follow(const AppState& state)
{
    connect(&state, &AppState::previewDownloadFractionChanged, this,
            [this, &state] { apply(state.previewDownloadFraction()); });
    apply(state.previewDownloadFraction());
}

void CircularProgressView::apply(double fraction)
{
    m_fraction = BrandProgressBar::clamp(fraction);
    update();
}

QString CircularProgressView::text() const
{
    return QStringLiteral("%1%").arg(static_cast<int>(m_fraction * 100));
}

void CircularProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const QRectF ring(centre.x() - ringRadius, centre.y() - ringRadius, 2 * ringRadius, 2 * ringRadius);
    QPen pen(TarnTheme::color(ThemeColor::separator), 4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawEllipse(ring);
    if (m_fraction > 0) {
        pen.setColor(TarnTheme::color(ThemeColor::controlAccent));
        painter.setPen(pen);
        // From the top, clockwise; Qt counts sixteenths of a degree, counter-clockwise.
        painter.drawArc(ring, 90 * 16, -static_cast<int>(std::lround(m_fraction * 360 * 16)));
    }
    painter.setPen(TarnTheme::color(ThemeColor::secondaryLabel));
    painter.setFont(TarnTheme::font(13));
    painter.drawText(ring, Qt::AlignCenter, text());
}

}  // namespace tarn
