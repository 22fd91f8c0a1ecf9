#pragma once

#include "app/state/PathItem.h"

#include <QList>
#include <QWidget>

#include <vector>

class QHBoxLayout;
class QToolButton;

namespace tarn {

// The status bar's breadcrumb: one flat button per step of the path (a drive icon for
// the bucket's root, folder icons below it) with small chevrons between them. The
// crumbs keep their natural width; a path longer than the bar is cut off at its right
// end instead of pushing what follows the bar away.
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

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void crumbClicked(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeStrip();

    std::vector<PathItem> m_items;
    QWidget* m_strip;
    QHBoxLayout* m_layout;
};

}  // namespace tarn
