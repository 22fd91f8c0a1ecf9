#include "ui/sheets/MultipartSheet.h"

#include "app/state/AppState.h"
#include "app/state/Async.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "ui/views/DateText.h"
#include "ui/theme/TarnStyle.h"
#include "ui/theme/TarnTheme.h"
#include "ui/views/ClearTableHeaderView.h"
#include "ui/views/PlainText.h"
#include "ui/views/SelectionBand.h"
#include "ui/views/SkeletonListView.h"
#include "ui/views/WrappingLabel.h"

#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace tarn {
namespace {

constexpr int kRowHeight = 26;
constexpr int kKeyColumnWidth = 380;
constexpr int kPlaceholderInset = 6;

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(PlainText::toolTip(text));
    return item;
}

}  // namespace

MultipartSheet::MultipartSheet(AppState& state, std::function<void()> onClose, Operations operations,
                               QWidget* parent)
    : SheetView(parent)
    , m_state(state)
    , m_onClose(std::move(onClose))
    , m_operations(std::move(operations))
{
    if (!m_operations.reload) {
        m_operations.reload = [&state] { state.reloadMultipartUploads(); };
    }
    if (!m_operations.loadMore) {
        m_operations.loadMore = [&state] { state.loadMoreMultipartUploads(); };
    }
    if (!m_operations.abortSelected) {
        m_operations.abortSelected = [&state] { state.abortSelectedUploads(); };
    }
    if (!m_operations.abort) {
        m_operations.abort = [&state](std::vector<MultipartUpload> uploads) { state.abort(std::move(uploads)); };
    }

    auto* subtitle = new WrappingLabel(L10n::t(QStringLiteral("multipart_uploads_subtitle")), 3, this);
    subtitle->setFont(TarnTheme::font(10));
    subtitle->setColor(TarnTheme::color(ThemeColor::secondaryLabel));
    subtitle->setFixedWidth(areaWidth);

    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeader(new ClearTableHeaderView(Qt::Horizontal, m_table));
    m_table->setHorizontalHeaderLabels({L10n::t(QStringLiteral("name")), L10n::t(QStringLiteral("initiated"))});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->setColumnWidth(0, kKeyColumnWidth);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the buttons: a step through the cells would choose another
    // upload, and Abort would then abort that one.
    m_table->setTabKeyNavigation(false);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->setWordWrap(false);
    m_table->setFont(TarnTheme::font(12));
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->viewport()->setAutoFillBackground(false);
    m_table->setFixedSize(areaWidth, areaHeight);
    // One rounded band across a chosen row, as in the object table.
    m_table->setItemDelegate(new SelectionBandDelegate(m_table));
    m_table->setProperty(TarnStyle::ownSelectionProperty, true);

    // Bars over the table while the first page loads.
    m_placeholder = new SkeletonListView(6, kRowHeight, 10, m_table);
    m_placeholder->setGeometry(kPlaceholderInset, m_table->horizontalHeader()->sizeHint().height() + kPlaceholderInset,
                               areaWidth - 2 * kPlaceholderInset, m_placeholder->sizeHint().height());

    m_countLabel = makeLabel(QString(), 11, true);

    const int headerHeight = m_table->horizontalHeader()->sizeHint().height();
    m_emptyLabel = makeLabel(L10n::t(QStringLiteral("multipart_uploads_empty")), 13, true, m_table);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setGeometry(0, headerHeight, areaWidth, areaHeight - headerHeight);
    m_emptyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyLabel->hide();

    m_refreshButton = makeButton(L10n::t(QStringLiteral("refresh")), [this] { refresh(); });
    m_abortButton = makeButton(L10n::t(QStringLiteral("abort_upload")), [this] { abortSelected(); });
    m_abortAllButton = makeButton(L10n::t(QStringLiteral("abort_all")), [this] { abortAll(); });
    QPalette danger = m_abortAllButton->palette();
    // Red while it can act; disabled, it dims like every other button.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        danger.setColor(group, QPalette::ButtonText, TarnTheme::color(ThemeColor::systemRed));
    }
    m_abortAllButton->setPalette(danger);
    m_closeButton = makeButton(L10n::t(QStringLiteral("close")), [this] { close(); });
    setDefaultButton(m_closeButton);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(10);
    buttons->addWidget(m_refreshButton);
    buttons->addWidget(m_abortButton);
    buttons->addWidget(m_abortAllButton);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(12);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(makeTitle(L10n::t(QStringLiteral("multipart_uploads_title"))), 0, Qt::AlignLeft);
    layout->addWidget(subtitle, 0, Qt::AlignLeft);
    layout->addWidget(m_table, 0, Qt::AlignLeft);
    layout->addWidget(m_countLabel, 0, Qt::AlignLeft);
    layout->addLayout(buttons);

    connect(&state, &AppState::multipartUploadsChanged, this, &MultipartSheet::showUploads);
    connect(&state, &AppState::isLoadingUploadsChanged, this, &MultipartSheet::showLoading);
    connect(&state, &AppState::hasMoreUploadsChanged, this, &MultipartSheet::loadMoreIfNearBottom,
            Qt::QueuedConnection);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, &MultipartSheet::loadMoreIfNearBottom);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MultipartSheet::updateButtons);
    connect(&state, &AppState::showingAbortConfirmChanged, this, &MultipartSheet::updateButtons);
    showUploads();
}

void MultipartSheet::loadMoreIfNearBottom()
{
    if (!m_state.hasMoreUploads() || m_state.isLoadingUploads()) {
        return;
    }
    // In rows: the scroll bar counts items or pixels depending on the style.
    const int lastVisible = m_table->rowAt(m_table->viewport()->height() - 1);
    if (lastVisible < 0 || lastVisible >= m_table->rowCount() - 5) {
        m_operations.loadMore();
    }
}

QString MultipartSheet::initiatedText(const MultipartUpload& upload)
{
    return upload.initiated ? DateText::absolute(*upload.initiated) : QStringLiteral("\u2014");
}

void MultipartSheet::showUploads()
{
    const std::vector<MultipartUpload>& uploads = m_state.multipartUploads();
    // Rows are chosen by what they show: the same uploads stay chosen when a further
    // page arrives or the list is loaded again, wherever they land.
    const KeySet chosen = chosenUploadIDs();
    m_table->clearContents();
    m_table->setRowCount(static_cast<int>(uploads.size()));
    QItemSelection rows;
    for (int row = 0; row < static_cast<int>(uploads.size()); ++row) {
        const MultipartUpload& upload = uploads[static_cast<std::size_t>(row)];
        m_table->setItem(row, 0, cell(QString::fromStdString(upload.key)));
        m_table->setItem(row, 1, cell(initiatedText(upload)));
        if (chosen.contains(upload.uploadId)) {
            rows.select(m_table->model()->index(row, 0), m_table->model()->index(row, 1));
        }
    }
    m_table->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    m_shownUploadIDs.clear();
    for (const MultipartUpload& upload : uploads) {
        m_shownUploadIDs.push_back(upload.uploadId);
    }
    showLoading();
    // After the rows are laid out, so the scroll bar knows the list's new length.
    QMetaObject::invokeMethod(this, &MultipartSheet::loadMoreIfNearBottom, Qt::QueuedConnection);
}

void MultipartSheet::showLoading()
{
    const std::size_t count = m_state.multipartUploads().size();
    const bool loading = m_state.isLoadingUploads();
    m_placeholder->setVisible(loading && count == 0);
    m_emptyLabel->setVisible(!loading && count == 0);
    if (count > 0) {
        m_countLabel->setText(L10n::t(L10n::countKey(QStringLiteral("multipart_uploads_count"), count), count));
    } else {
        // Empty, the text stands in the middle of the table instead.
        m_countLabel->setText(loading ? L10n::t(QStringLiteral("multipart_uploads_loading")) : QString());
    }
    updateButtons();
}

void MultipartSheet::updateButtons()
{
    m_abortButton->setEnabled(!chosenUploadIDs().empty());
    m_abortAllButton->setEnabled(!m_state.multipartUploads().empty() && !m_state.showingAbortConfirm());
}

void MultipartSheet::refresh()
{
    m_operations.reload();
}

KeySet MultipartSheet::chosenUploadIDs() const
{
    KeySet chosen;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        const auto row = static_cast<std::size_t>(index.row());
        if (index.row() >= 0 && row < m_shownUploadIDs.size()) {
            chosen.insert(m_shownUploadIDs[row]);
        }
    }
    return chosen;
}

void MultipartSheet::abortSelected()
{
    KeySet chosen = chosenUploadIDs();
    if (chosen.empty()) {
        m_state.ui().beep();
        return;
    }
    m_state.setSelectedUploadIDs(std::move(chosen));
    m_operations.abortSelected();
}

void MultipartSheet::abortAll()
{
    if (m_state.multipartUploads().empty() || m_state.showingAbortConfirm()) {
        return;
    }
    startDetached(confirmAbortAll(m_state.multipartUploads()));
}

QCoro::Task<> MultipartSheet::confirmAbortAll(std::vector<MultipartUpload> uploads)
{
    const QPointer<MultipartSheet> self(this);
    const QPointer<AppState> state(&m_state);
    // What the user is asked about is what is aborted: the list as it was listed.
    const std::function<void(std::vector<MultipartUpload>)> abort = m_operations.abort;
    m_state.setShowingAbortConfirm(true);
    const UiServices::Alert alert(UiServices::Alert::Style::warning, L10n::t(QStringLiteral("abort_all_confirm_title")),
                                  L10n::t(QStringLiteral("abort_all_confirm_message")),
                                  L10n::t(QStringLiteral("abort_all")), L10n::t(QStringLiteral("cancel")));
    QCoro::Task<bool> asking = m_state.ui().showAlert(alert);
    const bool confirmed = co_await std::move(asking);
    if (!state) {
        co_return;
    }
    state->setShowingAbortConfirm(false);
    // Only while the sheet that asked is still open: closing it answered no.
    if (confirmed && self) {
        abort(std::move(uploads));
    }
}

void MultipartSheet::close()
{
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
