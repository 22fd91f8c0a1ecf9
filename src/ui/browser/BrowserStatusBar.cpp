#include "ui/browser/BrowserStatusBar.h"

#include "ui/browser/BreadcrumbBar.h"
#include "ui/browser/StatusDotView.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/BrandProgressBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace tarn {

BrowserStatusBar::BrowserStatusBar(QWidget* parent)
    : QWidget(parent)
    , m_dot(new StatusDotView(this))
    , m_breadcrumb(new BreadcrumbBar(this))
    , m_progress(new BrandProgressBar(this))
    , m_note(new QLabel(this))
{
    setFixedHeight(barHeight);
    m_dot->setObjectName(QStringLiteral("statusDot"));
    m_progress->setFixedWidth(0);
    m_progress->hide();
    m_note->setFont(TarnTheme::font(11));
    QPalette notePalette = m_note->palette();
    notePalette.setColor(QPalette::WindowText, TarnTheme::color(ThemeColor::secondaryLabel));
    m_note->setPalette(notePalette);
    // The breadcrumb gives way to the note, which is short.
    m_note->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_note->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(0);
    row->addWidget(m_dot, 0, Qt::AlignVCenter);
    row->addSpacing(10);
    row->addWidget(m_breadcrumb, 1, Qt::AlignVCenter);
    row->addSpacing(16);
    row->addWidget(m_note, 0, Qt::AlignVCenter);
    row->addWidget(m_progress, 0, Qt::AlignVCenter);
}

void BrowserStatusBar::showNote(const QString& text)
{
    if (m_note->text() == text && m_note->isVisible() == !text.isEmpty()) {
        return;
    }
    m_note->setText(text);
    m_note->setVisible(!text.isEmpty());
}

void BrowserStatusBar::showProgress(std::optional<double> fraction)
{
    // The note keeps its distance from the bar while the bar is there.
    m_note->setContentsMargins(0, 0, fraction ? noteGap : 0, 0);
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
