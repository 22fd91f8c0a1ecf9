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
    QByteArray saved = QSettings().value(geometryKey).toByteArray();
    if (saved.isEmpty()) {
        // Before the program took its application ID as its name, the place was kept
        // in TarnManager.conf: read it there once, so an update keeps the window where
        // the user left it. The next save writes the new file.
        saved = QSettings(QCoreApplication::organizationName(), QStringLiteral("TarnManager"))
                    .value(geometryKey)
                    .toByteArray();
    }
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
