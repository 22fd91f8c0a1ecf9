#pragma once

#include "ui/sheets/SheetCatalog.h"
#include "ui/sheets/SheetKind.h"
#include "ui/sheets/SheetOperations.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <vector>

namespace tarn {

class AppState;
class SheetOverlayView;

// Turns the state's sheet flags into sheets over the window's content. A flag that
// turns true shows its sheet on a dimmed layer over the host, a flag that turns false
// removes it; nothing else opens or closes a sheet. Flag changes arrive through the
// event loop, in order, repeats dropped, so a sheet is never removed inside one of
// its own handlers. Several sheets stack, the newest on top.
//
// While a sheet is shown, the keyboard and the mouse belong to the topmost one:
// nothing beneath it in the host (lower sheets included) receives keys, clicks,
// shortcuts or drops, and the focus cannot move there. Escape and a click on the
// dimmed area run the sheet's close action, like its Cancel button. Windows of their
// own (the transfer panel, alerts) are not affected.
//
// The delete flag's sheet is the confirmation, which deletes exactly what was
// selected when it opened.
class SheetPresenter : public QObject {
    Q_OBJECT

public:
    // The host is the window's content; it must outlive the presenter or be destroyed
    // with its sheets. The current value of every flag is applied on the next turn
    // of the event loop.
    SheetPresenter(AppState& state, QWidget* host, QObject* parent = nullptr);
    ~SheetPresenter() override;

    AppState& state() const { return m_state; }
    QWidget* host() const { return m_host; }

    const SheetOperations& operations() const { return m_operations; }
    void setOperations(SheetOperations operations);

    // Where the keys go when the last sheet closes and they were nowhere before the
    // first one opened (the window's main control); none by default.
    void setRestingFocus(QWidget* widget) { m_restingFocus = widget; }

    // Replaces the catalog's sheet of one flag; an empty factory shows nothing.
    void setFactory(SheetKind kind, SheetFactory factory);

    // The sheets on screen, bottom to top.
    std::vector<SheetKind> shownSheets() const;
    // The sheet shown for a flag and the dimmed layer that carries it; null when none.
    QWidget* sheet(SheetKind kind) const;
    SheetOverlayView* overlay(SheetKind kind) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Shown {
        SheetKind kind;
        QPointer<SheetOverlayView> overlay;
        QPointer<QWidget> sheet;
        // Where the focus was in this sheet when another one covered it.
        QPointer<QWidget> focusWhenCovered;
    };

    // Calls apply with the current value of a flag and then with every change of it.
    void follow(void (AppState::*changed)(), bool (AppState::*isShowing)() const, bool& published,
                std::function<void(bool)> apply);
    void apply(SheetKind kind, bool showing);
    void present(SheetKind kind);
    void dismiss(SheetKind kind);

    std::vector<Shown>::const_iterator find(SheetKind kind) const;
    void focusTop();
    bool isBeneathTop(QObject* receiver) const;
    bool isBeneathTopWidget(const QWidget* widget) const;
    void updateInputGuard();

    AppState& m_state;
    QPointer<QWidget> m_host;
    SheetOperations m_operations;
    std::array<SheetFactory, sheetKindCount> m_factories;
    // The last value published of each flag, to drop repeats.
    std::array<bool, sheetKindCount> m_published{};
    std::vector<Shown> m_shown;  // bottom to top
    QPointer<QWidget> m_focusBeforeSheets;
    QPointer<QWidget> m_restingFocus;
    bool m_guardingInput = false;
};

}  // namespace tarn
