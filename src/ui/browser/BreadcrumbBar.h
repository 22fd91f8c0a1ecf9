#pragma once

#include "app/state/PathItem.h"

#include <QList>
#include <QWidget>

#include <vector>

class QHBoxLayout;
class QToolButton;

namespace tarn {

// The status bar's breadcrumb: one flat button per step of the path (a drive icon for
// the bucket's root, folder icons below it) with small chevrons between them. A path
// longer than the bar keeps its root and the current folder whole and folds the steps
// between them, from the root down, into one "…" crumb that lists them in a menu;
// what follows the bar is never pushed away. Only a bar too narrow even for that
// shows the root as its icon and then cuts the current folder's name in the middle.
class BreadcrumbBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int barHeight = 24;

    explicit BreadcrumbBar(QWidget* parent = nullptr);

    // Replaces every crumb.
    void setItems(const std::vector<PathItem>& items);
    // The crumbs in path order; each button's index is its step.
    QList<QToolButton*> crumbs() const;
    int chevronCount() const;
    // The "…" crumb standing for the folded steps (hidden while nothing is folded),
    // and the steps it stands for.
    QToolButton* ellipsis() const { return m_ellipsis; }
    QList<int> foldedSteps() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void crumbClicked(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeStrip();
    // Folds steps until the crumbs fit the bar's width.
    void fit();
    void showFoldedMenu();

    std::vector<PathItem> m_items;
    QWidget* m_strip;
    QHBoxLayout* m_layout;
    QToolButton* m_ellipsis = nullptr;
    QWidget* m_ellipsisChevron = nullptr;
    bool m_fitting = false;
};

}  // namespace tarn
