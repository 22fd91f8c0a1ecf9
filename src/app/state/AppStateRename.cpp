#include "app/state/AppState.h"

namespace tarn {

// Filled in with renames and moves.
void AppState::startRenameMove() {}
void AppState::renameInPlace(const std::string&, const std::string&, std::optional<std::int64_t>) {}
void AppState::moveSelectedObject(const std::string&) {}

}  // namespace tarn
