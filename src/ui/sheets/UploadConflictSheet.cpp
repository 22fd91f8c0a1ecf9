#include "ui/sheets/UploadConflictSheet.h"

#include "app/state/AppState.h"
#include "app/text/L10n.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace tarn {

UploadConflictSheet::UploadConflictSheet(AppState& state, std::function<void()> onClose, QWidget* parent)
    : SheetView(parent)
    , m_state(state)
    , m_onClose(std::move(onClose))
{
    m_message = makeLabel(L10n::t(QStringLiteral("overwrite_message")), 12, true);
    m_message->setWordWrap(true);
    m_message->setFixedWidth(messageWidth);

    m_cancelButton = makeButton(L10n::t(QStringLiteral("cancel")), [this] { cancel(); });
    m_skipButton = makeButton(L10n::t(QStringLiteral("auto_skip")), [this] { resume(UploadConflictMode::skip); });
    m_renameButton =
        makeButton(L10n::t(QStringLiteral("auto_rename")), [this] { resume(UploadConflictMode::rename); });
    m_replaceButton =
        makeButton(L10n::t(QStringLiteral("replace")), [this] { resume(UploadConflictMode::replace); });
    setDefaultButton(m_renameButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(18);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(makeTitle(L10n::t(QStringLiteral("overwrite_title"))), 0, Qt::AlignLeft);
    layout->addWidget(m_message, 0, Qt::AlignLeft);
    // At least as wide as the message; wider when the buttons need it.
    layout->addLayout(makeButtonRow({m_cancelButton, m_skipButton, m_renameButton, m_replaceButton}));
}

void UploadConflictSheet::resume(UploadConflictMode mode)
{
    if (m_decided) {
        return;
    }
    m_decided = true;
    // Copies first: clearing the parked upload empties the fields the queue needs.
    std::vector<std::filesystem::path> urls = m_state.pendingUploadURLs();
    std::string directory = m_state.pendingUploadDirectory();
    KeySet existingKeys = m_state.pendingUploadExistingKeys();
    std::optional<Uuid> bucketID = m_state.pendingUploadBucketID();
    AppState& state = m_state;
    state.clearPendingUpload();
    // Clearing the flag closes the sheet, on a later turn of the event loop.
    state.setShowingUploadConflict(false);
    state.enqueueUploads(std::move(urls), std::move(directory), mode, std::move(existingKeys), std::move(bucketID));
}

void UploadConflictSheet::cancel()
{
    if (m_decided) {
        return;
    }
    m_decided = true;
    const std::function<void()> onClose = m_onClose;
    if (onClose) {
        onClose();
    }
}

}  // namespace tarn
