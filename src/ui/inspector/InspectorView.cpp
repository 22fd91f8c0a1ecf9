#include "ui/inspector/InspectorView.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "ui/inspector/ActionTile.h"
#include "ui/inspector/InspectorDetails.h"
#include "ui/inspector/InspectorRows.h"
#include "ui/preview/PreviewHost.h"
#include "ui/preview/PreviewLook.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/IconView.h"
#include "ui/views/OverlayScrollView.h"
#include "ui/views/PlainText.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace tarn {

namespace {

constexpr int kStackSpacing = 16;
constexpr int kStackVerticalInset = 22;
constexpr int kStackHorizontalInset = 20;
constexpr int kTileSpacing = 8;
// The empty state's box keeps this much of the pane's width free around it.
constexpr int kEmptyBoxMargin = 48;

PreviewActions desktopActions(AppState& state)
{
    // The state's services are looked up at each use: the window sets them after the
    // content is built, and tests replace them.
    PreviewActions actions;
    actions.openLink = [&state](const QUrl& url) { state.ui().openUrl(url); };
    actions.openWithDefaultApplication = [&state](const std::filesystem::path& file) {
        startDetached(state.openDownloadedFile(file));
    };
    return actions;
}

QLabel* centredLabel(const QString& text, int pixelSize, ThemeColor color)
{
    auto* label = new QLabel(text);
    PlainText::apply(label);
    label->setFont(TarnTheme::font(pixelSize));
    label->setAlignment(Qt::AlignCenter);
    PreviewLook::setTextColor(label, color);
    return label;
}

}  // namespace

InspectorView::InspectorView(AppState& state, QWidget* parent)
    : InspectorView(state, desktopActions(state), parent)
{
}

InspectorView::InspectorView(AppState& state, PreviewActions actions, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_root(new QGridLayout(this))
    , m_scroll(new OverlayScrollView())
    , m_document(new QWidget())
    , m_stack(new QVBoxLayout(m_document))
    , m_previews(new PreviewHost(std::move(actions), &state, this))
    , m_showingPreview(state.showingPreview())
    , m_rebuild(this, [this] { rebuild(); })
{
    m_stack->setContentsMargins(kStackHorizontalInset, kStackVerticalInset, kStackHorizontalInset,
                                kStackVerticalInset);
    m_stack->setSpacing(kStackSpacing);
    // The cards start at the top; the room below them stays empty.
    m_stack->addStretch(1);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes from the table straight to the pane's buttons (which the area scrolls
    // into sight), not to the area itself, which shows no focus.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidget(m_document);
    // The container's surface shows through (a scroll area fills its widget's background).
    m_document->setAutoFillBackground(false);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_root->setContentsMargins(0, 0, 0, 0);
    m_root->addWidget(m_scroll, 0, 0);

    connect(&m_state, &AppState::inlinePreviewStateChanged, this, [this] { m_rebuild.request(); });
    connect(&m_state, &AppState::objectDetailsChanged, this, [this] { m_rebuild.request(); });
    connect(&m_state, &AppState::showingPreviewChanged, this, &InspectorView::previewVisibilityChanged);
    rebuild();
}

InspectorView::~InspectorView() = default;

QList<ActionTile*> InspectorView::actionTiles() const
{
    return m_document->findChildren<ActionTile*>();
}

void InspectorView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_emptyBox) {
        m_emptyBox->setMaximumWidth(std::max(0, width() - kEmptyBoxMargin));
    }
}

void InspectorView::rebuild()
{
    if (!m_state.showingPreview()) {
        // Hidden: built again once it is shown (previewVisibilityChanged).
        return;
    }
    // The old cards go only after the new ones are in: the ready preview moves from
    // the old preview card to the new one.
    const QList<QPointer<QWidget>> old = std::exchange(m_cards, {});
    // A button the keyboard is on keeps its place: the same one of the new cards
    // takes the focus, rather than whatever follows the pane in the window.
    const qsizetype focusedStop = tabStops(old).indexOf(QApplication::focusWidget());
    m_previewContent = nullptr;
    // What is shown, told apart from anything else the pane could show.
    QString subject = m_state.selectedBucketID() ? QString::fromStdString(m_state.selectedBucketID()->toString())
                                                 : QString();
    if (const std::optional<ObjectItem> object = m_state.inspectorObject()) {
        buildObject(*object);
        subject += QStringLiteral("|object|") + QString::fromStdString(object->key);
    } else {
        m_previews->dropCachedPreview();
        if (const std::optional<ObjectPrefix> prefix = m_state.inspectorPrefix()) {
            buildFolder(*prefix);
            subject += QStringLiteral("|folder|") + QString::fromStdString(prefix->prefix);
        } else {
            buildEmpty();
            subject.clear();
        }
    }
    if (focusedStop >= 0) {
        if (const QList<QWidget*> stops = tabStops(m_cards); !stops.isEmpty()) {
            stops.at(std::min(focusedStop, stops.size() - 1))->setFocus(Qt::OtherFocusReason);
        }
    }
    for (const QPointer<QWidget>& card : old) {
        if (card) {
            m_stack->removeWidget(card);
            card->hide();
            // Later: a rebuild may be asked for from inside one of its buttons.
            card->deleteLater();
        }
    }
    // Another selection is read from its top; the same one, rebuilt because its
    // details or preview arrived, stays where the user scrolled it.
    if (subject != m_shownSubject) {
        m_shownSubject = std::move(subject);
        m_scroll->verticalScrollBar()->setValue(0);
    }
}

QList<QWidget*> InspectorView::tabStops(const QList<QPointer<QWidget>>& cards)
{
    QList<QWidget*> stops;
    for (const QPointer<QWidget>& card : cards) {
        if (!card) {
            continue;
        }
        QList<QWidget*> inCard;
        for (QWidget* widget : card->findChildren<QWidget*>()) {
            if ((widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled() &&
                widget->isVisibleTo(card) && widget->focusProxy() == nullptr) {
                inCard.append(widget);
            }
        }
        // In the order Tab visits them.
        QList<QWidget*> ordered;
        for (QWidget* widget = card->nextInFocusChain(); widget != nullptr && widget != card && !inCard.isEmpty();
             widget = widget->nextInFocusChain()) {
            if (inCard.removeOne(widget)) {
                ordered.append(widget);
            }
        }
        stops += ordered;
    }
    return stops;
}

void InspectorView::buildObject(const ObjectItem& object)
{
    clearEmpty();
    m_layout = Layout::object;
    QWidget* content = m_previews->preview(object, m_state.inlinePreviewState(), m_state.objectDetails());
    // Anything but the ready view of this object means the selection or its preview
    // moved on: the view kept for it stops now rather than playing on unseen.
    if (m_previews->cachedPreview() != nullptr && m_previews->cachedPreview() != content) {
        m_previews->dropCachedPreview();
    }
    auto* card = new QWidget();
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    cardLayout->addWidget(content);
    content->show();
    m_previewContent = content;
    append(InspectorRows::section(L10n::t(QStringLiteral("preview_section")), card));
    append(actionsRow(false));
    append(detailsSection(object));
    append(shareSection());
}

void InspectorView::buildFolder(const ObjectPrefix& prefix)
{
    clearEmpty();
    m_layout = Layout::folder;
    append(actionsRow(true));
    QList<QWidget*> rows;
    for (const DetailRow& row : InspectorDetails::folderRows(prefix)) {
        rows.append(InspectorRows::metaRow(row, [this](const QString& text) { copyToClipboard(text); }));
    }
    append(InspectorRows::section(L10n::t(QStringLiteral("details")), InspectorRows::vCard(rows)));
}

void InspectorView::buildEmpty()
{
    m_layout = Layout::empty;
    auto* box = new QWidget();
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(new IconView(QStringLiteral("sidebar.right"), 30, TarnTheme::color(ThemeColor::secondaryLabel)), 0,
                      Qt::AlignHCenter);
    layout->addWidget(centredLabel(L10n::t(QStringLiteral("preview_select_object")), 14, ThemeColor::label));
    QLabel* hint = centredLabel(L10n::t(QStringLiteral("preview_select_object_hint")), 12, ThemeColor::secondaryLabel);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    box->setMaximumWidth(std::max(0, width() - kEmptyBoxMargin));
    m_scroll->hide();
    m_root->addWidget(box, 0, 0, Qt::AlignCenter);
    box->show();
    if (m_emptyBox) {
        m_emptyBox->hide();
        m_emptyBox->deleteLater();
    }
    m_emptyBox = box;
}

void InspectorView::clearEmpty()
{
    if (m_emptyBox) {
        m_root->removeWidget(m_emptyBox);
        m_emptyBox->hide();
        m_emptyBox->deleteLater();
        m_emptyBox = nullptr;
    }
    m_scroll->show();
}

void InspectorView::append(QWidget* card)
{
    // Before the closing stretch.
    m_stack->insertWidget(m_stack->count() - 1, card);
    card->show();
    m_cards.append(card);
}

QWidget* InspectorView::actionsRow(bool isFolder)
{
    auto* row = new QWidget();
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kTileSpacing);
    QPointer<InspectorView> self(this);
    auto tile = [&](const char* titleKey, const QString& icon, bool destructive, std::function<void()> action) {
        auto* button = new ActionTile(L10n::t(QString::fromLatin1(titleKey)), icon, destructive);
        connect(button, &ActionTile::clicked, this, [self, action = std::move(action)] {
            if (self) {
                action();
            }
        });
        layout->addWidget(button, 1);
    };
    if (isFolder) {
        tile("open", QStringLiteral("folder"), false, [this] {
            // Whatever is selected when the tile is pressed, not when it was built.
            if (const std::optional<ObjectPrefix> prefix = m_state.inspectorPrefix()) {
                m_state.enterPrefix(prefix->prefix);
            }
        });
    } else {
        tile("open", QStringLiteral("arrow.up.right.square"), false,
             [this] { startDetached(m_state.openSelectedObject()); });
    }
    tile("download", QStringLiteral("square.and.arrow.down"), false,
         [this] { startDetached(m_state.downloadSelectedObjects()); });
    tile("rename_move", QStringLiteral("arrowshape.turn.up.right"), false, [this] { m_state.startRenameMove(); });
    tile("delete", QStringLiteral("trash"), true, [this] { m_state.setShowingDeleteConfirm(true); });
    return row;
}

QWidget* InspectorView::detailsSection(const ObjectItem& object)
{
    QList<QWidget*> rows;
    for (const DetailRow& row : InspectorDetails::objectRows(object, m_state.objectDetails())) {
        rows.append(InspectorRows::metaRow(row, [this](const QString& text) { copyToClipboard(text); }));
    }
    rows.append(InspectorRows::linkRow(L10n::t(QStringLiteral("edit_metadata")), QStringLiteral("pencil"),
                                       [self = QPointer<InspectorView>(this)] {
                                           if (self) {
                                               self->m_state.startEditMetadata();
                                           }
                                       }));
    return InspectorRows::section(L10n::t(QStringLiteral("details")), InspectorRows::vCard(rows));
}

QWidget* InspectorView::shareSection()
{
    QWidget* link = InspectorRows::linkRow(L10n::t(QStringLiteral("share_copy_link")), QStringLiteral("link"),
                                           [self = QPointer<InspectorView>(this)] {
                                               if (self && !self->m_state.selectedObjects().empty()) {
                                                   self->m_state.setShowingShareSheet(true);
                                               }
                                           });
    return InspectorRows::section(L10n::t(QStringLiteral("share")), InspectorRows::vCard({link}));
}

void InspectorView::copyToClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    m_state.setStatusText(L10n::t(QStringLiteral("copied")));
}

void InspectorView::previewVisibilityChanged()
{
    const bool showing = m_state.showingPreview();
    if (showing == m_showingPreview) {
        return;
    }
    m_showingPreview = showing;
    if (showing) {
        rebuild();
    } else {
        // Nothing plays on in a pane that slides away; the view is made anew when it
        // comes back.
        m_previews->dropCachedPreview();
    }
}

}  // namespace tarn
