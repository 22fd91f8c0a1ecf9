#pragma once

#include <cstddef>

namespace tarn {

// The in-window sheets, one per sheet flag of the state. The delete confirmation is
// an alert of its own and not among them.
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
};

inline constexpr std::size_t sheetKindCount = static_cast<std::size_t>(SheetKind::uploadConflict) + 1;

}  // namespace tarn
