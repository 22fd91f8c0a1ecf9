#pragma once

#include <cstddef>

namespace tarn {

// The in-window sheets, one per sheet flag of the state, the delete confirmation's
// included.
enum class SheetKind {
    newFolder,
    renameMove,
    editMetadata,
    history,
    appSettings,
    bucketEditor,
    addBucket,
    multipart,
    share,
    uploadConflict,
    deleteConfirm,
};

inline constexpr std::size_t sheetKindCount = static_cast<std::size_t>(SheetKind::deleteConfirm) + 1;

}  // namespace tarn
