#include "ui/preview/ImageZoomBar.h"

#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <cmath>

namespace tarn {

ImageZoomBar::ImageZoomBar(QWidget* parent)
    : QWidget(parent)
    , m_out(PreviewLook::controlButton(QStringLiteral("minus.magnifyingglass"), QStringLiteral("preview_zoom_out"), this))
    , m_value(new QLabel(this))
    , m_in(PreviewLook::controlButton(QStringLiteral("plus.magnifyingglass"), QStringLiteral("preview_zoom_in"), this))
{
    m_value->setFont(TarnTheme::font(11));
    m_value->setAlignment(Qt::AlignCenter);
    // Wide enough for "800%", so the buttons rarely move while zooming.
    m_value->setMinimumWidth(QFontMetrics(m_value->font()).horizontalAdvance(QStringLiteral("800%")) + 4);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    layout->addWidget(m_out);
    layout->addWidget(m_value);
    layout->addWidget(m_in);
    connect(m_out, &QToolButton::clicked, this, &ImageZoomBar::zoomOutClicked);
    connect(m_in, &QToolButton::clicked, this, &ImageZoomBar::zoomInClicked);
    setScale(1, false, true);
}

void ImageZoomBar::setScale(qreal shownScale, bool canZoomOut, bool canZoomIn)
{
    m_value->setText(percentText(shownScale));
    m_out->setEnabled(canZoomOut);
    m_in->setEnabled(canZoomIn);
}

QString ImageZoomBar::percentText(qreal shownScale)
{
    const long percent = std::lround(shownScale * 100);
    if (percent < 1) {
        return QStringLiteral("<1%");
    }
    return QStringLiteral("%1%").arg(percent);
}

QString ImageZoomBar::zoomText() const
{
    return m_value->text();
}

void ImageZoomBar::paintEvent(QPaintEvent*)
{
    PreviewLook::paintControlPill(this);
}

}  // namespace tarn
