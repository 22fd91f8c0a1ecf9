#include "ui/preview/FileCardPreview.h"

#include "app/text/L10n.h"
#include "core/preview/ObjectPreview.h"
#include "core/text/ByteFormatter.h"
#include "ui/preview/PreviewLook.h"
#include "ui/preview/PreviewSurface.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClosureButton.h"
#include "ui/views/IconView.h"
#include "ui/views/PlainText.h"

#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QVBoxLayout>

#include <utility>

namespace tarn {

FileCardPreview::FileCardPreview(File file, std::function<void(const std::filesystem::path&)> openWithDefaultApplication,
                                 QWidget* parent)
    : QWidget(parent)
    , m_name(PlainText::label(QString::fromStdString(ObjectPreview::fileName(file.key))))
    , m_detail(PlainText::label(typeDescription(file.mimeType) + QStringLiteral(" · ") +
                          QString::fromStdString(ByteFormatter::string(file.size))))
{
    auto* surface = new PreviewSurface();
    auto* icon = new IconView(QString::fromUtf8(ObjectPreview::previewSystemImage(file.key)), 64,
                              TarnTheme::color(ThemeColor::secondaryLabel));
    m_name->setFont(TarnTheme::font(13, QFont::Medium));
    m_name->setAlignment(Qt::AlignCenter);
    m_name->setWordWrap(true);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_detail->setFont(TarnTheme::font(12));
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setWordWrap(true);
    PreviewLook::setTextColor(m_detail, ThemeColor::secondaryLabel);

    auto* layout = new QVBoxLayout(surface);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(6);
    layout->addStretch(1);
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addWidget(m_name);
    layout->addWidget(m_detail);
    if (!file.localCopy.empty() && openWithDefaultApplication) {
        m_open = new ClosureButton(L10n::t(QStringLiteral("open_with_default_app")),
                                   [open = std::move(openWithDefaultApplication), path = file.localCopy] { open(path); });
        m_open->setFont(TarnTheme::font(12));
        m_open->setCursor(Qt::PointingHandCursor);
        // A quiet rounded button, like the inspector's tiles below the card.
        m_open->setStyleSheet(
            QStringLiteral("QPushButton{color:%1;background:%2;border:none;border-radius:6px;padding:5px 14px;}"
                           "QPushButton:hover{background:%3;}QPushButton:pressed{background:%4;}")
                .arg(PreviewLook::cssColor(TarnTheme::color(ThemeColor::label)),
                     PreviewLook::cssColor(TarnTheme::color(ThemeColor::controlFill)),
                     PreviewLook::cssColor(TarnTheme::color(ThemeColor::controlHoverFill, 0.14)),
                     PreviewLook::cssColor(TarnTheme::color(ThemeColor::controlPressedFill, 0.2))));
        layout->addSpacing(8);
        layout->addWidget(m_open, 0, Qt::AlignHCenter);
    }
    layout->addStretch(1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(surface);
}

QString FileCardPreview::nameText() const
{
    return m_name->text();
}

QString FileCardPreview::detailText() const
{
    return m_detail->text();
}

QString FileCardPreview::typeDescription(const std::string& mimeType)
{
    const QString name = QString::fromStdString(mimeType);
    const QMimeType type = QMimeDatabase().mimeTypeForName(name);
    if (!type.isValid() || type.comment().isEmpty()) {
        return name;
    }
    return type.comment();
}

}  // namespace tarn
