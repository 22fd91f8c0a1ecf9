#include "app/state/AppState.h"

namespace tarn {

void AppState::setShowingAppSettings(bool showingAppSettings) {
    publish(m_showingAppSettings, showingAppSettings, &AppState::showingAppSettingsChanged);
}

void AppState::setShowingBucketEditor(bool showingBucketEditor) {
    publish(m_showingBucketEditor, showingBucketEditor, &AppState::showingBucketEditorChanged);
}

void AppState::setShowingAddBucketEditor(bool showingAddBucketEditor) {
    publish(m_showingAddBucketEditor, showingAddBucketEditor, &AppState::showingAddBucketEditorChanged);
}

void AppState::setShowingDeleteConfirm(bool showingDeleteConfirm) {
    publish(m_showingDeleteConfirm, showingDeleteConfirm, &AppState::showingDeleteConfirmChanged);
}

void AppState::setShowingNewFolder(bool showingNewFolder) {
    publish(m_showingNewFolder, showingNewFolder, &AppState::showingNewFolderChanged);
}

void AppState::setShowingRenameMove(bool showingRenameMove) {
    publish(m_showingRenameMove, showingRenameMove, &AppState::showingRenameMoveChanged);
}

void AppState::setShowingShareSheet(bool showingShareSheet) {
    publish(m_showingShareSheet, showingShareSheet, &AppState::showingShareSheetChanged);
}

void AppState::setShowingEditMetadata(bool showingEditMetadata) {
    publish(m_showingEditMetadata, showingEditMetadata, &AppState::showingEditMetadataChanged);
}

void AppState::setShowingHistory(bool showingHistory) {
    publish(m_showingHistory, showingHistory, &AppState::showingHistoryChanged);
}

void AppState::setShowingUploadConflict(bool showingUploadConflict) {
    publish(m_showingUploadConflict, showingUploadConflict, &AppState::showingUploadConflictChanged);
}

void AppState::setShowingTempFiles(bool showingTempFiles) {
    publish(m_showingTempFiles, showingTempFiles, &AppState::showingTempFilesChanged);
}

void AppState::setShowingAbortConfirm(bool showingAbortConfirm) {
    publish(m_showingAbortConfirm, showingAbortConfirm, &AppState::showingAbortConfirmChanged);
}

void AppState::setIsDropTargeted(bool isDropTargeted) {
    publish(m_isDropTargeted, isDropTargeted, &AppState::isDropTargetedChanged);
}

void AppState::setEditingProfileID(std::optional<Uuid> editingProfileID) {
    publish(m_editingProfileID, std::move(editingProfileID), &AppState::editingProfileIDChanged);
}

void AppState::setEditingBucket(std::optional<BucketConfig> editingBucket) {
    publish(m_editingBucket, std::move(editingBucket), &AppState::editingBucketChanged);
}

void AppState::setMoveDestinationKey(std::string moveDestinationKey) {
    publish(m_moveDestinationKey, std::move(moveDestinationKey), &AppState::moveDestinationKeyChanged);
}

void AppState::setMetadataDraft(std::vector<MetadataPair> metadataDraft) {
    publish(m_metadataDraft, std::move(metadataDraft), &AppState::metadataDraftChanged);
}

void AppState::setPendingUploadURLs(std::vector<std::filesystem::path> pendingUploadURLs) {
    publish(m_pendingUploadURLs, std::move(pendingUploadURLs), &AppState::pendingUploadURLsChanged);
}

void AppState::setMultipartUploads(std::vector<MultipartUpload> multipartUploads) {
    publish(m_multipartUploads, std::move(multipartUploads), &AppState::multipartUploadsChanged);
}

void AppState::setSelectedUploadIDs(KeySet selectedUploadIDs) {
    publish(m_selectedUploadIDs, std::move(selectedUploadIDs), &AppState::selectedUploadIDsChanged);
}

void AppState::setIsLoadingUploads(bool isLoadingUploads) {
    publish(m_isLoadingUploads, isLoadingUploads, &AppState::isLoadingUploadsChanged);
}

void AppState::setHasMoreUploads(bool hasMoreUploads) {
    publish(m_hasMoreUploads, hasMoreUploads, &AppState::hasMoreUploadsChanged);
}

}  // namespace tarn
