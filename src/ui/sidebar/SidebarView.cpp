#include "ui/sidebar/SidebarView.h"

#include "app/state/AppState.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "ui/icons/MingCute.h"
#include "ui/sidebar/HoverFadeLogoView.h"
#include "ui/sidebar/SidebarDelegate.h"
#include "ui/sidebar/SidebarModel.h"
#include "ui/sidebar/SidebarTree.h"
#include "ui/theme/CorvaneLogo.h"
#include "ui/theme/MakerSite.h"
#include "ui/theme/TarnTheme.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tarn {
namespace {

constexpr int kListTopInset = 6;
constexpr int kBarSideInset = 12;
// Besides the logo's height, the room kept below the last row: the logo's gap to the
// bar and a margin above the logo.
constexpr int kLogoMargin = 10;
constexpr int kLogoMinLeading = 20;

QToolButton* makeBarButton(const QString& iconName, qreal pointSize, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setIcon(MingCute::icon(iconName, TarnTheme::color(ThemeColor::secondaryLabel)));
    button->setIconSize(MingCute::iconSize(pointSize));
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, TarnTheme::color(ThemeColor::secondaryLabel));
    button->setPalette(palette);
    return button;
}

}  // namespace

SidebarView::SidebarView(AppState& state, QWidget* parent)
    : TintedBlurView(paneTintAlpha, parent)
    , m_state(state)
    , m_model(new SidebarModel(this))
    , m_delegate(new SidebarDelegate(this))
    , m_tree(new SidebarTree(this))
    , m_logo(new HoverFadeLogoView(CorvaneLogo::image(), this))
    , m_reload(this, [this] { reload(); })
{
    m_tree->setModel(m_model);
    m_tree->setItemDelegate(m_delegate);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kListTopInset, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tree, 1);
    layout->addWidget(makeBottomBar());

    // The logo lies over the list's foot, above the bar.
    m_logo->setScrollForwardTarget(m_tree);
    if (const QUrl site = MakerSite::url(); !site.isEmpty()) {
        m_logo->setOnClick([this, site] { m_state.ui().openUrl(site); });
    } else {
        // Without a site the logo does nothing: clicks reach the rows under it, and
        // the list tells it where the pointer is, so it still brightens.
        m_logo->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_tree->viewport()->installEventFilter(this);
    }
    m_logo->raise();

    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SidebarView::userSelectionChanged);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &SidebarView::showContextMenu);
    connect(m_delegate, &SidebarDelegate::starClicked, this, &SidebarView::toggleFavorite);
    connect(m_delegate, &SidebarDelegate::gearClicked, this, [this](const QModelIndex& index) {
        if (const SidebarNode* node = m_model->node(index); node != nullptr && node->kind == SidebarNode::Kind::bucket) {
            editBucket(node->bucket);
        }
    });
    // Rows shown or hidden change whether the last ones reach under the logo.
    connect(m_tree, &QTreeView::expanded, this, &SidebarView::applyBottomInset);
    connect(m_tree, &QTreeView::collapsed, this, &SidebarView::applyBottomInset);

    reload();
    // Both follow the state on a later turn of the event loop: a selection change
    // the user made has finished before the list is changed again.
    connect(&m_state, &AppState::configChanged, this, [this] { m_reload.request(); });
    connect(&m_state, &AppState::selectedBucketIDChanged, this, &SidebarView::syncSelection, Qt::QueuedConnection);
}

SidebarView::~SidebarView() = default;

QWidget* SidebarView::makeBottomBar()
{
    m_bottomBar = new QWidget(this);
    m_bottomBar->setFixedHeight(bottomBarHeight);

    auto* line = new QWidget(m_bottomBar);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette linePalette = line->palette();
    linePalette.setColor(QPalette::Window, TarnTheme::over(TarnTheme::color(ThemeColor::separator), surfaceColor()));
    line->setPalette(linePalette);

    m_addButton = makeBarButton(QStringLiteral("plus"), 12, m_bottomBar);
    m_addButton->setText(L10n::t(QStringLiteral("add_bucket")));
    m_addButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_addButton->setFont(TarnTheme::font(11));
    connect(m_addButton, &QToolButton::clicked, this, [this] {
        m_state.setEditingProfileID(std::nullopt);
        m_state.setShowingAddBucketEditor(true);
    });

    m_settingsButton = makeBarButton(QStringLiteral("gearshape"), 15, m_bottomBar);
    m_settingsButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_settingsButton->setToolTip(L10n::t(QStringLiteral("settings")));
    connect(m_settingsButton, &QToolButton::clicked, this, [this] { m_state.setShowingAppSettings(true); });

    auto* column = new QVBoxLayout(m_bottomBar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(line);
    auto* row = new QHBoxLayout();
    row->setContentsMargins(kBarSideInset - 4, 0, kBarSideInset - 4, 0);
    row->addWidget(m_addButton, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_settingsButton, 0, Qt::AlignVCenter);
    column->addLayout(row, 1);
    return m_bottomBar;
}

void SidebarView::reload()
{
    QScrollBar* scroll = m_tree->verticalScrollBar();
    const int scrolled = scroll->value();
    const bool reset = m_model->setNodes(SidebarModel::nodesOf(m_state), m_state.config().favoriteBucketIDs);
    // Every group opens again after each reload, whatever the user closed, and the
    // list stays where it was scrolled.
    bool closedGroup = false;
    for (int group = 0; group < m_model->rowCount() && !closedGroup; ++group) {
        closedGroup = !m_tree->isExpanded(m_model->index(group, 0));
    }
    if (reset || closedGroup) {
        m_tree->expandAll();
        m_tree->doItemsLayout();
        applyBottomInset();
        scroll->setValue(scrolled);
    }
    syncSelection();
}

void SidebarView::syncSelection()
{
    QItemSelectionModel* selection = m_tree->selectionModel();
    const std::optional<Uuid>& selected = m_state.selectedBucketID();
    if (!selected) {
        const QScopedValueRollback<bool> guard(m_isSyncingSelection, true);
        selection->clear();
        m_syncedBucketID.reset();
        return;
    }
    const QModelIndex target = m_model->firstBucketIndex(*selected);
    // A bucket in no row, or in a closed group, leaves the selection as it is.
    if (!target.isValid() || !m_tree->isExpanded(target.parent())) {
        return;
    }
    if (!selection->isSelected(target) || selection->selectedRows().size() != 1) {
        {
            const QScopedValueRollback<bool> guard(m_isSyncingSelection, true);
            // The list scrolls by itself only to a bucket it did not show before: the
            // same bucket selected again after a rebuild keeps the list where it was.
            const bool autoScroll = m_tree->hasAutoScroll();
            m_tree->setAutoScroll(false);
            selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            m_tree->setAutoScroll(autoScroll);
        }
        if (m_syncedBucketID != selected) {
            m_tree->scrollTo(target);
        }
    }
    m_syncedBucketID = selected;
}

void SidebarView::userSelectionChanged()
{
    if (m_isSyncingSelection) {
        return;
    }
    const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return;
    }
    const SidebarNode* node = m_model->node(rows.first());
    if (node == nullptr) {
        return;
    }
    switch (node->kind) {
    case SidebarNode::Kind::group:
        break;
    case SidebarNode::Kind::bucket:
        m_state.switchBucket(node->bucket.id, {});
        break;
    case SidebarNode::Kind::favoriteDirectory:
        // The folder opens in its bucket; the highlight then moves to the bucket's row.
        m_state.switchBucket(node->bucket.id, node->favorite.prefix);
        break;
    }
}

QMenu* SidebarView::makeContextMenu(const QModelIndex& index)
{
    const SidebarNode* node = m_model->node(index);
    if (node == nullptr || node->kind == SidebarNode::Kind::group) {
        return nullptr;
    }
    auto* menu = new QMenu(this);
    if (node->kind == SidebarNode::Kind::bucket) {
        // Each entry acts on the row clicked, as it was when the menu opened.
        const BucketConfig bucket = node->bucket;
        menu->addAction(L10n::t(QStringLiteral("settings")), this, [this, bucket] { editBucket(bucket); });
        menu->addAction(L10n::t(QStringLiteral("favorite")), this,
                        [this, id = bucket.id] { m_state.toggleFavoriteBucket(id); });
        menu->addAction(L10n::t(QStringLiteral("test_connection")), this, [this, bucket] { testConnection(bucket); });
    } else {
        const FavoriteDirectoryItem item = node->favoriteDirectoryItem();
        menu->addAction(L10n::t(QStringLiteral("unfavorite_directory")), this,
                        [this, item] { m_state.removeFavoriteDirectory(item); });
    }
    return menu;
}

void SidebarView::showContextMenu(const QPoint& position)
{
    QMenu* menu = makeContextMenu(m_tree->indexAt(position));
    if (menu == nullptr) {
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_tree->viewport()->mapToGlobal(position));
}

void SidebarView::toggleFavorite(const QModelIndex& index)
{
    if (const SidebarNode* node = m_model->node(index); node != nullptr && node->kind == SidebarNode::Kind::bucket) {
        m_state.toggleFavoriteBucket(node->bucket.id);
    }
}

void SidebarView::editBucket(const BucketConfig& bucket)
{
    m_state.setEditingBucket(bucket);
    m_state.setShowingBucketEditor(true);
}

void SidebarView::testConnection(const BucketConfig& bucket)
{
    // The state reports the outcome as a toast; nothing waits for it here.
    startDetached(m_state.testConnection(bucket));
}

void SidebarView::resizeEvent(QResizeEvent* event)
{
    TintedBlurView::resizeEvent(event);
    placeLogo();
    applyBottomInset();
}

bool SidebarView::eventFilter(QObject* watched, QEvent* event)
{
    // The logo takes no mouse events without a site; the list it lies over says
    // whether the pointer is on it.
    if (watched == m_tree->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint inPane = m_tree->viewport()->mapTo(this, static_cast<QMouseEvent*>(event)->position().toPoint());
            m_logo->setHovered(m_logo->geometry().contains(inPane));
        } else if (event->type() == QEvent::Leave) {
            m_logo->setHovered(false);
        }
    }
    return TintedBlurView::eventFilter(watched, event);
}

void SidebarView::placeLogo()
{
    const int width = std::min({static_cast<int>(std::lround(this->width() * logoWidthShare)), logoMaxWidth,
                                this->width() - 2 * kLogoMinLeading});
    const int height = static_cast<int>(std::lround(std::max(0, width) / CorvaneLogo::aspectRatio));
    const int barTop = this->height() - bottomBarHeight;
    m_logo->setGeometry((this->width() - width) / 2, barTop - logoBottomGap - height, std::max(0, width), height);
}

void SidebarView::applyBottomInset()
{
    // Once the last row would lie under the logo, the list gets room to scroll it
    // out from under it; a short list gets none.
    const int reserve = m_logo->height() + logoBottomGap + kLogoMargin;
    const int last = m_tree->contentBottom();
    const int wanted = m_tree->viewport()->height() - reserve < last ? reserve : 0;
    m_tree->setBottomInset(wanted);
}

}  // namespace tarn
