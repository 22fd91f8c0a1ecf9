#include "app/state/AppState.h"

namespace tarn {

void AppState::setSelectedObjectKey(std::optional<std::string> selectedObjectKey) {
    publish(m_selectedObjectKey, std::move(selectedObjectKey), &AppState::selectedObjectKeyChanged);
}

void AppState::setSelectedObjectKeys(KeySet selectedObjectKeys) {
    publish(m_selectedObjectKeys, std::move(selectedObjectKeys), &AppState::selectedObjectKeysChanged);
}

void AppState::setRevealKey(std::optional<std::string> revealKey) {
    publish(m_revealKey, std::move(revealKey), &AppState::revealKeyChanged);
}

void AppState::setObjectDetails(std::optional<ObjectDetails> objectDetails) {
    publish(m_objectDetails, std::move(objectDetails), &AppState::objectDetailsChanged);
}

void AppState::setInlinePreviewState(InlinePreviewState inlinePreviewState) {
    publish(m_inlinePreviewState, std::move(inlinePreviewState), &AppState::inlinePreviewStateChanged);
}

void AppState::setPreviewDownloadFraction(double previewDownloadFraction) {
    publish(m_previewDownloadFraction, previewDownloadFraction, &AppState::previewDownloadFractionChanged);
}

void AppState::setShowingPreview(bool showingPreview) {
    publish(m_showingPreview, showingPreview, &AppState::showingPreviewChanged);
}

}  // namespace tarn
