#pragma once

#include <functional>

class QObject;
class QToolBar;
class QWidget;

namespace tarn {

class AppState;
class TripleSplitView;

// What every build of the window's content makes, at start and after each change of
// the interface language: the three panes, the sheet presenter and the toolbar. Each
// is made anew on the same AppState and looks its texts up as it is built. The panes
// that are not built yet are empty placeholders with the theme's surface; each pane
// takes its place by filling in its maker in standard().
struct WindowContentFactory {
    using PaneMaker = std::function<QWidget*(AppState& state)>;
    // Made as a child of the content, so that it goes with the content it presents on.
    using SheetPresenterMaker = std::function<QObject*(AppState& state, TripleSplitView& content)>;
    // The window's toolbar for this build; null leaves the window without one.
    using ToolbarMaker = std::function<QToolBar*(AppState& state, TripleSplitView& content)>;

    PaneMaker sidebar;    // accounts, buckets and favourite folders
    PaneMaker browser;    // the object table of the current folder
    PaneMaker inspector;  // details and previews; placed inside the inspector container
    SheetPresenterMaker sheetPresenter;
    ToolbarMaker toolbar;

    // What the program builds.
    static WindowContentFactory standard();
    // An empty pane with the theme's tinted surface.
    static QWidget* placeholderPane();
};

}  // namespace tarn
