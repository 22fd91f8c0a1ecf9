#pragma once

#include "app/state/KeySet.h"

#include <QPointer>
#include <QWidget>

#include <chrono>

class QVariantAnimation;

namespace tarn {

class AppState;
class FeedbackPresenter;
class InspectorContainer;
class SeparatorSplitter;
class WindowCommands;
struct WindowContentFactory;

// The window's content: the sidebar, the object browser and the inspector side by
// side. The browser takes up changes of the window's width; the inspector pane keeps
// its own width, slides in and out when AppState's showingPreview changes, and can
// be resized by dragging its divider within the container's limits. Sheets are laid
// over this widget. A new one is made for every content build.
class TripleSplitView : public QWidget {
    Q_OBJECT

public:
    static constexpr int sidebarMinWidth = 220;
    static constexpr int sidebarMaxWidth = 300;
    static constexpr int sidebarInitialWidth = 240;
    static constexpr int browserMinWidth = 300;
    static constexpr std::chrono::milliseconds slideDuration{250};

    TripleSplitView(AppState& state, const WindowContentFactory& factory, QWidget* parent = nullptr);
    ~TripleSplitView() override;

    AppState& state() const { return m_state; }
    SeparatorSplitter* splitter() const { return m_splitter; }
    QWidget* sidebar() const { return m_sidebar; }
    QWidget* browser() const { return m_browser; }
    InspectorContainer* inspectorContainer() const { return m_inspectorContainer; }
    // The commands of this build, shared by the toolbar, the menus and the panes.
    WindowCommands* commands() const { return m_commands; }
    // The toasts and bubbles of this build, over the browser pane.
    FeedbackPresenter* feedback() const { return m_feedback; }

    // Opens or closes the inspector pane: to the container's current width, or to
    // nothing. Animated, it eases out over slideDuration from wherever the divider
    // stands, replacing a slide that is still running. Ignored before the split has
    // a width.
    void setInspector(bool visible, bool animated);
    bool isSliding() const;

    // The position a drag of a divider may take. The inspector's divider resizes the
    // inspector within the container's limits and the width is kept for the next
    // time it opens; pulled while the inspector is hidden, it shows the inspector
    // first (AppState's showingPreview turns on). Every other proposal passes
    // unchanged.
    int constrainSplitPosition(int proposed, int dividerIndex);

signals:
    // The selection has become another set of keys: the inspector is to show it.
    void inspectorRefreshNeeded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setInspectorWidth(int width);
    void followSelection();

    AppState& m_state;
    SeparatorSplitter* m_splitter;
    QWidget* m_sidebar;
    QWidget* m_browser;
    InspectorContainer* m_inspectorContainer;
    WindowCommands* m_commands;
    FeedbackPresenter* m_feedback;
    QPointer<QVariantAnimation> m_slide;
    bool m_didSetInitial = false;
    bool m_openingByDrag = false;
    KeySet m_lastSelection;
};

}  // namespace tarn
