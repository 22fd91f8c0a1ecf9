#include "ui/browser/ObjectBrowserView.h"

#include "ui/browser/BreadcrumbBar.h"
#include "ui/browser/BrowserHeader.h"
#include "ui/browser/BrowserStatusBar.h"
#include "ui/browser/GlassSearchField.h"
#include "ui/browser/ObjectTableView.h"
#include "ui/browser/StatusDotView.h"
#include "ui/views/PlainText.h"
#include "ui/views/WrappingLabel.h"
#include "ui/window/MainWindow.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"
#include "app/transfers/TransferCenter.h"
#include "core/text/ByteFormatter.h"

#include <QScrollBar>

namespace tarn {

namespace {

// Labels are set only when their text changes: a new text lays the header out again,
// and the header is refreshed with every page of a large folder.
void setTextIfChanged(WrappingLabel* label, const QString& text)
{
    if (label->text() != text) {
        label->setText(text);
    }
}

}  // namespace

void ObjectBrowserView::refreshHeader()
{
    const std::optional<BucketConfig> bucket = m_state.selectedBucket();
    setTextIfChanged(m_header->titleLabel(),
                     bucket ? QString::fromStdString(bucket->displayName) : L10n::t(QStringLiteral("app_name")));
    if (!bucket || (!m_state.listingFailure().isEmpty() && !m_state.bucketUsage())) {
        // Nothing is known of a bucket that could not be listed: no figures at all,
        // rather than an empty bucket's.
        setTextIfChanged(m_header->usageLabel(), QString());
    } else {
        const std::optional<BucketUsage>& usage = m_state.bucketUsage();
        const std::int64_t bytes = usage ? usage->totalBytes : 0;
        const auto count = usage ? usage->objectCount : static_cast<std::int64_t>(m_state.objects().size());
        setTextIfChanged(m_header->usageLabel(),
                         L10n::t(QStringLiteral("usage")) + QStringLiteral(": ") +
                             QString::fromStdString(ByteFormatter::string(bytes)) + QStringLiteral(" · ") +
                             L10n::count(QStringLiteral("objects_count"), QStringLiteral("objects_count_one"),
                                         static_cast<qint64>(count)));
    }
    // A search cleared elsewhere clears the field; an equal text is left alone, so the
    // caret stays where it is while the user types.
    GlassSearchField* search = m_header->searchField();
    const QString searchText = QString::fromStdString(m_state.searchText());
    if (search->text() != searchText) {
        search->setText(searchText);
    }
    rebuildPath();
}

void ObjectBrowserView::rebuildPath()
{
    m_statusBar->breadcrumb()->setItems(m_state.pathItems());
}

void ObjectBrowserView::crumbClicked(int index)
{
    const std::vector<PathItem> items = m_state.pathItems();
    if (index >= 0 && static_cast<std::size_t>(index) < items.size()) {
        m_state.enterPrefix(items[static_cast<std::size_t>(index)].prefix);
    }
}

void ObjectBrowserView::searchChanged(const QString& text)
{
    m_state.setSearchText(text.toStdString());
}

void ObjectBrowserView::setSearchExpanded(bool expanded)
{
    m_header->setSearchExpanded(expanded);
}

void ObjectBrowserView::loadMoreIfNearBottom()
{
    if (!m_state.hasMoreObjects()) {
        return;
    }
    // The part of the table below what is shown, in pixels.
    const QScrollBar* bar = m_table->verticalScrollBar();
    const int below = bar->maximum() - bar->value();
    if (below <= loadMoreDistanceRows * ObjectTableView::rowHeight) {
        m_state.loadMoreObjects();
    }
}

void ObjectBrowserView::refreshStatus()
{
    TransferCenter& transfers = m_state.transfers();
    StatusDotView* dot = m_statusBar->dot();
    const bool active = transfers.hasActive();
    if (transfers.hasUnacknowledgedFailure()) {
        dot->update(StatusDotView::Status::error);
        dot->setToolTip(L10n::t(QStringLiteral("transfer_has_failure")));
    } else if (!m_state.listingFailure().isEmpty() && !active && !m_state.isLoading()) {
        // Not the green of a good listing: the folder shown could not be listed.
        dot->update(StatusDotView::Status::error);
        // Words from outside (a server's message, an account's name in a command):
        // as written, long lines wrapped.
        dot->setToolTip(PlainText::toolTip(m_state.listingFailure()));
    } else {
        const bool busy = active || m_state.isLoading() || m_goingToEnd;
        dot->update(busy ? StatusDotView::Status::busy : StatusDotView::Status::ready);
        dot->setToolTip(m_state.statusText());
    }
    m_statusBar->showProgress(active ? std::optional<double>(transfers.aggregateFraction()) : std::nullopt);
    const auto loaded = static_cast<qint64>(m_state.objects().size() + m_state.prefixes().size());
    QString note;
    if (m_goingToEnd) {
        note = L10n::t(L10n::countKey(QStringLiteral("loading_to_end"), loaded), loaded);
    } else if (!m_state.listingFailure().isEmpty() && !m_state.isLoading()) {
        note = L10n::t(QStringLiteral("listing_failed_note"));
    }
    m_statusBar->showNote(note);
}

void ObjectBrowserView::toggleTransferPanel()
{
    // The window's delegate owns the panel; outside a main window there is none to show.
    if (auto* main = qobject_cast<MainWindow*>(window())) {
        main->showTransferPanel();
    }
    m_state.transfers().acknowledgeFailures();
    refreshStatus();
}

}  // namespace tarn
