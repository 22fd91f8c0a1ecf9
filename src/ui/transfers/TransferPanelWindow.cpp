#include "ui/transfers/TransferPanelWindow.h"

#include "app/text/L10n.h"
#include "ui/transfers/TransferPanelView.h"

#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

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

void TransferPanelWindow::placeBeside(const QWidget& mainWindow)
{
    const QScreen* screen = mainWindow.screen();
    if (screen == nullptr) {
        return;
    }
    // Not shown yet, the panel's own decorations are unknown: the main window's serve.
    const QRect mainFrame = mainWindow.frameGeometry();
    const QSize decorations = mainFrame.size() - mainWindow.geometry().size();
    move(firstPosition(mainFrame, size() + decorations, screen->availableGeometry()));
}

QPoint TransferPanelWindow::firstPosition(const QRect& mainFrame, const QSize& frameSize, const QRect& screen)
{
    QRect frame(QPoint(0, 0), frameSize);
    if (mainFrame.right() + gap + frameSize.width() <= screen.right()) {
        frame.moveTopLeft(QPoint(mainFrame.right() + 1 + gap, mainFrame.top()));
    } else if (mainFrame.left() - gap - frameSize.width() >= screen.left()) {
        frame.moveTopLeft(QPoint(mainFrame.left() - gap - frameSize.width(), mainFrame.top()));
    } else {
        frame.moveCenter(mainFrame.center());
    }
    // Within the screen: its top-left corner wins when the frame is larger.
    frame.moveRight(std::min(frame.right(), screen.right()));
    frame.moveBottom(std::min(frame.bottom(), screen.bottom()));
    frame.moveLeft(std::max(frame.left(), screen.left()));
    frame.moveTop(std::max(frame.top(), screen.top()));
    return frame.topLeft();
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
