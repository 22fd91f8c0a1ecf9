#include "ui/sheets/DeleteConfirmSheet.h"

#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace tarn {

DeleteConfirmSheet::DeleteConfirmSheet(const QString& title, const QString& message, std::function<void()> deletion,
                                       std::function<void()> onClose, QWidget* parent)
    : SheetView(parent)
    , m_deletion(std::move(deletion))
    , m_onClose(std::move(onClose))
{
    auto* icon = new IconView(QStringLiteral("exclamationmark.triangle.fill"), iconPointSize,
                              TarnTheme::color(ThemeColor::systemOrange), this);
    m_title = makeLabel(title, 15, false);
    m_title->setFont(TarnTheme::font(15, QFont::DemiBold));
    m_title->setWordWrap(true);
    m_title->setFixedWidth(textWidth);
    m_message = makeLabel(message, 12, true);
    m_message->setWordWrap(true);
    m_message->setFixedWidth(textWidth);

    m_cancelButton = makeButton(L10n::t(QStringLiteral("cancel")), [this] { cancel(); });
    m_deleteButton = makeButton(L10n::t(QStringLiteral("delete")), [this] { confirm(); });
    m_deleteButton->setProperty(TarnStyle::destructiveProperty, true);
    // Return deletes only once the user has moved to Delete.
    setDefaultButton(m_cancelButton, false);
    setFocusProxy(m_cancelButton);

    auto* texts = new QVBoxLayout();
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(8);
    texts->addWidget(m_title);
    texts->addWidget(m_message);
    auto* top = new QHBoxLayout();
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(16);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(20);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(top);
    layout->addLayout(makeButtonRow({m_cancelButton, m_deleteButton}));
}

void DeleteConfirmSheet::showEvent(QShowEvent* event)
{
    SheetView::showEvent(event);
    // The ring shows which button Return presses, as after a Tab (a click hides it).
    window()->setAttribute(Qt::WA_KeyboardFocusChange);
}

void DeleteConfirmSheet::confirm()
{
    if (m_decided) {
        return;
    }
    m_decided = true;
    // Copies: closing ends the sheet, and with it these members.
    const std::function<void()> deletion = m_deletion;
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
    if (deletion) {
        deletion();
    }
}

void DeleteConfirmSheet::cancel()
{
    if (m_decided) {
        return;
    }
    m_decided = true;
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
