#include "ui/preview/PreviewPlaceholder.h"

#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/PlainText.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tarn {

PreviewPlaceholder::PreviewPlaceholder(const QString& text, int minimumHeight, QWidget* parent)
    : QWidget(parent)
    , m_label(PlainText::label(text, this))
{
    setMinimumHeight(minimumHeight);
    m_label->setFont(TarnTheme::font(12));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    PreviewLook::setTextColor(m_label, ThemeColor::secondaryLabel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->addWidget(m_label, 0, Qt::AlignCenter);
}

QString PreviewPlaceholder::text() const
{
    return m_label->text();
}

}  // namespace tarn
