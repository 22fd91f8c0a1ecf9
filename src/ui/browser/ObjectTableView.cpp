#include "ui/browser/ObjectTableView.h"

#include "ui/theme/TarnStyle.h"
#include "ui/views/ClearTableHeaderView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace tarn {

namespace {

// A modifier pressed on its way to a shortcut (Ctrl before End) moves nothing.
bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}

}  // namespace

ObjectTableView::ObjectTableView(QWidget* parent)
    : QTableView(parent)
{
    setHorizontalHeader(new ClearTableHeaderView(Qt::Horizontal, this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setAlternatingRowColors(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideRight);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // Tab and Shift+Tab go on to the next control, as everywhere else in the window:
    // whole rows have no cells to step through, and a step would move the selection.
    setTabKeyNavigation(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    // The rows lie on the pane's surface.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // The scroll bar lies over the rows and shows while scrolling, as the other
    // panes' do, also under another application style.
    if (qobject_cast<TarnStyle*>(style()) == nullptr) {
        static TarnStyle* const overlayStyle = new TarnStyle();  // lives as long as the program
        verticalScrollBar()->setStyle(overlayStyle);
    }
    // Dragging, clicking or wheeling the scroll bar; the view's own scrolling sets its
    // value, which is no action.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { run(onUserMoves); });
}

void ObjectTableView::copy()
{
    run(onCopy);
}

void ObjectTableView::paste()
{
    run(onPaste);
}

void ObjectTableView::run(const std::function<void()>& command)
{
    if (command) {
        command();
    }
}

void ObjectTableView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const int key = event->key();
    if (key == Qt::Key_End && (modifiers == Qt::ControlModifier ||
                               (modifiers == Qt::NoModifier && horizontalScrollBar()->maximum() == 0))) {
        run(onGoToEnd);
        event->accept();
        return;
    }
    if (!isModifierKey(key)) {
        run(onUserMoves);
    }
    if (control) {
        const bool shift = modifiers.testFlag(Qt::ShiftModifier);
        if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
            run(onDelete);
            event->accept();
            return;
        }
        if ((key == Qt::Key_V || key == Qt::Key_C) && !shift) {
            run(key == Qt::Key_V ? onPaste : onCopy);
            event->accept();
            return;
        }
    } else if (key == Qt::Key_Delete) {
        run(onDelete);
        event->accept();
        return;
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        run(onEnter);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ObjectTableView::mousePressEvent(QMouseEvent* event)
{
    run(onUserMoves);
    QTableView::mousePressEvent(event);
}

bool ObjectTableView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (m_allowsNameEditing) {
        return QTableView::edit(index, trigger, event);
    }
    // Clicks still reach the delegate (a placeholder's buttons), which opens no editor.
    if (event != nullptr && index.isValid()) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        option.rect = visualRect(index);
        QAbstractItemDelegate* delegate = itemDelegateForIndex(index);
        if (delegate != nullptr && delegate->editorEvent(event, model(), option, index)) {
            return true;
        }
    }
    return false;
}

void ObjectTableView::startDrag(Qt::DropActions supportedActions)
{
    Q_UNUSED(supportedActions)
    run(onStartDrag);
}

void ObjectTableView::verticalScrollbarValueChanged(int value)
{
    // QAbstractItemView asks the display server where the pointer is after every scroll,
    // to announce the row that came under it (entered(), a status tip, the hovered row's
    // state). The table shows none of these; and while a long folder loads to its end the
    // view scrolls with every page, so that round trip, waiting on a display server busy
    // drawing the previous page, kept the window from answering for longer than all the
    // page's own work. The model's fetchMore, which the base also asks for at the bottom,
    // stays.
    if (model() != nullptr && value == verticalScrollBar()->maximum() && model()->canFetchMore(rootIndex())) {
        model()->fetchMore(rootIndex());
    }
}

}  // namespace tarn
