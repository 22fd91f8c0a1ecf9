#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace tarn {

// Tells whether a widget can be seen: shown with all its parents, in a window that is
// neither minimised nor unexposed (the window system reports a fully covered window
// unexposed), and says so whenever that changes. What draws or plays only for the eye
// (a looping animation, an animated image) stops while it is off screen.
//
// With `activeWindowOnly`, a widget counts as seen only while its window is also the
// active one: what merely adorns can rest while the user works in another window.
class OnScreenWatcher : public QObject {
    Q_OBJECT

public:
    explicit OnScreenWatcher(QWidget* widget, bool activeWindowOnly = false);

    bool isOnScreen() const { return m_onScreen; }
    static bool isOnScreen(const QWidget* widget);

signals:
    void onScreenChanged(bool onScreen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followWindow();
    void reconsider();

    QWidget* m_widget;
    // The window whose exposure is followed (made when the widget's window is first shown).
    QPointer<QWindow> m_window;
    bool m_activeWindowOnly;
    bool m_onScreen = false;
};

}  // namespace tarn
