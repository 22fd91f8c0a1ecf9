#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace tarn {

class TransferCenter;
class TransferPanelView;

// The transfer panel's own window: an ordinary window beside the main one, 540 × 480
// at first and never below 380 × 280. Closing it only hides it, and it never keeps
// the program alive (the main window's close ends the program). Its owner keeps it
// and shows it again on each request, where the user left it; the first time it
// opens beside the main window, or over its middle when the screen has no room.
class TransferPanelWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize defaultSize{540, 480};
    static constexpr QSize minimumWindowSize{380, 280};
    // Between the main window and the panel beside it.
    static constexpr int gap = 12;

    explicit TransferPanelWindow(TransferCenter& center, QWidget* parent = nullptr);

    TransferPanelView* panel() const { return m_panel; }

    // Shows the window (restored if it was minimised), in front, with the focus.
    void present();
    // Puts the window, not yet shown, where it first opens for a main window.
    void placeBeside(const QWidget& mainWindow);
    // That place, for frames given with their window decorations: to the right of the
    // main frame when the screen has room there, else to its left, else centred over
    // it; top edges aligned, and always within the screen.
    static QPoint firstPosition(const QRect& mainFrame, const QSize& frameSize, const QRect& screen);
    // Builds the title and the content again in the current interface language,
    // keeping the window where it is.
    void rebuild();

private:
    TransferCenter& m_center;
    TransferPanelView* m_panel = nullptr;  // a child, replaced by rebuild()
};

}  // namespace tarn
