#include "ui/transfers/TransferPanelWindow.h"

#include "app/text/L10n.h"
#include "ui/transfers/TransferPanelView.h"

#include <QVBoxLayout>

namespace tarn {

TransferPanelWindow::TransferPanelWindow(TransferCenter& center, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_center(center)
{
    // A close hides a top-level widget without deleting it; and this window alone
    // must never be what keeps the event loop running or ends it.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumSize(minimumWindowSize);
    resize(defaultSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    rebuild();
}

void TransferPanelWindow::present()
{
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void TransferPanelWindow::rebuild()
{
    setWindowTitle(L10n::t(QStringLiteral("transfers_title")));
    if (m_panel) {
        layout()->removeWidget(m_panel);
        m_panel->hide();
        m_panel->deleteLater();
    }
    m_panel = new TransferPanelView(m_center, this);
    layout()->addWidget(m_panel);
}

}  // namespace tarn
