#include "ui/preview/PdfPageBar.h"

#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace tarn {

namespace {

QToolButton* pageButton(const QString& icon, const QString& toolTipKey, QWidget* parent)
{
    QToolButton* button = PreviewLook::controlButton(icon, toolTipKey, parent);
    // Held down, it turns page after page.
    button->setAutoRepeat(true);
    return button;
}

}  // namespace

PdfPageBar::PdfPageBar(QWidget* parent)
    : QWidget(parent)
    , m_previous(pageButton(QStringLiteral("chevron.left"), QStringLiteral("preview_previous_page"), this))
    , m_value(new QLabel(this))
    , m_next(pageButton(QStringLiteral("chevron.right"), QStringLiteral("preview_next_page"), this))
{
    m_value->setFont(TarnTheme::font(11));
    m_value->setAlignment(Qt::AlignCenter);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    layout->addWidget(m_previous);
    layout->addWidget(m_value);
    layout->addWidget(m_next);
    connect(m_previous, &QToolButton::clicked, this, &PdfPageBar::previousClicked);
    connect(m_next, &QToolButton::clicked, this, &PdfPageBar::nextClicked);
}

void PdfPageBar::setPage(int page, int pageCount)
{
    const QString count = QString::number(pageCount);
    // Wide enough for the largest page number, so the buttons stay put while paging.
    const QFontMetrics metrics(m_value->font());
    m_value->setMinimumWidth(metrics.horizontalAdvance(count + QStringLiteral(" / ") + count) + 8);
    m_value->setText(QString::number(page + 1) + QStringLiteral(" / ") + count);
    m_previous->setEnabled(page > 0);
    m_next->setEnabled(page + 1 < pageCount);
}

QString PdfPageBar::pageText() const
{
    return m_value->text();
}

void PdfPageBar::paintEvent(QPaintEvent*)
{
    PreviewLook::paintControlPill(this);
}

}  // namespace tarn
