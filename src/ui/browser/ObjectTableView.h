#pragma once

#include <QTableView>

#include <functional>

namespace tarn {

// The object table: whole rows, several at a time, no grid, 28-pixel rows on the
// pane's surface, with the browser's keys. Ctrl stands where another desktop has
// Command: Delete, Ctrl+Delete and Ctrl+Backspace ask to delete the selection,
// Ctrl+C copies, Ctrl+V pastes (the exact lower-case letters: Ctrl+Shift+V is no
// paste), Return or Enter without Ctrl renames in place; Ctrl+End goes to the end of
// the listing, and so does End while there is nothing to scroll sideways (the
// table's own End only moves to the last column, which whole rows do not show);
// everything else is the table's own navigation, but for Tab and Shift+Tab, which
// move the focus on to the next control and leave the selection alone. A key of
// these is taken even while its command is unset.
//
// Every other key, a click on the rows and a move of the scroll bar by the user are
// reported through onUserMoves first: the view stops what it was doing on its own
// (going on to the end of the listing).
//
// No cell is edited by a click or a key of the table itself: only an inline-rename
// session (allowsNameEditing) may open an editor. Rows are dragged out through
// onStartDrag, which makes the drag; the table itself takes no drop (the browser
// around it does). Its context menu is asked for with customContextMenuRequested.
class ObjectTableView : public QTableView {
    Q_OBJECT

public:
    static constexpr int rowHeight = 28;

    explicit ObjectTableView(QWidget* parent = nullptr);

    std::function<void()> onDelete;
    std::function<void()> onPaste;
    std::function<void()> onCopy;
    std::function<void()> onEnter;
    // A drag of the selected rows begins.
    std::function<void()> onStartDrag;
    std::function<void()> onGoToEnd;
    std::function<void()> onUserMoves;

    bool allowsNameEditing() const { return m_allowsNameEditing; }
    void setAllowsNameEditing(bool allows) { m_allowsNameEditing = allows; }

public slots:
    // The Edit menu's commands reach the focused table through these.
    void copy();
    void paste();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void verticalScrollbarValueChanged(int value) override;

private:
    static void run(const std::function<void()>& command);

    bool m_allowsNameEditing = false;
};

}  // namespace tarn
