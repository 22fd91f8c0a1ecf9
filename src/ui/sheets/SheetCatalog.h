#pragma once

#include "ui/sheets/SheetKind.h"

#include <functional>
#include <span>

class QWidget;

namespace tarn {

class AppState;
class SheetPresenter;

// Makes the sheet of one flag; the presenter frames it, shows it and owns it from
// then on. `close` ends the sheet: a sheet calls it (or an operation that clears its
// flag) and never hides itself.
using SheetFactory = std::function<QWidget*(SheetPresenter& presenter, std::function<void()> close)>;

// Every sheet flag of the state: its name, how to read, follow and clear it, and the
// sheet it shows.
class SheetCatalog {
public:
    SheetCatalog() = delete;

    struct Flag {
        SheetKind kind;
        const char* identifier;
        bool (AppState::*isShowing)() const;
        void (AppState::*setShowing)(bool);
        void (AppState::*changed)();
    };

    // One entry per kind, in the order of SheetKind.
    static std::span<const Flag> flags();
    static const Flag& flag(SheetKind kind);

    // The close action of a flag: clears it, and what the sheet leaves behind (the
    // parked upload before the conflict flag, the edited account after its flag).
    static void close(AppState& state, SheetKind kind);

    // The sheet a flag shows. Each sheet registers its factory in this function; a
    // flag without one shows nothing while it is true.
    static SheetFactory factory(SheetKind kind);
};

}  // namespace tarn
