#pragma once

class QWidget;

namespace tarn {

// Takes the Edit menu's commands where the keyboard focus is, as a responder chain
// would: to the focused widget, or to the nearest of its ancestors in the same
// window that has a public slot of the command's name ("cut()", "copy()", "paste()",
// "selectAll()"). Text fields have them; a list or table that wants copy and paste
// declares them too.
class EditCommandRouter {
public:
    EditCommandRouter() = delete;

    enum class Command { cut, copy, paste, selectAll };

    // Runs the command on the application's focus widget. False when no widget in
    // the chain takes it.
    static bool perform(Command command);
    static bool perform(Command command, QWidget* focus);
};

}  // namespace tarn
