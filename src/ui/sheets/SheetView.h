#pragma once

#include "ui/views/TintedBlurView.h"

#include <QPointer>
#include <QPushButton>

#include <functional>
#include <initializer_list>

class QBoxLayout;
class QLabel;

namespace tarn {

// The surface and the keys the sheets share: a tinted panel (the presenter rounds,
// borders and shadows it), an 18-pixel title, buttons at the trailing end of a row,
// and Return (or Enter) on the button the keyboard is on, else on the one default
// button, wherever else the keyboard focus is in the sheet. Escape is left to the
// dimmed layer around the sheet, which closes it.
class SheetView : public TintedBlurView {
    Q_OBJECT

public:
    static constexpr qreal tintAlpha = 0.85;
    static constexpr int inset = 24;

    explicit SheetView(QWidget* parent = nullptr);
    // A surface of another darkness than the sheets' usual one.
    SheetView(qreal tint, QWidget* parent);

    // The button Return presses while it is enabled (and the keyboard is on no other
    // button). It is drawn as the default, in the accent, unless `accented` is false:
    // a Cancel that guards a destructive action keeps its plain look.
    void setDefaultButton(QPushButton* button, bool accented = true);
    QPushButton* defaultButton() const { return m_defaultButton; }

    // The look of every "add" button of the sheets (add a domain, a metadata row, an
    // account): the ⊕ icon in the label colour before a 12-pixel title, flat.
    static void styleAddButton(QPushButton* button);

protected:
    QLabel* makeTitle(const QString& text);
    // A label of the sheet's, or of `parent` when one is given.
    QLabel* makeLabel(const QString& text, int pixelSize, bool secondary, QWidget* parent = nullptr);
    QPushButton* makeButton(const QString& title, std::function<void()> action);
    // A spacer, then the buttons, 10 pixels apart.
    static QBoxLayout* makeButtonRow(std::initializer_list<QPushButton*> buttons);

    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<QPushButton> m_defaultButton;
};

}  // namespace tarn
