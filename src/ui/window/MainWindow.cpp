#include "ui/window/MainWindow.h"

#include "app/text/L10n.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace tarn {

const QString MainWindow::geometryKey = QStringLiteral("TarnManagerMainWindow");

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(L10n::t(QStringLiteral("app_name")));
    setMinimumSize(minimumWindowSize);
    resize(defaultSize);
}

bool MainWindow::restoreSavedGeometry()
{
    const QByteArray saved = QSettings().value(geometryKey).toByteArray();
    if (!saved.isEmpty() && restoreGeometry(saved)) {
        return true;
    }
    resize(defaultSize);
    centreOnScreen();
    return false;
}

void MainWindow::saveGeometryNow() const
{
    QSettings settings;
    settings.setValue(geometryKey, saveGeometry());
}

void MainWindow::showTransferPanel()
{
    emit transferPanelRequested();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    saveGeometryNow();
    event->accept();
    emit closing();
}

void MainWindow::centreOnScreen()
{
    const QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (target == nullptr) {
        return;
    }
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

}  // namespace tarn
