#pragma once

#include "ui/views/TintedBlurView.h"

#include "app/state/KeySet.h"
#include "app/transfers/TransferState.h"
#include "core/values/IsoDate.h"
#include "core/values/Uuid.h"

#include <QMenu>
#include <QPointer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QLabel;

class QMimeData;

namespace tarn {

class AppState;
class BrowserEventFilter;
struct BrowserRowInputs;
class BrowserHeader;
class BrowserItemDelegate;
class BrowserStatusBar;
class BrowserTableModel;
class ObjectTableView;
class RemoteObjectsMimeData;
class StatusDotView;
class ThrottledCall;

// The centre pane: the listing of the current folder of the selected bucket. The
// header (bucket name, usage, search) lies above the object table, the status bar
// (status dot, breadcrumb, transfer progress) below it, and a centred text over the
// table says when there is nothing to list. Everything shown is derived from the
// state and its transfer queue; every action goes to the state.
//
// What it follows, and how often:
// - a change of the listing, the folder, the bucket, the configuration, the loading
//   flag or the search text rebuilds the rows and the header: a burst of them from one
//   operation of the state in one rebuild, on the next turn of the event loop;
// - the transfer queue rebuilds the rows at most every 200 ms and the status bar at
//   most every 100 ms (progress reports arrive far more often; a placeholder row
//   redraws its own progress in between);
// - the selection is mirrored both ways with AppState::selectedObjectKeys, each side
//   ignoring the echo of its own change;
// - a reveal request scrolls to its row.
// Toasts and bubbles are the window's: it anchors bubbles to statusDot().
//
// What the user does in the table: a context menu per row, a double click that opens,
// Return that renames in place, Ctrl+C and dragging out that hand folders and objects
// to a file manager (downloaded only when it asks, see RemoteObjectsMimeData), Ctrl+V
// and dropping local files on the pane, which upload into the folder shown.
class ObjectBrowserView : public TintedBlurView {
    Q_OBJECT

public:
    static constexpr int rowsThrottleMilliseconds = 200;
    static constexpr int statusThrottleMilliseconds = 100;
    // The next page is asked for once the end of the table is this many rows away.
    static constexpr int loadMoreDistanceRows = 120;

    explicit ObjectBrowserView(AppState& state, QWidget* parent = nullptr);
    ~ObjectBrowserView() override;

    AppState& state() const { return m_state; }
    ObjectTableView* table() const { return m_table; }
    BrowserTableModel* model() const { return m_model; }
    BrowserItemDelegate* delegate() const { return m_delegate; }
    BrowserHeader* header() const { return m_header; }
    BrowserStatusBar* statusBar() const { return m_statusBar; }
    // The anchor of the window's bubbles.
    StatusDotView* statusDot() const;
    QLabel* placeholderLabel() const { return m_placeholder; }

    // ---- Rows and selection (ObjectBrowserViewRows.cpp) ----

    // Builds the rows from the listing and the queue, reloads the table when their
    // signatures changed, sets the placeholder text and mirrors the selection.
    void reloadRows();
    // Selects exactly the rows whose keys are selected in the state. A new selection
    // also takes the focus row (and the view to it). With `keepFocus` (after rows came
    // or went) a selection the table already shows leaves both where they are.
    void syncSelectionFromState(bool keepFocus = false);
    // Scrolls to the row of a key (rebuilding the rows once when it is not there yet)
    // and clears the state's request; selects nothing.
    void reveal(const std::string& key);
    // Starts (with a key) or ends the inline-rename bookkeeping; ending it runs the
    // listing refresh that waited for it.
    void setEditingSession(std::optional<std::string> key, std::optional<std::string> sourceKey,
                           std::optional<std::int64_t> sourceSize);
    const std::optional<std::string>& editingKey() const { return m_editingKey; }
    const std::optional<std::string>& editingSourceKey() const { return m_editingSourceKey; }
    const std::optional<std::int64_t>& editingSourceSize() const { return m_editingSourceSize; }
    // The key of a row; empty outside the rows.
    std::string rowKey(int row) const;
    // Ctrl+End, and End while nothing scrolls sideways: the last row. While further
    // pages of the listing exist, the view stays at the end and has them loaded one
    // after the other (the status bar says so) until the listing ends, and then
    // selects the last row. The user moving (a key, a click, the scroll bar) or
    // another listing ends that, and nothing is selected.
    void goToEnd();
    bool isGoingToEnd() const { return m_goingToEnd.has_value(); }

    // ---- Header, search and status bar (ObjectBrowserViewBars.cpp) ----

    void refreshHeader();
    void rebuildPath();
    void crumbClicked(int index);
    void searchChanged(const QString& text);
    void setSearchExpanded(bool expanded);
    // Asks for the next page when the end of the table is near.
    void loadMoreIfNearBottom();
    void refreshStatus();
    // The status dot's click: shows the transfer panel; the failures are seen then.
    void toggleTransferPanel();

    // ---- Commands of the table (ObjectBrowserView.cpp) ----

    // Delete, Ctrl+Delete, Ctrl+Backspace: the delete confirmation, when objects or
    // folders are selected; nothing otherwise.
    void requestDelete();

    // ---- Menu, double click and inline rename (ObjectBrowserViewCommands.cpp) ----

    // The context menu of a row (-1: the empty space below the rows), made afresh
    // each time it opens; none when it has no item. A right-click on a row outside
    // the selection selects only that row first; one inside it keeps the selection.
    QMenu* contextMenuFor(int row);
    // The menu last opened, while it is open.
    QMenu* contextMenu() const { return m_contextMenu; }
    // Opens a folder, the parent, an object or a finished folder upload.
    void openRow(int row);
    // Puts a key on the clipboard as plain text and says so in the status text.
    void copyKey(const std::string& key);
    // Return: an editable name over the selected row, its name before the extension
    // selected; a beep when the row cannot be renamed in place.
    void beginInlineRename();
    // The editor's text when Return was pressed in it.
    void commitInlineRename(const QString& name);
    // Where a committed inline rename goes: the state's renameInPlace, unless a test
    // records it instead.
    std::function<void(const std::string& newName, const std::string& sourceKey, std::optional<std::int64_t> size)>
        renameHandler;
    // Escape, Tab, the focus leaving the editor, or the editor closed by the table.
    void cancelInlineRename();
    // Redraws the row of `key` and gives the keys back to the table, once the event
    // that ended the edit is over.
    void finishInlineEditing(std::optional<std::string> restoreKey);

    // ---- Copy, paste, drag and drop (ObjectBrowserViewTransfer.cpp) ----

    // What copying or dragging the rows offers other applications: the folders and
    // objects among them with the bucket shown now; none when there are none.
    // The caller owns it.
    RemoteObjectsMimeData* makeMimeData(const std::vector<int>& rows) const;
    // Ctrl+C: the selected folders and objects onto the clipboard (a large copy once
    // the user agrees; see AppState::confirmClipboardCopy); a beep without any.
    void copySelectedToPasteboard();
    // Ctrl+V: the clipboard's files, image or text uploaded into the folder shown.
    // Objects copied from this program are not local files yet: a beep.
    void paste();
    // The local files a drop brings; none for a drop from this program or without files.
    static std::vector<std::filesystem::path> droppedFiles(const QDropEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // What the rows take of a task: a change of anything else (progress) leaves them.
    struct TaskMark {
        Uuid id;
        bool isUpload = false;
        TransferState state = TransferState::waiting;
        std::optional<TimePoint> finishedAt;
        std::optional<TimePoint> completedAt;
        std::optional<std::string> succeededObjectKey;
        bool operator==(const TaskMark&) const = default;
    };

    void buildTable();
    // What the user looks at, by key: the row at the top of the view (none while the
    // view is at its top, where added rows are simply shown) and the focus row.
    struct ViewAnchor {
        std::optional<std::string> topKey;
        int topOffset = 0;  // pixels of that row above the view's edge
        std::optional<std::string> focusKey;
    };
    ViewAnchor viewAnchor() const;
    // Puts the rows of the anchor back where they were after rows were added or
    // rebuilt around them.
    void restoreAnchor(const ViewAnchor& anchor);
    // Moves the focus row without scrolling to it.
    void setFocusRowQuietly(int row);
    // One step of goToEnd once rows or the paging state changed.
    void continueToEnd();
    void stopGoingToEnd();
    void selectLastRow();
    // Where extendRows put the rows it added: folders among the folders, objects at
    // the end.
    struct AddedRows {
        int foldersAt = 0;
        int folders = 0;
        int objectsAt = 0;
        int objects = 0;
    };
    // The rows of a listing that only grew since the last build, or none (nothing
    // done) when anything else changed; whether rows were added, and where.
    std::optional<bool> extendRows(const BrowserRowInputs& inputs, const std::vector<TaskMark>& tasks,
                                   AddedRows& added);
    // After rows were added to a table whose selection mirrors the state's: whether an
    // added row holds a selected key (the rows before them are as they were).
    bool addedRowsHoldSelection(const AddedRows& added) const;
    // The table's selection stops being known to mirror the state's keys.
    void forgetSyncedSelection();
    void subscribe();
    void selectionChangedByUser();
    void placePlaceholder();
    void togglePreview();
    bool canTogglePreview() const;
    void installCommands();
    void showContextMenu(const QPoint& position);
    void startDrag();
    // The selected rows, top to bottom.
    std::vector<int> selectedRows() const;

    AppState& m_state;
    BrowserHeader* m_header;
    ObjectTableView* m_table;
    BrowserTableModel* m_model;
    BrowserItemDelegate* m_delegate;
    BrowserStatusBar* m_statusBar;
    QLabel* m_placeholder;
    BrowserEventFilter* m_filter = nullptr;

    ThrottledCall* m_listingRefresh;  // rows and header, once per burst of state changes
    ThrottledCall* m_headerRefresh;   // the header alone (usage)
    ThrottledCall* m_rowsThrottle;    // rows and header after queue changes
    ThrottledCall* m_statusRefresh;   // status after the status text or loading flag
    ThrottledCall* m_statusThrottle;  // status after queue changes

    // True while the view itself changes the table's selection or rows: the table's
    // selection changes are then not written back to the state.
    bool m_isSyncingSelection = false;
    bool m_wasShown = false;
    // The selection last seen from the state, to drop a repeat of the same set.
    std::optional<KeySet> m_lastStateSelection;
    // Set while the table selects exactly the rows of the state's selected keys, as
    // the last full sync left it: the hashes of those keys. Rows added since need
    // only be checked themselves, and a page of rows costs the same however many
    // rows came before it. Any change of the keys or of the table's selection by the
    // user clears it.
    std::optional<std::unordered_set<std::size_t>> m_syncedSelectionHashes;
    std::uint64_t m_selectionSyncEpoch = 0;

    // What the rows were last built from in full, so that a page that only adds to
    // the listing adds only its own rows.
    struct BuiltListing {
        std::uint64_t generation = 0;
        std::string prefix;
        std::optional<Uuid> bucketID;
        std::size_t prefixCount = 0;
        std::size_t objectCount = 0;
        std::size_t objectsStart = 0;  // the first row of an object
        std::vector<TaskMark> tasks;
    };
    std::optional<BuiltListing> m_built;

    // The listing goToEnd goes through to its end.
    struct EndTarget {
        std::uint64_t generation = 0;
        std::string prefix;
        std::optional<Uuid> bucketID;
        bool operator==(const EndTarget&) const = default;
    };
    std::optional<EndTarget> m_goingToEnd;

    QPointer<QMenu> m_contextMenu;

    std::optional<std::string> m_editingKey;
    std::optional<std::string> m_editingSourceKey;
    std::optional<std::int64_t> m_editingSourceSize;
};

}  // namespace tarn
