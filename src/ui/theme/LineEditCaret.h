#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QRect>

class QLineEdit;

namespace tarn {

// The caret of a text field, drawn in the field's text colour. Qt draws a line
// edit's caret by inverting what lies under it, which is light on a dark field but
// pink over a selection of the theme's green; the style gives Qt's caret no width,
// and this draws one where Qt would have, after the field has painted itself. It
// shows while the field has the focus and can be typed in, blinks at the platform's
// cursor flash time (steady when that is 0) and comes back at once whenever the
// text, the cursor or the selection changes, as Qt's does.
class LineEditCaret : public QObject {
    Q_OBJECT

public:
    // Draws the caret of `edit`, as a child of it.
    explicit LineEditCaret(QLineEdit* edit);

    // Where the caret of `edit` is drawn, in the edit's coordinates.
    static QRect caretRect(const QLineEdit& edit);
    // Whether the caret is showing now (it has focus and is in the on phase of a blink).
    bool isShown() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool wanted() const;
    // Shows the caret from the start of a blink (or hides it when it is not wanted).
    void restart();
    // Repaints where the caret was last drawn and where it is now.
    void refresh();

    QLineEdit* m_edit;
    QBasicTimer m_blink;
    bool m_on = false;
    QRect m_drawn;
};

}  // namespace tarn
