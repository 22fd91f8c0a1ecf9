#include "ui/sheets/SheetCatalog.h"

#include "app/state/AppState.h"
#include "app/state/UiServices.h"
#include "app/text/L10n.h"
#include "ui/sheets/AddBucketSheet.h"
#include "ui/sheets/BucketFormSheet.h"
#include "ui/sheets/DeleteConfirmSheet.h"
#include "ui/sheets/EditMetadataSheet.h"
#include "ui/sheets/HistorySheet.h"
#include "ui/sheets/MultipartSheet.h"
#include "ui/sheets/SettingsSheet.h"
#include "ui/sheets/ShareSheet.h"
#include "ui/sheets/SheetPresenter.h"
#include "ui/sheets/TextInputSheet.h"
#include "ui/sheets/UploadConflictSheet.h"

#include <QPointer>

#include <array>

namespace tarn {
namespace {

constexpr std::array<SheetCatalog::Flag, sheetKindCount> kFlags{{
    {SheetKind::newFolder, "newFolder", &AppState::showingNewFolder, &AppState::setShowingNewFolder,
     &AppState::showingNewFolderChanged},
    {SheetKind::renameMove, "renameMove", &AppState::showingRenameMove, &AppState::setShowingRenameMove,
     &AppState::showingRenameMoveChanged},
    {SheetKind::editMetadata, "editMetadata", &AppState::showingEditMetadata, &AppState::setShowingEditMetadata,
     &AppState::showingEditMetadataChanged},
    {SheetKind::history, "history", &AppState::showingHistory, &AppState::setShowingHistory,
     &AppState::showingHistoryChanged},
    {SheetKind::appSettings, "appSettings", &AppState::showingAppSettings, &AppState::setShowingAppSettings,
     &AppState::showingAppSettingsChanged},
    {SheetKind::bucketEditor, "bucketEditor", &AppState::showingBucketEditor, &AppState::setShowingBucketEditor,
     &AppState::showingBucketEditorChanged},
    {SheetKind::addBucket, "addBucket", &AppState::showingAddBucketEditor, &AppState::setShowingAddBucketEditor,
     &AppState::showingAddBucketEditorChanged},
    {SheetKind::multipart, "multipart", &AppState::showingTempFiles, &AppState::setShowingTempFiles,
     &AppState::showingTempFilesChanged},
    {SheetKind::share, "share", &AppState::showingShareSheet, &AppState::setShowingShareSheet,
     &AppState::showingShareSheetChanged},
    {SheetKind::uploadConflict, "uploadConflict", &AppState::showingUploadConflict,
     &AppState::setShowingUploadConflict, &AppState::showingUploadConflictChanged},
    {SheetKind::deleteConfirm, "deleteConfirm", &AppState::showingDeleteConfirm, &AppState::setShowingDeleteConfirm,
     &AppState::showingDeleteConfirmChanged},
}};

constexpr bool flagsFollowKinds()
{
    for (std::size_t i = 0; i < kFlags.size(); ++i) {
        if (static_cast<std::size_t>(kFlags[i].kind) != i) {
            return false;
        }
    }
    return true;
}
static_assert(flagsFollowKinds(), "one flag per sheet kind, in the order of SheetKind");

// A text sheet's confirmation reaches the state through the presenter that made it,
// and does nothing once that presenter is gone (the window content was rebuilt).
using TextOperation = std::function<void(const QString&)> SheetOperations::*;

std::function<void(const QString&)> throughPresenter(SheetPresenter& presenter, TextOperation operation)
{
    return [presenter = QPointer<SheetPresenter>(&presenter), operation](const QString& text) {
        if (presenter && presenter->operations().*operation) {
            (presenter->operations().*operation)(text);
        }
    };
}

std::function<void()> beepOf(AppState& state)
{
    return [&state] { state.ui().beep(); };
}

QWidget* makeNewFolderSheet(SheetPresenter& presenter, std::function<void()> close)
{
    return new TextInputSheet(L10n::t(QStringLiteral("new_folder")), L10n::t(QStringLiteral("folder_name")), QString(),
                              L10n::t(QStringLiteral("create")),
                              throughPresenter(presenter, &SheetOperations::createFolder), std::move(close),
                              beepOf(presenter.state()));
}

QWidget* makeRenameMoveSheet(SheetPresenter& presenter, std::function<void()> close)
{
    // The key proposed when the sheet opens; later changes do not reach an open sheet.
    const QString initial = QString::fromStdString(presenter.state().moveDestinationKey());
    return new TextInputSheet(L10n::t(QStringLiteral("rename_move")), L10n::t(QStringLiteral("destination_key")),
                              initial, L10n::t(QStringLiteral("move")),
                              throughPresenter(presenter, &SheetOperations::moveSelectedObject), std::move(close),
                              beepOf(presenter.state()));
}

QWidget* makeHistorySheet(SheetPresenter& presenter, std::function<void()> close)
{
    // Entries of the last moments still wait in the state's buffer; listed with the
    // others, the list shows the operation that just ended too, without a save here.
    return new HistorySheet(presenter.state().historyEntries(), std::move(close));
}

QWidget* makeBucketEditorSheet(SheetPresenter& presenter, std::function<void()> close)
{
    const std::optional<BucketConfig> bucket = presenter.state().editingBucket();
    if (!bucket) {
        // Nothing to edit: the flag goes down again, so the next opener can raise it.
        close();
        return nullptr;
    }
    return new BucketFormSheet(presenter.state(), *bucket, std::move(close));
}

QWidget* makeMultipartSheet(SheetPresenter& presenter, std::function<void()> close)
{
    return new MultipartSheet(presenter.state(), std::move(close));
}

QWidget* makeShareSheet(SheetPresenter& presenter, std::function<void()> close)
{
    return new ShareSheet(presenter.state(), std::move(close));
}

QWidget* makeSettingsSheet(SheetPresenter& presenter, std::function<void()> close)
{
    return new SettingsSheet(presenter.state(), std::move(close));
}

QWidget* makeAddBucketSheet(SheetPresenter& presenter, std::function<void()> close)
{
    // Add or edit, as the opener asked when it raised the flag.
    AppState& state = presenter.state();
    return new AddBucketSheet(state, state.editingProfileID(), std::move(close));
}

QWidget* makeEditMetadataSheet(SheetPresenter& presenter, std::function<void()> close)
{
    AppState& state = presenter.state();
    return new EditMetadataSheet(state, [&state] { state.saveMetadata(); }, std::move(close));
}

QWidget* makeUploadConflictSheet(SheetPresenter& presenter, std::function<void()> close)
{
    return new UploadConflictSheet(presenter.state(), std::move(close));
}

QWidget* makeDeleteConfirmSheet(SheetPresenter& presenter, std::function<void()> close)
{
    // What is to be deleted is fixed now; "delete" deletes exactly this.
    const std::function<std::function<void()>()>& prepare = presenter.operations().prepareDelete;
    std::function<void()> deletion = prepare ? prepare() : nullptr;
    if (!deletion) {
        // Nothing to delete: the flag goes down again, so the next request can raise it.
        close();
        return nullptr;
    }
    AppState& state = presenter.state();
    const std::size_t items = state.selectedObjects().size() + state.selectedPrefixes().size();
    return new DeleteConfirmSheet(L10n::t(items > 1 ? QStringLiteral("batch_delete_confirm_title")
                                                    : QStringLiteral("delete_confirm_title")),
                                  state.deleteConfirmationMessage(), std::move(deletion), std::move(close));
}

}  // namespace

std::span<const SheetCatalog::Flag> SheetCatalog::flags()
{
    return kFlags;
}

const SheetCatalog::Flag& SheetCatalog::flag(SheetKind kind)
{
    return kFlags[static_cast<std::size_t>(kind)];
}

void SheetCatalog::close(AppState& state, SheetKind kind)
{
    switch (kind) {
    case SheetKind::uploadConflict:
        // Closed without a decision, the parked upload is dropped: nothing is uploaded.
        state.clearPendingUpload();
        state.setShowingUploadConflict(false);
        return;
    case SheetKind::addBucket:
        state.setShowingAddBucketEditor(false);
        state.setEditingProfileID(std::nullopt);
        return;
    default:
        // The bucket form keeps editingBucket: its openers set it anew each time.
        (state.*flag(kind).setShowing)(false);
        return;
    }
}

SheetFactory SheetCatalog::factory(SheetKind kind)
{
    switch (kind) {
    case SheetKind::newFolder:
        return makeNewFolderSheet;
    case SheetKind::renameMove:
        return makeRenameMoveSheet;
    case SheetKind::history:
        return makeHistorySheet;
    case SheetKind::bucketEditor:
        return makeBucketEditorSheet;
    case SheetKind::multipart:
        return makeMultipartSheet;
    case SheetKind::share:
        return makeShareSheet;
    case SheetKind::editMetadata:
        return makeEditMetadataSheet;
    case SheetKind::uploadConflict:
        return makeUploadConflictSheet;
    case SheetKind::appSettings:
        return makeSettingsSheet;
    case SheetKind::addBucket:
        return makeAddBucketSheet;
    case SheetKind::deleteConfirm:
        return makeDeleteConfirmSheet;
    }
    return {};
}

}  // namespace tarn
