#include "ui/sheets/TextInputSheet.h"

#include "app/state/Whitespace.h"
#include "app/text/L10n.h"
#include "ui/theme/TarnTheme.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>
#include <utility>

namespace tarn {

TextInputSheet::TextInputSheet(const QString& title, const QString& placeholder, const QString& initial,
                               const QString& confirmTitle, std::function<void(const QString&)> onConfirm,
                               std::function<void()> onClose, std::function<void()> beep, QWidget* parent)
    : SheetView(parent)
    , m_onConfirm(std::move(onConfirm))
    , m_onClose(std::move(onClose))
    , m_beep(std::move(beep))
{
    m_field = new QLineEdit(initial, this);
    m_field->setPlaceholderText(placeholder);
    m_field->setFont(TarnTheme::font(13));
    m_field->setFixedWidth(fieldWidth);
    // The caret is in the field as soon as the presenter focuses the sheet.
    setFocusProxy(m_field);

    m_cancelButton = makeButton(L10n::t(QStringLiteral("cancel")), [this] { cancel(); });
    m_confirmButton = makeButton(confirmTitle, [this] { confirm(); });
    setDefaultButton(m_confirmButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(18);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(makeTitle(title), 0, Qt::AlignLeft);
    layout->addWidget(m_field, 0, Qt::AlignLeft);
    layout->addLayout(makeButtonRow({m_cancelButton, m_confirmButton}));
}

QString TextInputSheet::trimmed(const QString& text)
{
    const std::string utf8 = text.toStdString();
    const std::string_view kept = Whitespace::trimmed(utf8);
    return QString::fromUtf8(kept.data(), static_cast<qsizetype>(kept.size()));
}

void TextInputSheet::confirm()
{
    const QString text = trimmed(m_field->text());
    if (text.isEmpty()) {
        if (m_beep) {
            m_beep();
        }
        return;
    }
    // Copies: either call may end the sheet, and with it these members.
    const std::function<void(const QString&)> onConfirm = m_onConfirm;
    const std::function<void()> onClose = m_onClose;
    if (onConfirm) {
        onConfirm(text);
    }
    // The operation reports its own failures; the sheet closes either way.
    if (onClose) {
        onClose();
    }
}

void TextInputSheet::cancel()
{
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
