#pragma once

#include <QMainWindow>
#include <QSize>
#include <QString>

namespace tarn {

// The one main window. Its content (the three panes, the sheets, the toolbar) is
// installed and replaced by the application delegate; the window itself, its menu
// and its place on the screen survive every rebuild.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr QSize defaultSize{1240, 800};
    static constexpr QSize minimumWindowSize{1000, 640};
    // The settings key of the saved geometry.
    static const QString geometryKey;

    explicit MainWindow(QWidget* parent = nullptr);

    // Puts the window where it was last time; without a saved (and usable) geometry
    // it opens centred on its screen at the default size. Returns whether a saved
    // geometry was used.
    bool restoreSavedGeometry();
    void saveGeometryNow() const;

    // Shows the transfer panel window, for the controls of the panes and the toolbar
    // (the status dot, for one), which reach this window through their window().
    // The application delegate owns the panel and answers the request.
    void showTransferPanel();

signals:
    // The user closed the window: the program ends with it.
    void closing();
    void transferPanelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void centreOnScreen();
};

}  // namespace tarn
