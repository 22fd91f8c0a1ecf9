#include "ui/preview/PreviewNote.h"

#include "app/text/L10n.h"
#include "core/text/ByteFormatter.h"
#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"
#include "ui/views/PlainText.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tarn {

PreviewNote::PreviewNote(QWidget* parent)
    : QWidget(parent)
    , m_label(PlainText::label(QString(), this))
{
    m_label->setFont(TarnTheme::font(11));
    m_label->setWordWrap(true);
    PreviewLook::setTextColor(m_label, ThemeColor::secondaryLabel);
    auto* icon = new IconView(QStringLiteral("info.circle"), 11, TarnTheme::color(ThemeColor::secondaryLabel), this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 6, 2, 0);
    layout->setSpacing(6);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(m_label, 1);
}

QString PreviewNote::text() const
{
    return m_label->text();
}

void PreviewNote::setText(const QString& text)
{
    m_label->setText(text);
}

QString PreviewNote::truncationText(qint64 shownBytes, qint64 fileSize)
{
    return L10n::t(QStringLiteral("preview_truncated"), QString::fromStdString(ByteFormatter::string(shownBytes)),
                   QString::fromStdString(ByteFormatter::string(fileSize)));
}

}  // namespace tarn
