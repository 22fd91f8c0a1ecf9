#include "app/state/AppState.h"

#include <algorithm>

namespace tarn {

namespace {

constexpr std::int64_t bytesPerMiB = 1048576;

// The ranges the settings sheet offers; a value from elsewhere is held to them.
constexpr std::int64_t minPreviewSizeLimitMB = 1;
constexpr std::int64_t maxPreviewSizeLimitMB = 2048;
constexpr std::int64_t minPartSizeMB = 10;
constexpr std::int64_t maxPartSizeMB = 1024;
constexpr std::int64_t partSizeStepMB = 5;

}  // namespace

void AppState::toggleFavoriteBucket(const Uuid& id) {
    std::vector<Uuid>& favorites = m_config.favoriteBucketIDs;
    if (std::erase(favorites, id) == 0) favorites.insert(favorites.begin(), id);
    saveConfig();
}

void AppState::toggleFavoriteDirectory(const std::string& prefix) {
    const std::optional<BucketConfig> bucket = selectedBucket();
    if (!bucket || prefix.empty()) return;
    std::vector<FavoriteDirectory>& favorites = m_config.favoriteDirectories;
    const auto found = std::find_if(favorites.begin(), favorites.end(), [&](const FavoriteDirectory& favorite) {
        return favorite.bucketID == bucket->id && favorite.prefix == prefix;
    });
    if (found != favorites.end()) {
        favorites.erase(found);
    } else {
        favorites.insert(favorites.begin(), FavoriteDirectory{bucket->id, bucket->bucketName, prefix});
    }
    saveConfig();
}

void AppState::removeFavoriteDirectory(const FavoriteDirectoryItem& item) {
    // The stored bucket name is only for display; it may be out of date.
    std::erase_if(m_config.favoriteDirectories, [&](const FavoriteDirectory& favorite) {
        return favorite.bucketID == item.favorite.bucketID && favorite.prefix == item.favorite.prefix;
    });
    saveConfig();
}

void AppState::setLanguage(std::string languageCode) {
    m_config.languageCode = languageCode;
    // The tables switch before the save, so a failed save still shows its toast in
    // the chosen language.
    setLanguageCode(std::move(languageCode));
    saveConfig();
}

void AppState::setDebugLogging(bool enabled) {
    m_config.debugLogging = enabled;
    m_client.setLogger(enabled ? makeFileLogger() : S3Client::Logger());
    saveConfig();
}

void AppState::setPreviewSizeLimitMB(std::int64_t megabytes) {
    m_config.previewSizeLimitBytes = std::clamp(megabytes, minPreviewSizeLimitMB, maxPreviewSizeLimitMB) * bytesPerMiB;
    saveConfig();
}

void AppState::setMultipartPartSizeMB(std::int64_t megabytes) {
    const std::int64_t above = std::clamp(megabytes, minPartSizeMB, maxPartSizeMB) - minPartSizeMB;
    m_config.multipartPartSizeMB = minPartSizeMB + above / partSizeStepMB * partSizeStepMB;
    saveConfig();
}

void AppState::closeAllSheets() {
    setShowingAppSettings(false);
    setShowingBucketEditor(false);
    setShowingAddBucketEditor(false);
    setShowingDeleteConfirm(false);
    setShowingNewFolder(false);
    setShowingRenameMove(false);
    setShowingShareSheet(false);
    setShowingEditMetadata(false);
    setShowingHistory(false);
    setShowingTempFiles(false);
    setShowingUploadConflict(false);
    clearPendingUpload();
    setShowingAbortConfirm(false);
}

}  // namespace tarn
