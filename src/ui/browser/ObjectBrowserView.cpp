#include "ui/browser/ObjectBrowserView.h"

#include "ui/browser/BrowserEventFilter.h"
#include "ui/browser/BrowserHeader.h"
#include "ui/browser/BrowserItemDelegate.h"
#include "ui/browser/BrowserStatusBar.h"
#include "ui/browser/BrowserTableModel.h"
#include "ui/browser/BreadcrumbBar.h"
#include "ui/browser/GlassSearchField.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/browser/StatusDotView.h"
#include "ui/browser/ThrottledCall.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"

#include "app/state/AppState.h"
#include "app/transfers/TransferCenter.h"
#include "ui/views/PlainText.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace tarn {
namespace {

// Columns: width, smallest and largest width (the name takes the rest).
struct ColumnWidths {
    int width;
    int minimum;
    int maximum;
};
constexpr ColumnWidths kSizeColumn{100, 90, 130};
constexpr ColumnWidths kModifiedColumn{170, 150, 210};
constexpr int kNameColumnMinimum = 200;
// The table's rows keep this distance from the pane's edges.
constexpr int kTableSideInset = 10;
constexpr int kPlaceholderSideInset = 20;

// The state toggles the preview pane where it offers the toggle; built against a
// state without it, Space has nothing to do.
template <class State>
void togglePreviewPanelOf(State& state)
{
    if constexpr (requires { state.togglePreviewPanel(); }) {
        state.togglePreviewPanel();
    }
}

}  // namespace

ObjectBrowserView::ObjectBrowserView(AppState& state, QWidget* parent)
    : TintedBlurView(paneTintAlpha, parent)
    , m_state(state)
    , m_header(new BrowserHeader(this))
    , m_table(new ObjectTableView(this))
    , m_model(new BrowserTableModel(state, this))
    , m_delegate(new BrowserItemDelegate(this))
    , m_statusBar(new BrowserStatusBar(this))
    , m_placeholder(PlainText::label(QString(), m_table))
    , m_listingRefresh(new ThrottledCall(0, [this] {
        reloadRows();
        refreshHeader();
    }, this))
    , m_headerRefresh(new ThrottledCall(0, [this] { refreshHeader(); }, this))
    , m_rowsThrottle(new ThrottledCall(rowsThrottleMilliseconds, [this] {
        reloadRows();
        refreshHeader();
    }, this))
    , m_statusRefresh(new ThrottledCall(0, [this] { refreshStatus(); }, this))
    , m_statusThrottle(new ThrottledCall(statusThrottleMilliseconds, [this] { refreshStatus(); }, this))
{
    buildTable();

    auto* tableArea = new QWidget(this);
    auto* tableLayout = new QVBoxLayout(tableArea);
    tableLayout->setContentsMargins(kTableSideInset, 0, kTableSideInset, 0);
    tableLayout->addWidget(m_table);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addWidget(tableArea, 1);
    column->addWidget(m_statusBar);

    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    m_placeholder->setFont(TarnTheme::font(13));
    QPalette placeholderPalette = m_placeholder->palette();
    placeholderPalette.setColor(QPalette::WindowText, TarnTheme::color(ThemeColor::secondaryLabel));
    m_placeholder->setPalette(placeholderPalette);
    // Clicks reach the table below (its menu on empty space, for one), except on the
    // text of a failure (see reloadRows).
    m_placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholder->hide();
    m_table->installEventFilter(this);

    GlassSearchField* search = m_header->searchField();
    connect(search, &QLineEdit::textEdited, this, &ObjectBrowserView::searchChanged);
    search->onFocusChange = [this](bool focused) { setSearchExpanded(focused); };
    search->onLeave = [this] { m_table->setFocus(Qt::OtherFocusReason); };
    connect(m_statusBar->breadcrumb(), &BreadcrumbBar::crumbClicked, this, &ObjectBrowserView::crumbClicked);
    m_statusBar->dot()->onClick = [this] { toggleTransferPanel(); };

    reloadRows();
    refreshHeader();
    refreshStatus();
    subscribe();

    BrowserEventFilter::Hooks hooks;
    hooks.canTogglePreview = [this] { return canTogglePreview(); };
    hooks.togglePreview = [this] { togglePreview(); };
    m_filter = new BrowserEventFilter(this, search, std::move(hooks), this);
    qApp->installEventFilter(m_filter);
}

ObjectBrowserView::~ObjectBrowserView()
{
    // An editor closed while the children go must not reach this view any more.
    m_delegate->onRenameCancelled = nullptr;
    m_delegate->onRenameCommitted = nullptr;
    if (m_filter != nullptr) {
        qApp->removeEventFilter(m_filter);
    }
}

StatusDotView* ObjectBrowserView::statusDot() const
{
    return m_statusBar->dot();
}

void ObjectBrowserView::buildTable()
{
    m_table->setModel(m_model);
    m_model->setShownRows([table = m_table] {
        if (!table->isVisible()) return std::pair(-1, -1);
        return std::pair(table->rowAt(0), table->rowAt(table->viewport()->height() - 1));
    });
    m_table->setItemDelegate(m_delegate);
    m_table->setProperty(TarnStyle::ownSelectionProperty, true);

    QHeaderView* columns = m_table->horizontalHeader();
    columns->setFont(TarnTheme::font(12));
    columns->setMinimumSectionSize(kSizeColumn.minimum);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(BrowserTableModel::nameColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(BrowserTableModel::sizeColumn, QHeaderView::Interactive);
    columns->setSectionResizeMode(BrowserTableModel::modifiedColumn, QHeaderView::Interactive);
    columns->resizeSection(BrowserTableModel::sizeColumn, kSizeColumn.width);
    columns->resizeSection(BrowserTableModel::modifiedColumn, kModifiedColumn.width);
    m_table->setMinimumWidth(kNameColumnMinimum + kSizeColumn.minimum + kModifiedColumn.minimum);
    // The size and date columns stay within their limits when the user drags them.
    connect(columns, &QHeaderView::sectionResized, this, [columns](int section, int, int size) {
        const ColumnWidths* limits = section == BrowserTableModel::sizeColumn       ? &kSizeColumn
                                     : section == BrowserTableModel::modifiedColumn ? &kModifiedColumn
                                                                                    : nullptr;
        if (limits != nullptr && (size < limits->minimum || size > limits->maximum)) {
            columns->resizeSection(section, std::clamp(size, limits->minimum, limits->maximum));
        }
    });

    m_table->onDelete = [this] { requestDelete(); };
    m_table->onGoToEnd = [this] { goToEnd(); };
    m_table->onUserMoves = [this] { stopGoingToEnd(); };
    installCommands();
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ObjectBrowserView::selectionChangedByUser);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, &ObjectBrowserView::loadMoreIfNearBottom);
}

void ObjectBrowserView::subscribe()
{
    AppState& state = m_state;
    for (auto changed : {&AppState::objectsChanged, &AppState::prefixesChanged, &AppState::currentPrefixChanged,
                         &AppState::selectedBucketIDChanged, &AppState::configChanged, &AppState::isLoadingChanged,
                         &AppState::searchTextChanged}) {
        connect(&state, changed, m_listingRefresh, &ThrottledCall::trigger);
    }
    TransferCenter& transfers = state.transfers();
    connect(&transfers, &TransferCenter::tasksChanged, m_rowsThrottle, &ThrottledCall::trigger);
    connect(&state, &AppState::bucketUsageChanged, m_headerRefresh, &ThrottledCall::trigger);
    connect(&state, &AppState::selectedObjectKeysChanged, this, [this] {
        forgetSyncedSelection();
        const KeySet& keys = m_state.selectedObjectKeys();
        if (m_lastStateSelection && *m_lastStateSelection == keys) {
            return;
        }
        m_lastStateSelection = keys;
        syncSelectionFromState();
    });
    connect(&state, &AppState::revealKeyChanged, this, [this] {
        if (const std::optional<std::string>& key = m_state.revealKey()) {
            reveal(std::string(*key));
        }
    });
    // Going to the end takes its next step once a page has come or the paging ended.
    for (auto changed : {&AppState::hasMoreObjectsChanged, &AppState::isLoadingMoreChanged}) {
        connect(&state, changed, this, [this] {
            if (m_goingToEnd) {
                m_listingRefresh->trigger();
            }
        });
    }
    connect(&state, &AppState::statusTextChanged, m_statusRefresh, &ThrottledCall::trigger);
    connect(&state, &AppState::isLoadingChanged, m_statusRefresh, &ThrottledCall::trigger);
    for (ThrottledCall* refresh : {m_listingRefresh, m_headerRefresh, m_statusRefresh}) {
        connect(&state, &AppState::listingFailureChanged, refresh, &ThrottledCall::trigger);
    }
    connect(&transfers, &TransferCenter::tasksChanged, m_statusThrottle, &ThrottledCall::trigger);
}

bool ObjectBrowserView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        placePlaceholder();
    }
    return TintedBlurView::eventFilter(watched, event);
}

void ObjectBrowserView::showEvent(QShowEvent* event)
{
    TintedBlurView::showEvent(event);
    if (m_wasShown) {
        return;
    }
    m_wasShown = true;
    // The keys start in the table; the search field, first in the focus chain, would
    // otherwise take them (and widen) as soon as the window opens.
    QWidget* focus = window()->focusWidget();
    if (focus == nullptr || focus == m_header->searchField()) {
        m_table->setFocus(Qt::OtherFocusReason);
    }
}

void ObjectBrowserView::placePlaceholder()
{
    const int width = std::max(0, m_table->width() - 2 * kPlaceholderSideInset);
    const int height = m_placeholder->heightForWidth(width);
    m_placeholder->setGeometry(kPlaceholderSideInset, (m_table->height() - height) / 2, width, height);
}

void ObjectBrowserView::requestDelete()
{
    if (m_state.selectedObjects().size() + m_state.selectedPrefixes().size() > 0) {
        m_state.setShowingDeleteConfirm(true);
    }
}

bool ObjectBrowserView::canTogglePreview() const
{
    return m_state.showingPreview() || !m_state.selectedObjects().empty() || !m_state.selectedPrefixes().empty();
}

void ObjectBrowserView::togglePreview()
{
    togglePreviewPanelOf(m_state);
}

}  // namespace tarn
