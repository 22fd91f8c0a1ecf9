#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QLineEdit;
class QWidget;

namespace tarn {

// The browser's two application-wide rules, seen before any widget gets the event:
// - A left click anywhere in the browser's window outside the search field, while the
//   field is being edited, ends the editing (and so narrows the field). The click goes
//   on as usual.
// - Space, without Ctrl, toggles the preview pane when that is allowed (the pane is
//   open, or something is selected) and the key belongs to the browser: its window is
//   the active one, no text is being edited there, and nothing lies over it that
//   takes keys of its own (a sheet, a menu, a dialog), so Space still presses a
//   sheet's focused button. The key is then taken; otherwise it goes on.
class BrowserEventFilter : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // Whether the preview pane may be toggled now.
        std::function<bool()> canTogglePreview;
        std::function<void()> togglePreview;
    };

    BrowserEventFilter(QWidget* browser, QLineEdit* searchField, Hooks hooks, QObject* parent = nullptr);

    // Whether typing goes into the widget as text (a field, an editor, a spin box).
    static bool takesText(const QWidget* widget);
    // Whether a key typed now reaches the browser's window itself: no menu is open, no
    // dialog is modal, the focus (if any) is in that window and not on a sheet over it.
    static bool keysReachWindowOf(const QWidget* browser);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void endSearchEditingOnClickOutside(QObject* watched, QEvent* event);
    bool togglePreviewOnSpace(QEvent* event);

    QPointer<QWidget> m_browser;
    QPointer<QLineEdit> m_searchField;
    Hooks m_hooks;
};

}  // namespace tarn
