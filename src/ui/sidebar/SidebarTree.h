#pragma once

#include <QTreeView>

namespace tarn {

// The sidebar's outline. The user moves its one selection with a left click or the
// keyboard but can never clear it (no Ctrl-click off, no empty click, no right-click
// or drag selection); only the program clears it. A bottom inset adds scroll room
// below the last row, so rows can be scrolled out from under what the pane lays over
// the list's foot.
class SidebarTree : public QTreeView {
    Q_OBJECT

public:
    explicit SidebarTree(QWidget* parent = nullptr);

    void setBottomInset(int inset);
    int bottomInset() const { return m_bottomInset; }
    // The bottom of the last row in the list's own coordinates (not scrolled); 0
    // without rows.
    int contentBottom() const;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void updateGeometries() override;

private:
    void extendScrollRange();

    int m_bottomInset = 0;
};

}  // namespace tarn
