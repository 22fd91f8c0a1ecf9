#include "ui/browser/BrowserStatusBar.h"

#include "ui/browser/BreadcrumbBar.h"
#include "ui/browser/StatusDotView.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/BrandProgressBar.h"

#include <QHBoxLayout>
#include <QPainter>

namespace tarn {

BrowserStatusBar::BrowserStatusBar(QWidget* parent)
    : QWidget(parent)
    , m_dot(new StatusDotView(this))
    , m_breadcrumb(new BreadcrumbBar(this))
    , m_progress(new BrandProgressBar(this))
{
    setFixedHeight(barHeight);
    m_dot->setObjectName(QStringLiteral("statusDot"));
    m_progress->setFixedWidth(0);
    m_progress->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(0);
    row->addWidget(m_dot, 0, Qt::AlignVCenter);
    row->addSpacing(10);
    row->addWidget(m_breadcrumb, 1, Qt::AlignVCenter);
    row->addSpacing(16);
    row->addWidget(m_progress, 0, Qt::AlignVCenter);
}

void BrowserStatusBar::showProgress(std::optional<double> fraction)
{
    if (!fraction) {
        m_progress->hide();
        m_progress->setFixedWidth(0);
        return;
    }
    m_progress->setFixedWidth(progressWidth);
    m_progress->setFraction(*fraction);
    m_progress->show();
}

void BrowserStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), 1), TarnTheme::color(ThemeColor::separator));
}

}  // namespace tarn
