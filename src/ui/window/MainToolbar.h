#pragma once

#include <QPointer>
#include <QToolBar>

namespace tarn {

class SegmentedControl;
class TripleSplitView;
class WindowCommands;

// The window's fixed toolbar, made anew with each content build: a leading space as
// wide as the sidebar (so the controls start where the browser does, and the space
// reads as the sidebar's own top), back and forward, refresh, the five object
// actions, the unfinished uploads, and the inspector switch at the trailing edge.
// Every control is one of the content's commands, whose enabled states it shows.
class MainToolbar : public QToolBar {
    Q_OBJECT

public:
    static constexpr int toolbarHeight = 46;
    static constexpr int controlSpacing = 8;
    static constexpr int trailingInset = 12;

    MainToolbar(WindowCommands& commands, TripleSplitView& content, QWidget* parent = nullptr);

    SegmentedControl* navigation() const { return m_navigation; }
    SegmentedControl* refreshButton() const { return m_refresh; }
    SegmentedControl* fileActions() const { return m_fileActions; }
    SegmentedControl* multipartButton() const { return m_multipart; }
    SegmentedControl* inspectorButton() const { return m_inspector; }
    // The width of the leading space: the sidebar's, up to its divider.
    int leadingWidth() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void followSidebar();

    QPointer<TripleSplitView> m_content;
    QWidget* m_leading;
    SegmentedControl* m_navigation;
    SegmentedControl* m_refresh;
    SegmentedControl* m_fileActions;
    SegmentedControl* m_multipart;
    SegmentedControl* m_inspector;
};

}  // namespace tarn
